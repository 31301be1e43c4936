// `velm sheet`: a picture of one dialog or property-sheet page of a printer's user-interface
// resource library (or of a module named directly), made as the driver would make it and
// written as a PNG.
#pragma once

#include <filesystem>
#include <string>

#include "core/wintypes.h"
#include "machine_setup.h"

namespace velm::tools {

struct SheetOptions {
  WORD page = 0;                                  // the dialog template's identifier
  std::u16string printer{kDefaultPrinterName};    // whose resource library holds the template
  std::filesystem::path module;                   // instead of the printer's: a module (Windows path,
                                                  // or a host path inside the machine root)
  std::filesystem::path output;                   // the PNG file
};

struct SheetReport {
  std::u16string module;  // the Windows path of the module the template came from
  int width = 0;          // the picture's size
  int height = 0;
  bool page = false;      // drawn as the page of a property sheet
};

// A tab page of the printer's document or device sheet (with no module given) is drawn from that
// sheet as the printer's interface library shows it, the page in front. Otherwise: loads the
// module (the printer's resource library as the settings library names it for the
// printer, or options.module), creates the template with a dialog procedure that does nothing,
// renders it and writes the PNG. A top-level template is drawn as a modeless dialog; a child
// template (a property-sheet page) as the one page of a property sheet titled after the printer
// ("Document" for a module), frame, tab and buttons included. The settings library must be attached
// (SysLibraryAttach) when no module is given. False with a message naming what is missing: the
// printer, the module, or the template in it.
bool SaveSheetPicture(const SheetOptions& options, SheetReport* report, std::string* error);

}  // namespace velm::tools
