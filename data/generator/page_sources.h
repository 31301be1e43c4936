// The pages' sources (data/pages/*.txt): one file per page or dialog holding its dialog template
// and its control rows. velm_tablegen reads them to check them and to write the page item rows;
// velm_rescomp reads them to write each language's dialog templates.
//
// A file, one statement a line, '#' starting a comment:
//   page <page name> <caption> <width> <height>
//   control <control name | -> <class> <caption> <x> <y> <width> <height> [style <flags>] [exstyle <flags>]
//   row <control name> <type> <item symbol | -> [help <n>] [partner <control name>] [flags <n>] [extra …]
// The page name is the one of pages.txt; control names are those of control_ids.txt ("-" is a
// label without an identifier, 0xFFFF). A caption is "-" (none), s<n> (string n of the resource
// library) or b<n> (bitmap n, for an SS_BITMAP static). Rows name their template's controls, in
// the order of the page's item table. Extra data of a row, any of:
//   mark <bitmap>            conflict mark drawn with that picture (kind 4)
//   space                    a push button that also reacts to the space key (kind 5)
//   steps <line> <page>      slider line and page steps (kind 3)
//   tabs <s>:<ctl>,<ctl>/…   tab captions and the controls shown on each tab (kind 6)
//   lines <s>:<item>:<item|->,…   edit line list: label string, item, alternative item (kind 7)
//   checks <item>:<s>,…     check-list rows: each row's item and label string (kind 8)
//   linksteps <ctl>:<step>,…  controls whose items a click also steps, and by how much (kind 2)
//   info <s>                 string of the control's information message
//   dialog <page name>       the sub-dialog the control opens
//   link <control name>      a picture's companion control
//   preview <role>:<item>,…  the items a page preview draws, by role (paper, orientation, nup,
//                            layout, duplex, binding, stamp, stampkind, stamptext, brightness,
//                            contrast; kind 9)
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace velm::data {

struct PageControl {
  std::string where;
  std::string name;        // "-" for a label
  int id = 0xFFFF;
  std::string className;
  char captionKind = 0;    // 0 none, 's' string, 'b' bitmap
  int caption = 0;
  long x = 0, y = 0, width = 0, height = 0;
  uint32_t style = 0, styleCleared = 0, exStyle = 0;
  bool styled = false;
};

struct PageRow {
  std::string where;
  std::string control;
  int controlId = 0;
  int type = 0;
  std::string item;        // symbol; "-" none
  int itemId = 0;          // filled by the checks
  int help = 0;
  std::string partner;
  int partnerId = 0;
  long long flags = 0;
  std::vector<int> extra;  // kind first; empty: none
  int info = 0;
  std::string dialog;
  int dialogId = 0;
  std::string link;
  int linkId = 0;
  // What the extra data names, for the checks.
  std::vector<int> extraStrings, extraBitmaps;
  std::vector<std::string> extraControls, extraItems;
};

struct PageSource {
  std::string where;
  std::string name;
  int id = 0;
  long kind = 0;
  int caption = 0;
  long width = 0, height = 0;
  std::vector<PageControl> controls;
  std::vector<PageRow> rows;
};

// A page of pages.txt: id, kind, row count.
struct PageEntry {
  int id = 0;
  long kind = 0;
  int rows = 0;
};

// Faults go to the reporter as ("file:line", what).
using FaultReporter = void (*)(const std::string& where, const std::string& what);

std::map<std::string, PageEntry> ReadPageEntries(const std::filesystem::path& data, FaultReporter fail);
std::map<std::string, int> ReadControlIds(const std::filesystem::path& data, FaultReporter fail);
// Every data/pages/*.txt in page-table order; syntax and names are checked here.
std::vector<PageSource> ReadPageSources(const std::filesystem::path& data, FaultReporter fail);

// Tab pages, nested sheets and the file dialogs' hook templates are child templates.
bool IsChildTemplate(long kind);
constexpr int kTabPageKinds = 0x1 | 0x2 | 0x10 | 0x20 | 0x100 | 0x200 | 0x400 | 0x800 | 0x1000;

// The control types of the control-class table.
bool IsControlType(int type);
// Types that list an item's values by their names, and the picture of values.
bool ListsValueNames(int type);
constexpr int kPictureOfValues = 0x03;
// The picture that draws a page preview.
constexpr int kPreviewPicture = 0x02;
// The static text that shows its item's current value (by the value's name when the item is a list).
constexpr int kStaticValueText = 0x2c;
// Types that offer the item's values for choice (lists, combos, radios, pictures of values), and
// those that step a number through its range (edits of numbers, spins, sliders, trackbars).
bool ChoosesAValue(int type);
bool StepsANumber(int type);

// Everything the semantic checks compare against.
struct PageCheckTables {
  std::map<std::string, int> items;                  // item symbol -> item id
  std::map<int, std::vector<int>> valueNames;        // item -> model values offered for choice
  std::map<int, std::map<int, unsigned>> mappedValues;  // item with a value map -> model value -> stored value
  std::map<std::string, std::string> describedItems; // item symbol -> its node's type (PickOne, Numeric, …)
  std::map<std::string, std::vector<int>> strings;   // language code -> string ids
  std::vector<int> bitmaps;                          // bitmap ids of the resource library
  // The numbers of each numeric item's `*NumericValue` (divisor, default, minimum, maximum, then
  // unit suffix string, text length, decimal scale, page step when given).
  std::map<std::string, std::vector<long long>> ranges;
  std::map<std::string, std::map<int, std::string>> stringTexts;  // language code -> id -> text
};
std::map<std::string, std::vector<int>> ReadLanguageStringIds(const std::filesystem::path& data, FaultReporter fail);
// The items with a node in the model description and the node's type; a node that shares
// another item's (Identity) has that item's type.
std::map<std::string, std::string> ReadDescribedItems(const std::filesystem::path& data);
std::vector<int> ReadBitmapIds(const std::filesystem::path& data);
// The numbers of the description's `*NumericValue` lines by item (an Identity node has the shared
// item's), and the strings' texts of every language.
std::map<std::string, std::vector<long long>> ReadDescribedRanges(const std::filesystem::path& data);
std::map<std::string, std::map<int, std::string>> ReadLanguageStringTexts(const std::filesystem::path& data);

// The checks of the sources against the page table and the other tables.
void CheckPageSources(const std::map<std::string, PageEntry>& pages, std::vector<PageSource>& sources,
                      const PageCheckTables& tables, FaultReporter fail);

// The rows' extra data as the table kPageControlExtras (settings/items/page_control_extras.h).
void WritePageControlExtras(std::ostream& out, const std::vector<PageSource>& sources);

}  // namespace velm::data
