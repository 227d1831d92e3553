// The compiler runtime's internal header that some of the STL's sources include: its heap
// helpers over malloc and free, nothing more.
#pragma once
#include <stdlib.h>
#include <vcruntime.h>

#define _malloc_crt malloc
#define _calloc_crt calloc
#define _realloc_crt realloc
#define _free_crt free

#ifdef __cplusplus
// Owns a block from malloc; frees it when replaced or destroyed.
template <typename T>
class __crt_unique_heap_ptr {
 public:
  __crt_unique_heap_ptr() noexcept = default;
  explicit __crt_unique_heap_ptr(T* block) noexcept : block_(block) {}
  __crt_unique_heap_ptr(const __crt_unique_heap_ptr&) = delete;
  __crt_unique_heap_ptr& operator=(const __crt_unique_heap_ptr&) = delete;
  __crt_unique_heap_ptr& operator=(__crt_unique_heap_ptr&& other) noexcept {
    if (this != &other) {
      free(block_);
      block_ = other.detach();
    }
    return *this;
  }
  ~__crt_unique_heap_ptr() { free(block_); }
  T* get() const noexcept { return block_; }
  T* detach() noexcept {
    T* block = block_;
    block_ = nullptr;
    return block;
  }
  explicit operator bool() const noexcept { return block_ != nullptr; }

 private:
  T* block_ = nullptr;
};
#define _malloc_crt_t(type, count) \
  (__crt_unique_heap_ptr<type>(static_cast<type*>(malloc(sizeof(type) * (count)))))
#endif
