// Must not compile: export/ does not link the simulated host.
#include "host/session.h"
