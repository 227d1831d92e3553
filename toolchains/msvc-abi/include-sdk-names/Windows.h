// The Windows SDK spells it so; wine's headers are lower case, on a case-sensitive file system.
// Kept apart from include/windows.h, which a case-insensitive checkout would take for the same.
#pragma once
#include <windows.h>
