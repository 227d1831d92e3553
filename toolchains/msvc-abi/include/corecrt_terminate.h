// The Windows SDK's home of terminate handlers; wine declares them in eh.h, but with C++ linkage,
// while ucrtbase.dll exports them under their C names (as the SDK declares them).
#pragma once
#define set_terminate __wine_cxx_set_terminate
#define set_unexpected __wine_cxx_set_unexpected
#define terminate __wine_cxx_terminate
#define unexpected __wine_cxx_unexpected
#include <eh.h>
#undef set_terminate
#undef set_unexpected
#undef terminate
#undef unexpected

extern "C" {
_ACRTIMP terminate_handler __cdecl set_terminate(terminate_handler handler) noexcept;
_ACRTIMP unexpected_handler __cdecl set_unexpected(unexpected_handler handler) noexcept;
_ACRTIMP DECLSPEC_NORETURN void __cdecl terminate() noexcept;
_ACRTIMP DECLSPEC_NORETURN void __cdecl unexpected();
_ACRTIMP terminate_handler __cdecl _get_terminate(void);
_ACRTIMP unexpected_handler __cdecl _get_unexpected(void);
}
