// Computed condition items: the tables and the small readers over them.
#include "settings/constraints/condition_items.h"

#include <iterator>
#include <span>

#include "data/item_ids.h"
#include "settings/items/store.h"
#include "settings/constraints/condition_items.h"
#include "settings/constraints/eval.h"

namespace {

constexpr WORD kOutPaperSameAsSource = 1024;
constexpr WORD kPaperHlt = 6;
constexpr WORD kPaperExecutive = 7;
constexpr WORD kPaperA5 = 11;
constexpr WORD kPaperB5 = 13;
constexpr BYTE kMachineWithoutExecutiveLandscape = 131;

// ---- Row cache ------------------------------------------------------------------------------

// One slot of the work area's row cache for each input item, in this order.
constexpr WORD kCachedItems[] = {
    7,     8,     13,    50,    59,    61,    65,    66,    95,    102,   134,   136,   138,
    142,   10014, 10018, 10021, 10022, 10049, 10050, 10058, 10059, 10060, 10061, 10074, 10075,
    10076, 10077, 10078, 10079, 10080, 10081,
    10175, 10176, 10177, 10178, 10200, 10202, 10203,  // tray paper
    10143, 10144, 10145, 10146, 10168, 10170, 10171,  // tray orientation
    10239, 10240, 10241, 10242, 10264, 10267,         // tray locks
};
static_assert(std::size(kCachedItems) == sizeof(ContextWorkArea::itemRecordCache) / sizeof(const ItemTableRow*));

int CacheSlot(WORD id) {
  for (size_t i = 0; i < std::size(kCachedItems); ++i) {
    if (kCachedItems[i] == id) return static_cast<int>(i);
  }
  return -1;
}

bool On(DriverContext* context, WORD id) { return CondCachedValue(context, id) != 0; }

// ---- Gates and paper lists ------------------------------------------------------------------

constexpr WORD kGateItems[kGateCount][6] = {
    {},                                            // kGateNone
    {10058, 10074, 10075, 10076, 10077},           // FinMk2
    {10050, 10078, 10079, 10080, 10081},           // FinMk4
    {},                                            // FinMk3 unit: FinMk2 or FinMk4
    {10049},                                       // FinMk1
    {10059},                                       // FinMk5
    {10060},                                       // option 14
    {10061},                                       // option 15
};

// Zero-terminated, searched from the start.
constexpr WORD kPaperLists[kPaperListCount][16] = {
    {},                                                          // none
    {8, 9, 12, 13, 1, 5, 3, 514, 513, 14, 7, 517, 93},           // FinMk3
    {8, 9, 12, 13, 1, 5, 3, 514, 513, 14, 7, 517, 93, kPaperA5}, // FinMk3 extended (6 below)
    {9, 11, 13, 5, 1, 6, 514, 513, 14, 7, 93},                   // excluded from item 737
    {8, 9, 12, 13, 1, 5, 3, 514, 513, 14, 7, 517, 93},           // FinMk1
    {8, 9, 12, 1, 5, 3},                                         // FinMk5
    {8, 9, 12, 13, 1, 5, 3, 14, 517, 93, 7},                     // option 14
    {8, 9, 12, 13, 1, 5, 3, 514, 513, 14, 517, 93, 7},           // option 15
    {8, 12, 5, 3, 514, 513, 14, 517},                            // no landscape
    {5},                                                         // Legal
    {9},                                                         // A4
    {1, 9, 13},                                                  // Letter, A4, B5
    {1, 5, 9},                                                   // Letter, Legal, A4
    {7, 13, 93},                                                 // option 14, never portrait
};

// ---- Trays ----------------------------------------------------------------------------------

enum TrayUse : BYTE {
  kTrayInAutoWalk = 0x1,         // code 7 visits it when installed (if it has an item) and unlocked
  kTrayCodeNeedsInstalled = 0x2, // its own code picks it only while installed
};

struct TrayRow {
  WORD code;
  WORD paperItem;
  WORD orientItem;    // 0 portrait, 1 landscape
  WORD lockItem;      // 0: none
  WORD installedItem; // 0: none
  BYTE use;
};

// In the order code 7 visits them; the manual slot's two trays in the order its code tries them.
constexpr TrayRow kTrays[] = {
    {kTrayCodeTray1, 10175, 10143, 10239, 0, kTrayInAutoWalk},
    {kTrayCodeTray2, 10176, 10144, 10240, 0, kTrayInAutoWalk},
    {kTrayCodeTray3, 10177, 10145, 10241, 0, kTrayInAutoWalk},
    {kTrayCodeTray4, 10178, 10146, 10242, 0, kTrayInAutoWalk},
    {kTrayCodeLct, 10200, 10168, 10264, 10018, kTrayInAutoWalk},
    {kTrayCodeManualSlot, 10202, 10170, 0, 10021, kTrayCodeNeedsInstalled},            // manual tray
    {kTrayCodeManualSlot, 10203, 10171, 10267, 10022, kTrayCodeNeedsInstalled | kTrayInAutoWalk},  // multi-purpose
};

// Calls `visit` for each tray that `code` stands for until it answers true; true when it did.
template <class Visit>
bool AnyTray(DriverContext* context, WORD code, Visit visit) {
  if (code == kTrayCodeAuto) {
    for (const TrayRow& tray : kTrays) {
      if (!(tray.use & kTrayInAutoWalk)) continue;
      if (tray.installedItem && !On(context, tray.installedItem)) continue;
      if (tray.lockItem && On(context, tray.lockItem)) continue;
      if (visit(tray)) return true;
    }
    return false;
  }
  for (const TrayRow& tray : kTrays) {
    if (tray.code != code) continue;
    if ((tray.use & kTrayCodeNeedsInstalled) && !On(context, tray.installedItem)) continue;
    return visit(tray);
  }
  return false;
}

WORD TrayPaper(DriverContext* context, const TrayRow& tray) {
  return static_cast<WORD>(CondCachedValue(context, tray.paperItem));
}
DWORD TrayOrient(DriverContext* context, const TrayRow& tray) { return On(context, tray.orientItem) ? 1 : 0; }

WORD Source(DriverContext* context) { return static_cast<WORD>(CondCachedValue(context, kItemDefaultSource)); }

// ---- Orientation combinations ---------------------------------------------------------------

// Straight: some tray holds the paper lying the way the print paper lies (portrait with R = 0,
// landscape with R = 1); crossed: lying the other way.
bool Straight(DWORD flags, int r) {
  return ((flags & kTrayHoldsPortrait) && r == 0) || ((flags & kTrayHoldsLandscape) && r == 1);
}
bool Crossed(DWORD flags, int r) {
  return ((flags & kTrayHoldsPortrait) && r == 1) || ((flags & kTrayHoldsLandscape) && r == 0);
}

// ---- Paper rules: gate, paper and the way the source holds it -------------------------------

enum Loaded : BYTE { kLoadedAny, kLoadedPortrait, kLoadedLandscape };

struct PaperRule {
  WORD id;
  CondGate gate;
  CondPaperList in;      // P in `in` or in `alsoIn`; none: no test
  CondPaperList alsoIn;
  CondPaperList notIn;   // P not in it
  Loaded loaded;         // the source must hold P this way
};

constexpr PaperRule kPaperRules[] = {
    {731, kGateFinMk3Unit, kPapersFinMk3Extended, kPapersNone, kPapersNone, kLoadedPortrait},
    {732, kGateFinMk3Unit, kPapersFinMk3Extended, kPapersNone, kPapersNoLandscape, kLoadedLandscape},
    {733, kGateNone, kPapersFinMk3, kPapersNone, kPapersNone, kLoadedAny},
    {736, kGateNone, kPapersFinMk3Extended, kPapersNone, kPapersNone, kLoadedAny},
    {737, kGateNone, kPapersNone, kPapersNone, kPapersItem737Excluded, kLoadedAny},
    {747, kGateOption14, kPapersOption14, kPapersNone, kPapersOption14NoPortrait, kLoadedPortrait},
    {748, kGateOption14, kPapersOption14, kPapersNone, kPapersNoLandscape, kLoadedLandscape},
    {749, kGateNone, kPapersOption14, kPapersNone, kPapersNone, kLoadedAny},
    {763, kGateFinMk1, kPapersFinMk1, kPapersNone, kPapersNone, kLoadedPortrait},
    {764, kGateFinMk1, kPapersFinMk1, kPapersNone, kPapersNoLandscape, kLoadedLandscape},
    {765, kGateNone, kPapersFinMk1, kPapersNone, kPapersNone, kLoadedAny},
    {779, kGateOption15, kPapersOption15, kPapersNone, kPapersNone, kLoadedPortrait},
    {780, kGateOption15, kPapersOption15, kPapersNone, kPapersNoLandscape, kLoadedLandscape},
    {781, kGateNone, kPapersOption15, kPapersNone, kPapersNone, kLoadedAny},
    {795, kGateFinMk5, kPapersNoLandscape, kPapersNone, kPapersLegal, kLoadedPortrait},
    {796, kGateFinMk5, kPapersLetterA4B5, kPapersNone, kPapersNone, kLoadedLandscape},
    {797, kGateFinMk5, kPapersLetterLegalA4, kPapersNone, kPapersNone, kLoadedPortrait},
    {798, kGateFinMk5, kPapersA4, kPapersNoLandscape, kPapersLegal, kLoadedPortrait},
};

DWORD EvalPaperRule(DriverContext* context, const PaperRule& rule) {
  if (!CondGateHolds(context, rule.gate)) return 0;
  const WORD p = CondGetFinishPaper(context);
  if (rule.in != kPapersNone && !CondPaperInList(context, rule.in, p) && !CondPaperInList(context, rule.alsoIn, p))
    return 0;
  if (CondPaperInList(context, rule.notIn, p)) return 0;
  switch (rule.loaded) {
    case kLoadedPortrait: return CondSourceHoldsPaper(context, p, 0);
    case kLoadedLandscape: return CondSourceHoldsPaper(context, p, 1);
    case kLoadedAny: break;
  }
  return 1;
}

// ---- Position rules: whether a staple or punch position can be served -----------------------

enum Served : BYTE {
  kServedAlways,        // whenever the source holds P either way
  kServedStraight,
  kServedCrossed,
  kServedStraight737,   // as straight, but a portrait-loaded tray counts only while item 737 is 1
  kServedCrossed737,
};

struct PositionServed {
  WORD position;
  Served served;
};

struct PositionRule {
  WORD id;
  CondGate gate;
  CondPaperList papers;
  WORD positionItem;
  std::span<const PositionServed> positions;  // a position not listed: 0
  bool b5LandscapeOnly;                       // with B5 only landscape-loaded trays count
};

constexpr PositionServed kFinMk1Staples[] = {{kStaple1SR, kServedStraight}, {kStaple1SL, kServedCrossed}};
constexpr PositionServed kOption14Staples[] = {{kStaple1R, kServedStraight}, {kStaple1L, kServedCrossed}};
constexpr PositionServed kOption15Staples[] = {
    {kStaple1R, kServedAlways}, {kStaple1L, kServedAlways}, {kStaple2T, kServedStraight},
    {kStaple2R, kServedCrossed}, {kStaple2L, kServedCrossed},
};
constexpr PositionServed kFinMk3Staples[] = {
    {kStaple1R, kServedAlways},   {kStaple1L, kServedAlways},   {17, kServedStraight},
    {18, kServedStraight},        {kStaple1SR, kServedStraight}, {kStaple2T, kServedStraight},
    {1, kServedCrossed},          {2, kServedCrossed},          {kStaple1SL, kServedCrossed},
    {kStaple2R, kServedCrossed},  {kStaple2L, kServedCrossed},
};
constexpr PositionServed kFinMk3Punches[] = {
    {1, kServedStraight},    {49, kServedStraight},   {2, kServedCrossed},     {3, kServedCrossed},
    {50, kServedCrossed},    {51, kServedCrossed},    {17, kServedStraight737}, {33, kServedStraight737},
    {18, kServedCrossed737}, {19, kServedCrossed737}, {34, kServedCrossed737},  {35, kServedCrossed737},
};

constexpr PositionRule kPositionRules[] = {
    {734, kGateFinMk3Unit, kPapersFinMk3Extended, kItemPunchType, kFinMk3Punches, false},
    {735, kGateFinMk3Unit, kPapersFinMk3, kItemStapleType, kFinMk3Staples, false},
    {750, kGateOption14, kPapersOption14, kItemStapleType, kOption14Staples, true},
    {766, kGateFinMk1, kPapersFinMk1, kItemStapleType, kFinMk1Staples, false},
    {782, kGateOption15, kPapersOption15, kItemStapleType, kOption15Staples, false},
};

// The punch positions each finisher model can make, by the first model installed; bit g stands
// for the group 16g+1..16g+3. No model listed: any position.
struct PunchModel {
  WORD installedItem;
  BYTE groups;
};
constexpr PunchModel kPunchModels[] = {
    {10058, 0x1}, {10050, 0x1}, {10078, 0x1}, {10079, 0x1},
    {10074, 0x3}, {10075, 0x5}, {10076, 0x8}, {10080, 0x2},
};

bool PunchPositionAllowed(DriverContext* context, WORD position) {
  if (On(context, kItemOutputOptionTypeFinMk2NoPunch) || On(context, kItemOutputOption2TypeFinMk4NoPunch)) return false;
  for (const PunchModel& model : kPunchModels) {
    if (!On(context, model.installedItem)) continue;
    const int group = (position - 1) / 16;
    return position >= 1 && (position - 1) % 16 < 3 && group < 4 && (model.groups >> group & 1);
  }
  return true;
}

DWORD EvalPositionRule(DriverContext* context, const PositionRule& rule) {
  if (!CondGateHolds(context, rule.gate)) return 0;
  const WORD p = CondGetFinishPaper(context);
  if (!CondPaperInList(context, rule.papers, p)) return 0;
  DWORD flags = CondTrayOrientFlags(context, p);
  if (!flags) return 0;
  if (rule.b5LandscapeOnly && p == kPaperB5) flags &= ~kTrayHoldsPortrait;
  const WORD position = static_cast<WORD>(CondCachedValue(context, rule.positionItem));
  if (rule.positionItem == kItemPunchType && !PunchPositionAllowed(context, position)) return 0;
  for (const PositionServed& entry : rule.positions) {
    if (entry.position != position) continue;
    const int r = CondPrintPaperOrient(context);
    const bool with737 = entry.served == kServedStraight737 || entry.served == kServedCrossed737;
    if (with737 && CondGetItemValue(context, 737) != 1) flags &= ~kTrayHoldsPortrait;
    switch (entry.served) {
      case kServedAlways: return 1;
      case kServedStraight:
      case kServedStraight737: return Straight(flags, r);
      case kServedCrossed:
      case kServedCrossed737: return Crossed(flags, r);
    }
  }
  return 0;
}

// Item 800: the FinMk5 staple positions served, from the FinMk5 paper items.
DWORD FinMk5StapleServed(DriverContext* context) {
  if (!CondGateHolds(context, kGateFinMk5)) return 0;
  const int r = CondPrintPaperOrient(context);
  const DWORD flags = (CondGetItemValue(context, 795) ? kTrayHoldsPortrait : 0) |
                      (CondGetItemValue(context, 796) ? kTrayHoldsLandscape : 0);
  switch (static_cast<WORD>(CondCachedValue(context, kItemStapleType))) {
    case kStaple1R:
    case kStaple1L: return flags || CondGetItemValue(context, 797);
    case kStaple2T: return Straight(flags, r);
    case kStaple2R:
    case kStaple2L: return Crossed(flags, r);
    case kStaple2M: return CondGetItemValue(context, 798);
  }
  return 0;
}

// ---- Forced feed ----------------------------------------------------------------------------

// The feed a position forces while the print paper lies portrait (R = 0) and landscape.
struct PositionFeed {
  WORD position;
  BYTE whenPortrait;
  BYTE whenLandscape;
};

struct FeedFamily {
  CondGate gate;
  CondPaperList papers;
  std::span<const PositionFeed> staples;  // a position not listed: kFeedNone
  std::span<const PositionFeed> punches;  // tried first while punching, when listed
};

constexpr PositionFeed kFinMk3StapleFeeds[] = {
    {kStaple1SR, kFeedPortrait, kFeedLandscape}, {kStaple2T, kFeedPortrait, kFeedLandscape},
    {kStaple1SL, kFeedLandscape, kFeedPortrait}, {kStaple2R, kFeedLandscape, kFeedPortrait},
    {kStaple2L, kFeedLandscape, kFeedPortrait},  {kStaple1R, kFeedEither, kFeedEither},
    {kStaple1L, kFeedEither, kFeedEither},
};
constexpr PositionFeed kFinMk3PunchFeeds[] = {
    {1, kFeedPortrait, kFeedLandscape},  {17, kFeedPortrait, kFeedLandscape}, {33, kFeedPortrait, kFeedLandscape},
    {49, kFeedPortrait, kFeedLandscape}, {2, kFeedLandscape, kFeedPortrait},  {3, kFeedLandscape, kFeedPortrait},
    {18, kFeedLandscape, kFeedPortrait}, {19, kFeedLandscape, kFeedPortrait}, {34, kFeedLandscape, kFeedPortrait},
    {35, kFeedLandscape, kFeedPortrait}, {50, kFeedLandscape, kFeedPortrait}, {51, kFeedLandscape, kFeedPortrait},
};
constexpr PositionFeed kFinMk1StapleFeeds[] = {
    {kStaple1SR, kFeedPortrait, kFeedLandscape},
    {kStaple1SL, kFeedLandscape, kFeedPortrait},
};
constexpr PositionFeed kFinMk5StapleFeeds[] = {
    {kStaple1SR, kFeedEither, kFeedEither},      {kStaple1SL, kFeedEither, kFeedEither},
    {kStaple1R, kFeedEither, kFeedEither},       {kStaple1L, kFeedEither, kFeedEither},
    {kStaple2T, kFeedPortrait, kFeedLandscape},  {kStaple2R, kFeedLandscape, kFeedPortrait},
    {kStaple2L, kFeedLandscape, kFeedPortrait},  {kStaple2M, kFeedPortrait, kFeedPortrait},
};
constexpr PositionFeed kOption14StapleFeeds[] = {
    {kStaple1R, kFeedPortrait, kFeedLandscape},
    {kStaple1L, kFeedLandscape, kFeedPortrait},
};
constexpr PositionFeed kOption15StapleFeeds[] = {
    {kStaple1R, kFeedEither, kFeedEither},      {kStaple1L, kFeedEither, kFeedEither},
    {kStaple2T, kFeedPortrait, kFeedLandscape}, {kStaple2R, kFeedLandscape, kFeedPortrait},
    {kStaple2L, kFeedLandscape, kFeedPortrait},
};

// The first family whose gate holds decides.
constexpr FeedFamily kFeedFamilies[] = {
    {kGateFinMk3Unit, kPapersFinMk3Extended, kFinMk3StapleFeeds, kFinMk3PunchFeeds},
    {kGateFinMk1, kPapersFinMk1, kFinMk1StapleFeeds, {}},
    {kGateFinMk5, kPapersFinMk5, kFinMk5StapleFeeds, {}},
    {kGateOption14, kPapersOption14, kOption14StapleFeeds, {}},
    {kGateOption15, kPapersOption15, kOption15StapleFeeds, {}},
};

const PositionFeed* FindFeed(std::span<const PositionFeed> feeds, WORD position) {
  for (const PositionFeed& feed : feeds) {
    if (feed.position == position) return &feed;
  }
  return nullptr;
}

WORD FamilyFeed(DriverContext* context, const FeedFamily& family) {
  if (!CondPaperInList(context, family.papers, CondGetFinishPaper(context))) return kFeedNone;
  const PositionFeed* feed = nullptr;
  if (!family.punches.empty() && !On(context, kItemOutputOptionTypeFinMk2NoPunch) && !On(context, kItemOutputOption2TypeFinMk4NoPunch) &&
      On(context, kItemFuncSelectPunch))
    feed = FindFeed(family.punches, static_cast<WORD>(CondCachedValue(context, kItemPunchType)));
  if (!feed) {
    if (!On(context, kItemFuncSelectStaple)) return kFeedEither;
    feed = FindFeed(family.staples, static_cast<WORD>(CondCachedValue(context, kItemStapleType)));
    if (!feed) return kFeedNone;
  }
  return CondPrintPaperOrient(context) == 0 ? feed->whenPortrait : feed->whenLandscape;
}

// ---- Same paper in two trays ----------------------------------------------------------------

// Codes of items 828..834 in id order.
constexpr WORD kSameSizeTrays[] = {kTrayCodeAuto, kTrayCodeTray1, kTrayCodeTray2, kTrayCodeTray3,
                                   kTrayCodeTray4, kTrayCodeLct,  kTrayCodeManualSlot};

// Whether the source tray (automatic taken as Tray 1) holds the paper of the tray that item
// `trayItem` names, lying the same way. A named tray that stands for no single tray (automatic
// included) has no paper to compare: 0.
DWORD SourceHoldsPaperOf(DriverContext* context, WORD trayItem) {
  WORD paper = 0;
  DWORD orientation = 0;
  if (!CondGetTrayPaper(context, static_cast<WORD>(CondCachedValue(context, trayItem)), &paper, &orientation)) return 0;
  WORD source = Source(context);
  if (source == kTrayCodeAuto) source = kTrayCodeTray1;
  return CondTrayHoldsPaper(context, source, paper, orientation);
}

}  // namespace

