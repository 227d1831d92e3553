#pragma once

#include "pluginsdk/sim/instrumentation.h"

namespace pluginsdk::sim::detail {

// Every SDK operation starts here: it is counted, and throws when a fault is due.
void enter(Op op);
void recordContractViolation();

}  // namespace pluginsdk::sim::detail
