#pragma once

#include <cstddef>
#include <string_view>

namespace tallyrig {

// The index of the first byte at or after `from` that does not start a well-formed UTF-8
// sequence, or npos. Overlong forms, surrogates and code points beyond U+10FFFF are not
// well-formed; a NUL byte is. `from` must be where a sequence starts.
std::size_t firstInvalidUtf8(std::string_view text, std::size_t from = 0) noexcept;

}  // namespace tallyrig