DWORD CondCachedValue(DriverContext* context, WORD id) {
  if (!context) return 0;
  const int slot = CacheSlot(id);
  if (slot < 0 || !context->work) return OptGetValue(context, id);
  const ItemTableRow*& cached = context->work->itemRecordCache[slot];
  if (cached) return OptReadRaw(context, cached);
  ItemTableRow* row = nullptr;
  const DWORD value = OptGetValue(context, id, &row);
  cached = row;
  return value;
}

BOOL CondGateHolds(DriverContext* context, CondGate gate) {
  if (gate == kGateNone) return TRUE;
  if (gate == kGateFinMk3Unit) return CondGateHolds(context, kGateFinMk2) || CondGateHolds(context, kGateFinMk4);
  if (gate < 0 || gate >= kGateCount) return FALSE;
  for (WORD id : kGateItems[gate]) {
    if (id && On(context, id)) return TRUE;
  }
  return FALSE;
}

BOOL CondPaperInList(DriverContext* context, CondPaperList list, DWORD paper) {
  if (list <= kPapersNone || list >= kPaperListCount) return FALSE;
  const WORD p = static_cast<WORD>(paper);
  for (const WORD* code = kPaperLists[list]; *code; ++code) {
    if (*code == p) return TRUE;
  }
  return list == kPapersFinMk3Extended && p == kPaperHlt && CondGateHolds(context, kGateFinMk2);
}

