#include "settings/services/bidi_query.h"

#include <climits>
#include <iterator>
#include <cstring>

#include "data/item_ids.h"
#include "settings/services/bidi_device.h"
#include "settings/services/bidi_saved_info.h"
#include "settings/context/open_steps.h"
#include "settings/description/access.h"
#include "settings/persistence/driver_ini.h"
#include "settings/persistence/file_primitives.h"
#include "settings/services/help_language.h"
#include "settings/items/store.h"
#include "settings/context/memory.h"
#include "settings/devmode/model_hooks.h"
#include "settings/persistence/options.h"
#include "settings/services/platform_tests.h"
#include "settings/persistence/printer_data.h"
#include "settings/persistence/profile_wrappers.h"
#include "settings/services/registry_values.h"
#include "settings/persistence/folders.h"
#include "settings/persistence/paths.h"
#include "settings/services/spooler_info.h"

namespace bidi = velm::bidi;

namespace {


// Items a full query clears before it reads: the installed options and the tray-present bits.
constexpr WORD kFirstOptionItem = kItemSourceOptionTypeDuplex;
constexpr WORD kLastOptionItem = kItemOption10109;
constexpr WORD kFirstTrayPresentItem = kItemTrayInstalledTray1;
constexpr WORD kLastTrayPresentItem = kItemTrayInstalledSlot31;

// Paper results that mean the tray holds none; media likewise.
constexpr DWORD kNoPaper = 2048;
constexpr DWORD kNoPaperToo = 2049;
constexpr DWORD kNoMedia = 2048;
constexpr DWORD kDefaultMedia = 1;

// The cover-sheet and mark-sheet default tray: among the trays that carry the bit, the one whose
// device identifier comes first here wins (8 has no tray slot: its winner stores 0; 12 never
// wins). When trays carry the bit but none of them is listed, tray 3 is taken.
constexpr DWORD kTrayPriority[] = {3, 4, 5, 6, 7, 8, 11, 2, 1};
constexpr DWORD kTrayFallback = 3;

// The generated tables are far shorter; a lookup that runs this far has lost its end row.
constexpr int kMaxTableRows = 256;

constexpr WCHAR kSwitchQuery[] = WSTR("bIsBIDISupportForVELM");
constexpr WCHAR kSwitchModel[] = WSTR("bIsBIDISupportForVELMModel");

constexpr WCHAR kConnectorKey[] = WSTR("Software\\QUIRN\\Orvane Printer Driver");
constexpr WCHAR kTorbelConnection[] = WSTR("TorbelConnection");

// The device's answers to a full query, read before any of them is applied.
struct Answers {
  BidiAnswer trayIds, trayPaper, trayMedia, trayAttributes, options, memory, text;
};

// While alive, the context works on `record` instead of its own.
class RecordInUse {
 public:
  RecordInUse(DriverContext* context, SettingsRecord* record) : context_(context), own_(context->settings) {
    if (record) context_->settings = record;
  }
  ~RecordInUse() { context_->settings = own_; }
  RecordInUse(const RecordInUse&) = delete;
  RecordInUse& operator=(const RecordInUse&) = delete;

