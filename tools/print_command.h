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

// The page a job gets unless the settings say otherwise: the page geometry items for A4 at
// 600 dpi with 100-pixel margins. The settings record is not yet built from the model's
// defaults, so without these a job would have no page.
std::vector<ItemAssignment> DefaultPageGeometry();

// The printer's job devmode (1260 bytes): the devmode header, the printer's name and the model's
// public defaults, then `settings` in order through the item store. The settings library must
// be attached (SysLibraryAttach). Items outside the devmode are refused. Public fields (items
// 1..34) are written but reach the driver only once the merge of public fields is built; each
// such item gets a line in `notes`.
bool BuildJobDevmode(HANDLE printer, const std::vector<ItemAssignment>& settings, std::vector<BYTE>* devmode,
                     std::vector<std::string>* notes, std::string* error);

struct PrintOptions {
  std::u16string printer{kDefaultPrinterName};
  std::vector<ItemAssignment> settings;         // after DefaultPageGeometry()
  std::vector<std::filesystem::path> pageFiles;  // page descriptions; none: the built-in test page
  std::filesystem::path output;                  // the job file
};

struct PrintReport {
  size_t pages = 0;
  DWORD spoolJob = 0;
  size_t bytes = 0;
  std::vector<std::string> notes;
};

// Prints on the printer of the machine root in force and writes the job's bytes to
// options.output (through a temporary file and a rename). False with a message when anything
// fails; a failed job leaves no output file.
bool PrintToJobFile(const PrintOptions& options, PrintReport* report, std::string* error);

}  // namespace velm::tools