WORD CondGetFinishPaper(DriverContext* context) {
  const WORD out = static_cast<WORD>(CondCachedValue(context, kItemOutPaperSize));
  return out == kOutPaperSameAsSource ? static_cast<WORD>(CondCachedValue(context, kItemPaperSize)) : out;
}

BOOL CondTrayHasPaper(DriverContext* context, WORD trayCode, WORD paper) {
  return AnyTray(context, trayCode, [&](const TrayRow& tray) { return TrayPaper(context, tray) == paper; });
}

BOOL CondTrayHoldsPaper(DriverContext* context, WORD trayCode, WORD paper, DWORD orientation) {
  return AnyTray(context, trayCode, [&](const TrayRow& tray) {
    return TrayPaper(context, tray) == paper && TrayOrient(context, tray) == orientation;
  });
}

BOOL CondSourceHoldsPaper(DriverContext* context, WORD paper, DWORD orientation) {
  return CondTrayHoldsPaper(context, Source(context), paper, orientation);
}

DWORD CondTrayOrientFlags(DriverContext* context, WORD paper) {
  DWORD flags = 0;
  AnyTray(context, Source(context), [&](const TrayRow& tray) {
    if (TrayPaper(context, tray) == paper)
      flags |= TrayOrient(context, tray) ? kTrayHoldsLandscape : kTrayHoldsPortrait;
    return false;
  });
  return flags;
}

