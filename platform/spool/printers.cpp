// Printer handles and the printer's own information: OpenPrinterW, ClosePrinter, GetPrinterW,
// SetPrinterW and EnumPrintersW.
#include <algorithm>
#include <mutex>

#include "core/machine_root.h"
#include "core/unicode.h"
#include "core/winerror.h"
#include "core/write_observer.h"
#include "spool/spool_internal.h"

namespace velm::platform {

namespace {

constexpr ACCESS_MASK kGenericRead = 0x80000000;
constexpr ACCESS_MASK kGenericWrite = 0x40000000;
constexpr ACCESS_MASK kGenericExecute = 0x20000000;
constexpr ACCESS_MASK kGenericAll = 0x10000000;

ACCESS_MASK MapGenericRights(ACCESS_MASK desired, bool server) {
  ACCESS_MASK mapped = desired & ~(kGenericRead | kGenericWrite | kGenericExecute | kGenericAll);
  if (desired & kGenericRead) mapped |= server ? SERVER_READ : PRINTER_READ;
  if (desired & kGenericWrite) mapped |= server ? SERVER_WRITE : PRINTER_WRITE;
  if (desired & kGenericExecute) mapped |= server ? SERVER_READ : PRINTER_EXECUTE;
  if (desired & kGenericAll) mapped |= server ? SERVER_ALL_ACCESS : PRINTER_ALL_ACCESS;
  return mapped;
}

// "\\COMPUTER\name" names a printer of this machine by its local name.
std::u16string_view WithoutThisComputer(std::u16string_view name) {
  const std::u16string prefix = u"\\\\" + ComputerName() + u"\\";
  if (name.size() > prefix.size() && EqualsNoCase(name.substr(0, prefix.size()), prefix))
    return name.substr(prefix.size());
  return name;
}

bool NamesThisServer(std::u16string_view name) {
  return name.empty() || EqualsNoCase(name, u"\\\\" + ComputerName());
}

const std::string kNoDevmode;

size_t PrinterInfoSize(DWORD level) {
  switch (level) {
    case 1: return sizeof(PRINTER_INFO_1W);
    case 2: return sizeof(PRINTER_INFO_2W);
    case 4: return sizeof(PRINTER_INFO_4W);
    case 8: return sizeof(PRINTER_INFO_8W);
    case 9: return sizeof(PRINTER_INFO_9W);
    default: return 0;
  }
}

DWORD CountJobs(const SpoolState& state, uint32_t printerId) {
  return static_cast<DWORD>(std::count_if(state.jobs.begin(), state.jobs.end(), [&](const SpoolJob& j) {
    return j.printerId == printerId && !(j.status & JOB_STATUS_DELETED);
  }));
}

#define FIELD(type, name) offsetof(type, name)

// Lays out one printer at `level` into slot `index`.
void LayoutPrinter(const SpoolState& state, const SpoolPrinter& p, DWORD level, InfoLayout& out, size_t index) {
  switch (level) {
    case 1: {
      PRINTER_INFO_1W info{};
      info.Flags = PRINTER_ENUM_ICON8;
      out.Put(index, info);
      out.String(index, FIELD(PRINTER_INFO_1W, pDescription), p.name + u"," + p.driverName + u"," + p.location);
      out.String(index, FIELD(PRINTER_INFO_1W, pName), p.name);
      out.String(index, FIELD(PRINTER_INFO_1W, pComment), p.comment);
      break;
    }
    case 2: {
      PRINTER_INFO_2W info{};
      info.Attributes = p.attributes;
      info.Priority = p.priority;
      info.DefaultPriority = p.defaultPriority;
      info.StartTime = p.startTime;
      info.UntilTime = p.untilTime;
      info.Status = p.status;
      info.cJobs = CountJobs(state, p.id);
      out.Put(index, info);
      if (!p.serverName.empty()) out.String(index, FIELD(PRINTER_INFO_2W, pServerName), p.serverName);
      const std::pair<size_t, const std::u16string*> strings[] = {
          {FIELD(PRINTER_INFO_2W, pPrinterName), &p.name},       {FIELD(PRINTER_INFO_2W, pShareName), &p.shareName},
          {FIELD(PRINTER_INFO_2W, pPortName), &p.portName},      {FIELD(PRINTER_INFO_2W, pDriverName), &p.driverName},
          {FIELD(PRINTER_INFO_2W, pComment), &p.comment},        {FIELD(PRINTER_INFO_2W, pLocation), &p.location},
          {FIELD(PRINTER_INFO_2W, pSepFile), &p.sepFile},        {FIELD(PRINTER_INFO_2W, pPrintProcessor), &p.printProcessor},
          {FIELD(PRINTER_INFO_2W, pDatatype), &p.datatype},      {FIELD(PRINTER_INFO_2W, pParameters), &p.parameters},
      };
      for (const auto& [field, text] : strings) out.String(index, field, *text);
      out.Devmode(index, FIELD(PRINTER_INFO_2W, pDevMode), EffectiveDevmode(p));
      break;
    }
    case 4: {
      PRINTER_INFO_4W info{};
      info.Attributes = p.attributes;
      out.Put(index, info);
      out.String(index, FIELD(PRINTER_INFO_4W, pPrinterName), p.name);
      if (!p.serverName.empty()) out.String(index, FIELD(PRINTER_INFO_4W, pServerName), p.serverName);
      break;
    }
    case 8:
    case 9: {
      PRINTER_INFO_8W info{};
      out.Put(index, info);
      const std::string* devmode = &kNoDevmode;
      if (level == 8) {
        if (const std::string* sane = SaneDevmode(p.devmode)) devmode = sane;
      } else {
        const std::u16string user = CurrentUserName();
        for (const auto& [name, bytes] : p.userDevmodes)
          if (EqualsNoCase(name, user))
            if (const std::string* sane = SaneDevmode(bytes)) devmode = sane;
      }
      out.Devmode(index, FIELD(PRINTER_INFO_8W, pDevMode), *devmode);
      break;
    }
  }
}

// Printers laid out by GetPrinterW, kept while the store's decoded state is the same one (the
// store reads a changed file again, so a change by another process makes a new state) and the
// calling user is the same (levels 2 and 9 show the user's own devmode).
class PrinterLayouts {
 public:
  // The printer of `state` at `level`, delivered as InfoLayout::Deliver does.
  BOOL Deliver(const std::shared_ptr<const SpoolState>& state, const SpoolPrinter& printer, DWORD level,
               LPBYTE buffer, DWORD cbBuf, LPDWORD pcbNeeded) {
    // Only a printer with users' own devmodes shows each user something else.
    std::u16string user = printer.userDevmodes.empty() ? std::u16string() : CurrentUserName();
    std::lock_guard lock(mutex_);
    if (state_ != state) {
      state_ = state;
      laid_.clear();
    }
    for (const Laid& laid : laid_)
      if (laid.printerId == printer.id && laid.level == level && laid.user == user)
        return laid.layout.Deliver(buffer, cbBuf, pcbNeeded);
    InfoLayout layout(PrinterInfoSize(level), 1);
    LayoutPrinter(*state, printer, level, layout, 0);
    if (laid_.size() >= kMaxLaid) laid_.clear();
    laid_.push_back(Laid{printer.id, level, std::move(user), std::move(layout)});
    return laid_.back().layout.Deliver(buffer, cbBuf, pcbNeeded);
  }

