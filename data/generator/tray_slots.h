// The paper-tray slots and tray labels of data/tray_slots.txt: read, checked against the pages'
// sources, and written as the header "data/tray_slots.h".
#pragma once

#include <filesystem>
#include <ostream>
#include <vector>

#include "page_sources.h"

namespace velm::data {

struct TraySlot {
  long trayValue = 0;
  int slot = 0;
};
struct TrayLabel {
  int page = 0;
  int control = 0;
  int slot = 0;
};
struct TraySlots {
  std::vector<TraySlot> slots;
  std::vector<TrayLabel> labels;
};

// Faults go to `fail`: an unknown row kind, a slot outside 0..31, a tray value given twice or
// outside 1..65535, an unknown page, a control without a row on its page, a label given twice.
TraySlots ReadTraySlots(const std::filesystem::path& data, const std::vector<PageSource>& pages, FaultReporter fail);
void WriteTraySlots(std::ostream& out, const TraySlots& table);

}  // namespace velm::data
