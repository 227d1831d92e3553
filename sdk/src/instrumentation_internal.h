#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "pluginsdk/sim/instrumentation.h"

namespace pluginsdk::sim::detail {

// Every SDK operation starts with one of these: the call is counted, recorded when a trace is
// on, and throws when a fault is due. They stay out of line and take plain values, so that an
// operation costs about as much with the trace off as it did before there was one.
void enter(Op op, std::uintptr_t object);
// With the index of Get.
void enter(Op op, std::uintptr_t object, int index);
// With a text argument, recorded in double quotes.
void enter(Op op, std::uintptr_t object, const std::string& text);

// Read where a trace line needs more than the above.
extern bool traceOn;
inline bool tracing() {
  return traceOn;
}
void record(std::string_view operation, std::uintptr_t object, std::string_view arguments);
// Counts and faults without recording, for an operation that recorded itself.
void countCall(Op op);
void recordContractViolation();
// A traced world going away ends its trace.
void forgetWorld(const World& world);

}  // namespace pluginsdk::sim::detail
