// Must not compile: export/ does not link tallyrig-stats' library.
#include "stats/summary.h"
