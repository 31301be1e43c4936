#include "ui2k/items/item_setup.h"

#include "ui2k/controls/control_handler.h"
#include "ui2k/controls/preview_data.h"

#include "data/item_ids.h"
#include "data/page_ids.h"
#include "settings/description/image.h"
#include "settings/items/page_control_extras.h"
#include "settings/items/saved_settings_values.h"
#include "settings/items/table.h"

namespace {

constexpr WORD kAnyPage = 0;

// ---- Change groups of the items ----

struct ItemRange {
  WORD first, last;
};
constexpr ItemRange kGroupedItems[] = {
    {kItemOrientation, kItemPaperSize},
    {kItemDefaultSource, kItemDefaultSource},
    {kItemOutPaperSize, kItemOutPaperSize},
    {kItemFuncSelectScale, kItemFuncSelectNup},
    {kItemFuncSelectDuplex, kItemFuncSelectDuplex},
    {kItemNUPPOSTKind, kItemNUPPOSTKind},
    {kItemDuplexType, kItemDuplexType},
    {kItemPrnMethod, kItemPrnMethod},
    {kItemVdmMediaType, kItemVdmMediaType},
    {kItemPrinterMemoryType, kItemSourceOptionTypeDuplex},
    {kItemSourceOptionTypeLCT, kItemSourceOptionTypeLCT},
    {kItemSourceOptionTypeBank, kItemSourceOptionTypeManual},
    {kItemSourceOptionTypeOneStep, kItemSourceOptionTypeOneStep},
    {kItemOutputOptionTypeFinisher, kItemOutputOptionTypeFinMk1},
    {kItemOutputOptionTypeShift, kItemOutputOptionTypeFinMk5},
    {kItemOutputOptionTypeRemote, kItemOutputOptionTypeRemote},
    {kItemOutputOptionTypeExt1, kItemOutputOptionTypeHDD},
    {kItemTrayOrientTray1, kItemTrayPaperSlot31},
};
constexpr WORD kDeviceServiceItems[] = {kItemOutputOptionTypeRemote, kItemOutputOptionTypeHDD};

// ---- Control flags ----

struct ControlFlags {
  WORD page;      // kAnyPage: the control on every page that holds it
  WORD control;
  DWORD flags;
  bool replace;   // the flags replace the row's, else they are added
};
constexpr ControlFlags kControlFlags[] = {
    {kAnyPage, kCtlPaperSizeCombo, 0x100000, true},
    {kAnyPage, kCtlPaperSourceCombo, 0x100000, true},
    {kAnyPage, kCtlStapleType, 0x10000, true},
    {kAnyPage, kCtlPunchType, 0x20000, true},
    {kAnyPage, kCtlPqcBrightness, kCtlFlagNoArrowSteps, false},
    {kAnyPage, kCtlPqcContrast, kCtlFlagNoArrowSteps, false},
    {kAnyPage, kCtlPqcSaturation, kCtlFlagNoArrowSteps, false},
    {kAnyPage, kCtlPqcLightness, kCtlFlagNoArrowSteps, false},
    {kAnyPage, kCtlPqcSharpness, kCtlFlagNoArrowSteps, false},
    {kAnyPage, kCtlPqcRedbalance, kCtlFlagNoArrowSteps, false},
    {kAnyPage, kCtlStampPoint, kCtlFlagNoArrowSteps, false},
    {kAnyPage, kCtlStampAngle, kCtlFlagNoArrowSteps, false},
    {kAnyPage, kCtlStampDensity, kCtlFlagNoArrowSteps, false},
    {kAnyPage, kCtlStampImageScale, kCtlFlagNoArrowSteps, false},
    {kAnyPage, 2419, kCtlFlagNoArrowSteps, false},  // 2419, 2421 and 2470: on no page of this model
    {kAnyPage, 2421, kCtlFlagNoArrowSteps, false},
    {kAnyPage, 2470, kCtlFlagNoArrowSteps, false},
    {kAnyPage, kCtlMarginGutter, kCtlFlagNoArrowSteps, false},
    {kAnyPage, kCtlStampImageFile, kCtlFlagLongText, false},
    {kAnyPage, kCtlOverlayFile, kCtlFlagLongText, false},
    {kPageDialogVersion, kCtlVersionLogo, kPageItemHiddenFunctions, false},
};

// ---- Rows sharing an item, items sharing a node ----

struct PageControl {
  WORD page, control;
};
// The second control takes the first one's item.
struct SharedItem {
  PageControl from, to;
};
constexpr SharedItem kSharedItems[] = {
    {{kPageBasic, kCtlPresetComboBasic}, {kPageEdit, kCtlPresetComboEdit}},
    {{kPageBasic, kCtlPresetComboBasic}, {kPageFinish, kCtlPresetComboFinish}},
    {{kPageBasic, kCtlPresetComboBasic}, {kPageOthers, kCtlPresetComboOthers}},
    {{kPageMaintenance, kCtlMaintName}, {kPagePreset, kCtlPresetName}},
    {{kPageMaintenance, kCtlMaintName}, {kPageDialogSavePreset, kCtlSavePresetName}},
    {{kPageMaintenance, kCtlMaintComment}, {kPageDialogSavePreset, kCtlSavePresetComment}},
    {{kPageDialogUserPqc, kCtlFreesizeName}, {kPageDialogSaveUser, kCtlSaveUserName}},
    {{kPageDialogUserTtf, kCtlUttfFace}, {kPageDialogUserTtf, kCtlTtfFaces}},
    {{kPageTtf, kCtlTtfFace}, {kPageTtf, kCtlTtfFaces}},
    {{kPageDialogUserTtf, kCtlUttfDevice}, {kPageDialogUserTtf, kCtlTtfDeviceFonts}},
    {{kPageTtf, kCtlTtfDevice}, {kPageTtf, kCtlTtfDeviceFonts}},
};
// The item of the first control takes the model node of the second's.
struct SharedNode {
  PageControl item, source;
};
constexpr SharedNode kSharedNodes[] = {
    {{kPageBasic, kCtlPresetNameBasic}, {kPageMaintenance, kCtlMaintName}},
    {{kPageEdit, kCtlPresetNameEdit}, {kPageMaintenance, kCtlMaintName}},
    {{kPageFinish, kCtlPresetNameFinish}, {kPageMaintenance, kCtlMaintName}},
    {{kPageOthers, kCtlPresetNameOthers}, {kPageMaintenance, kCtlMaintName}},
    {{kPageDialogFreesize, kCtlFreesizeSrcWidth}, {kPageDialogFreesize, kCtlFreesizeWidth}},
    {{kPageDialogFreesize, kCtlFreesizeSrcWidthSpin}, {kPageDialogFreesize, kCtlFreesizeWidthSpin}},
    {{kPageDialogFreesize, kCtlFreesizeSrcLength}, {kPageDialogFreesize, kCtlFreesizeLength}},
    {{kPageDialogFreesize, kCtlFreesizeSrcLengthSpin}, {kPageDialogFreesize, kCtlFreesizeLengthSpin}},
};
// Items whose lists stand for another item's choices.
constexpr ItemNodeShare kSharedItemNodes[] = {
    {kItemNUPTypeList, kItemNUPType},
    {kItemDuplexTypeList, kItemDuplexType},
    {kItemPunchTypeList, kItemPunchType},
    {kItemStapleTypeList, kItemStapleType},
};

constexpr PageControl kSavedSettingsList = {kPageMaintenance, kCtlMaintList};
constexpr PageControl kOutsideTexts[] = {{kPageMaintenance, kCtlMaintName}, {kPageMaintenance, kCtlMaintComment}};
constexpr PageControl kHiddenFunctionsList = {kPageDialogHiddenFunc, kCtlHiddenList};

PageItemTemplate* RowOf(UiContext* ui, const PageControl& where) {
  PageTemplate* page = OptFindPage(&ui->pages, where.page);
  return page ? OptFindPageItem(&ui->pages, page, where.control) : nullptr;
}

WORD ItemOf(UiContext* ui, const PageControl& where) {
  const PageItemTemplate* row = RowOf(ui, where);
  return row ? row->itemId : 0;
}

template <size_t N>
bool Holds(const WORD (&items)[N], int count, WORD item) {
  for (int i = 0; i < count; ++i)
    if (items[i] == item) return true;
  return false;
}

template <size_t N>
void Mark(WORD (&items)[N], int& count, WORD item) {
  if (item && count < static_cast<int>(N) && !Holds(items, count, item)) items[count++] = item;
}

void SetItemGroups(DriverContext* context) {
  ItemTable* table = context->itemTable;
  if (!table || !table->rows) return;
  for (SHORT i = 0; i < table->count; ++i) table->rows[i].flags = 0;
  for (const ItemRange& range : kGroupedItems) {
    for (DWORD id = range.first; id <= range.last; ++id)
      if (ItemTableRow* row = OptFindItem(table, static_cast<WORD>(id))) row->flags |= kItemGroupPaperAndOptions;
  }
  for (WORD id : kDeviceServiceItems)
    if (ItemTableRow* row = OptFindItem(table, id)) row->flags |= kItemGroupDeviceServices;
}

void SetControlFlags(UiContext* ui) {
  for (SHORT i = 0; i < ui->pages.count; ++i) {
    PageTemplate& page = ui->pages.rows[i];
    for (DWORD n = 0; n < page.itemCount; ++n) {
      PageItemTemplate& row = page.items[n];
      for (const ControlFlags& entry : kControlFlags) {
        if (entry.control != row.controlId || (entry.page != kAnyPage && entry.page != page.id)) continue;
        row.flags = entry.replace ? entry.flags : row.flags | entry.flags;
      }
    }
  }
}

void ShareNode(ItemSetupState& state, WORD item, WORD source) {
  if (!item || !source || item == source || state.nodeShareCount >= kItemSetupNodeShares) return;
  for (int i = 0; i < state.nodeShareCount; ++i)
    if (state.nodeShares[i].item == item) return;
  state.nodeShares[state.nodeShareCount++] = {item, source};
}

void ShareItemsAndNodes(UiContext* ui) {
  ItemSetupState& state = ui->state.itemSetup;
  for (const SharedItem& shared : kSharedItems) {
    PageItemTemplate* from = RowOf(ui, shared.from);
    PageItemTemplate* to = RowOf(ui, shared.to);
    if (from && to) to->itemId = from->itemId;
  }
  for (const PageControl& where : kOutsideTexts) Mark(state.outsideTextItems, state.outsideTextItemCount, ItemOf(ui, where));
  for (const SharedNode& shared : kSharedNodes) ShareNode(state, ItemOf(ui, shared.item), ItemOf(ui, shared.source));
  for (const ItemNodeShare& shared : kSharedItemNodes) ShareNode(state, shared.item, shared.source);
}

void MakeHiddenFunctionsCheckList(UiContext* ui) {
  PageItemTemplate* row = RowOf(ui, kHiddenFunctionsList);
  const PageControlExtra* items = PageFindControlExtra(kHiddenFunctionsList.page, kHiddenFunctionsList.control);
  if (!row || !items || !items->words || items->wordCount < 2 || items->words[0] != kExtraCheckItems) return;
  row->controlType = kCtlTypeCheckList;
  row->extra = const_cast<PageControlExtra*>(items);
}

}  // namespace

