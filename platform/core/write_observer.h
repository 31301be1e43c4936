// Settings writes a test may watch as they happen: printer settings (SetPrinterW), printer data
// (SetPrinterDataW/SetPrinterDataExW) and private-profile (INI) writes. Each is reported after it
// succeeded, on the writing thread.
#pragma once

#include <functional>
#include <string>

#include "core/wintypes.h"

namespace velm::platform {

struct ObservedWrite {
  enum class Kind { kSetPrinter, kPrinterData, kProfile };
  Kind kind = Kind::kProfile;
  std::u16string file;     // kProfile: the file name as the caller gave it
  std::u16string section;  // kProfile: the section; kPrinterData: the key
  std::u16string name;     // kProfile: the key (empty: the whole section); kPrinterData: the value
  std::u16string text;     // kProfile: the value written (empty when the key or section went)
  bool removed = false;    // kProfile: the key or section was deleted
  DWORD number = 0;        // kSetPrinter: the level; kPrinterData: the value type
  DWORD command = 0;       // kSetPrinter: the command
  std::string bytes;       // kPrinterData: the data
};

// Installs the observer (an empty function stops observing) and returns the one it replaces.
std::function<void(const ObservedWrite&)> SetWriteObserver(std::function<void(const ObservedWrite&)> observer);
// Called by the writers after a successful write.
void ReportWrite(const ObservedWrite& write);

}  // namespace velm::platform
