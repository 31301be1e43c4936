// Questions the status and capability records ask of the model and the settings: which node
// locks a row, whether an item or value is usable, the model value of a devmode value, the
// feature switches of property-page controls, the scratch stamp, the value lists of the
// capability rows, and the devmode snapshots of a set.
#pragma once

#include "settings/context/driver_context.h"
#include "settings/description/image.h"
#include "win32.h"

// Items whose lock node is a control of a document-sheet page: (item, page id, control id).
struct ApiLockNodeRow {
  WORD item;
  WORD pageId;
  WORD controlId;
};
extern const ApiLockNodeRow kApiLockNodeRows[6];

// The node whose disabled and hidden state locks a status row for `item`: for an item of
// kApiLockNodeRows the UI record of its control's item, when the page is a document-sheet tab
// whose own symbol is not disabled; in every other case the item's own node. Null without one.
const DescNode* ApiGetLockNode(WORD item, DriverContext* context);

// Flags of ApiIsItemUsable.
constexpr DWORD kApiUsableNotDisabled = 0x1;
constexpr DWORD kApiUsableNotHidden = 0x2;
// 1 when the item has a model list with values (or is a Boolean), its lock node exists and, by `flags`, the node
// (value 0) or the model value `value` is neither disabled nor hidden; else 0.
int ApiIsItemUsable(DriverContext* context, WORD item, DWORD value, DWORD flags);

// The model value of `item` whose value-symbol row carries the devmode value, in list order; 0
// when the lock node is missing or not a list, a value has no symbol row, or none matches.
DWORD ApiFindValueByDevmodeValue(DriverContext* context, WORD item, DWORD devmodeValue);

// 1 when page `pageId` has control `controlId` bound to an item whose disabled condition (value
// 0) gives 0; else 0.
int ApiIsControlFeatureOn(DriverContext* context, WORD pageId, WORD controlId);
// The two features asked that way.
constexpr WORD kApiWatermarkKind3Page = 1003, kApiWatermarkKind3Control = 2407;
constexpr WORD kApiPlaneSelectionPage = 1029, kApiPlaneSelectionControl = 2296;

// The stamp slot that holds the application's watermark while it is edited.
constexpr DWORD kApiScratchStamp = 256;
// 1 when the settings INI holds a non-empty value of item 109's key in the scratch stamp's
// section; else 0.
int ApiHasScratchStamp(DriverContext* context);

// 1 on a system other than Windows 9x whose context carries the terminal-server byte.
int ApiIsTerminalServerRestricted(DriverContext* context);

// The devmode values of `item`'s model list entries (with `usableOnly` only those
// neither disabled nor hidden), into `values` when it is given and holds `capacity` entries.
// The count; -1 without a node or without such values, and when `values` is given and the
// count passes `capacity` (nothing written past it).
int ApiListValueIds(DriverContext* context, WORD item, BOOL usableOnly, DWORD* values, DWORD capacity);
// The resource strings of the same values (string id = model value), each in `width` wide
// characters, zero-filled, cut to width - 1. The count, or -1 as ApiListValueIds.
int ApiListValueNames(DriverContext* context, WORD item, BOOL usableOnly, WCHAR* names, DWORD width,
                      DWORD capacity);

// Stores the job-action word of `item` (one of 224..239) in the settings INI at once under
// "vdmAction". TRUE on success.
BOOL ApiStoreActionItem(DriverContext* context, WORD item);

// A copy of the context's devmode, or null.
BYTE* ApiSnapshotDevmode(DriverContext* context);
// Copies the snapshot back when `restore` is set; frees it either way (null accepted).
void ApiRestoreDevmode(DriverContext* context, BYTE* snapshot, BOOL restore);