 private:
  struct Laid {
    uint32_t printerId;
    DWORD level;
    std::u16string user;
    InfoLayout layout;
  };
  static constexpr size_t kMaxLaid = 16;
  std::mutex mutex_;
  std::shared_ptr<const SpoolState> state_;  // held, so that its address is not reused
  std::vector<Laid> laid_;
};

PrinterLayouts& LaidOutPrinters() {
  static PrinterLayouts layouts;
  return layouts;
}

// The devmode a caller passed, as stored bytes; false when its header is not sane.
bool CopyCallerDevmode(const DEVMODEW* devmode, std::string& out) {
  const size_t length = DevmodeByteCount(devmode);
  if (length == 0) return false;
  out.assign(reinterpret_cast<const char*>(devmode), length);
  return true;
}

DWORD RunPrinterCommand(SpoolState& state, SpoolPrinter& printer, DWORD command, const BYTE* data) {
  switch (command) {
    case PRINTER_CONTROL_PAUSE:
      printer.status |= PRINTER_STATUS_PAUSED;
      return ERROR_SUCCESS;
    case PRINTER_CONTROL_RESUME:
      printer.status &= ~PRINTER_STATUS_PAUSED;
      return ERROR_SUCCESS;
    case PRINTER_CONTROL_PURGE:
      std::erase_if(state.jobs, [&](const SpoolJob& job) {
        if (job.printerId != printer.id || (job.status & JOB_STATUS_SPOOLING)) return false;
        std::error_code ec;
        std::filesystem::remove(SpoolJobFile(job.id), ec);
        return true;
      });
      return ERROR_SUCCESS;
    case PRINTER_CONTROL_SET_STATUS:
      if (!data) return ERROR_INVALID_PARAMETER;
      std::memcpy(&printer.status, data, sizeof(DWORD));
      return ERROR_SUCCESS;
    default:
      return ERROR_INVALID_PARAMETER;
  }
}

DWORD SetPrinterInfo2(SpoolState& state, SpoolPrinter& printer, const PRINTER_INFO_2W& info) {
  auto text = [](LPCWSTR s) { return s ? std::u16string(s) : std::u16string(); };
  if (!info.pPrinterName || !info.pDriverName) return ERROR_INVALID_PARAMETER;
  const std::u16string name = info.pPrinterName;
  if (name != printer.name) {
    if (!printer.serverName.empty() || !IsValidPrinterName(name)) return ERROR_INVALID_PRINTER_NAME;
    const SpoolPrinter* other = FindPrinterIn(state, name);
    if (other && other->id != printer.id) return ERROR_PRINTER_ALREADY_EXISTS;
  }
  if (!FindDriverIn(state, info.pDriverName, kSpoolEnvironment)) return ERROR_UNKNOWN_PRINTER_DRIVER;
  if (!info.pPortName || !*info.pPortName) return ERROR_UNKNOWN_PORT;
  if (info.Priority > MAX_PRIORITY || info.DefaultPriority > MAX_PRIORITY) return ERROR_INVALID_PRIORITY;
  std::string devmode = printer.devmode;
  if (info.pDevMode && !CopyCallerDevmode(info.pDevMode, devmode)) return ERROR_INVALID_PARAMETER;

  for (SpoolJob& job : state.jobs)
    if (job.printerId == printer.id) job.printerName = name;
  printer.name = name;
  printer.shareName = text(info.pShareName);
  printer.portName = info.pPortName;
  printer.driverName = info.pDriverName;
  printer.comment = text(info.pComment);
  printer.location = text(info.pLocation);
  printer.sepFile = text(info.pSepFile);
  if (info.pPrintProcessor && *info.pPrintProcessor) printer.printProcessor = info.pPrintProcessor;
  if (info.pDatatype && *info.pDatatype) printer.datatype = info.pDatatype;
  printer.parameters = text(info.pParameters);
  // Whether the printer is local or a connection is what it is, not a setting.
  constexpr DWORD kKind = PRINTER_ATTRIBUTE_LOCAL | PRINTER_ATTRIBUTE_NETWORK;
  printer.attributes = (info.Attributes & ~kKind) | (printer.attributes & kKind);
  printer.priority = info.Priority;
  printer.defaultPriority = info.DefaultPriority;
  printer.startTime = info.StartTime;
  printer.untilTime = info.UntilTime;
  printer.devmode = std::move(devmode);
  return ERROR_SUCCESS;
}

// Level 7: nothing here publishes printers; the action is reported (as 4 bytes) once the
// handle's rights allow it.
BOOL ReportPublishing(const PrinterHandle& handle, LPBYTE pPrinter, DWORD command) {
  if (!(handle.granted & PRINTER_ACCESS_ADMINISTER)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  PRINTER_INFO_7W info;
  std::memcpy(&info, pPrinter, sizeof info);
  ObservedWrite write;
  write.kind = ObservedWrite::Kind::kSetPrinter;
  write.number = 7;
  write.command = command;
  write.bytes.assign(reinterpret_cast<const char*>(&info.dwAction), sizeof info.dwAction);
  ReportWrite(write);
  return TRUE;
}

std::mutex g_openRefusalLock;
OpenPrinterRefusal g_openRefusal;

bool RefusesOpen(std::u16string_view name, ACCESS_MASK access) {
  std::lock_guard lock(g_openRefusalLock);
  return g_openRefusal && g_openRefusal(name, access);
}

void SetUserDevmode(SpoolPrinter& printer, const std::u16string& user, const std::string* devmode) {
  auto& users = printer.userDevmodes;
  std::erase_if(users, [&](const auto& entry) { return EqualsNoCase(entry.first, user); });
  if (devmode) users.emplace_back(user, *devmode);
}

}  // namespace

// ---- Shared helpers ---------------------------------------------------------------------------

bool IsValidPrinterName(std::u16string_view name) {
  if (name.empty() || name.size() > kMaxPrinterNameUnits) return false;
  return std::none_of(name.begin(), name.end(), [](char16_t c) { return c < 32 || c == u',' || c == u'\\' || c == u'!'; });
}

std::u16string CurrentUserName() { return Utf8ToUtf16(MachineSetting("user", "user")); }
std::u16string ComputerName() { return Utf8ToUtf16(MachineSetting("computer", "VELMHOST")); }

bool MayAdminister(const SpoolPrinter& printer) {
  switch (printer.adminAccess) {
    case SpoolAdminAccess::kEveryone: return true;
    case SpoolAdminAccess::kNobody: return false;
    case SpoolAdminAccess::kAdministrators: break;
  }
  return MachineSetting("administrator") == "1";
}

const std::string* SaneDevmode(const std::string& devmode) {
  return IsSaneDevmode(devmode.data(), devmode.size()) ? &devmode : nullptr;
}

const std::string& EffectiveDevmode(const SpoolPrinter& printer) {
  const std::u16string user = printer.userDevmodes.empty() ? std::u16string() : CurrentUserName();
  for (const auto& [name, bytes] : printer.userDevmodes)
    if (EqualsNoCase(name, user))
      if (const std::string* sane = SaneDevmode(bytes)) return *sane;
  if (const std::string* sane = SaneDevmode(printer.devmode)) return *sane;
  return kNoDevmode;
}

std::shared_ptr<PrinterHandle> LookupPrinterHandle(HANDLE handle, bool needPrinter) {
  std::shared_ptr<PrinterHandle> object = LookupHandleAs<PrinterHandle>(handle);
  if (!object || (needPrinter && object->server)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return object;
}

void SetOpenPrinterRefusal(OpenPrinterRefusal refusal) {
  std::lock_guard lock(g_openRefusalLock);
  g_openRefusal = std::move(refusal);
}

}  // namespace velm::platform

using namespace velm::platform;

// ---- Win32 ------------------------------------------------------------------------------------

extern "C" BOOL OpenPrinterW(LPWSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSW pDefault) {
  if (!phPrinter) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *phPrinter = nullptr;
  const std::u16string_view name = pPrinterName ? std::u16string_view(pPrinterName) : std::u16string_view();
  auto handle = std::make_shared<PrinterHandle>();
  handle->server = NamesThisServer(name);
  bool mayAdminister = MachineSetting("administrator") == "1";
  if (!handle->server) {
    std::shared_ptr<const SpoolState> state;
    const DWORD error = ShareSpoolState(state);
    const SpoolPrinter* printer = error == ERROR_SUCCESS ? FindPrinterIn(*state, name) : nullptr;
    if (!printer && error == ERROR_SUCCESS) {
      const std::u16string_view local = WithoutThisComputer(name);
      printer = FindPrinterIn(*state, local);
      if (printer && !printer->serverName.empty()) printer = nullptr;
    }
    if (!printer) {
      SetLastError(ERROR_INVALID_PRINTER_NAME);
      return FALSE;
    }
    handle->printerId = printer->id;
    mayAdminister = MayAdminister(*printer);
  }

  if (RefusesOpen(name, pDefault ? pDefault->DesiredAccess : 0)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  ACCESS_MASK wanted = MapGenericRights(pDefault ? pDefault->DesiredAccess : 0, handle->server);
  const ACCESS_MASK administer = handle->server ? SERVER_ACCESS_ADMINISTER : PRINTER_ACCESS_ADMINISTER;
  const ACCESS_MASK use = handle->server ? SERVER_ACCESS_ENUMERATE : PRINTER_ACCESS_USE;
  if ((wanted & administer) && !mayAdminister) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (wanted == 0 || (wanted & administer)) wanted |= use;
  handle->granted = wanted;

  if (pDefault) {
    if (pDefault->pDevMode && !CopyCallerDevmode(pDefault->pDevMode, handle->devmode)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    if (pDefault->pDatatype) handle->datatype = pDefault->pDatatype;
  }
  *phPrinter = RegisterHandle(handle);
  return TRUE;
}

extern "C" BOOL ClosePrinter(HANDLE hPrinter) {
  if (!LookupPrinterHandle(hPrinter, false)) return FALSE;
  // Releasing the handle runs PrinterHandle::OnHandleClosed, which ends an open document.
  ReleaseHandle(hPrinter);
  return TRUE;
}

extern "C" BOOL GetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD cbBuf, LPDWORD pcbNeeded) {
  const auto handle = LookupPrinterHandle(hPrinter);
  if (!handle) return FALSE;
  if (auto fault = RunSpoolHook("GetPrinterW", hPrinter, Level, cbBuf)) return AnswerFault(*fault, pcbNeeded);
  const size_t structSize = PrinterInfoSize(Level);
  if (structSize == 0) {
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  std::shared_ptr<const SpoolState> state;
  const SpoolPrinter* printer = ShareHandlePrinter(*handle, state);
  if (!printer) return FALSE;
  return LaidOutPrinters().Deliver(state, *printer, Level, pPrinter, cbBuf, pcbNeeded);
}

extern "C" BOOL SetPrinterW(HANDLE hPrinter, DWORD Level, LPBYTE pPrinter, DWORD Command) {
  const auto handle = LookupPrinterHandle(hPrinter);
  if (!handle) return FALSE;
  if (Level != 0 && Level != 2 && Level != 7 && Level != 8 && Level != 9) {
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  if ((Level == 0 && Command == 0) || (Level != 0 && !pPrinter)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // A user's own default devmode is the user's business; everything else is the administrator's.
  const bool needsAdminister = Level != 9 || Command != 0;
  if (needsAdminister && !(handle->granted & PRINTER_ACCESS_ADMINISTER)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (Level == 7) return ReportPublishing(*handle, pPrinter, Command);
  const DWORD error = EditSpoolState([&](SpoolState& state) -> DWORD {
    SpoolPrinter* printer = FindPrinterById(state, handle->printerId);
    if (!printer) return ERROR_INVALID_HANDLE;
    DWORD result = ERROR_SUCCESS;
    if (Level == 2) {
      PRINTER_INFO_2W info;
      std::memcpy(&info, pPrinter, sizeof info);
      result = SetPrinterInfo2(state, *printer, info);
    } else if (Level == 8 || Level == 9) {
      PRINTER_INFO_8W info;
      std::memcpy(&info, pPrinter, sizeof info);
      std::string devmode;
      if (info.pDevMode && !CopyCallerDevmode(info.pDevMode, devmode)) return ERROR_INVALID_PARAMETER;
      if (Level == 8) {
        if (!info.pDevMode) return ERROR_INVALID_PARAMETER;
        printer->devmode = std::move(devmode);
      } else {
        SetUserDevmode(*printer, CurrentUserName(), info.pDevMode ? &devmode : nullptr);
      }
    }
    if (result == ERROR_SUCCESS && Command != 0) result = RunPrinterCommand(state, *printer, Command, pPrinter);
    return result;
  });
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  ObservedWrite write;
  write.kind = ObservedWrite::Kind::kSetPrinter;
  write.number = Level;
  write.command = Command;
  ReportWrite(write);
  return TRUE;
}

extern "C" BOOL EnumPrintersW(DWORD Flags, LPWSTR Name, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf,
                              LPDWORD pcbNeeded, LPDWORD pcReturned) {
  if (!pcbNeeded || !pcReturned) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *pcReturned = 0;
  if (Level != 1 && Level != 2 && Level != 4) {
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  if ((Flags & PRINTER_ENUM_NAME) && !NamesThisServer(Name ? std::u16string_view(Name) : std::u16string_view())) {
    SetLastError(ERROR_INVALID_NAME);
    return FALSE;
  }
  if (auto fault = RunSpoolHook("EnumPrintersW", nullptr, Level, cbBuf)) return AnswerFault(*fault, pcbNeeded);
  std::shared_ptr<const SpoolState> shared;
  if (DWORD error = ShareSpoolState(shared); error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  const SpoolState& state = *shared;
  const bool local = Flags & (PRINTER_ENUM_LOCAL | PRINTER_ENUM_NAME);
  const bool connections = Flags & PRINTER_ENUM_CONNECTIONS;
  const bool sharedOnly = Flags & PRINTER_ENUM_SHARED;
  std::vector<const SpoolPrinter*> chosen;
  for (const SpoolPrinter& p : state.printers) {
    const bool isConnection = !p.serverName.empty();
    if (isConnection ? !connections : !local) continue;
    if (sharedOnly && !(p.attributes & PRINTER_ATTRIBUTE_SHARED)) continue;
    chosen.push_back(&p);
  }
  InfoLayout layout(PrinterInfoSize(Level), chosen.size());
  for (size_t i = 0; i < chosen.size(); ++i) LayoutPrinter(state, *chosen[i], Level, layout, i);
  if (!layout.Deliver(pPrinterEnum, cbBuf, pcbNeeded)) return FALSE;
  *pcReturned = static_cast<DWORD>(chosen.size());
  return TRUE;
}
