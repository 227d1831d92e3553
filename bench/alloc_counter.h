#pragma once

#include <cstdint>

// Allocations made through the global operator new, in any of its forms, by the calling thread
// since it started. The benchmark binary replaces every form, so the SDK's allocations count too.
std::uint64_t allocationCount() noexcept;
