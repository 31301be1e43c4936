// A machine root with the driver installed and one printer, for the application interface. Two
// ways in: as an application, through velmexc.dll loaded by name from the driver folder with its
// exports bound by GetProcAddress; and in this process, where the library's code is linked in
// and a context's items can be set before a call.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "core/machine_root.h"
#include "core/memory.h"
#include "exclude/api_contexts.h"
#include "exclude/api_devmodes.h"
#include "exclude/velmexc.h"
#include "machine_setup.h"
#include "print_command.h"
#include "settings/context/cache.h"
#include "settings/items/store.h"
#include "settings/context/process_state.h"
#include "spool/spool_store.h"
#include "support/temp_root.h"

namespace velm::test {

inline const char* const kPrinter = "Velm Printer";
inline const std::u16string kDriverFolder(platform::kDriverDirectory);
using Items = std::vector<std::pair<WORD, DWORD>>;

class ApiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(tools::InstallDriver({ModuleDir(), {}}, &error)) << error;
    ASSERT_TRUE(tools::AddPrinter({}, &error)) << error;
    SysLibraryAttach(nullptr);
    module_ = LoadLibraryW((kDriverFolder + u"velmexc.dll").c_str());
    ASSERT_NE(module_, nullptr) << GetLastError();
    checkApiVer_ = Bind<VELMDrvCheckAPIVerProc>("VELMDrvCheckAPIVer");
    enable_ = Bind<VELMDrvEnableProc>("VELMDrvEnable");
    disable_ = Bind<VELMDrvDisableProc>("VELMDrvDisable");
    getDevmode_ = Bind<VELMDrvGetDevmodeProc>("VELMDrvGetDevmode");
    ASSERT_TRUE(checkApiVer_ && enable_ && disable_ && getDevmode_);
  }
  void TearDown() override {
    FreeLibrary(module_);
    CtxDestroyEx(reader_, kReleaseDestroy);
    CtxFlushCache(1);
    SysLibraryDetach();
    for (HANDLE h : opened_) ClosePrinter(h);
  }
  template <class Proc>
  Proc Bind(const char* name) {
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(module_, name)));
  }

  HANDLE Open() {
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE h = nullptr;
    EXPECT_TRUE(OpenPrinterW(const_cast<LPWSTR>(u"Velm Printer"), &h, &defaults)) << GetLastError();
    opened_.push_back(h);
    return h;
  }
  static void SetItems(DriverContext* context, const Items& items) {
    for (const auto& [id, value] : items) ASSERT_TRUE(OptSetValue(context, id, value)) << id;
  }

  // Makes `items` the printer's stored devmode, over the header and the model's public defaults.
  void StoreDevmode(const Items& items) {
    std::vector<tools::ItemAssignment> settings;
    for (const auto& [id, value] : items) settings.push_back({std::to_string(id), std::to_string(value)});
    std::vector<BYTE> devmode;
    std::string error;
    ASSERT_TRUE(tools::BuildJobDevmode(Open(), settings, &devmode, &error)) << error;
    ASSERT_EQ(platform::UpdateSpoolPrinter(u"Velm Printer",
                                           [&](platform::SpoolPrinter& p) { p.devmode.assign(devmode.begin(), devmode.end()); }),
              ERROR_SUCCESS);
  }

  // The devmode of `mode` through the loaded library (empty when the call fails), checked for
  // writes past its size.
  std::vector<BYTE> Devmode(VELMAPICONTEXT context, uint32_t mode) {
    std::vector<BYTE> devmode(kDmSize + 16, 0xCC);
    if (getDevmode_(context, mode, devmode.data()) != static_cast<int32_t>(kDmSize)) return {};
    for (size_t i = kDmSize; i < devmode.size(); ++i) EXPECT_EQ(devmode[i], 0xCC) << "written past the devmode";
    devmode.resize(kDmSize);
    return devmode;
  }
  // Items of a devmode handed out, read through a context of this process.
  DriverContext* Reader(const std::vector<BYTE>& devmode) {
    if (!reader_) reader_ = CtxCreateEx(Open(), 0, kKindModelDefaults, 0, 0, nullptr);
    EXPECT_EQ(devmode.size(), kDmSize);
    if (reader_ && devmode.size() == kDmSize) std::memcpy(reader_->settings->devmode.bytes, devmode.data(), kDmSize);
    return reader_;
  }
  DWORD ItemOf(const std::vector<BYTE>& devmode, WORD id) { return OptGetValue(Reader(devmode), id); }
  std::u16string TextOf(const std::vector<BYTE>& devmode, WORD id) {
    DriverContext* reader = Reader(devmode);
    WCHAR text[80] = {};
    OptGetString(reader, OptFindItem(reader->itemTable, id), text, 80);
    return text;
  }

  static constexpr WORD kProbeItem = 128;  // vdmWmFontScale: a devmode number that nothing derives
  static constexpr DWORD kProbeValue = 77;

  TempMachineRoot root_;
  HMODULE module_ = nullptr;
  VELMDrvCheckAPIVerProc checkApiVer_ = nullptr;
  VELMDrvEnableProc enable_ = nullptr;
  VELMDrvDisableProc disable_ = nullptr;
  VELMDrvGetDevmodeProc getDevmode_ = nullptr;
  std::vector<HANDLE> opened_;
  DriverContext* reader_ = nullptr;
};

// The same machine with an application context of this process open for each test.
class ApiContextTest : public ApiTest {
 protected:
  void SetUp() override {
    ApiTest::SetUp();
    context_ = ApiEnable(kPrinter);
    ASSERT_NE(context_, nullptr);
  }
  void TearDown() override {
    ApiDisable(context_);
    ApiTest::TearDown();
  }
  DriverContext* context_ = nullptr;
};

}  // namespace velm::test
