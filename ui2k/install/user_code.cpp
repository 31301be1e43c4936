#include "ui2k/install/user_code.h"

#include <algorithm>

#include "companions/qnucode/user_code_provider.h"
#include "data/item_ids.h"
#include "settings/devmode/environment.h"
#include "settings/items/store.h"
#include "settings/items/table.h"
#include "settings/services/registry_values.h"
#include "settings/services/user_code.h"
#include "ui2k/entry/seams.h"
#include "ui2k/entry/ui_context.h"

namespace {

namespace uc = velm::ucode;

constexpr WCHAR kProvidersKey[] = WSTR("Software\\QUIRN\\qnucode\\Providers");
constexpr WCHAR kProviderValue[] = WSTR("ProviderDLL");
constexpr DWORD kProviderPathBytes = 522;
constexpr DWORD kCodeChars = 8;
// The user-code writer's mode that also records the code as the most recent one.
constexpr int kUserCodeSectionWithRecent = 1;

struct Provider {
  HMODULE module = nullptr;
  uc::OpenProc open = nullptr;
  uc::CloseProc close = nullptr;
  uc::GetCodeProc getCode = nullptr;

  Provider() = default;
  Provider(const Provider&) = delete;
  Provider& operator=(const Provider&) = delete;
  ~Provider() {
    if (module) FreeLibrary(module);
  }
};

template <class Proc>
Proc Export(HMODULE module, const char* name) {
  return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

// Loads the registered library and binds its three entry points; FALSE (nothing left loaded)
// when any of that fails.
BOOL BindProvider(Provider& provider) {
  WCHAR path[kProviderPathBytes / sizeof(WCHAR) + 1] = {};
  DWORD type = 0;
  DWORD size = kProviderPathBytes;
  if (!SysReadHklmValue(kProvidersKey, kProviderValue, &type, reinterpret_cast<BYTE*>(path), &size) ||
      type != REG_SZ || path[0] == 0)
    return FALSE;
  provider.module = LoadLibraryW(path);
  if (!provider.module) return FALSE;
  provider.open = Export<uc::OpenProc>(provider.module, uc::kOpenExport);
  provider.close = Export<uc::CloseProc>(provider.module, uc::kCloseExport);
  provider.getCode = Export<uc::GetCodeProc>(provider.module, uc::kGetCodeExport);
  if (provider.open && provider.close && provider.getCode) return TRUE;
  FreeLibrary(provider.module);
  provider.module = nullptr;
  return FALSE;
}

// The code of a provider's buffer (terminated or full), cut to the item's 8 characters.
void CodeFromBuffer(const char (&buffer)[uc::kCodeBytes], WCHAR (&code)[kCodeChars + 1]) {
  const char* end = std::find(buffer, buffer + uc::kCodeBytes, '\0');
  const int bytes = static_cast<int>(std::min<ptrdiff_t>(end - buffer, kCodeChars));
  const int chars = bytes ? MultiByteToWideChar(CP_ACP, 0, buffer, bytes, code, kCodeChars) : 0;
  code[std::clamp(chars, 0, static_cast<int>(kCodeChars))] = 0;
}

void GetCode(UiContext* ui, WORD item, WCHAR (&code)[kCodeChars + 1]) {
  code[0] = 0;
  OptGetString(ui->driver, OptFindItem(ui->driver->itemTable, item), code, kCodeChars + 1);
}

void SetCode(UiContext* ui, WORD item, const WCHAR* code) {
  if (ItemTableRow* row = OptFindItem(ui->driver->itemTable, item)) OptSetString(ui->driver, row, code);
}

BOOL SwitchOn(UiContext* ui) { return ui && ui->driver && CfgUserCodeSwitchOn(ui->driver); }

// Printer data read into `data`: the bytes read, or 0 when the value is absent or larger.
DWORD ReadPrinterBytes(UiContext* ui, const WCHAR* name, BYTE* data, DWORD capacity) {
  DWORD type = 0, needed = 0;
  if (GetPrinterDataW(ui->driver->printer, const_cast<LPWSTR>(name), &type, data, capacity, &needed) !=
      ERROR_SUCCESS)
    return 0;
  return std::min(needed, capacity);
}

}  // namespace

DWORD UcQueryProvider(UiContext* ui) {
  Provider provider;
  if (!BindProvider(provider)) return kUcNoProvider;
  HANDLE session = nullptr;
  if (provider.open(&session) != uc::kResultOk) return kUcNoProvider;
  char buffer[uc::kCodeBytes] = {};
  const DWORD status = provider.getCode(session, buffer, uc::kCodeBytes);
  DWORD result = kUcNoProvider;
  if (status == uc::kResultOk || status == uc::kNoCode) {
    if (status == uc::kNoCode) std::fill(buffer, buffer + uc::kCodeBytes, '\0');
    WCHAR code[kCodeChars + 1] = {};
    CodeFromBuffer(buffer, code);
    UcKept& kept = ui->state.userCode;
    if (code[0]) {
      if (!kept.providerInUse) GetCode(ui, kItemLogCode, kept.own);
      kept.providerInUse = 1;
      SetCode(ui, kItemLogCode, code);
      SetCode(ui, kItemDllLogCode, code);
      OptSetValue(ui->driver, kItemLogCodeUse, 1);
      result = kUcProviderCode;
    } else {
      OptSetValue(ui->driver, kItemLogCodeUse, 0);
      result = kUcProviderNoCode;
    }
    if (!UiIsConnectionPrinter(ui)) UiGetSeams().instWriteUserCodeSection(ui, kUserCodeSectionWithRecent);
  }
  provider.close(session);
  return result;
}

void UcInitOptionStates(UiContext* ui) {
  if (!SwitchOn(ui)) return;
  BYTE inUse = UcQueryProvider(ui) == kUcProviderCode ? 1 : 0;
  UiSetModeByte(ui, kEnvUserCodeGet, inUse);
  UiSetModeByte(ui, kEnvUserCodeDll, inUse);
  SetPrinterDataW(ui->driver->printer, const_cast<LPWSTR>(WSTR("DllUserCodeUse")), REG_BINARY, &inUse, 1);
}

void UcLoadServerUserCode(UiContext* ui) {
  if (!SwitchOn(ui)) return;
  BYTE serverUse = 0;
  if (!UiIsConnectionPrinter(ui) || !ReadPrinterBytes(ui, WSTR("ServerUse"), &serverUse, 1) || serverUse == 0) {
    CfgReadUserCode(ui->driver);
    return;
  }
  BYTE inUse = 0;
  if (ReadPrinterBytes(ui, WSTR("UserCodeUse"), &inUse, 1)) OptSetValue(ui->driver, kItemLogCodeUse, inUse);
  char bytes[kCodeChars + 1] = {};
  if (const DWORD read = ReadPrinterBytes(ui, WSTR("UserCode"), reinterpret_cast<BYTE*>(bytes), kCodeChars + 1)) {
    char buffer[uc::kCodeBytes] = {};
    std::copy(bytes, bytes + read, buffer);
    WCHAR code[kCodeChars + 1] = {};
    CodeFromBuffer(buffer, code);
    SetCode(ui, kItemLogCode, code);
  }
}

void UcStoreUserCode(UiContext* ui) {
  if (!SwitchOn(ui)) return;
  UiGetSeams().instWriteUserCodeSection(ui, kUserCodeSectionWithRecent);
  UcKept& kept = ui->state.userCode;
  if (!kept.providerInUse) return;
  SetCode(ui, kItemLogCode, kept.own);
  kept = {};
}
