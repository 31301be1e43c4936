// The spooler's store in the machine root (<root>/machine/spool):
//   spooler        printers (with their default and per-user devmodes), drivers, added forms,
//                  jobs and the id counters
//   data/<id>      the printer data of printer <id>: typed values under their keys
//   jobs/<id>.spl  the bytes of job <id>
//   .changes       a counter every writer raises after it replaced or removed a store file
// Every file is rewritten through a temporary file and a rename, under an exclusive lock on
// spool/.lock; readers take the lock shared. Each process keeps what it decoded and reads a file
// again only when the counter moved and a stat shows that the file changed. Files are read with bounds on every length, and
// a store that fails them is refused (ERROR_INVALID_DATA), never half-read.
//
// The Win32 functions of winspool.h work on the store; the set-up tools and tests use this
// header to install drivers and printers, and to look at what the functions left behind.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/wintypes.h"

namespace velm::platform {

// Who may administer a printer (open it with PRINTER_ACCESS_ADMINISTER).
enum class SpoolAdminAccess : uint32_t {
  kAdministrators = 0,  // members of the administrators group (machine setting "administrator")
  kEveryone = 1,
  kNobody = 2,          // e.g. a connection to a server on which this user has no rights
};

struct SpoolPrinter {
  uint32_t id = 0;             // given by the store
  std::u16string name;         // "Velm Printer", or "\\SERVER\Velm Printer" for a connection
  std::u16string serverName;   // "\\SERVER" for a connection, empty for a local printer
  std::u16string shareName;
  std::u16string portName;
  std::u16string driverName;
  std::u16string comment;
  std::u16string location;
  std::u16string sepFile;
  std::u16string printProcessor = u"WinPrint";
  std::u16string datatype = u"RAW";
  std::u16string parameters;
  uint32_t attributes = 0;
  uint32_t priority = 1;
  uint32_t defaultPriority = 0;
  uint32_t startTime = 0;
  uint32_t untilTime = 0;
  uint32_t status = 0;
  SpoolAdminAccess adminAccess = SpoolAdminAccess::kAdministrators;
  std::string devmode;  // the printer's default devmode (dmSize + dmDriverExtra bytes), or empty
  // Each user's own default devmode (level 9), by user name.
  std::vector<std::pair<std::u16string, std::string>> userDevmodes;
};

struct SpoolDriver {
  std::u16string name;
  std::u16string environment = u"Windows NT x86";
  uint32_t version = 3;
  // Paths as GetPrinterDriverW hands them out (the installer stores full paths).
  std::u16string driverPath;
  std::u16string dataFile;
  std::u16string configFile;
  std::u16string helpFile;
  std::vector<std::u16string> dependentFiles;
  std::u16string monitorName;
  std::u16string defaultDataType = u"RAW";
};

struct SpoolForm {
  std::u16string name;
  uint32_t flags = 0;
  SIZEL size{};
  RECTL area{};
};

struct SpoolJob {
  uint32_t id = 0;
  uint32_t printerId = 0;
  std::u16string printerName;
  std::u16string machineName;
  std::u16string userName;
  std::u16string document;
  std::u16string notifyName;
  std::u16string datatype;
  std::u16string outputFile;
  std::u16string statusText;
  uint32_t status = 0;
  uint32_t priority = 1;
  uint32_t totalPages = 0;
  uint32_t pagesPrinted = 0;
  uint32_t size = 0;
  SYSTEMTIME submitted{};
  std::string devmode;
};

// One printer-data value: the key ("PrinterDriverData" for the plain functions), the name,
// the registry type and the exact bytes.
struct SpoolValue {
  std::u16string key;
  std::u16string name;
  uint32_t type = 0;
  std::string data;
};

struct SpoolState {
  uint32_t generation = 0;  // counts the rewrites of the store
  uint32_t nextPrinterId = 1;
  uint32_t nextJobId = 1;
  std::vector<SpoolPrinter> printers;
  std::vector<SpoolDriver> drivers;
  std::vector<SpoolForm> forms;  // added forms only; the built-in ones are in code
  std::vector<SpoolJob> jobs;
};

// The driver folder of this machine's environment and its version-3 subfolder.
inline constexpr std::u16string_view kSpoolEnvironment = u"Windows NT x86";
inline constexpr std::u16string_view kDriverDirectoryRoot = u"C:\\Windows\\System32\\spool\\drivers\\w32x86";
inline constexpr std::u16string_view kDriverDirectory = u"C:\\Windows\\System32\\spool\\drivers\\w32x86\\3\\";
inline constexpr std::u16string_view kPrinterDriverDataKey = u"PrinterDriverData";

// ---- Reading and editing the store ---------------------------------------------------------
// Each returns ERROR_SUCCESS or a Win32 error: ERROR_PATH_NOT_FOUND without a machine root,
// ERROR_INVALID_DATA for a damaged store, ERROR_WRITE_FAULT when the rewrite fails. An edit
// whose function returns an error other than ERROR_SUCCESS writes nothing.

DWORD ReadSpoolState(SpoolState& state);
// The same without a copy: the state as decoded, shared with the store's cache. The pointer
// stays the same while the store is unchanged.
DWORD ShareSpoolState(std::shared_ptr<const SpoolState>& state);
DWORD EditSpoolState(const std::function<DWORD(SpoolState&)>& edit);
DWORD ReadPrinterValues(uint32_t printerId, std::vector<SpoolValue>& values);
// The same without a copy: the values as decoded, shared with the store's cache.
DWORD SharePrinterValues(uint32_t printerId, std::shared_ptr<const std::vector<SpoolValue>>& values);
DWORD EditPrinterValues(uint32_t printerId, const std::function<DWORD(std::vector<SpoolValue>&)>& edit);

// ---- Installing (set-up tools and tests) ---------------------------------------------------

// Adds or replaces a driver (same name and environment).
DWORD AddSpoolDriver(const SpoolDriver& driver);
// Adds a printer; ERROR_PRINTER_ALREADY_EXISTS for a taken name, ERROR_UNKNOWN_PRINTER_DRIVER
// when its driver is not installed. The stored record (with its id) goes to *added.
DWORD AddSpoolPrinter(const SpoolPrinter& printer, SpoolPrinter* added = nullptr);
// Removes a printer with its data, its jobs and their files.
DWORD DeleteSpoolPrinter(std::u16string_view name);
// Changes a stored printer as it stands; tests use it to stage what another process did.
DWORD UpdateSpoolPrinter(std::u16string_view name, const std::function<void(SpoolPrinter&)>& change);

// ---- Looking -------------------------------------------------------------------------------

// The printer of that name (case does not matter), if any.
std::optional<SpoolPrinter> FindSpoolPrinter(std::u16string_view name);
// The job's record, and the host file that holds its bytes.
std::optional<SpoolJob> FindSpoolJob(uint32_t jobId);
std::filesystem::path SpoolJobFile(uint32_t jobId);

// A devmode that can be handed out: dmSize and dmDriverExtra sane and equal to the byte count.
bool IsSaneDevmode(const void* bytes, size_t length);
// The bytes a caller's devmode takes (dmSize + dmDriverExtra), or 0 when the header is not sane.
size_t DevmodeByteCount(const void* devmode);

// Whether this thread runs as the spooler's client (true until RevertToPrinterSelf, and again
// after ImpersonatePrinterClient).
bool IsImpersonatingPrinterClient();

// ---- Test hooks ----------------------------------------------------------------------------

// A test that writes a store file itself (to stage damage) announces the change as the store's
// own writers do, so that every process reads the file again.
void NoteSpoolStoreChanged();

// Every sized query (GetPrinterW, GetPrinterDriverW, GetPrinterDataW/ExW, EnumPrintersW,
// EnumFormsW, GetFormW, GetJobW) calls the hook first. A hook can stage a change between the
// two calls of a size query, count calls, or force an answer: when it returns a fault, the
// call returns it without looking at the store (error 0 answers success with nothing written).
struct SpoolCall {
  std::string_view function;  // "GetPrinterW"
  HANDLE printer;
  DWORD level;
  DWORD bufferSize;
};
struct SpoolFault {
  DWORD error = 0;
  DWORD needed = 0;
};
using SpoolCallHook = std::function<std::optional<SpoolFault>(const SpoolCall&)>;
// Installs the hook for this process (an empty function removes it).
void SetSpoolCallHook(SpoolCallHook hook);

// OpenPrinterW asks the refusal first: when it answers true for the printer name and the access
// asked for, the open fails with ERROR_ACCESS_DENIED, as a spooler that denies that right does.
// An empty function removes it.
using OpenPrinterRefusal = std::function<bool(std::u16string_view name, ACCESS_MASK access)>;
void SetOpenPrinterRefusal(OpenPrinterRefusal refusal);

// The identity calls of this process, in order ("RevertToPrinterSelf",
// "ImpersonatePrinterClient"), from the last clear on.
std::vector<std::string> PrinterIdentityCalls();
void ClearPrinterIdentityCalls();
// While set, RevertToPrinterSelf answers no token (null) and the thread keeps its identity.
void SetRevertToPrinterSelfFails(bool fails);

}  // namespace velm::platform
