#pragma once

// SHA-256 for the report's Content-Security-Policy, which allows each inline script and style
// by the hash of its text.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tallyrig::stats {

std::array<std::uint8_t, 32> sha256(std::string_view bytes);

// "'sha256-<base64 of the digest>'", a CSP hash source.
std::string cspHashSource(std::string_view text);

}  // namespace tallyrig::stats
