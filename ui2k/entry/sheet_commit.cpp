#include "ui2k/entry/sheet_commit.h"

#include "data/item_ids.h"
#include "settings/constraints/option_availability.h"
#include "settings/context/memory.h"
#include "settings/devmode/derived_items.h"
#include "settings/devmode/environment.h"
#include "settings/devmode/merge.h"
#include "settings/items/store.h"
#include "settings/persistence/options.h"
#include "ui2k/entry/caps_summary.h"
#include "ui2k/entry/devmode_convert.h"
#include "ui2k/entry/seams.h"
#include "ui2k/install/job_control_bridge.h"
#include "ui2k/install/user_code.h"
#include "ui2k/store/font_substitution.h"

namespace {

constexpr DWORD kMaskSheetOptions = 158;
constexpr DWORD kMaskUserCode = 1;
constexpr DWORD kMaskAll = 159;
constexpr size_t kOffCollate = 100;
constexpr size_t kCollateEnd = kOffCollate + 2;

struct MergeStep {
  UiContext* ui;
  DWORD flags;
};

// What the interface sets between the public fields and the rest of a merge.
void AfterPublicFields(DriverContext*, void* argument) {
  const MergeStep& step = *static_cast<MergeStep*>(argument);
  UiSetJbInstalled(step.ui);
  UcInitOptionStates(step.ui);
  if (step.flags & DM_PROMPT) JcBridgeReadOptions(step.ui, kMaskAll);
}

// The collate rule of a written-back devmode `target` (dmSize bytes at least 102).
void ApplyCollateRule(UiContext* ui, DEVMODEW* target) {
  BYTE* bytes = reinterpret_cast<BYTE*>(target);
  if (DmLoadU16(bytes, kDmOffSize) < kCollateEnd) return;
  DWORD fields = DmLoadU32(bytes, kDmOffFields);
  if (CapsCanCollate(ui->driver)) {
    const DEVMODEW* in = ui->state.pdmIn;
    const bool inHasCollate = in && DmLoadU16(reinterpret_cast<const BYTE*>(in), kDmOffSize) >= kDmOffFields + 4 &&
                              (DmLoadU32(reinterpret_cast<const BYTE*>(in), kDmOffFields) & DM_COLLATE);
    if (inHasCollate && (UiIsNt5OrLater() || UiGetModeByte(ui, kEnvCallSrc) != 1)) return;
    fields |= DM_COLLATE;
    DmStoreU16(bytes, kOffCollate, OptGetSavedValue(ui->driver, kItemFuncSelectSort) ? 1 : 0);
  } else {
    fields &= ~DM_COLLATE;
    DmStoreU16(bytes, kOffCollate, 0);
  }
  DmStoreU32(bytes, kDmOffFields, fields);
}

void SendOk(UiContext* ui) {
  ui->state.pfnComPropSheet(ui->state.hComPropSheet, CPSFUNC_SET_RESULT, 0, CPSUI_OK);
}

}  // namespace

int DmMergeIntoUiContext(UiContext* ui, const DEVMODEW* devmode, DWORD flags) {
  if (!ui || !ui->driver->settings) return 1;
  if (!(flags & (kMergeInterface | kMergeUpdate))) return 1;
  DriverContext* context = ui->driver;
  UiSetStateFlags(ui, flags);
  OptSetValue(context, kItemPrompt, (flags & DM_PROMPT) ? 1 : 0);

  auto* copy = static_cast<PrivateDevmode*>(SysAlloc(sizeof(PrivateDevmode)));
  if (!copy) return 0;
  const size_t bytes = devmode ? static_cast<size_t>(devmode->dmSize) + devmode->dmDriverExtra : 0;
  const BOOL converted = DmConvertIncoming(context, devmode, bytes, copy);
  DmApplyCapsSummary(ui, copy);
  flags |= UiGetStateFlags(ui) & kUiFlagSummaryApplied;
  DmTakePrivatePart(context, copy, TRUE);
  MergeStep step{ui, flags};
  const int result = DmMergeFinish(context, copy, converted, flags, AfterPublicFields, &step);
  SysFree(copy);
  return result;
}

void SheetStoreUserCodeAndFonts(UiContext* ui, int mode) {
  UcStoreUserCode(ui);
  DmResync(ui->driver, mode);
  FontSubWriteTableValues(ui, 0);
}

int SheetCommitDevmode(UiContext* ui) {
  const DWORD fMode = ui->state.fMode;
  if (!(fMode & (DM_UPDATE | DM_COPY))) return 1;
  if (fMode & DM_COPY) DmBuildCapsSummary(ui);
  JcBridgeStoreOptions(ui, kMaskAll);
  auto* own = reinterpret_cast<DEVMODEW*>(ui->driver->settings->devmode.bytes);
  if ((fMode & DM_COPY) || (UiGetStateFlags(ui) & kUiFlagWriteBack)) {
    DmConvertForApply(own, ui->state.pdmIn, ui->state.pdmOut);
    if (ui->state.pdmOut) ApplyCollateRule(ui, ui->state.pdmOut);
  } else {
    ApplyCollateRule(ui, own);
  }
  return 1;
}

int SheetCommitWithMode(UiContext* ui, int mode) {
  DmResync(ui->driver, mode);
  SheetCommitDevmode(ui);
  CfgSaveClass(ui->driver->printer, ui->driver, 3, 0);
  CfgSaveClass(ui->driver->printer, ui->driver, 1, 0);
  return 1;
}

void SheetCommitSheetKind(UiContext* ui) {
  if (ui->state.sheetKind == kUiSheetDevice) {
    UiGetSeams().instRefreshPresetsOnce(ui, TRUE);
    SheetStoreUserCodeAndFonts(ui, kCommitDeviceSheet);
    return;
  }
  JcBridgeOpen(ui);
  JcBridgeWriteOptions(ui, kMaskSheetOptions);
  JcBridgeReadOptions(ui, kMaskUserCode);
  JcBridgeClose(ui);
  SheetCommitWithMode(ui, kCommitDocumentSheet);
}

void SheetCommit(UiContext* ui) {
  if (!ui || !ui->driver->settings) return;
  const BYTE presentUiMode = UiGetModeByte(ui, kEnvPresentUiMode);
  ui->state.okPressed = 1;
  SheetCommitSheetKind(ui);
  CtxFreeSnapshot(ui->driver);
  CtxSnapshotDevmode(ui->driver);
  JcBridgeReadOptions(ui, kMaskAll);
  UiSetModeByte(ui, kEnvPresentUiMode, presentUiMode);
  if (!ui->state.pfnComPropSheet) return;
  if (ui->state.sheetKind == kUiSheetDevice) {
    PRINTER_INFO_7W publish{nullptr, DSPRINT_UPDATE};
    SetPrinterW(ui->driver->printer, 7, reinterpret_cast<LPBYTE>(&publish), 0);
    SendOk(ui);
  } else if (ui->state.fMode & (DM_UPDATE | DM_COPY)) {
    SendOk(ui);
  }
}
