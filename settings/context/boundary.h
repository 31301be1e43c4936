// The edge of the driver's libraries: no C++ exception leaves an export or a callback. An export
// is a function-try-block whose `catch (...)` answers its documented failure through
// SysFailAtBoundary; a hook handed out in a table goes through SysGuardedHook.
// (tools/sweeps/export_guards.py checks both.)
#pragma once

#include <type_traits>

#include "win32.h"

// The answer of a call that an exception ended: `failure`, the last error ERROR_NOT_ENOUGH_MEMORY
// (what reaches an edge is a standard container that could not grow).
template <class Answer>
Answer SysFailAtBoundary(Answer failure) noexcept {
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return failure;
}
inline void SysFailAtBoundary() noexcept { SetLastError(ERROR_NOT_ENOUGH_MEMORY); }

// A hook with the signature of `function` that calls it and answers `failure` (converted to the
// hook's result; null for a pointer, nothing for a void hook) when it throws.
template <auto function, auto failure = 0>
struct SysGuardedHook;

template <class Result, class... Args, Result (*function)(Args...), auto failure>
struct SysGuardedHook<function, failure> {
  static Result Call(Args... args) noexcept {
    try {
      return function(args...);
    } catch (...) {
      SysFailAtBoundary();
      if constexpr (std::is_void_v<Result>) {
        return;
      } else if constexpr (std::is_pointer_v<Result>) {
        return nullptr;
      } else {
        return static_cast<Result>(failure);
      }
    }
  }
};
