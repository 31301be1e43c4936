// A standard-library allocator over the global-memory functions, so that containers of the
// settings library draw on the same allocator as everything else (and fail where tests make
// it fail). A failed allocation throws std::bad_alloc; callers catch it at their boundary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "win32.h"

template <class T>
struct GlobalAllocator {
  using value_type = T;

  GlobalAllocator() noexcept = default;
  template <class U>
  GlobalAllocator(const GlobalAllocator<U>&) noexcept {}

  T* allocate(std::size_t n) {
    if (n > SIZE_MAX / sizeof(T)) throw std::bad_array_new_length();
    void* block = GlobalAlloc(GMEM_FIXED, n * sizeof(T));
    if (!block) throw std::bad_alloc();
    return static_cast<T*>(block);
  }
  void deallocate(T* block, std::size_t) noexcept { GlobalFree(block); }

  template <class U>
  bool operator==(const GlobalAllocator<U>&) const noexcept { return true; }
};

// Strings drawn from the same allocator.
using CountedString = std::basic_string<char, std::char_traits<char>, GlobalAllocator<char>>;
using CountedWString = std::basic_string<WCHAR, std::char_traits<WCHAR>, GlobalAllocator<WCHAR>>;
template <class T>
using CountedVector = std::vector<T, GlobalAllocator<T>>;
