// The interface library's context: the driver context that CtxCreateEx opens (the one builder
// of the settings library), with the interface's additions beside it: its own copy of the page
// table and of each page's item rows, and the sheets' state (UiState).
//
// The UI-state flags word is the work area's merge flags word: it starts as the creation flags
// and every merge overwrites it. The creation flags themselves stay as given (the context cache
// compares them).
#pragma once

#include <atomic>

#include "settings/context/driver_context.h"
#include "settings/persistence/user_lists.h"
#include "ui2k/controls/preview_data.h"
#include "ui2k/install/user_code.h"
#include "ui2k/items/item_setup_state.h"
#include "ui2k/pages/page_state.h"
#include "ui2k/store/font_substitution.h"
#include "win32.h"

// UI-state flags.
constexpr DWORD kUiFlagInstalling = 0x40000;
constexpr DWORD kUiFlagWriteBack = 0x2000000;    // the caller's devmode is to be written back
constexpr DWORD kUiFlagSummaryApplied = 0x40000000;

// Creation flags of the interface's contexts.
constexpr DWORD kUiCreateSheet = 0x80000000;   // sheets, job query, upgrade, installs
constexpr DWORD kUiCreateSilent = 0x2000000;   // document properties without a dialog

// Sheet kinds.
constexpr WORD kUiSheetDocument = 1;
constexpr WORD kUiSheetDevice = 2;

constexpr DWORD kUiTextChars = 522;

struct UiState {
  DWORD mayChange;                 // device sheet: DPS_NOPERMISSION clear
  DWORD fMode;                     // the caller's DM_* flags
  PFNCOMPROPSHEET pfnComPropSheet;
  HANDLE hComPropSheet;
  DWORD changed;                   // a page changed settings that must be committed
  WCHAR text[kUiTextChars];        // scratch for resource strings and preset names
  DEVMODEW* pdmIn;
  DEVMODEW* pdmOut;
  DWORD okPressed;                 // the sheet's settings were committed
  WORD sheetKind;                  // kUiSheetDocument, kUiSheetDevice, or 0
  SettingsRecord* bidiCopy;        // document sheet: the record as the device's options left it
  HBRUSH brushes[2];               // the pages' background brushes
  FontSubKept fontSubKept;         // the font table before the font page's changes, for a cancel
  UcKept userCode;                 // the user's own code while a provider's code stands in for it
  WCHAR fileName[kUiTextChars];    // the name last chosen in a file dialog
  char presetName[36];             // the save-preset page's name and comment of a preset (ANSI)
  char presetComment[512];
  FreeSizeSlot freeSizeTable[10];  // the free sizes as the pages show them (RstLoadFreeSizeTable)
  PageFrameState frame;            // the page framework's state
  ItemSetupState itemSetup;        // the items' additions of the first binding (PageItemSetup)
  DWORD redisplayMarks[32];        // items 0..1023 whose controls must rebuild their text
  HWND pressedArrow;               // the popup over a pressed slider arrow, or null
  WORD focusedDecimalItem;         // the item of the decimal edit that has the focus, or 0
  DWORD focusedDecimalValue;       // its value when the edit got the focus
  PreviewState previews;           // the page previews' descriptions (CtlBindPreviewData)
};

struct UiContext {
  DriverContext* driver;
  PageTable pages;                 // own rows, each with its own item rows
  UiState state;
};

// Opens the interface's context: CtxCreateEx with the same arguments, then the interface's
// additions. Kind 0 also runs the install step a printer may have pending ("DrvInstSet"). Null
// when the driver context cannot be opened (a kind 0..3 context without its description never
// is) or memory runs out; nothing is left behind.
UiContext* UiCreateContext(HANDLE printer, ULONG_PTR callerValue, WORD kindWord, DWORD creationFlags, DWORD extra,
                           const PRINTER_INFO_2W* info);
// Frees the additions (brushes, bidirectional copy, page rows) and closes the driver context
// (release kind 0: kinds 0 and 4 may go to the reuse cache). Null is ignored.
void UiDestroyContext(UiContext* ui);
// The same, closing the driver context with `releaseKind` (kReleaseToTable1: the reuse cache's
// table 1).
void UiDestroyContextEx(UiContext* ui, int releaseKind);
// UI contexts open in this process (created and not yet destroyed).
LONG UiOpenContextCount();

// The UI-state flags word.
DWORD UiGetStateFlags(const UiContext* ui);
void UiSetStateFlags(UiContext* ui, DWORD flags);

// The context's settings record reset to the interface build's defaults: the model defaults
// (DmSetDefaults), the common header (DmFillCommonHeader) and the mode bytes the caller's state
// asks for (UiSetModeBytes).
void DmLoadUiDefaults(UiContext* ui);

// Mode bytes (the environment items 715..730) as the entry points set them for `fMode`:
// call source 1 on NT 5 and later, else 1 only with DM_USER_DEFAULT; system kind 2 on NT 5 and
// later, else 1; no-permission from DM_NOPERMISSION; server-client from the printer's server
// name; the job-binding companion's presence; property type 1 for a device sheet, else 0.
void UiSetModeBytes(UiContext* ui, DWORD fMode);
// vdmJBInstalled := whether the job-binding companion is installed.
void UiSetJbInstalled(UiContext* ui);
// After a merge: vdmJBInstalled again, and vdmUserCodeGet and vdmUserCodeDLL both 1 when
// `rememberedUserCodeGet` is 1, else both 0.
void UiRestoreModeBytesAfterMerge(UiContext* ui, BYTE rememberedUserCodeGet);
BOOL UiSetModeByte(UiContext* ui, WORD item, BYTE value);
BYTE UiGetModeByte(UiContext* ui, WORD item);

// Installs in this process: while the count is above 0 every context opened keeps to the
// shared settings folder. A scope adds one and takes it back once, at Clear or at its end.
class UiInstallingScope {
 public:
  UiInstallingScope() { UiInstalling.fetch_add(1); }
  ~UiInstallingScope() { Clear(); }
  void Clear() {
    if (active_) UiInstalling.fetch_sub(1);
    active_ = false;
  }
  UiInstallingScope(const UiInstallingScope&) = delete;
  UiInstallingScope& operator=(const UiInstallingScope&) = delete;

 private:
  bool active_ = true;
};

// Whether the printer is a connection to a print server.
BOOL UiIsConnectionPrinter(UiContext* ui);
// Whether the system is NT 5 or later.
BOOL UiIsNt5OrLater();
