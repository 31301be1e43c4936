#include "exclude/status_records.h"

#include <algorithm>
#include <cstring>

#include "data/item_ids.h"
#include "exclude/api_contexts.h"
#include "exclude/api_devmodes.h"
#include "exclude/api_job_items.h"
#include "exclude/api_model_tests.h"
#include "exclude/status_handlers.h"
#include "exclude/velmexc.h"
#include "settings/constraints/eval.h"
#include "settings/context/boundary.h"
#include "settings/context/memory.h"
#include "settings/description/access.h"
#include "settings/devmode/item_checks.h"
#include "settings/items/settings_record.h"
#include "settings/items/store.h"
#include "settings/persistence/options.h"
#include "settings/persistence/user_lists.h"

#define FIELDS StatusSetFields, StatusVerifyFields, StatusGetFields
#define FIELDS_UNVERIFIED StatusSetFields, nullptr, StatusGetFields

const StatusRow kStatusRows[kStatusRowCount] = {
    {1, 1, 3, 0, 0, StatusSetSettingsFile, nullptr, StatusGetSettingsFile, {}},
    {2, 1, 3, 13, 0, FIELDS, {13}},
    {3, 1, 3, 378, 0, FIELDS, {378}},
    {4, 1, 3, 57, 0, FIELDS, {57}},
    {5, 1, 3, 15, 0, FIELDS, {15}},
    {6, 1, 3, 7, 0, FIELDS, {7}},
    {7, 1, 3, 8, 0, FIELDS, {8, 10, 9}},
    {8, 1, 3, 50, 0, FIELDS, {50}},
    {9, 1, 3, 12, 0, FIELDS, {12}},
    {10, 1, 3, 222, 0, StatusSetPrintType, StatusVerifyPrintType, StatusGetPrintType,
     {222, 215, 220, 221, 217, 219, 218, 875}},
    {11, 1, 3, 58, 0, FIELDS, {58, 90, 92, 93}},
    {12, 1, 3, 68, 0, FIELDS, {68, 141, 142}},
    {13, 1, 3, 67, 0, FIELDS, {67, 137, 138}},
    {14, 1, 3, 59, 0, FIELDS, {59, 94, 95}},
    {15, 1, 3, 61, 0, FIELDS, {61, 102}},
    {16, 1, 2, 109, 0, StatusSetWatermark, nullptr, StatusGetWatermark, {}},
    {17, 1, 3, 63, 0, FIELDS_UNVERIFIED, {63, 120}},
    {18, 1, 3, 70, 0, FIELDS, {70, 103}},
    {19, 1, 3, 64, 0, FIELDS, {64, 129}},
    {20, 1, 3, 66, 0, FIELDS, {66, 136}},
    {21, 1, 3, 65, 0, FIELDS, {65, 134}},
    {22, 1, 3, 193, 0, FIELDS, {193}},
    {23, 1, 3, 194, 0, FIELDS, {194}},
    {24, 1, 3, 197, 0, FIELDS, {197}},
    {25, 1, 3, 212, 0, FIELDS, {212}},
    {26, 1, 3, 215, 0, StatusSetUserId, nullptr, StatusGetUserId, {215}},
    {27, 1, 3, 182, 0, FIELDS, {182}},
    {28, 1, 3, 210, 0, FIELDS, {210}},
    {29, 1, 3, 228, 0, FIELDS, {228}},
    {30, 1, 3, 225, 0, FIELDS, {225}},
    {31, 1, 3, 224, 0, FIELDS, {224}},
    {32, 1, 3, 226, 0, FIELDS, {226}},
    {33, 1, 3, 230, 0, FIELDS, {230}},
    {34, 1, 3, 42, 0, FIELDS_UNVERIFIED, {42, 248}},
    {35, 1, 3, 164, 0, FIELDS, {164, 165, 166, 167}},
};

#undef FIELDS
#undef FIELDS_UNVERIFIED

