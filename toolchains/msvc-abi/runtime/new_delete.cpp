// The global allocation functions of MSVC's static runtime, over ucrtbase's heap. Each is a
// default under a name of its own, which the linker takes for the operator (by its decorated
// name) only where no object defines the operator: a program replacing one of them still gets
// the others from here, and the file is compiled once.
#include <malloc.h>
#include <new.h>
#include <stdint.h>
#include <vcruntime_exception.h>
#include <vcruntime_new.h>

// Each operator, by its decorated name, and its default below.
// clang-format off
#pragma comment(linker, "/alternatename:??2@YAPEAX_K@Z=?tallyrig_new@@YAPEAX_K@Z")
#pragma comment(linker, "/alternatename:??2@YAPEAX_KAEBUnothrow_t@std@@@Z=?tallyrig_new_nothrow@@YAPEAX_KAEBUnothrow_t@std@@@Z")
#pragma comment(linker, "/alternatename:??_U@YAPEAX_K@Z=?tallyrig_new_array@@YAPEAX_K@Z")
#pragma comment(linker, "/alternatename:??_U@YAPEAX_KAEBUnothrow_t@std@@@Z=?tallyrig_new_array_nothrow@@YAPEAX_KAEBUnothrow_t@std@@@Z")
#pragma comment(linker, "/alternatename:??3@YAXPEAX@Z=?tallyrig_delete@@YAXPEAX@Z")
#pragma comment(linker, "/alternatename:??3@YAXPEAXAEBUnothrow_t@std@@@Z=?tallyrig_delete_nothrow@@YAXPEAXAEBUnothrow_t@std@@@Z")
#pragma comment(linker, "/alternatename:??_V@YAXPEAX@Z=?tallyrig_delete_array@@YAXPEAX@Z")
#pragma comment(linker, "/alternatename:??_V@YAXPEAXAEBUnothrow_t@std@@@Z=?tallyrig_delete_array_nothrow@@YAXPEAXAEBUnothrow_t@std@@@Z")
#pragma comment(linker, "/alternatename:??3@YAXPEAX_K@Z=?tallyrig_delete_sized@@YAXPEAX_K@Z")
#pragma comment(linker, "/alternatename:??_V@YAXPEAX_K@Z=?tallyrig_delete_array_sized@@YAXPEAX_K@Z")
#pragma comment(linker, "/alternatename:??2@YAPEAX_KW4align_val_t@std@@@Z=?tallyrig_new_aligned@@YAPEAX_KW4align_val_t@std@@@Z")
#pragma comment(linker, "/alternatename:??2@YAPEAX_KW4align_val_t@std@@AEBUnothrow_t@1@@Z=?tallyrig_new_aligned_nothrow@@YAPEAX_KW4align_val_t@std@@AEBUnothrow_t@2@@Z")
#pragma comment(linker, "/alternatename:??_U@YAPEAX_KW4align_val_t@std@@@Z=?tallyrig_new_array_aligned@@YAPEAX_KW4align_val_t@std@@@Z")
#pragma comment(linker, "/alternatename:??_U@YAPEAX_KW4align_val_t@std@@AEBUnothrow_t@1@@Z=?tallyrig_new_array_aligned_nothrow@@YAPEAX_KW4align_val_t@std@@AEBUnothrow_t@2@@Z")
#pragma comment(linker, "/alternatename:??3@YAXPEAXW4align_val_t@std@@@Z=?tallyrig_delete_aligned@@YAXPEAXW4align_val_t@std@@@Z")
#pragma comment(linker, "/alternatename:??3@YAXPEAXW4align_val_t@std@@AEBUnothrow_t@1@@Z=?tallyrig_delete_aligned_nothrow@@YAXPEAXW4align_val_t@std@@AEBUnothrow_t@2@@Z")
#pragma comment(linker, "/alternatename:??_V@YAXPEAXW4align_val_t@std@@@Z=?tallyrig_delete_array_aligned@@YAXPEAXW4align_val_t@std@@@Z")
#pragma comment(linker, "/alternatename:??_V@YAXPEAXW4align_val_t@std@@AEBUnothrow_t@1@@Z=?tallyrig_delete_array_aligned_nothrow@@YAXPEAXW4align_val_t@std@@AEBUnothrow_t@2@@Z")
#pragma comment(linker, "/alternatename:??3@YAXPEAX_KW4align_val_t@std@@@Z=?tallyrig_delete_sized_aligned@@YAXPEAX_KW4align_val_t@std@@@Z")
#pragma comment(linker, "/alternatename:??_V@YAXPEAX_KW4align_val_t@std@@@Z=?tallyrig_delete_array_sized_aligned@@YAXPEAX_KW4align_val_t@std@@@Z")
// clang-format on

