// A machine root with the driver and two printers, the model description loaded, a fixed tick clock, the settings library
// attached, and open steps that log their calls (and can fail the description load).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "core/machine_root.h"
#include "core/memory.h"
#include "machine_setup.h"
#include "settings/context/cache.h"
#include "settings/context/open_steps.h"
#include "settings/description/cache.h"
#include "settings/items/store.h"
#include "settings/context/process_state.h"
#include "support/temp_root.h"

struct StepLog {
  std::mutex lock;
  std::vector<std::string> calls;
  bool failDescLoad = false;
  void Note(std::string call) {
    std::lock_guard guard(lock);
    calls.push_back(std::move(call));
  }
  std::vector<std::string> Take() {
    std::lock_guard guard(lock);
    return std::exchange(calls, {});
  }
  // Contexts destroyed since the last Take: DescRelease runs once for each.
  int Destroyed() {
    std::lock_guard guard(lock);
    return static_cast<int>(std::count(calls.begin(), calls.end(), "DescRelease"));
  }
};
inline StepLog g_steps;

inline const ContextOpenSteps kLoggingSteps = {
    [](DriverContext* c) -> BOOL { return g_steps.Note("DescLoad"), !g_steps.failDescLoad && DescLoad(c); },
    [](DriverContext* c) { g_steps.Note("DescRelease"), DescRelease(c); },
    [](DriverContext* c) { return g_steps.Note("CondAllocStack"), CondAllocStack(c); },
    [](DriverContext* c) { g_steps.Note("CondFreeStack"), CondFreeStack(c); },
    [](DriverContext* c, int k) { return g_steps.Note("DmBuildForContext " + std::to_string(k)), DmBuildForContext(c, k); },
    [](DriverContext* c) { g_steps.Note("DmCopyDeviceConfig"), DmCopyDeviceConfig(c); },
    [](DriverContext* c) { return g_steps.Note("CfgLoadOnOpen"), CfgLoadOnOpen(c); },
    [](DriverContext* c) { g_steps.Note("CfgFreeFontBlobs"), CfgFreeFontBlobs(c); },
    [](DriverContext* c, const WCHAR* key, int op) {
      return g_steps.Note("LstPresetSlots " + std::to_string(op)), LstPresetSlots(c, key, op);
    },
    [](DriverContext* c) { g_steps.Note("ResFreeDlls"), ResFreeDlls(c); },
};

class ContextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(velm::tools::InstallDriver({velm::test::ModuleDir(), {}}, &error)) << error;
    ASSERT_TRUE(velm::tools::AddPrinter({}, &error)) << error;
    velm::tools::PrinterOptions second;
    second.name = u"Velm Printer 2";
    ASSERT_TRUE(velm::tools::AddPrinter(second, &error)) << error;
    Advance(0);
    SysLibraryAttach(nullptr);
    // The description stays loaded from its first load on: load it before anything is counted.
    ASSERT_NE(DescLoadFile((std::u16string(velm::platform::kDriverDirectory) +
                            std::u16string(velm::tools::kModelDataFile)).c_str(), nullptr),
              nullptr);
    g_steps.Take();
    g_steps.failDescLoad = false;
    CtxSetOpenSteps(&kLoggingSteps);
  }
  void TearDown() override {
    CtxFlushCache(1);
    CtxSetOpenSteps(nullptr);
    SysLibraryDetach();
    UiInstalling = 0;
    for (HANDLE h : opened_) ClosePrinter(h);
  }

  // Moves the machine's tick clock on.
  void Advance(uint64_t ms) {
    now_ += ms;
    velm::platform::SetMachineSetting("clock_ms", std::to_string(now_));
  }
  HANDLE Open(const std::u16string& name = u"Velm Printer") {
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE h = nullptr;
    EXPECT_TRUE(OpenPrinterW(const_cast<LPWSTR>(name.c_str()), &h, &defaults)) << GetLastError();
    opened_.push_back(h);
    return h;
  }
  // A work-area mark that tells a reused context from a new one (which reads 0).
  static void Mark(DriverContext* context, DWORD mark) { CtxSetTransferStatus(context, mark); }
  static DWORD MarkOf(const DriverContext* context) { return CtxGetTransferStatus(context); }
  static std::vector<DriverContext*> Cached(int n) {
    const auto& slots = SysProcessState().cacheTables[n - 1];
    return {slots[0].context, slots[1].context};
  }
  static inline const std::vector<DriverContext*> kEmpty{nullptr, nullptr};

  velm::test::TempMachineRoot root_;
  uint64_t now_ = 1'000'000;
  std::vector<HANDLE> opened_;
};
