// The module's TLS directory, as MSVC's static runtime has it: the loader copies the .tls
// sections (the __declspec(thread) and thread_local variables) for every thread and stores the
// module's slot in _tls_index, which the compiler's code reads.
#include <windows.h>

extern "C" {
ULONG _tls_index = 0;

// .tls sorts before the compiler's .tls$ and .tls$ZZZ after it, so these two bound the data.
#pragma section(".tls", long, read, write)
#pragma section(".tls$ZZZ", long, read, write)
__declspec(allocate(".tls")) char _tls_start = 0;
__declspec(allocate(".tls$ZZZ")) char _tls_end = 0;

// The TLS callbacks, none of their own: the table between these two ends stays empty.
#pragma section(".CRT$XLA", long, read)
#pragma section(".CRT$XLZ", long, read)
__declspec(allocate(".CRT$XLA")) PIMAGE_TLS_CALLBACK __xl_a = nullptr;
__declspec(allocate(".CRT$XLZ")) PIMAGE_TLS_CALLBACK __xl_z = nullptr;

// The linker points the image's TLS directory at the symbol of this name.
extern const IMAGE_TLS_DIRECTORY64 _tls_used = {reinterpret_cast<ULONGLONG>(&_tls_start),
                                                reinterpret_cast<ULONGLONG>(&_tls_end),
                                                reinterpret_cast<ULONGLONG>(&_tls_index),
                                                reinterpret_cast<ULONGLONG>(&__xl_a + 1),
                                                0,
                                                0};
}
