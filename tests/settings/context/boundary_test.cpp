// The guard a hook table holds: what a hook throws becomes its failure answer with
// ERROR_NOT_ENOUGH_MEMORY; what it answers otherwise passes through.
#include "settings/context/boundary.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace {

bool g_throw = false;
int g_calls = 0;

BOOL BoolHook(int value) {
  if (g_throw) throw std::bad_alloc();
  return value > 0;
}
void* PointerHook(void* value) {
  if (g_throw) throw std::bad_alloc();
  return value;
}
ULONG EscapeHook(ULONG value) {
  if (g_throw) throw std::length_error("long");
  return value;
}
void VoidHook() {
  ++g_calls;
  if (g_throw) throw std::bad_alloc();
}

TEST(BoundaryTest, AThrowingHookAnswersItsFailureWithNotEnoughMemory) {
  int object = 0;
  g_throw = false;
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ((SysGuardedHook<BoolHook>::Call(1)), TRUE);
  EXPECT_EQ((SysGuardedHook<PointerHook>::Call(&object)), &object);
  EXPECT_EQ((SysGuardedHook<EscapeHook, 0xFFFFFFFFu>::Call(7)), 7u);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_SUCCESS});

  g_throw = true;
  EXPECT_EQ((SysGuardedHook<BoolHook>::Call(1)), FALSE);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_NOT_ENOUGH_MEMORY});
  SetLastError(ERROR_SUCCESS);
  EXPECT_EQ((SysGuardedHook<PointerHook>::Call(&object)), nullptr);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_NOT_ENOUGH_MEMORY});
  EXPECT_EQ((SysGuardedHook<EscapeHook, 0xFFFFFFFFu>::Call(7)), 0xFFFFFFFFu);
  SetLastError(ERROR_SUCCESS);
  SysGuardedHook<VoidHook>::Call();
  EXPECT_EQ(g_calls, 1);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_NOT_ENOUGH_MEMORY});
  g_throw = false;
}

}  // namespace
