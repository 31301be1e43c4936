// Printing a job as an application would: a devmode for the printer with the settings asked
// for, the pages run through the print host of the graphics engine (which loads the driver's
// graphics library by name from the driver folder), and the spooler job's bytes copied out.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "core/wintypes.h"
#include "machine_setup.h"

namespace velm::tools {

// ITEM=VALUE: an item by identifier ("183") or name ("vdmRasterMode"); a number (decimal or
// 0x hex) for a number or bit item, the text for a text item.
struct ItemAssignment {
  std::string item;
  std::string value;
};

// Splits "ITEM=VALUE"; false when there is no "=" or no item.
bool ParseItemAssignment(const std::string& text, ItemAssignment* assignment);

// The printer's job devmode (1260 bytes): the model's defaults as a record of them holds them,
// the printer's name, then `settings` in order through the item store. A public field (items
// 7..34) is marked in dmFields as an application marks the fields it sets, so that the driver
// takes it (validated) and derives its items from it; item 6 writes dmFields itself. The settings
// library must be attached (SysLibraryAttach). Items outside the devmode are refused.
bool BuildJobDevmode(HANDLE printer, const std::vector<ItemAssignment>& settings, std::vector<BYTE>* devmode,
                     std::string* error);

struct PrintOptions {
  std::u16string printer{kDefaultPrinterName};
  std::vector<ItemAssignment> settings;
  std::vector<std::filesystem::path> pageFiles;  // page descriptions; none: the built-in test page
  std::filesystem::path output;                  // the job file
};

struct PrintReport {
  size_t pages = 0;
  DWORD spoolJob = 0;
  size_t bytes = 0;
};

// Prints on the printer of the machine root in force and writes the job's bytes to
// options.output (through a temporary file and a rename). False with a message when anything
// fails; a failed job leaves no output file.
bool PrintToJobFile(const PrintOptions& options, PrintReport* report, std::string* error);

}  // namespace velm::tools
