// The Windows SDK's home of terminate handlers; wine declares them in eh.h.
#pragma once
#include <eh.h>

extern "C" {
_ACRTIMP terminate_handler __cdecl _get_terminate(void);
_ACRTIMP unexpected_handler __cdecl _get_unexpected(void);
}
