// The Windows SDK's synchapi.h stands alone; wine's needs windows.h before it.
#pragma once
#include "windows.h"