namespace {

constexpr DWORD kMarginRow = 18;
constexpr DWORD kNupRow = 14, kBindingRow = 15, kSortRow = 19, kPrintTypeRow = 10, kStatusCustomPaperRow = 7,
                kPlaneRow = 35, kScaleRow = 11;
constexpr DWORD kCapsMarginRange = 34;
constexpr DWORD kScaleFitToPaper = 2;

template <class Visit>
void ForEachItem(const StatusRow& row, Visit visit) {
  for (DWORD i = 0; i < kStatusRowItems && row.items[i] != 0; ++i) visit(i, row.items[i]);
}

// Rows whose first item switches the others on; their other items do not count while it is off.
bool IsSwitchRow(DWORD row) { return (row >= 11 && row <= 15) || (row >= 17 && row <= 21); }

bool IsLocked(const DescNode* node, DriverContext* context) {
  return node && (CondIsDisabled(node, 0, context) || CondIsHidden(node, 0, context));
}

// What the rows' items held before a set, to tell which rows it disturbed: numbers as they are,
// texts by a hash of their characters.
struct RowValues {
  uint64_t values[kStatusRowCount][kStatusRowItems];
};

uint64_t ItemFingerprint(DriverContext* context, WORD item) {
  const ItemTableRow* row = OptFindItem(context->itemTable, item);
  if (!row) return 0;
  const int type = DescriptorType(row->descriptor);
  if (IsNumberType(type) || IsBitType(type)) return OptReadRaw(context, row);
  WCHAR text[600] = {};
  OptGetString(context, row, text, 600);
  uint64_t hash = 1469598103934665603ull;
  for (const WCHAR* p = text; *p; ++p) hash = (hash ^ *p) * 1099511628211ull;
  return hash ^ 0x8000000000000000ull;
}

void CaptureRowValues(DriverContext* context, RowValues* values) {
  for (const StatusRow& row : kStatusRows)
    ForEachItem(row, [&](DWORD i, WORD item) { values->values[row.row - 1][i] = ItemFingerprint(context, item); });
}

// Whether the row's items or lock states changed against `before` and the lock snapshot.
bool RowDisturbed(DriverContext* context, const StatusRow& row, const RowValues& before, const ApiLockSnapshot* locks) {
  const bool switchedOff = IsSwitchRow(row.row) && OptGetValue(context, row.items[0]) == 0 &&
                           before.values[row.row - 1][0] == 0;
  bool disturbed = false;
  ForEachItem(row, [&](DWORD i, WORD item) {
    if (disturbed || (switchedOff && i != 0)) return;
    if (ItemFingerprint(context, item) != before.values[row.row - 1][i]) disturbed = true;
    if (!locks) return;
    const ApiLockEntry& was = locks->rows[row.row - 1][i];
    if (!was.disabled && !was.hidden && IsLocked(ApiGetLockNode(item, context), context)) disturbed = true;
  });
  return disturbed;
}

// Row 7's custom paper: item 8 and the public custom size from the record, marked in dmFields.
void ApiSetCustomPaperFromRecord(DriverContext* context, const BYTE* record) {
  WORD width, length;
  std::memcpy(&width, record + 8, 2);
  std::memcpy(&length, record + 12, 2);
  OptSetValue(context, kItemPaperSize, RecordLoad(record, 4));
  OptSetValue(context, kItemPaperWidth, width);
  OptSetValue(context, kItemPaperLength, length);
  OptSetValue(context, kItemFields, OptGetValue(context, kItemFields) | DM_PAPERWIDTH | DM_PAPERLENGTH);
}

void ApplyRulesOf(DriverContext* context, WORD item) { CondApplyNodeRules(DescGetNode(item, context), context); }

// The constraints' consequences of a set, then the rows it disturbed.
void TraceAffectedRows(StatusCall& call, const StatusRow& row, const BYTE* record, const RowValues& before,
                       BYTE* bitmap) {
  DriverContext* context = call.context;
  if (row.lockItem) ApplyRulesOf(context, static_cast<WORD>(row.lockItem));
  switch (row.row) {
    case kPrintTypeRow: StatusReapplyPrintType(call, record); break;
    case kScaleRow: {
      const DWORD type = OptGetValue(context, kItemScaleType);
      ApplyRulesOf(context, kItemScaleType);
      if (type == 1 || type == 3) ApplyRulesOf(context, kItemScaleH);
      if (type == 3) ApplyRulesOf(context, kItemScaleV);
      break;
    }
    case kNupRow: ApplyRulesOf(context, kItemNUPPOSTKind); ApplyRulesOf(context, kItemNUPType); break;
    case kBindingRow: ApplyRulesOf(context, kItemDuplexType); break;
    case 20: ApplyRulesOf(context, kItemStapleType); break;
    case 21: ApplyRulesOf(context, kItemPunchType); break;
    case kPlaneRow:
      for (WORD item : {kItemPlaneUseCMYKMagenta, kItemPlaneUseCMYKYellow, kItemPlaneUseCMYKBlack}) ApplyRulesOf(context, item);
      break;
    default: break;
  }
  if (row.row == kStatusCustomPaperRow && RecordLoad(record, 4) == kStatusCustomPaper) ApiSetCustomPaperFromRecord(context, record);
  if (row.row == kPlaneRow) OptSetValue(context, kItemQualityListUse, 1);
  ApiFixFinisher(context);

  const ApiLockSnapshot* locks = ApiGetLockSnapshot(context);
  for (const StatusRow& other : kStatusRows)
    if (other.supported && other.row != row.row && RowDisturbed(context, other, before, locks))
      StatusMarkRow(bitmap, other.row);
  // An n-up layout or binding the constraints turned into another of its family marks the row.
  if ((row.row == kNupRow || row.row == kBindingRow) && RecordLoad(record, 28) != 0 &&
      OptGetValue(context, row.row == kNupRow ? kItemNUPType : kItemDuplexType) != RecordLoad(record, 4))
    StatusMarkRow(bitmap, row.row);
}

// The lasting writes the handlers queued. TRUE when every one succeeded.
BOOL FlushPendingWrites(StatusCall& call) {
  DriverContext* context = call.context;
  const StatusPendingWrites& pending = call.pending;
  BOOL written = TRUE;
  for (DWORD i = 0; i < pending.storeCount; ++i)
    written &= CfgWriteEntry(context->printer, context, OptFindItem(context->itemTable, pending.storeItems[i]));
  if (pending.actionItem) written &= ApiStoreActionItem(context, pending.actionItem);
  if (pending.saveScratchStamp) written &= LstSaveStamp(context, kApiScratchStamp);
  if (pending.saveSettings) written &= CfgSave(context->printer, context) ? TRUE : FALSE;
  if (pending.jobMask) ApiWriteJobItem(context, pending.jobMask);
  return written;
}

LONG VersionOfSet(DWORD recordVersion, DWORD rowVersion, DWORD mode, bool* goAhead) {
  *goAhead = true;
  if (mode == kStatusModeAnswerVersion) return rowVersion < recordVersion ? static_cast<LONG>(rowVersion) : 0;
  if (recordVersion <= rowVersion) return 0;
  if (mode == kStatusModeRefuseNewer) *goAhead = false;
  return static_cast<LONG>(rowVersion);
}

// Runs the set between the version rule and the lasting writes; -1 or 1.
int RunSet(StatusCall& call, const StatusRow& row, const BYTE* record, BYTE* bitmap) {
  DriverContext* context = call.context;
  CfgLoad(context->printer, kCfgLoadDevice, context);
  ApiRefreshLockSnapshot(context);
  if (row.lockItem) {
    const DescNode* lock = ApiGetLockNode(static_cast<WORD>(row.lockItem), context);
    if (row.row == kSortRow && lock && CondIsHidden(lock, 0, context) && RecordLoad(record, 28) != 0)
      lock = ApiGetLockNode(kItemSortType, context);
    if (IsLocked(lock, context)) return -1;
  }
  RowValues* values = static_cast<RowValues*>(SysAlloc(sizeof(RowValues)));
  if (!values) return -1;
  CaptureRowValues(context, values);
  int result = row.set(call, record) == 1 ? 1 : -1;
  if (result == 1) {
    TraceAffectedRows(call, row, record, *values, bitmap);
    const intptr_t marginRange = VELMDrvGetCaps(reinterpret_cast<VELMAPICONTEXT>(context), kCapsMarginRange, nullptr);
    if (marginRange != 0 && marginRange != -1)
      bitmap[(kMarginRow - 1) >> 3] &= BYTE(~(0x80u >> ((kMarginRow - 1) & 7)));
    if (row.verify && row.verify(call, record) != 1) result = -1;
  }
  SysFree(values);
  return result;
}

}  // namespace

