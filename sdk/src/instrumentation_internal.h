#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "pluginsdk/sim/instrumentation.h"

namespace pluginsdk::sim::detail {

// Counts the call, and throws when a fault is due.
void countCall(Op op);
// Read on every call, so a plain flag rather than a call.
extern bool traceOn;
inline bool tracing() {
  return traceOn;
}
void record(std::string_view operation, std::uintptr_t object, std::string_view arguments);
void recordContractViolation();
// A traced world going away ends its trace.
void forgetWorld(const World& world);

// Every SDK operation starts here. `arguments` makes the trace's argument text, only when
// tracing.
template <typename Arguments>
void enter(Op op, std::uintptr_t object, Arguments arguments) {
  if (tracing()) record(opName(op), object, arguments());
  countCall(op);
}

inline void enter(Op op, std::uintptr_t object) {
  enter(op, object, [] { return std::string(); });
}

}  // namespace pluginsdk::sim::detail
