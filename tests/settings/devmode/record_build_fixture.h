// Contexts whose records are built for real: printers with or without a stored devmode, and
// devmodes made from a record of defaults.
#pragma once

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "settings/context/context_fixture.h"
#include "core/path_map.h"
#include "settings/persistence/paths.h"
#include "settings/devmode/merge.h"
#include "settings/devmode/record_build.h"
#include "settings/items/settings_record.h"

class RecordBuildTest : public ContextTest {
 protected:
  void TearDown() override {
    for (DriverContext* c : contexts_) CtxDestroyEx(c, kReleaseDestroy);
    ContextTest::TearDown();
  }

  DriverContext* Build(HANDLE printer, WORD kind) {
    DriverContext* c = CtxCreateEx(printer, 0, kind, 0, 0, nullptr);
    EXPECT_NE(c, nullptr);
    if (c) contexts_.push_back(c);
    return c;
  }
  // The devmode of a record of defaults on the default printer (which stores none).
  PrivateDevmode DefaultsDevmode() { return Build(Open(), kKindModelDefaults)->settings->devmode; }
  // A printer whose stored devmode is `devmode`, opened.
  HANDLE PrinterWith(const std::u16string& name, const PrivateDevmode& devmode) {
    return PrinterWith(name, Bytes(devmode));
  }
  HANDLE PrinterWith(const std::u16string& name, const std::vector<BYTE>& devmode) {
    velm::tools::PrinterOptions options;
    options.name = name;
    options.devmode.assign(devmode.begin(), devmode.end());
    std::string error;
    EXPECT_TRUE(velm::tools::AddPrinter(options, &error)) << error;
    return Open(name);
  }
  static std::vector<BYTE> Bytes(const PrivateDevmode& d) { return std::vector<BYTE>(d.bytes, d.bytes + kDmSize); }
  static std::vector<BYTE> Bytes(const DriverContext* c) { return Bytes(c->settings->devmode); }
  static DWORD Get(DriverContext* c, WORD id) { return OptGetValue(c, id); }
  static std::u16string Text(DriverContext* c, WORD id) {
    WCHAR buffer[300] = {};
    OptGetString(c, OptFindItem(c->itemTable, id), buffer, 300);
    return buffer;
  }
  // The host path of the context's settings INI, its folder made.
  static std::filesystem::path IniFile(DriverContext* c) {
    velm::platform::MappedPath mapped;
    DWORD error = 0;
    EXPECT_TRUE(velm::platform::MapPath(PathGetSettingsIni(c), mapped, error));
    std::filesystem::create_directories(mapped.host.parent_path());
    return mapped.host;
  }
  // Sets a devmode item (not 92, whose mirror would reach the shared table) in a devmode of this
  // layout through a scratch record; the devmode's section bases are put right.
  static void SetIn(PrivateDevmode* devmode, WORD id, DWORD value) {
    DriverContext scratch = CtxGetTemplate();
    SettingsRecord record{};
    record.devmode = *devmode;
    DmRestoreSectionBases(&record.devmode);
    ContextWorkArea work{};
    ItemTableRow row = *OptFindItem(scratch.itemTable, id);
    scratch.settings = &record;
    scratch.work = &work;
    OptWriteRaw(&scratch, &row, value);
    *devmode = record.devmode;
  }

  std::vector<DriverContext*> contexts_;
};