BOOL CondGetTrayPaper(DriverContext* context, WORD trayCode, WORD* paper, DWORD* orientation) {
  if (trayCode == kTrayCodeAuto) return FALSE;
  return AnyTray(context, trayCode, [&](const TrayRow& tray) {
    if (paper) *paper = TrayPaper(context, tray);
    if (orientation) *orientation = TrayOrient(context, tray);
    return true;
  });
}

int CondPrintPaperOrient(DriverContext* context) {
  const int portraitDocument = CondCachedValue(context, kItemOrientation) == 1 ? 1 : 0;
  const WORD nup = static_cast<WORD>(CondCachedValue(context, kItemNUPType));
  if (CondCachedValue(context, kItemFuncSelectNup) == 1 && nup >= 1 && nup <= 18) return portraitDocument;
  if (CondCachedValue(context, kItemSourceOptionTypeDuplex) == 1 && CondCachedValue(context, kItemFuncSelectDuplex) == 1 &&
      static_cast<WORD>(CondCachedValue(context, kItemDuplexType)) >= 17)
    return portraitDocument;
  return 1 - portraitDocument;
}

WORD CondGetForceFeed(DriverContext* context) {
  for (const FeedFamily& family : kFeedFamilies) {
    if (CondGateHolds(context, family.gate)) return FamilyFeed(context, family);
  }
  return kFeedNone;
}

