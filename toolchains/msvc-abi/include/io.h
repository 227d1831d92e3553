// Wine's io.h defines open as a macro, which would rename every member called open.
#pragma once
#include_next <io.h>
#undef open