 private:
  DriverContext* context_;
  SettingsRecord* own_;
};

DWORD Translate(const BidiTranslationRow* table, DWORD code) {
  for (int i = 0; table && i < kMaxTableRows && table[i].result != 0; ++i)
    if (table[i].code == code) return table[i].result;
  return 0;
}

WORD TrayItem(int group, DWORD trayId) { return static_cast<WORD>(Translate(BidiGetTrayTable(group), trayId)); }

int PriorityRank(DWORD trayId) {
  for (int i = 0; i < static_cast<int>(std::size(kTrayPriority)); ++i)
    if (kTrayPriority[i] == trayId) return i;
  return -1;
}

// The paper value of a device paper code, and whether it came from the second table.
DWORD LookupPaper(DWORD code, DWORD* second) {
  *second = 0;
  DWORD value = Translate(BidiGetPaperTable(FALSE), code);
  if (value == 0) {
    value = Translate(BidiGetPaperTable(TRUE), code);
    *second = value != 0;
  }
  return value == kNoPaper || value == kNoPaperToo ? 0 : value;
}

// `value` when the item accepts it, else 0.
DWORD Accepted(DriverContext* context, WORD item, DWORD value) {
  const ItemTableRow* row = OptFindItem(context->itemTable, item);
  return value != 0 && row && CondIsValueAllowed(row, item, value, context) == kValueAllowed ? value : 0;
}

void SetText(DriverContext* context, WORD item, const WCHAR* text) {
  if (ItemTableRow* row = OptFindItem(context->itemTable, item)) OptSetString(context, row, text);
}

void ClearVersions(DriverContext* context) {
  for (const WORD item : {kItemSystemVersion, kItemEmulationVersion})
    if (ItemTableRow* row = OptFindItem(context->itemTable, item)) OptWriteBytes(context, row, nullptr, 0);
}

// Stores a text answer; an answer of no bytes leaves the item as it was.
void StoreText(DriverContext* context, WORD item, const BidiAnswer& answer) {
  if (answer.size == 0) return;
  WCHAR text[kBidiMaxAnswerBytes / sizeof(WCHAR) + 1];
  BidiAnswerText(answer, text, static_cast<DWORD>(std::size(text)));
  SetText(context, item, text);
}

// One cover or mark-sheet default: the winner of the trays whose attributes carry `bit`.
void ApplyDefaultTray(DriverContext* context, const Answers& a, DWORD bit, WORD item) {
  bool carried = false;
  int best = INT_MAX;
  DWORD winner = kTrayFallback;
  for (DWORD i = 0; i < BidiAnswerCount(a.trayIds); ++i) {
    const DWORD id = BidiAnswerNumber(a.trayIds, i);
    const int rank = PriorityRank(id);
    if (!(BidiAnswerNumber(a.trayAttributes, i) & bit)) continue;
    if (rank < 0 && TrayItem(kBidiTrayField, id) == 0) continue;  // an identifier we do not know
    carried = true;
    if (rank >= 0 && rank < best) {
      best = rank;
      winner = id;
    }
  }
  if (carried) OptSetValue(context, item, Translate(BidiGetTrayValueTable(), winner));
}

void ApplyTrays(DriverContext* context, const Answers& a) {
  for (DWORD i = 0; i < BidiAnswerCount(a.trayIds); ++i) {
    const DWORD id = BidiAnswerNumber(a.trayIds, i);
    const WORD field = TrayItem(kBidiTrayField, id);
    if (field == 0) continue;
    OptSetValue(context, field, 1);
    if (i < BidiAnswerCount(a.trayPaper)) {
      DWORD second = 0;
      const DWORD paper = LookupPaper(BidiAnswerNumber(a.trayPaper, i), &second);
      const WORD paperItem = TrayItem(kBidiTrayPaper, id);
      OptSetValue(context, TrayItem(kBidiTrayOrientation, id), second);
      OptSetValue(context, paperItem, Accepted(context, paperItem, paper));
    }
    DWORD media = kDefaultMedia;
    if (i < BidiAnswerCount(a.trayMedia)) media = Translate(BidiGetMediaTable(), BidiAnswerNumber(a.trayMedia, i));
    if (media == kNoMedia) media = 0;
    const WORD mediaItem = TrayItem(kBidiTrayMedia, id);
    OptSetValue(context, mediaItem, Accepted(context, mediaItem, media));
    OptSetValue(context, TrayItem(kBidiTrayLock, id), BidiAnswerNumber(a.trayAttributes, i) & bidi::kTrayLocked);
  }
  ApplyDefaultTray(context, a, bidi::kTrayCoverSheet, kItemCoverDefTray);
  ApplyDefaultTray(context, a, bidi::kTrayMarkSheet, kItemMPDefTray);
}

void ApplyOptions(DriverContext* context, const BidiAnswer& options) {
  const BidiOptionCodeRow* table = BidiGetOptionCodeTable(OptGetValue(context, kItemMachineID));
  for (DWORD i = 0; i < BidiAnswerCount(options); ++i) {
    const DWORD code = BidiAnswerNumber(options, i);
    for (int r = 0; table && r < kMaxTableRows && table[r].item != 0; ++r) {
      if (table[r].code != code) continue;
      OptSetValue(context, static_cast<WORD>(table[r].item), 1);
      DWORD changed = 0;
      BidiApplyOptionSideEffect(table[r].item, code, &changed, context);
      break;
    }
  }
}

// The short query's part, which the full query ends with: the system version of the query
// result, then the class of versions (memory type, emulation version; the other-device text
// is read but has no item to go to).
bool ReadVersions(DriverContext* context, BidiDevice* device, bidi::BidiResult result, BidiAnswer* answer) {
  if (!BidiReadRecord(device, result, bidi::kRecordSystemVersion, answer)) return false;
  StoreText(context, kItemSystemVersion, *answer);
  bidi::BidiResult versions = nullptr;
  if (!BidiAskClass(device, bidi::kClassVersions, &versions)) return false;
  if (!BidiReadClassRecord(device, versions, bidi::kClassVersions, bidi::kClassMemoryType, answer)) return false;
  if (BidiAnswerCount(*answer) >= 1) {
    const DWORD type = BidiAnswerNumber(*answer, 0);
    if (type == 1 || type == 2) OptSetValue(context, kItemPrinterMemoryType, type == 1 ? 1 : 0);
  }
  if (!BidiReadClassRecord(device, versions, bidi::kClassVersions, bidi::kClassEmulationVersion, answer))
    return false;
  StoreText(context, kItemEmulationVersion, *answer);
  return BidiReadClassRecord(device, versions, bidi::kClassVersions, bidi::kClassOtherDevice, answer) != FALSE;
}

bool ReadFull(DriverContext* context, BidiDevice* device, Answers* a) {
  bidi::BidiResult result = nullptr;
  if (!BidiAsk(device, bidi::kQueryFull, &result)) return false;
  const struct {
    DWORD code;
    BidiAnswer* answer;
  } reads[] = {
      {bidi::kRecordTrayIds, &a->trayIds},         {bidi::kRecordTrayPaper, &a->trayPaper},
      {bidi::kRecordTrayMedia, &a->trayMedia},     {bidi::kRecordTrayAttributes, &a->trayAttributes},
      {bidi::kRecordOptions, &a->options},         {bidi::kRecordMemory, &a->memory},
  };
  for (const auto& read : reads)
    if (!BidiReadRecord(device, result, read.code, read.answer)) return false;

  for (WORD item = kFirstOptionItem; item <= kLastOptionItem; ++item) OptSetValue(context, item, 0);
  for (WORD item = kFirstTrayPresentItem; item <= kLastTrayPresentItem; ++item) OptSetValue(context, item, 0);
  ApplyTrays(context, *a);
  ApplyOptions(context, a->options);
  if (BidiAnswerCount(a->memory) >= 1) OptSetValue(context, kItemPrinterMemory, BidiAnswerNumber(a->memory, 0) >> 10);
  return ReadVersions(context, device, result, &a->text);
}

bool ReadShort(DriverContext* context, BidiDevice* device, Answers* a) {
  bidi::BidiResult result = nullptr;
  return BidiAsk(device, bidi::kQueryShort, &result) && ReadVersions(context, device, result, &a->text);
}

bool ModelMatches(DriverContext* context, BidiDevice* device) {
  if (!BidiIsEnabledInIni(context, kBidiSwitchModel)) return true;
  WCHAR name[bidi::kModelNameChars];
  if (!BidiReadModelName(device, name)) return false;
  const WCHAR* expected = CfgReadModelName(context);
  if (expected && lstrcmpiW(name, expected) == 0) return true;
  SetLastError(ERROR_NOT_SUPPORTED);
  return false;
}

// Step 4 of the query: the device read into the record, which is put back as it was when any
// part fails.
bool ReadDevice(DriverContext* context, DWORD flags) {
  auto* aside = static_cast<SettingsRecord*>(SysAlloc(sizeof(SettingsRecord)));
  auto* answers = static_cast<Answers*>(SysAlloc(sizeof(Answers)));
  BidiDevice device{};
  bool ok = aside && answers;
  if (ok) {
    std::memcpy(aside, context->settings, sizeof(SettingsRecord));
    ok = BidiLoad(context, flags, &device) && BidiOpen(context, &device) && ModelMatches(context, &device) &&
         ((flags & kBidiQueryShort) ? ReadShort(context, &device, answers) : ReadFull(context, &device, answers));
    BidiRelease(&device);
  }
  if (ok && !(flags & kBidiQueryShort)) CfgSaveClass(context->printer, context, kSectionConfig, kCfgDeviceInfoOnly);
  if (!ok && aside) {
    const DWORD error = GetLastError();
    std::memcpy(context->settings, aside, sizeof(SettingsRecord));
    SetLastError(error);
  }
  SysFree(answers);
  SysFree(aside);
  return ok;
}

BOOL Fail(DriverContext* context) {
  const DWORD error = GetLastError();
  OptSetValue(context, kItemBiDirect, 0);
  ClearVersions(context);
  SetLastError(error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE);
  return FALSE;
}

void KeepResult(DriverContext* context) {
  DmCopyDeviceConfig(context);
  BidiSetPrinterDataFlag(context, 1);
  OptSetValue(context, kItemBiDirect, 1);
  if (BidiCanWritePrinterData(context))
    BidiClearSavedSection(context);
  else if (OptGetValue(context, kItemServerClientMode) != 1)
    BidiSaveSavedInfo(context);
}

bool ConnectorPartInstalled(const WCHAR* flagName, const WCHAR* library) {
  DWORD type = 0, value = 0, size = sizeof value;
  if (!SysReadHklmValue(kConnectorKey, flagName, &type, reinterpret_cast<BYTE*>(&value), &size) ||
      type != REG_DWORD || size != sizeof value || value != 1)
    return false;
  WCHAR system[MAX_PATH], path[MAX_PATH];
  const DWORD length = SysGetSystemDir(system, MAX_PATH);
  return length && PathJoin(path, MAX_PATH, {system, WSTR("\\"), library}) && PathExists(path);
}

}  // namespace

