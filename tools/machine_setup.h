// Installing the driver into a machine root: its libraries and companion stand-ins under their
// Windows names in the driver folder, the model's data files, the driver's registration with
// the spooler, and printers on it. `velm setup` uses it, and so do tests that need printers
// of their own (local, connections to a server, shared, bidirectional or not).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "spool/spool_store.h"

namespace velm::tools {

inline constexpr std::u16string_view kDriverName = u"Velm Printer Driver";
inline constexpr std::u16string_view kDefaultPrinterName = u"Velm Printer";
// The model description file, installed as the driver's data file from <dataDir>/model.
inline constexpr std::u16string_view kModelDataFile = u"qnvelm.dsc";

struct InstallSources {
  // The build's module folder: velmui.so, velmgr.so, velmexc.so and the companions (name.so).
  std::filesystem::path moduleDir;
  // The model's data: the model description <dataDir>/model/qnvelm.dsc and every file of
  // <dataDir>/install go into the driver folder under their own names. Empty: the data folder of
  // the source tree this build came from, so that every printer set up has its description.
  std::filesystem::path dataDir;
};

struct InstallReport {
  std::vector<std::u16string> installed;  // Windows paths of the files copied
  std::vector<std::u16string> missing;    // files the registration names that are not there yet
};

// Copies the driver's files into the driver folder of the machine root in force and registers
// the driver (replacing an earlier registration). False with a message when a library is missing
// or a file cannot be written.
bool InstallDriver(const InstallSources& sources, std::string* error, InstallReport* report = nullptr);

struct PrinterOptions {
  std::u16string name{kDefaultPrinterName};
  // "\\SERVER": the printer is a connection to that server, named "\\SERVER\<name>".
  std::u16string serverName;
  // Set: the printer is shared under this name.
  std::u16string shareName;
  std::u16string portName = u"LPT1:";
  bool bidi = false;
  platform::SpoolAdminAccess adminAccess = platform::SpoolAdminAccess::kAdministrators;
  std::string devmode;  // the printer's default devmode, or none
};

// The name a printer with these options has: the connection form for a server.
std::u16string PrinterFullName(const PrinterOptions& options);

// Adds a printer on the installed driver. False with a message when the name is taken or the
// driver is not installed.
bool AddPrinter(const PrinterOptions& options, std::string* error);

// Lays out (or completes) the machine root at `root`, makes it the root of this process,
// installs the driver and adds "Velm Printer" on a local port unless it is there already.
bool SetupMachine(const std::filesystem::path& root, const InstallSources& sources, std::string* error,
                  InstallReport* report = nullptr);

}  // namespace velm::tools
