#include "machine_setup.h"

#include <algorithm>
#include <unistd.h>

#include "core/machine_root.h"
#include "core/path_map.h"
#include "core/unicode.h"
#include "core/winerror.h"
#include "spool/winspool.h"

namespace velm::tools {
namespace fs = std::filesystem;
using platform::Utf16ToUtf8;
using platform::Utf8ToUtf16;

namespace {

// The driver's own libraries: build name and the Windows name they are installed under.
struct DriverLibrary {
  const char* buildName;
  std::u16string_view windowsName;
};
constexpr DriverLibrary kGraphicsLibrary{"velmgr.so", u"velmgr.dll"};
constexpr DriverLibrary kInterfaceLibrary{"velmui.so", u"velmui.dll"};
constexpr DriverLibrary kQueryLibrary{"velmexc.so", u"velmexc.dll"};
constexpr DriverLibrary kDriverLibraries[] = {kGraphicsLibrary, kInterfaceLibrary, kQueryLibrary};

#ifndef VELM_COMPANION_FILES
#define VELM_COMPANION_FILES ""
#endif

std::u16string InDriverDirectory(std::u16string_view name) {
  return std::u16string(platform::kDriverDirectory) + std::u16string(name);
}

bool Fail(std::string* error, const std::string& message) {
  if (error) *error = message;
  return false;
}

// Copies `source` to the Windows path `target` through a temporary file and a rename, so that a
// process holding the old file loaded keeps it intact.
bool CopyIntoRoot(const fs::path& source, std::u16string_view target, std::string* error) {
  platform::MappedPath mapped;
  DWORD code = 0;
  if (!platform::MapPath(target, mapped, code))
    return Fail(error, "cannot map " + Utf16ToUtf8(target) + " (error " + std::to_string(code) + ")");
  std::error_code ec;
  fs::create_directories(mapped.host.parent_path(), ec);
  const fs::path temp = mapped.host.string() + ".tmp" + std::to_string(::getpid());
  fs::copy_file(source, temp, fs::copy_options::overwrite_existing, ec);
  if (!ec) fs::rename(temp, mapped.host, ec);
  if (ec) {
    fs::remove(temp, ec);
    return Fail(error, "cannot install " + source.string() + " as " + Utf16ToUtf8(target));
  }
  return true;
}

// Companion stand-ins: the modules the build made from companions/ (their file names come
// from the build) that are present in the module folder; "name.so" is installed as "name.dll".
std::vector<fs::path> CompanionModules(const fs::path& moduleDir) {
  std::vector<fs::path> found;
  std::string_view names = VELM_COMPANION_FILES;
  while (!names.empty()) {
    const size_t comma = names.find(',');
    const std::string_view name = names.substr(0, comma);
    names = comma == std::string_view::npos ? std::string_view() : names.substr(comma + 1);
    std::error_code ec;
    if (!name.empty() && fs::is_regular_file(moduleDir / name, ec)) found.push_back(moduleDir / name);
  }
  std::sort(found.begin(), found.end());
  return found;
}

#ifndef VELM_SOURCE_DATA_DIR
#define VELM_SOURCE_DATA_DIR ""
#endif

// The model description and the other files of the model's data that go into the driver folder.
std::vector<fs::path> DataFiles(fs::path dataDir) {
  std::vector<fs::path> found;
  std::error_code ec;
  if (dataDir.empty()) dataDir = VELM_SOURCE_DATA_DIR;
  if (dataDir.empty()) return found;
  for (fs::directory_iterator it(dataDir / "install", ec), end; !ec && it != end; it.increment(ec))
    if (it->is_regular_file()) found.push_back(it->path());
  std::sort(found.begin(), found.end());
  const fs::path description = dataDir / "model" / Utf16ToUtf8(kModelDataFile);
  if (fs::is_regular_file(description, ec)) found.push_back(description);
  return found;
}

bool FileExistsInRoot(std::u16string_view windowsPath) {
  platform::MappedPath mapped;
  DWORD code = 0;
  std::error_code ec;
  return platform::MapPath(windowsPath, mapped, code) && fs::is_regular_file(mapped.host, ec);
}

}  // namespace

bool InstallDriver(const InstallSources& sources, std::string* error, InstallReport* report) {
  if (platform::MachineRoot().empty()) return Fail(error, "no machine root");
  InstallReport local;
  InstallReport& out = report ? *report : local;

  platform::SpoolDriver driver;
  driver.name = kDriverName;
  driver.environment = platform::kSpoolEnvironment;
  driver.driverPath = InDriverDirectory(kGraphicsLibrary.windowsName);
  driver.configFile = InDriverDirectory(kInterfaceLibrary.windowsName);
  driver.dataFile = InDriverDirectory(kModelDataFile);
  driver.dependentFiles.push_back(InDriverDirectory(kQueryLibrary.windowsName));

  for (const DriverLibrary& lib : kDriverLibraries) {
    const fs::path source = sources.moduleDir / lib.buildName;
    if (!fs::is_regular_file(source)) return Fail(error, "missing driver library " + source.string());
    if (!CopyIntoRoot(source, InDriverDirectory(lib.windowsName), error)) return false;
    out.installed.push_back(InDriverDirectory(lib.windowsName));
  }
  for (const fs::path& module : CompanionModules(sources.moduleDir)) {
    const std::u16string target = InDriverDirectory(Utf8ToUtf16(module.stem().string() + ".dll"));
    if (!CopyIntoRoot(module, target, error)) return false;
    out.installed.push_back(target);
    driver.dependentFiles.push_back(target);
  }
  for (const fs::path& file : DataFiles(sources.dataDir)) {
    const std::u16string name = Utf8ToUtf16(file.filename().string());
    const std::u16string target = InDriverDirectory(name);
    if (!CopyIntoRoot(file, target, error)) return false;
    out.installed.push_back(target);
    if (!platform::EqualsNoCase(name, kModelDataFile)) driver.dependentFiles.push_back(target);
  }
  if (!FileExistsInRoot(driver.dataFile)) out.missing.push_back(driver.dataFile);

  if (DWORD code = platform::AddSpoolDriver(driver); code != ERROR_SUCCESS)
    return Fail(error, "cannot register the driver (error " + std::to_string(code) + ")");
  return true;
}

std::u16string PrinterFullName(const PrinterOptions& options) {
  return options.serverName.empty() ? options.name : options.serverName + u"\\" + options.name;
}

bool AddPrinter(const PrinterOptions& options, std::string* error) {
  platform::SpoolPrinter printer;
  const bool connection = !options.serverName.empty();
  printer.name = PrinterFullName(options);
  printer.serverName = options.serverName;
  printer.shareName = options.shareName;
  printer.portName = options.portName;
  printer.driverName = kDriverName;
  printer.attributes = PRINTER_ATTRIBUTE_DO_COMPLETE_FIRST |
                       (connection ? PRINTER_ATTRIBUTE_NETWORK : PRINTER_ATTRIBUTE_LOCAL) |
                       (options.shareName.empty() ? 0 : PRINTER_ATTRIBUTE_SHARED) |
                       (options.bidi ? PRINTER_ATTRIBUTE_ENABLE_BIDI : 0);
  printer.adminAccess = options.adminAccess;
  printer.devmode = options.devmode;
  const DWORD code = platform::AddSpoolPrinter(printer);
  if (code == ERROR_SUCCESS) return true;
  const std::string name = Utf16ToUtf8(printer.name);
  if (code == ERROR_PRINTER_ALREADY_EXISTS) return Fail(error, "a printer \"" + name + "\" exists already");
  if (code == ERROR_UNKNOWN_PRINTER_DRIVER) return Fail(error, "the driver is not installed");
  return Fail(error, "cannot add printer \"" + name + "\" (error " + std::to_string(code) + ")");
}

bool SetupMachine(const fs::path& root, const InstallSources& sources, std::string* error, InstallReport* report) {
  if (!platform::CreateMachineRoot(root, error)) return false;
  platform::SetMachineRoot(root);
  if (!InstallDriver(sources, error, report)) return false;
  if (platform::FindSpoolPrinter(kDefaultPrinterName)) return true;
  return AddPrinter(PrinterOptions{}, error);
}

}  // namespace velm::tools