const StatusRow* StatusFindRow(DWORD row) {
  return row >= 1 && row <= kStatusRowCount ? &kStatusRows[row - 1] : nullptr;
}

void ApiRefreshLockSnapshot(DriverContext* context) {
  ApiLockSnapshot* locks = ApiGetLockSnapshot(context);
  if (!locks) return;
  for (const StatusRow& row : kStatusRows)
    ForEachItem(row, [&](DWORD i, WORD item) {
      const DescNode* node = ApiGetLockNode(item, context);
      locks->rows[row.row - 1][i] = {node && CondIsDisabled(node, 0, context) ? 1u : 0u,
                                     node && CondIsHidden(node, 0, context) ? 1u : 0u};
    });
}

LONG ApiGetStatus(DriverContext* context, DWORD rowNumber, void* record, DWORD callerVersion) {
  const StatusRow* row = StatusFindRow(rowNumber);
  if (!context || !context->settings || !row || !row->supported || !row->get) return -1;
  if (callerVersion > row->version) return -1;
  const DWORD version = callerVersion == 0 ? row->version : callerVersion;
  ApiPrinterScope scope;
  if (!ApiReopenPrinter(context, &scope)) return -1;
  StatusCall call{context, rowNumber, version, 0, ApiReadFunctionSwitches(context), {}};
  if (rowNumber == kScaleRow && OptGetValue(context, kItemScaleType) == kScaleFitToPaper) ApiRecomputeFitScale(context);
  BYTE* bytes = static_cast<BYTE*>(record);
  const LONG size = row->get(call, bytes);
  if (bytes && size >= 4) RecordStore(bytes, 0, version);
  ApiReleasePrinter(context, &scope);
  return size;
}