#define TALLYRIG_NOTHROW(expr) \
  try {                        \
    return expr;               \
  } catch (...) {              \
    return nullptr;            \
  }

// Retries while the new handler frees memory, as MSVC's does; zero bytes still get a block.
void* __cdecl tallyrig_new(size_t size) {
  for (;;) {
    if (void* block = malloc(size ? size : 1)) {
      return block;
    }
    if (_callnewh(size) == 0) {
      throw std::bad_alloc();
    }
  }
}
void* __cdecl tallyrig_new_nothrow(size_t size, const std::nothrow_t&) noexcept {
  TALLYRIG_NOTHROW(operator new(size))
}
// The compiler asks for SIZE_MAX bytes when a new-expression's array length is negative or its
// size overflows; the new-expression then throws bad_array_new_length, as MSVC's does.
void* __cdecl tallyrig_new_array(size_t size) {
  if (size == SIZE_MAX) {
    throw std::bad_array_new_length();
  }
  return operator new(size);
}
void* __cdecl tallyrig_new_array_nothrow(size_t size, const std::nothrow_t&) noexcept {
  TALLYRIG_NOTHROW(operator new[](size))
}
void __cdecl tallyrig_delete(void* block) noexcept {
  free(block);
}
void __cdecl tallyrig_delete_nothrow(void* block, const std::nothrow_t&) noexcept {
  operator delete(block);
}
void __cdecl tallyrig_delete_array(void* block) noexcept {
  operator delete(block);
}
void __cdecl tallyrig_delete_array_nothrow(void* block, const std::nothrow_t&) noexcept {
  operator delete[](block);
}
void __cdecl tallyrig_delete_sized(void* block, size_t) noexcept {
  operator delete(block);
}
void __cdecl tallyrig_delete_array_sized(void* block, size_t) noexcept {
  operator delete[](block);
}
void* __cdecl tallyrig_new_aligned(size_t size, std::align_val_t alignment) {
  for (;;) {
    if (void* block = _aligned_malloc(size ? size : 1, static_cast<size_t>(alignment))) {
      return block;
    }
    if (_callnewh(size) == 0) {
      throw std::bad_alloc();
    }
  }
}
void* __cdecl tallyrig_new_aligned_nothrow(size_t size, std::align_val_t alignment,
                                           const std::nothrow_t&) noexcept {
  TALLYRIG_NOTHROW(operator new(size, alignment))
}
void* __cdecl tallyrig_new_array_aligned(size_t size, std::align_val_t alignment) {
  if (size == SIZE_MAX) {
    throw std::bad_array_new_length();
  }
  return operator new(size, alignment);
}
void* __cdecl tallyrig_new_array_aligned_nothrow(size_t size, std::align_val_t alignment,
                                                 const std::nothrow_t&) noexcept {
  TALLYRIG_NOTHROW(operator new[](size, alignment))
}
void __cdecl tallyrig_delete_aligned(void* block, std::align_val_t) noexcept {
  _aligned_free(block);
}
void __cdecl tallyrig_delete_aligned_nothrow(void* block, std::align_val_t alignment,
                                             const std::nothrow_t&) noexcept {
  operator delete(block, alignment);
}
void __cdecl tallyrig_delete_array_aligned(void* block, std::align_val_t alignment) noexcept {
  operator delete(block, alignment);
}
void __cdecl tallyrig_delete_array_aligned_nothrow(void* block, std::align_val_t alignment,
                                                   const std::nothrow_t&) noexcept {
  operator delete[](block, alignment);
}
void __cdecl tallyrig_delete_sized_aligned(void* block, size_t,
                                           std::align_val_t alignment) noexcept {
  operator delete(block, alignment);
}
void __cdecl tallyrig_delete_array_sized_aligned(void* block, size_t,
                                                 std::align_val_t alignment) noexcept {
  operator delete[](block, alignment);
}
