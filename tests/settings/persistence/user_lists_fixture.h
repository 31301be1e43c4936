// The option-persistence machine with a stand-in for the group transfers of the settings export
// and import files, so that the user lists can be saved and loaded back through the INI engine.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/persistence/options_fixture.h"
#include "settings/persistence/ini_engine.h"
#include "settings/services/spooler_info.h"
#include "settings/persistence/user_lists.h"

namespace velm::test {

// What a transfer saw.
struct TransferCall {
  std::u16string section;  // the work area's printer name during the call
  std::u16string file;
  DWORD flags;
};
inline std::vector<TransferCall> g_transferCalls;
inline bool g_failTransfers = false;
// Runs inside every transfer, before it reads or writes.
inline void (*g_duringTransfer)(DriverContext*) = nullptr;

// The group's items: stamps the transfer rows, quality sets the second transfer set, free sizes
// 859..861 and the source free size 862..864 (under the keys of 859..861).
inline WORD GroupRowKey(DWORD flags, const ItemTableRow& row) {
  if (flags & kXferGroupQuality) return row.transfer2 ? row.id : 0;
  if (flags & kXferGroupStamp) return row.transfer ? row.id : 0;
  if (flags & kXferGroupFreeSize) return row.id >= 859 && row.id <= 861 ? row.id : 0;
  if (flags & kXferGroupSrcFreeSize) return row.id >= 862 && row.id <= 864 ? static_cast<WORD>(row.id - 3) : 0;
  return 0;
}

inline BOOL GroupTransfer(const WCHAR* file, DWORD flags, DriverContext* context, bool read) {
  std::u16string section = context->work->printerName;
  g_transferCalls.push_back({section, file, flags});
  if (g_duringTransfer) g_duringTransfer(context);
  if (g_failTransfers) return FALSE;
  IniMakeSafeSectionName(section.data());
  char* text = IniLoadFile(file);
  if (!text) return FALSE;
  const char* sectionText = IniFindSection(section.c_str(), text);
  IniSectionText out{};
  BOOL ok = read || IniAppendSection(&out, section.c_str());
  LONG cursor = 0;
  for (SHORT i = 0; ok && i < context->itemTable->count; ++i) {
    ItemTableRow copy = context->itemTable->rows[i];
    const WORD keyItem = GroupRowKey(flags, copy);
    if (keyItem == 0) continue;
    copy.group = section.c_str();
    copy.keyName = OptGetItemName(context->itemTable, keyItem);
    if (read && sectionText) CfgReadIniEntry(context, &copy, file, sectionText, &cursor);
    if (!read) ok = CfgWriteIniEntry(context, &copy, file, &out);
  }
  IniFreeFile(text);
  if (ok && !read) ok = IniReplaceSection(file, section.c_str(), out.bytes, out.length);
  IniFreeSectionText(&out);
  return ok;
}

inline const LstTransfers kGroupTransfers = {
    [](HANDLE, const WCHAR* file, DWORD flags, DriverContext* c) { return GroupTransfer(file, flags, c, true); },
    [](HANDLE, const WCHAR* file, DWORD flags, DriverContext* c) { return GroupTransfer(file, flags, c, false); },
};

class UserListsTest : public OptionPersistenceTest {
 protected:
  void SetUp() override {
    OptionPersistenceTest::SetUp();
    g_transferCalls.clear();
    g_failTransfers = false;
    g_duringTransfer = nullptr;
    LstSetTransfers(&kGroupTransfers);
    context_ = Fresh();
  }
  void TearDown() override {
    LstSetTransfers(nullptr);
    OptionPersistenceTest::TearDown();
  }

  // A new context on the printer, as another call would open it, in US English (language
  // section "us"); the settings INI's folder made.
  DriverContext* Fresh() {
    DriverContext* c = Context(printer_);
    if (!c) return nullptr;
    Ini(c);
    OptSetValue(c, 177, 1);
    return c;
  }
  void Set(WORD id, DWORD value, DriverContext* c = nullptr) { ASSERT_TRUE(OptSetValue(c ? c : context_, id, value)) << id; }
  DWORD Get(WORD id, DriverContext* c = nullptr) { return OptGetValue(c ? c : context_, id); }
  void SetText(WORD id, const std::u16string& text, DriverContext* c = nullptr) {
    ASSERT_TRUE(OptSetString(c ? c : context_, Row(c ? c : context_, id), text.c_str())) << id;
  }
  std::u16string Text(WORD id, DriverContext* c = nullptr) {
    WCHAR buffer[600];
    OptGetString(c ? c : context_, Row(c ? c : context_, id), buffer, 600);
    return buffer;
  }
  std::u16string PrinterName() { return PrnGetPrinterName(context_); }
  std::vector<BYTE> Record(DriverContext* c = nullptr) {
    const BYTE* bytes = reinterpret_cast<const BYTE*>((c ? c : context_)->settings);
    return {bytes, bytes + sizeof(SettingsRecord)};
  }

  DriverContext* context_ = nullptr;
};

}  // namespace velm::test
