#include "settings/services/user_code.h"

#include <atomic>

#include "data/item_ids.h"
#include "settings/persistence/file_primitives.h"
#include "settings/items/store.h"
#include "settings/devmode/model_hooks.h"
#include "settings/persistence/profile_wrappers.h"
#include "settings/persistence/folders.h"
#include "settings/services/spooler_info.h"

namespace {

constexpr WCHAR kUserCodeFile[] = WSTR("qndef.ini");
constexpr WCHAR kInUseKey[] = WSTR("UserCode");
constexpr WCHAR kCodeKey[] = WSTR("UserCodeString");
constexpr WCHAR kFixedKey[] = WSTR("UserCodeFIX");
constexpr WCHAR kRecentSection[] = WSTR("Quirn UserCode");
constexpr WCHAR kRecentKey[] = WSTR("MRUUserCode");
constexpr DWORD kTextChars = 260;


std::atomic<CfgUserCodeSwitchProc> g_switch{CfgUserCodeSwitch};

void StoreCode(DriverContext* context, WORD item, const WCHAR* code) {
  if (ItemTableRow* row = OptFindItem(context->itemTable, item)) OptSetString(context, row, code);
}

}  // namespace

void CfgSetUserCodeSwitch(CfgUserCodeSwitchProc proc) { g_switch.store(proc ? proc : CfgUserCodeSwitch); }

int CfgUserCodeSwitchOn(DriverContext* context) { return g_switch.load()(context); }

int CfgLoadUserCodeIfEnabled(DriverContext* context) {
  if (!CfgUserCodeSwitchOn(context)) return 1;
  return CfgLoadUserCodeUnlessServer(context);
}

int CfgLoadUserCodeUnlessServer(DriverContext* context) {
  if (PrnIsOnServer(context) && OptGetValue(context, kItemServerLogCode) != 0) return 1;
  return CfgReadUserCode(context);
}

int CfgReadUserCode(DriverContext* context) {
  if (!context) return 0;
  WCHAR file[MAX_PATH];
  const WCHAR* printer = PrnGetPrinterName(context);
  if (!PathMakeSharedFile(kUserCodeFile, file, MAX_PATH) || !printer || !printer[0]) return 0;

  DWORD inUse = 0;
  WCHAR code[kTextChars] = {};
  if (!PathExists(file)) {
    IniProfileWriteString(printer, kInUseKey, WSTR("0"), file);
    IniProfileWriteString(printer, kCodeKey, WSTR(""), file);
    IniProfileWriteString(kRecentSection, kRecentKey, WSTR(""), file);
  } else {
    WCHAR text[kTextChars];
    if (IniProfileLookupString(printer, kInUseKey, text, kTextChars, file) > 0) {
      // As text first: only a present, non-empty value counts; "abc" reads as 0.
      inUse = IniProfileGetInt(printer, kInUseKey, 0, file);
      IniProfileGetString(printer, kCodeKey, WSTR(""), code, kTextChars, file);
    } else {
      IniProfileGetString(kRecentSection, kRecentKey, WSTR(""), code, kTextChars, file);
      IniProfileWriteString(printer, kInUseKey, WSTR("0"), file);
      IniProfileWriteString(printer, kCodeKey, code, file);
    }
  }
  const UINT fixed = IniProfileGetInt(printer, kFixedKey, 0, file);

  OptSetValue(context, kItemLogCodeUse, inUse);
  StoreCode(context, kItemLogCode, code);
  StoreCode(context, kItemDllLogCode, code);
  OptSetValue(context, kItemUserCodeFIX, fixed);
  return 1;
}
