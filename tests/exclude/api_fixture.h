// A machine root with the driver installed and one printer, for the application interface. Two
// ways in: as an application, through velmexc.dll loaded by name from the driver folder and its
// exports bound with GetProcAddress; and in this process, where the library's code is linked in
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
#include "settings/context_cache.h"
#include "settings/description_cache.h"
#include "settings/item_store.h"
#include "settings/process_state.h"
#include "spool/spool_store.h"
#include "support/temp_root.h"

namespace velm::test {

inline const char* const kPrinter = "Velm Printer";
inline const std::u16string kDriverFolder(platform::kDriverDirectory);

// The library as an application sees it.
struct ApiModule {
  HMODULE module = nullptr;
  VELMDrvCheckAPIVerProc checkApiVer = nullptr;
  VELMDrvEnableProc enable = nullptr;
  VELMDrvDisableProc disable = nullptr;
  VELMDrvGetDevmodeProc getDevmode = nullptr;
};

class ApiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(tools::InstallDriver({ModuleDir(), {}}, &error)) << error;
    ASSERT_TRUE(tools::AddPrinter({}, &error)) << error;
    SysLibraryAttach(nullptr);
  }
  void TearDown() override {
    if (api_.module) FreeLibrary(api_.module);
    CtxDestroyEx(reader_, kReleaseDestroy);
    CtxFlushCache(1);
    SysLibraryDetach();
    for (HANDLE h : opened_) ClosePrinter(h);
  }

  // Loads velmexc.dll from the driver folder and binds its four exports.
  void LoadModule() {
    api_.module = LoadLibraryW((kDriverFolder + u"velmexc.dll").c_str());
    ASSERT_NE(api_.module, nullptr) << GetLastError();
    api_.checkApiVer = Bind<VELMDrvCheckAPIVerProc>("VELMDrvCheckAPIVer");
    api_.enable = Bind<VELMDrvEnableProc>("VELMDrvEnable");
    api_.disable = Bind<VELMDrvDisableProc>("VELMDrvDisable");
    api_.getDevmode = Bind<VELMDrvGetDevmodeProc>("VELMDrvGetDevmode");
    ASSERT_TRUE(api_.checkApiVer && api_.enable && api_.disable && api_.getDevmode);
  }
  template <class Proc>
  Proc Bind(const char* name) {
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(api_.module, name)));
  }

  HANDLE Open(const std::u16string& name = u"Velm Printer") {
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    HANDLE h = nullptr;
    EXPECT_TRUE(OpenPrinterW(name.c_str(), &h, &defaults)) << GetLastError();
    opened_.push_back(h);
    return h;
  }

  // Makes `items` (identifier, value) the printer's stored devmode, over the model's public
  // defaults and the header.
  void StoreDevmode(const std::vector<std::pair<WORD, DWORD>>& items) {
    std::vector<tools::ItemAssignment> settings;
    for (const auto& [id, value] : items) settings.push_back({std::to_string(id), std::to_string(value)});
    std::vector<BYTE> devmode;
    std::string error;
    ASSERT_TRUE(tools::BuildJobDevmode(Open(), settings, &devmode, nullptr, &error)) << error;
    ASSERT_EQ(platform::UpdateSpoolPrinter(u"Velm Printer", [&](platform::SpoolPrinter& printer) {
                printer.devmode.assign(devmode.begin(), devmode.end());
              }),
              ERROR_SUCCESS);
  }

  // Whether a new context takes the printer's stored devmode: the settings record's construction
  // that does it is built separately, and the tests of what it brings wait for it.
  bool StoredDevmodeIsLoaded() {
    StoreDevmode({{kProbeItem, kProbeValue}});
    DriverContext* probe = CtxCreateEx(Open(), 0, kKindOrdinary, 0, 0, nullptr);
    const bool loaded = probe && OptGetValue(probe, kProbeItem) == kProbeValue;
    CtxDestroyEx(probe, kReleaseDestroy);
    return loaded;
  }
  // Whether a record of model defaults carries them (the same construction).
  bool ModelDefaultsAreBuilt() {
    DriverContext* probe = CtxCreateEx(Open(), 0, kKindModelDefaults, 0, 0, nullptr);
    const bool built = probe && OptGetValue(probe, 4) == kDmPublicSize;
    CtxDestroyEx(probe, kReleaseDestroy);
    return built;
  }

  // A context of this process whose record reads the items of a devmode handed out.
  DriverContext* Reader(const std::vector<BYTE>& devmode) {
    if (!reader_) reader_ = CtxCreateEx(Open(), 0, kKindModelDefaults, 0, 0, nullptr);
    EXPECT_NE(reader_, nullptr);
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

  // The devmode of `mode` through the loaded library; empty when the call fails.
  std::vector<BYTE> ModuleDevmode(VELMAPICONTEXT context, uint32_t mode) {
    std::vector<BYTE> devmode(kDmSize + 16, 0xCC);
    const int32_t size = api_.getDevmode(context, mode, devmode.data());
    if (size != static_cast<int32_t>(kDmSize)) return {};
    for (size_t i = kDmSize; i < devmode.size(); ++i) EXPECT_EQ(devmode[i], 0xCC) << "written past the devmode";
    devmode.resize(kDmSize);
    return devmode;
  }
  // The same in this process.
  static std::vector<BYTE> Devmode(DriverContext* context, DWORD mode) {
    std::vector<BYTE> devmode(kDmSize);
    if (ApiGetDevmode(context, mode, devmode.data()) != static_cast<LONG>(kDmSize)) return {};
    return devmode;
  }

  static constexpr WORD kProbeItem = 128;  // vdmWmFontScale: a devmode number that nothing derives
  static constexpr DWORD kProbeValue = 77;

  TempMachineRoot root_;
  ApiModule api_;
  std::vector<HANDLE> opened_;
  DriverContext* reader_ = nullptr;
};

}  // namespace velm::test
