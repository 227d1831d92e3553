// Must not compile: tracking/ does not link export/.
#include "export/block_text.h"
