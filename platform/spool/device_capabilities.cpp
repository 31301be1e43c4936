// DeviceCapabilitiesW: the query goes to the printer's interface library, loaded for the call as
// the system loads it for applications.
#include <vector>

#include "core/modules.h"
#include "core/winerror.h"
#include "spool/winspool.h"
#include "ui/wingdi.h"

namespace {

using DrvDeviceCapabilitiesFn = DWORD(WINAPI*)(HANDLE, PWSTR, WORD, PVOID, PDEVMODEW);

// The printer's interface library: the configuration file of its driver (level 2).
std::vector<WCHAR> ConfigFile(HANDLE printer) {
  DWORD needed = 0;
  GetPrinterDriverW(printer, nullptr, 2, nullptr, 0, &needed);
  if (needed < sizeof(DRIVER_INFO_2W)) return {};
  std::vector<BYTE> block(needed);
  if (!GetPrinterDriverW(printer, nullptr, 2, block.data(), needed, &needed)) return {};
  const auto* info = reinterpret_cast<const DRIVER_INFO_2W*>(block.data());
  if (!info->pConfigFile || !info->pConfigFile[0]) return {};
  std::u16string_view path(info->pConfigFile);
  return std::vector<WCHAR>(path.begin(), path.end() + 1);
}

}  // namespace

extern "C" int DeviceCapabilitiesW(LPCWSTR pDevice, LPCWSTR, WORD fwCapability, LPWSTR pOutput,
                                   const DEVMODEW* pDevMode) {
  HANDLE printer = nullptr;
  if (!pDevice || !OpenPrinterW(const_cast<LPWSTR>(pDevice), &printer, nullptr)) return -1;
  const std::vector<WCHAR> configFile = ConfigFile(printer);
  HMODULE library = configFile.empty() ? nullptr : LoadLibraryW(configFile.data());
  int answer = -1;
  if (library) {
    FARPROC proc = GetProcAddress(library, "DrvDeviceCapabilities");
    if (auto entry = reinterpret_cast<DrvDeviceCapabilitiesFn>(reinterpret_cast<void (*)()>(proc))) {
      answer = static_cast<int>(entry(printer, const_cast<PWSTR>(pDevice), fwCapability, pOutput,
                                      const_cast<PDEVMODEW>(pDevMode)));
    }
    FreeLibrary(library);
  } else if (configFile.empty()) {
    SetLastError(ERROR_UNKNOWN_PRINTER_DRIVER);
  }
  ClosePrinter(printer);
  return answer;
}
