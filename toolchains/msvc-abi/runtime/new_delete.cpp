// The global allocation functions of MSVC's static runtime, over ucrtbase's heap. This file is
// compiled once per operator (TALLYRIG_OPERATOR picks it), each into its own object, so that a
// program replacing one of them still gets the others from here.
#include <malloc.h>
#include <new.h>
#include <stdint.h>
#include <vcruntime_exception.h>
#include <vcruntime_new.h>

#define TALLYRIG_NOTHROW(expr) \
  try {                        \
    return expr;               \
  } catch (...) {              \
    return nullptr;            \
  }

#if TALLYRIG_OPERATOR == 1
// Retries while the new handler frees memory, as MSVC's does; zero bytes still get a block.
void* __cdecl operator new(size_t size) {
  for (;;) {
    if (void* block = malloc(size ? size : 1)) {
      return block;
    }
    if (_callnewh(size) == 0) {
      throw std::bad_alloc();
    }
  }
}
#elif TALLYRIG_OPERATOR == 2
void* __cdecl operator new(size_t size, const std::nothrow_t&) noexcept {
  TALLYRIG_NOTHROW(operator new(size))
}
#elif TALLYRIG_OPERATOR == 3
// The compiler asks for SIZE_MAX bytes when a new-expression's array length is negative or its
// size overflows; the new-expression then throws bad_array_new_length, as MSVC's does.
void* __cdecl operator new[](size_t size) {
  if (size == SIZE_MAX) {
    throw std::bad_array_new_length();
  }
  return operator new(size);
}
#elif TALLYRIG_OPERATOR == 4
void* __cdecl operator new[](size_t size, const std::nothrow_t&) noexcept {
  TALLYRIG_NOTHROW(operator new[](size))
}
#elif TALLYRIG_OPERATOR == 5
void __cdecl operator delete(void* block) noexcept {
  free(block);
}
#elif TALLYRIG_OPERATOR == 6
void __cdecl operator delete(void* block, const std::nothrow_t&) noexcept {
  operator delete(block);
}
#elif TALLYRIG_OPERATOR == 7
void __cdecl operator delete[](void* block) noexcept {
  operator delete(block);
}
#elif TALLYRIG_OPERATOR == 8
void __cdecl operator delete[](void* block, const std::nothrow_t&) noexcept {
  operator delete[](block);
}
#elif TALLYRIG_OPERATOR == 9
void __cdecl operator delete(void* block, size_t) noexcept {
  operator delete(block);
}
#elif TALLYRIG_OPERATOR == 10
void __cdecl operator delete[](void* block, size_t) noexcept {
  operator delete[](block);
}
#elif TALLYRIG_OPERATOR == 11
void* __cdecl operator new(size_t size, std::align_val_t alignment) {
  for (;;) {
    if (void* block = _aligned_malloc(size ? size : 1, static_cast<size_t>(alignment))) {
      return block;
    }
    if (_callnewh(size) == 0) {
      throw std::bad_alloc();
    }
  }
}
#elif TALLYRIG_OPERATOR == 12
void* __cdecl operator new(size_t size, std::align_val_t alignment,
                           const std::nothrow_t&) noexcept {
  TALLYRIG_NOTHROW(operator new(size, alignment))
}
#elif TALLYRIG_OPERATOR == 13
void* __cdecl operator new[](size_t size, std::align_val_t alignment) {
  if (size == SIZE_MAX) {
    throw std::bad_array_new_length();
  }
  return operator new(size, alignment);
}
#elif TALLYRIG_OPERATOR == 14
void* __cdecl operator new[](size_t size, std::align_val_t alignment,
                             const std::nothrow_t&) noexcept {
  TALLYRIG_NOTHROW(operator new[](size, alignment))
}
#elif TALLYRIG_OPERATOR == 15
void __cdecl operator delete(void* block, std::align_val_t) noexcept {
  _aligned_free(block);
}
#elif TALLYRIG_OPERATOR == 16
void __cdecl operator delete(void* block, std::align_val_t alignment,
                             const std::nothrow_t&) noexcept {
  operator delete(block, alignment);
}
#elif TALLYRIG_OPERATOR == 17
void __cdecl operator delete[](void* block, std::align_val_t alignment) noexcept {
  operator delete(block, alignment);
}
#elif TALLYRIG_OPERATOR == 18
void __cdecl operator delete[](void* block, std::align_val_t alignment,
                               const std::nothrow_t&) noexcept {
  operator delete[](block, alignment);
}
#elif TALLYRIG_OPERATOR == 19
void __cdecl operator delete(void* block, size_t, std::align_val_t alignment) noexcept {
  operator delete(block, alignment);
}
#elif TALLYRIG_OPERATOR == 20
void __cdecl operator delete[](void* block, size_t, std::align_val_t alignment) noexcept {
  operator delete[](block, alignment);
}
#else
#error TALLYRIG_OPERATOR names none of the allocation functions
#endif