LONG ApiSetStatus(DriverContext* context, DWORD rowNumber, const void* record, BYTE* bitmap, DWORD mode) {
  BYTE affected[kStatusBitmapBytes] = {};
  if (bitmap) std::memset(bitmap, 0, kStatusBitmapBytes);
  const StatusRow* row = StatusFindRow(rowNumber);
  if (!context || !context->settings || !row || !row->supported || !record || !row->set) return -1;
  const BYTE* bytes = static_cast<const BYTE*>(record);
  bool goAhead = true;
  const LONG versionResult = VersionOfSet(RecordLoad(bytes, 0), row->version, mode, &goAhead);
  if (!goAhead) return versionResult;
  ApiPrinterScope scope;
  if (!ApiReopenPrinter(context, &scope)) return -1;
  SettingsRecord* snapshot = static_cast<SettingsRecord*>(SysAlloc(sizeof(SettingsRecord)));
  if (!snapshot) {
    ApiReleasePrinter(context, &scope);
    return -1;
  }
  std::memcpy(snapshot, context->settings, sizeof(SettingsRecord));
  const bool marginWasOn = (rowNumber == kNupRow || rowNumber == kBindingRow) &&
                           OptGetValue(context, kItemFuncSelectMargin) != 0;
  StatusCall call{context, rowNumber, RecordLoad(bytes, 0), StatusRecordBytes(rowNumber, RecordLoad(bytes, 0)),
                  ApiReadFunctionSwitches(context), {}};
  int result = RunSet(call, *row, bytes, affected);
  if (result == 1) {
    if (marginWasOn && OptGetValue(context, kItemFuncSelectMargin) == 0) {
      if (ItemTableRow* side = OptFindItem(context->itemTable, kItemSimplexBindType)) OptResetToDefault(context, side);
      for (WORD item = kItemBindMargin; item <= kItemMarginEven; ++item) OptSetValue(context, item, 0);
    }
    FlushPendingWrites(call);
  } else {
    std::memcpy(context->settings, snapshot, sizeof(SettingsRecord));
    std::memset(affected, 0, sizeof affected);
  }
  SysFree(snapshot);
  ApiReleasePrinter(context, &scope);
  if (bitmap) std::memcpy(bitmap, affected, kStatusBitmapBytes);
  return result == 1 ? versionResult : -1;
}

DRIVER_EXPORT int32_t VELMDrvGetStatus(VELMAPICONTEXT context, uint32_t row, void* record, uint32_t callerVersion) try {
  return ApiGetStatus(reinterpret_cast<DriverContext*>(context), row, record, callerVersion);
} catch (...) {
  return SysFailAtBoundary(int32_t{-1});
}

DRIVER_EXPORT int32_t VELMDrvSetStatus(VELMAPICONTEXT context, uint32_t row, const void* record, void* bitmap,
                                       uint32_t mode) try {
  return ApiSetStatus(reinterpret_cast<DriverContext*>(context), row, record, static_cast<BYTE*>(bitmap), mode);
} catch (...) {
  return SysFailAtBoundary(int32_t{-1});
}
