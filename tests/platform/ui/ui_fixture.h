// A fresh window manager for each user-interface test, a log of the messages that the test's
// window classes receive, and the test resource module (test_resources.txt).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/temp_root.h"
#include "win32.h"

namespace velm::test {

// "<name>:<message>" for every message a logging window receives; names are set per window.
std::vector<std::string>& UiLog();
std::string UiMessageName(UINT message);
void UiNameWindow(HWND window, const std::string& name);
// Only the entries for these messages.
std::vector<std::string> UiLogOf(std::initializer_list<UINT> messages);

// Test classes: "TestWindow" (logs, default handling), "TestEdit" (logs; sends EN_SETFOCUS and
// EN_KILLFOCUS to its parent from WM_SETFOCUS/WM_KILLFOCUS and wants characters), "TestButton"
// (logs; a default push button for style 1; keeps its check in GWLP_USERDATA), "TestStatic".
class UiTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  HMODULE Resources();

  TempMachineRoot root_;
  HMODULE resources_ = nullptr;
};

}  // namespace velm::test