BOOL BidiQuery(DriverContext* context, SettingsRecord* record, DWORD flags) {
  if (!context || !context->settings || !context->itemTable || !context->work) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const RecordInUse use(context, record);
  if ((SysTestFeatureBit(0) || SysTestFeatureBit(7)) && BidiGetConnectorState(context) == kBidiConnectorServes)
    return TRUE;
  if (!BidiIsEnabledInIni(context, kBidiSwitchQuery)) {
    OptSetValue(context, kItemBiDirect, 0);
    return TRUE;
  }
  if (!PrnIsBidiEnabled(context)) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return Fail(context);
  }
  if (!BidiTestConnection(context, flags) || !ReadDevice(context, flags)) return Fail(context);
  KeepResult(context);
  return TRUE;
}

BOOL BidiQueryDevice(DriverContext* context) { return BidiQuery(context, nullptr, kBidiUse9xLibrary); }

BOOL BidiRefreshOnOpen(DriverContext* context, BOOL query) {
  if (!context || !context->settings || !context->itemTable) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const DWORD saved = BidiReadSavedFlag(context);
  const bool flag = OptGetValue(context, kItemServerClientMode) == 1 || saved == kBidiSavedFlagAbsent
                        ? BidiGetPrinterDataFlag(context) != FALSE
                        : saved != 0;
  if (flag) {
    OptSetValue(context, kItemBiDirect, BidiIsEnabledInIni(context, kBidiSwitchQuery) ? 1 : 0);
    return TRUE;
  }
  if (query) return BidiQueryDevice(context);
  OptSetValue(context, kItemBiDirect, 0);
  return TRUE;
}