int CondForceFeedPort(DriverContext* context) { return CondGetForceFeed(context) == kFeedPortrait ? 1 : 0; }

int CondForceFeedLand(DriverContext* context) { return CondGetForceFeed(context) == kFeedLandscape ? 1 : 0; }

DWORD CondGetItemValue(DriverContext* context, WORD id) {
  if (!context) return 0;
  switch (id) {
    case 748:
      // Machine 131 takes no Executive landscape into option 14.
      if (ContextModelDefaults(context).machineId == kMachineWithoutExecutiveLandscape &&
          CondGetFinishPaper(context) == kPaperExecutive)
        return 0;
      break;
    case 799: {
      const WORD p = CondGetFinishPaper(context);
      return CondPaperInList(context, kPapersFinMk5, p) || (p == kPaperB5 && CondSourceHoldsPaper(context, p, 1));
    }
    case 800: return FinMk5StapleServed(context);
    case 827: return CondPrintPaperOrient(context);
    case 828: case 829: case 830: case 831: case 832: case 833: case 834:
      return CondTrayHasPaper(context, kSameSizeTrays[id - 828], CondGetFinishPaper(context));
    case 835: return CondForceFeedPort(context);
    case 836: return CondForceFeedLand(context);
    case 843: return DmCheckResolutionFit(context, TRUE) ? 1 : 0;
    case 844: return SourceHoldsPaperOf(context, kItemCoverInputTray);
    case 845: return SourceHoldsPaperOf(context, kItemMPInputTray);
  }
  for (const PaperRule& rule : kPaperRules) {
    if (rule.id == id) return EvalPaperRule(context, rule);
  }
  for (const PositionRule& rule : kPositionRules) {
    if (rule.id == id) return EvalPositionRule(context, rule);
  }
  return 0;
}
