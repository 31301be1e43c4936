// Computed condition items 731..858: values that the model description's condition programs
// read but that no record stores. Each is worked out on demand from the current settings, the
// installed finishers and the tray configuration: whether a finisher can staple or punch the
// finishing paper, whether the feeding tray holds it the way a position needs, which feed
// direction a position forces, and whether trays hold the same paper.
//
// Every input is read raw (stored values, never model values) through a cache of item rows in
// the work area (itemRecordCache). The cache keeps rows, never values, so every read sees the
// current record; it is filled on first use and never cleared, since the rows belong to the
// context's own item table. An input the table lacks reads 0. Nothing here reports an error.
#pragma once

#include "settings/context/driver_context.h"
#include "win32.h"

// ---- Codes ----------------------------------------------------------------------------------

// Tray codes (dmDefaultSource values, item 13).
constexpr WORD kTrayCodeTray1 = 1;
constexpr WORD kTrayCodeTray3 = 2;
constexpr WORD kTrayCodeTray2 = 3;
constexpr WORD kTrayCodeManualSlot = 4;  // the manual tray, else the multi-purpose tray
constexpr WORD kTrayCodeAuto = 7;        // every tray that may serve
constexpr WORD kTrayCodeLct = 11;
constexpr WORD kTrayCodeTray4 = 256;

// Staple positions (item 136) as the model names them; the rules also know 1, 2, 17 and 18.
constexpr WORD kStaple1SR = 33;
constexpr WORD kStaple1SL = 34;
constexpr WORD kStaple1R = 49;
constexpr WORD kStaple1L = 50;
constexpr WORD kStaple2T = 65;
constexpr WORD kStaple2R = 66;
constexpr WORD kStaple2L = 67;
constexpr WORD kStaple2M = 68;
// Punch positions (item 134) come in four groups of three, 1..3, 17..19, 33..35 and 49..51;
// within a group the first is the top edge, the second the right and the third the left.

// Forced-feed directions (CondGetForceFeed).
constexpr WORD kFeedNone = 0;       // the position cannot be served on this paper
constexpr WORD kFeedPortrait = 1;
constexpr WORD kFeedLandscape = 2;
constexpr WORD kFeedEither = 3;

// Orientation flags of CondTrayOrientFlags: a tray with the paper lying portrait, landscape.
constexpr DWORD kTrayHoldsPortrait = 0x1;
constexpr DWORD kTrayHoldsLandscape = 0x2;

// ---- Gates and paper lists ------------------------------------------------------------------

// The installed-finisher tests; a gate holds when any of its installed-option items is non-zero.
enum CondGate : int {
  kGateNone = 0,     // no gate: always holds
  kGateFinMk2,       // 10058, 10074, 10075, 10076, 10077
  kGateFinMk4,       // 10050, 10078, 10079, 10080, 10081
  kGateFinMk3Unit,   // FinMk2 or FinMk4
  kGateFinMk1,       // 10049
  kGateFinMk5,       // 10059
  kGateOption14,     // 10060
  kGateOption15,     // 10061
  kGateCount,
};
BOOL CondGateHolds(DriverContext* context, CondGate gate);

// Lists of paper codes (dmPaperSize values). The first eight are the model's named lists; the
// others hold the few codes that single rules name.
enum CondPaperList : int {
  kPapersNone = 0,            // the empty list: in a rule, "no test"
  kPapersFinMk3,
  kPapersFinMk3Extended,      // kPapersFinMk3, and 11, and 6 while the FinMk2 gate holds
  kPapersItem737Excluded,
  kPapersFinMk1,
  kPapersFinMk5,
  kPapersOption14,
  kPapersOption15,
  kPapersNoLandscape,         // papers a finisher never takes landscape
  kPapersLegal,               // 5
  kPapersA4,                  // 9
  kPapersLetterA4B5,          // 1, 9, 13
  kPapersLetterLegalA4,       // 1, 5, 9
  kPapersOption14NoPortrait,  // 7, 13, 93
  kPaperListCount,
};
// Whether `paper` (compared as 16 bits) is in `list`; never for kPapersNone or an unknown list.
BOOL CondPaperInList(DriverContext* context, CondPaperList list, DWORD paper);

// ---- Reads ----------------------------------------------------------------------------------

// The raw value of input item `id` through the row cache; an item outside the cache's 52 is
// read by identifier without caching. 0 for an item the context's table lacks (its slot stays
// empty) and for a null context.
DWORD CondCachedValue(DriverContext* context, WORD id);

// The finishing paper P: item 50 (output paper), or item 8 (paper size) when item 50 is 1024.
WORD CondGetFinishPaper(DriverContext* context);

// ---- Trays ----------------------------------------------------------------------------------
// A single tray code ignores locks and installed items, except the manual slot (4), which is
// the manual tray while item 10021 is on, else the multi-purpose tray while 10022 is on, else
// no tray. Code 7 visits Tray 1..4 that are unlocked, the large-capacity tray when installed
// and unlocked, the multi-purpose tray when installed and unlocked, never the manual tray. Any
// other code has no tray.

// 1 when the tray (for code 7 any visited tray) has paper `paper`.
BOOL CondTrayHasPaper(DriverContext* context, WORD trayCode, WORD paper);
// 1 when the tray (for code 7 any visited tray) has paper `paper` lying in `orientation`
// (0 portrait, 1 landscape).
BOOL CondTrayHoldsPaper(DriverContext* context, WORD trayCode, WORD paper, DWORD orientation);
// CondTrayHoldsPaper for the tray of the current source (item 13).
BOOL CondSourceHoldsPaper(DriverContext* context, WORD paper, DWORD orientation);
// kTrayHoldsPortrait and kTrayHoldsLandscape for the trays of the current source that have
// paper `paper`, ORed over every visited tray for code 7; 0 when none has it.
DWORD CondTrayOrientFlags(DriverContext* context, WORD paper);
// The paper and orientation of a single tray. FALSE, and nothing written, for a code without a
// tray (7 included).
BOOL CondGetTrayPaper(DriverContext* context, WORD trayCode, WORD* paper, DWORD* orientation);

// ---- Computed items -------------------------------------------------------------------------

// 1 when the print paper lies landscape (item 827): under n-up layouts 1..18, or duplex
// bindings 17 and up with the duplex unit installed, when the document is portrait; otherwise
// when it is not. Also chooses the value map of the punch and staple items.
int CondPrintPaperOrient(DriverContext* context);

// The feed direction that the chosen punch or staple position forces on the finishing paper,
// decided by the first installed finisher family (FinMk3 unit, FinMk1, FinMk5, option 14,
// option 15); kFeedNone when none is installed.
WORD CondGetForceFeed(DriverContext* context);
int CondForceFeedPort(DriverContext* context);   // 1 when the forced feed is portrait (item 835)
int CondForceFeedLand(DriverContext* context);   // 1 when it is landscape (item 836)

// The value of computed item `id` under the current settings; 0 for any id without a rule
// (inside or outside 731..858). The item's own bits in the record are never read.
DWORD CondGetItemValue(DriverContext* context, WORD id);