BOOL BidiTestConnection(DriverContext* context, DWORD flags) {
  BidiDevice device{};
  const BOOL answers = BidiLoad(context, flags, &device) && BidiOpen(context, &device);
  BidiRelease(&device);
  return answers;
}

BOOL BidiIsEnabledInIni(DriverContext* context, int which) {
  const WCHAR* ini = PathGetSettingsIni(context);
  if (!ini || !ini[0] || ini[1] != WCH(':')) return TRUE;
  const WCHAR* key = which == kBidiSwitchModel ? kSwitchModel : kSwitchQuery;
  return IniProfileGetInt(CfgLanguageCodeOfItem(context), key, 1, ini) == 1;
}

BOOL BidiIsConnectorInstalled() {
  return (SysTestFeatureBit(7) && ConnectorPartInstalled(WSTR("TQBIDI_FLG"), WSTR("TQBIDISS.dll"))) ||
         (SysTestFeatureBit(0) && ConnectorPartInstalled(WSTR("TORBEL_FLG"), WSTR("TORBELSV.dll")));
}

DWORD BidiGetConnectorState(DriverContext* context) {
  if (!context || !SysIsTerminalServerCached(context->printer) || !BidiIsConnectorInstalled())
    return kBidiConnectorNone;
  DWORD connection = 0;
  return PrnGetData(context->printer, kTorbelConnection, &connection, sizeof connection) && connection == 1
             ? kBidiConnectorServes
             : kBidiConnectorIdle;
}