void PageItemSetup(UiContext* ui) {
  if (!ui || !ui->driver) return;
  ui->state.itemSetup = ItemSetupState{};
  SetItemGroups(ui->driver);
  SetControlFlags(ui);
  ItemSetupState& state = ui->state.itemSetup;
  Mark(state.savedSettingsItems, state.savedSettingsItemCount, kItemPresetNo);
  Mark(state.savedSettingsItems, state.savedSettingsItemCount, ItemOf(ui, kSavedSettingsList));
  ShareItemsAndNodes(ui);
  CtlBindPreviewData(ui);
  MakeHiddenFunctionsCheckList(ui);
}

const DescNode* ItemSetupNodeOf(UiContext* ui, WORD itemId) {
  if (!ui || !ui->driver || !ui->driver->description || !itemId) return nullptr;
  const ItemSetupState& state = ui->state.itemSetup;
  for (int i = 0; i < state.nodeShareCount; ++i)
    if (state.nodeShares[i].item == itemId) return DescSlotNode(ui->driver->description, state.nodeShares[i].source);
  return DescSlotNode(ui->driver->description, itemId);
}

std::vector<WORD> ItemSetupBuiltInValues(const UiContext* ui, WORD itemId) {
  if (!ui || !itemId) return {};
  const ItemSetupState& state = ui->state.itemSetup;
  if (!Holds(state.savedSettingsItems, state.savedSettingsItemCount, itemId)) return {};
  return std::vector<WORD>(kSavedSettingsValues, kSavedSettingsValues + kSavedSettingsValueCount);
}

BOOL ItemSetupIsOutsideText(const UiContext* ui, WORD itemId) {
  if (!ui || !itemId) return FALSE;
  const ItemSetupState& state = ui->state.itemSetup;
  return Holds(state.outsideTextItems, state.outsideTextItemCount, itemId) ? TRUE : FALSE;
}
