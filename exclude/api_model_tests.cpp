#include "exclude/api_model_tests.h"

#include <cstring>

#include "data/item_ids.h"
#include "settings/constraints/eval.h"
#include "settings/constraints/option_availability.h"
#include "settings/context/memory.h"
#include "settings/description/access.h"
#include "settings/description/parse_result.h"
#include "settings/items/settings_record.h"
#include "settings/items/store.h"
#include "settings/persistence/options.h"
#include "settings/persistence/paths.h"
#include "settings/persistence/profile_wrappers.h"
#include "settings/persistence/user_lists.h"
#include "settings/services/platform_tests.h"
#include "settings/services/resource_strings.h"

const ApiLockNodeRow kApiLockNodeRows[6] = {
    {13, 1002, 2007}, {378, 1002, 2064}, {57, 1002, 2066}, {8, 1002, 2017}, {50, 1002, 2053}, {222, 1002, 2041},
};

namespace {

constexpr DWORD kStampValueChars = 260;

const ModelDescription* Description(DriverContext* context) { return context ? context->description : nullptr; }

// The control row of a page, or null.
const PageItemTemplate* FindControl(DriverContext* context, WORD pageId, WORD controlId,
                                    const PageTemplate** page) {
  const PageTable* pages = context->pageTemplates;
  *page = OptFindPage(pages, pageId);
  return *page ? OptFindPageItem(pages, *page, controlId) : nullptr;
}

// Visits the model values of `item`'s list; `visit` answers false to stop. The description's
// entries carry the block kind of their list (plain, paper, tray), which every one shares, so
// every entry of the list is a value.
template <class Visit>
bool ForEachListValue(DriverContext* context, WORD item, BOOL usableOnly, Visit visit) {
  const DescNode* node = DescGetNode(item, context);
  if (!node) return false;
  const ModelDescription* d = Description(context);
  for (const DescValue* value = DescNodeFirstValue(d, node); value; value = DescNextValue(d, value)) {
    const WORD model = DescValueValue(value);
    if (usableOnly && (CondIsDisabled(node, model, context) || CondIsHidden(node, model, context))) continue;
    if (!visit(model)) return false;
  }
  return true;
}

}  // namespace

const DescNode* ApiGetLockNode(WORD item, DriverContext* context) {
  if (!context) return nullptr;
  for (const ApiLockNodeRow& lock : kApiLockNodeRows) {
    if (lock.item != item) continue;
    if (lock.pageId == 0 || lock.controlId == 0) break;
    const PageTemplate* page = nullptr;
    const PageItemTemplate* control = FindControl(context, lock.pageId, lock.controlId, &page);
    if (!control) break;
    const DescNode* node = DescFindNodeByKey(control->itemId, context);
    if (!node) break;
    if ((page->kind & kPageDocumentTab) && !CondIsValueExcluded(context, page->symbolKey)) return node;
    break;
  }
  return DescGetNode(item, context);
}

int ApiIsItemUsable(DriverContext* context, WORD item, DWORD value, DWORD flags) {
  // A Boolean record allows its two values; any other needs a list with values.
  if (!context || (DescGetValueCount(item, context) <= 0 && DescGetNodeKind(item, context) != kUiBoolean)) return 0;
  const DescNode* node = ApiGetLockNode(item, context);
  if (!node) return 0;
  if ((flags & kApiUsableNotDisabled) && CondIsDisabled(node, value, context)) return 0;
  if ((flags & kApiUsableNotHidden) && CondIsHidden(node, value, context)) return 0;
  return 1;
}

DWORD ApiFindValueByDevmodeValue(DriverContext* context, WORD item, DWORD devmodeValue) {
  const DescNode* node = ApiGetLockNode(item, context);
  if (!node || !DescIsListType(DescNodeType(node))) return 0;
  const ModelDescription* d = Description(context);
  for (const DescValue* value = DescNodeFirstValue(d, node); value; value = DescNextValue(d, value)) {
    const ValueSymbolRow* symbol = OptFindValueSymbolByModel(item, DescValueValue(value));
    if (!symbol) return 0;
    if (symbol->value == devmodeValue) return DescValueValue(value);
  }
  return 0;
}

int ApiIsControlFeatureOn(DriverContext* context, WORD pageId, WORD controlId) {
  if (!context) return 0;
  const PageTemplate* page = nullptr;
  const PageItemTemplate* control = FindControl(context, pageId, controlId, &page);
  if (!control || control->itemId == 0) return 0;
  return CondEvalEntry(control->itemId, 0, context) == 0 ? 1 : 0;
}

int ApiHasScratchStamp(DriverContext* context) {
  if (!context) return 0;
  const ItemTableRow* row = OptFindItem(context->itemTable, kItemWmKind);
  // A stamp section keys its items by their names.
  if (!row || !row->name) return 0;
  WCHAR section[64];
  if (!LstFormatStampKey(context, kApiScratchStamp, section, 64)) return 0;
  const WCHAR* ini = PathGetSettingsIni(context);
  if (!ini) return 0;
  WCHAR value[kStampValueChars];
  return IniProfileGetString(section, row->name, WSTR(""), value, kStampValueChars, ini) > 0 ? 1 : 0;
}

int ApiIsTerminalServerRestricted(DriverContext* context) {
  return context && !SysIsWin9x() && OptGetValue(context, kItemTSE) != 0 ? 1 : 0;
}

int ApiListValueIds(DriverContext* context, WORD item, BOOL usableOnly, DWORD* values, DWORD capacity) {
  ItemTableRow* row = context ? OptFindItem(context->itemTable, item) : nullptr;
  DWORD count = 0;
  bool overrun = false;
  const bool walked = ForEachListValue(context, item, usableOnly, [&](WORD model) {
    if (values) {
      if (count >= capacity) return !(overrun = true);
      values[count] = row ? OptModelToRawValue(context, row, model) : model;
    }
    ++count;
    return true;
  });
  return !walked || overrun || count == 0 ? -1 : static_cast<int>(count);
}

int ApiListValueNames(DriverContext* context, WORD item, BOOL usableOnly, WCHAR* names, DWORD width,
                      DWORD capacity) {
  if (names && width == 0) return -1;
  DWORD count = 0;
  bool overrun = false;
  const bool walked = ForEachListValue(context, item, usableOnly, [&](WORD model) {
    if (names) {
      if (count >= capacity) return !(overrun = true);
      WCHAR* field = names + static_cast<size_t>(count) * width;
      std::memset(field, 0, width * sizeof(WCHAR));
      ResLoadString(context, model, field, width, FALSE);
      field[width - 1] = 0;
    }
    ++count;
    return true;
  });
  return !walked || overrun || count == 0 ? -1 : static_cast<int>(count);
}

BOOL ApiStoreActionItem(DriverContext* context, WORD item) {
  if (!context || item < kItemFirstAction || item > kItemLastAction) return FALSE;
  return CfgSaveActionGroup(context);
}

BYTE* ApiSnapshotDevmode(DriverContext* context) {
  if (!context || !context->settings) return nullptr;
  BYTE* copy = static_cast<BYTE*>(SysAlloc(kDmSize));
  if (copy) std::memcpy(copy, context->settings->devmode.bytes, kDmSize);
  return copy;
}

void ApiRestoreDevmode(DriverContext* context, BYTE* snapshot, BOOL restore) {
  if (!snapshot) return;
  if (restore && context && context->settings) std::memcpy(context->settings->devmode.bytes, snapshot, kDmSize);
  SysFree(snapshot);
}
