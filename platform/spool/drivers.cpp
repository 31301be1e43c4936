// The printer's driver as the spooler describes it: GetPrinterDriverW and the driver folder.
#include "core/unicode.h"
#include "core/winerror.h"
#include "spool/spool_internal.h"

namespace velm::platform {
namespace {

// The environments the driver folder knows, with their subfolder.
struct EnvironmentFolder {
  std::u16string_view environment;
  std::u16string_view folder;
};
constexpr EnvironmentFolder kEnvironmentFolders[] = {
    {u"Windows NT x86", u"w32x86"},
    {u"Windows x64", u"x64"},
    {u"Windows 4.0", u"win40"},
};

size_t DriverInfoSize(DWORD level) {
  switch (level) {
    case 1: return sizeof(DRIVER_INFO_1W);
    case 2: return sizeof(DRIVER_INFO_2W);
    case 3: return sizeof(DRIVER_INFO_3W);
    default: return 0;
  }
}

void LayoutDriver(const SpoolDriver& d, DWORD level, InfoLayout& out) {
  if (level == 1) {
    out.Put(0, DRIVER_INFO_1W{});
    out.String(0, offsetof(DRIVER_INFO_1W, pName), d.name);
    return;
  }
  // Levels 2 and 3 share their leading fields, so the offsets of level 3 serve both.
  if (level == 2) {
    DRIVER_INFO_2W info{};
    info.cVersion = d.version;
    out.Put(0, info);
  } else {
    DRIVER_INFO_3W info{};
    info.cVersion = d.version;
    out.Put(0, info);
  }
  out.String(0, offsetof(DRIVER_INFO_3W, pName), d.name);
  out.String(0, offsetof(DRIVER_INFO_3W, pEnvironment), d.environment);
  out.String(0, offsetof(DRIVER_INFO_3W, pDriverPath), d.driverPath);
  out.String(0, offsetof(DRIVER_INFO_3W, pDataFile), d.dataFile);
  out.String(0, offsetof(DRIVER_INFO_3W, pConfigFile), d.configFile);
  if (level == 3) {
    out.String(0, offsetof(DRIVER_INFO_3W, pHelpFile), d.helpFile);
    out.MultiString(0, offsetof(DRIVER_INFO_3W, pDependentFiles), d.dependentFiles);
    out.String(0, offsetof(DRIVER_INFO_3W, pMonitorName), d.monitorName);
    out.String(0, offsetof(DRIVER_INFO_3W, pDefaultDataType), d.defaultDataType);
  }
}

static_assert(offsetof(DRIVER_INFO_2W, pConfigFile) == offsetof(DRIVER_INFO_3W, pConfigFile));

}  // namespace
}  // namespace velm::platform

using namespace velm::platform;

extern "C" BOOL GetPrinterDriverW(HANDLE hPrinter, LPWSTR pEnvironment, DWORD Level, LPBYTE pDriverInfo,
                                  DWORD cbBuf, LPDWORD pcbNeeded) {
  const auto handle = LookupPrinterHandle(hPrinter);
  if (!handle) return FALSE;
  if (auto fault = RunSpoolHook("GetPrinterDriverW", hPrinter, Level, cbBuf)) return AnswerFault(*fault, pcbNeeded);
  const size_t structSize = DriverInfoSize(Level);
  if (structSize == 0) {
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  std::shared_ptr<const SpoolState> state;
  const SpoolPrinter* printer = ShareHandlePrinter(*handle, state);
  if (!printer) return FALSE;
  const std::u16string_view environment = pEnvironment ? std::u16string_view(pEnvironment) : kSpoolEnvironment;
  const SpoolDriver* driver = FindDriverIn(*state, printer->driverName, environment);
  if (!driver) {
    SetLastError(ERROR_UNKNOWN_PRINTER_DRIVER);
    return FALSE;
  }
  InfoLayout layout(structSize, 1);
  LayoutDriver(*driver, Level, layout);
  return layout.Deliver(pDriverInfo, cbBuf, pcbNeeded);
}

extern "C" BOOL GetPrinterDriverDirectoryW(LPWSTR pName, LPWSTR pEnvironment, DWORD Level,
                                           LPBYTE pDriverDirectory, DWORD cbBuf, LPDWORD pcbNeeded) {
  if (Level != 1) {
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  if (pName && *pName && !EqualsNoCase(pName, u"\\\\" + ComputerName())) {
    SetLastError(ERROR_INVALID_NAME);
    return FALSE;
  }
  const std::u16string_view environment = pEnvironment ? std::u16string_view(pEnvironment) : kSpoolEnvironment;
  const EnvironmentFolder* found = nullptr;
  for (const EnvironmentFolder& e : kEnvironmentFolders)
    if (EqualsNoCase(e.environment, environment)) found = &e;
  if (!found) {
    SetLastError(ERROR_INVALID_ENVIRONMENT);
    return FALSE;
  }
  const std::u16string folder = u"C:\\Windows\\System32\\spool\\drivers\\" + std::u16string(found->folder);
  const DWORD needed = static_cast<DWORD>((folder.size() + 1) * sizeof(char16_t));
  if (!pcbNeeded) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *pcbNeeded = needed;
  if (!pDriverDirectory || cbBuf < needed) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(pDriverDirectory, folder.c_str(), needed);
  return TRUE;
}
