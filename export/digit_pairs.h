#pragma once

#include <cstring>

// "00" to "99": numbers below a hundred written two digits at a time, for the export's texts.
inline constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Writes `value`, below a hundred, as two digits and returns the end.
inline char* putTwoDigits(char* at, unsigned value) {
  std::memcpy(at, kDigitPairs + 2 * value, 2);
  return at + 2;
}
