// The driver context: the settings library's handle on one printer for one call, its work
// area, and opening and closing it.
//
// Opening is expensive (printer queries, the model description, the settings record, stored
// settings), so a closed context of the common kinds goes into a small reuse cache
// (context/cache.h) and is handed back to the next open call for the same printer within 500 ms.
#pragma once

#include <atomic>

#include "settings/items/table.h"
#include "settings/devmode/model_defaults.h"
#include "settings/items/settings_record.h"
#include "win32.h"

struct ModelDescription;  // the compiled model description image, built with the description compiler
struct ApiLockSnapshot;   // the application interface's lock snapshot (exclude/api_contexts.h)
struct SettingsHistoryDeeper;  // context/settings_history.cpp

// What the printer's PRINTER_INFO_2 said, kept per context so that it is asked once.
// The printer and driver names of the cache live in the work area beside it.
struct PrinterInfoCache {
  DWORD serverKind;        // kServerKindUnknown, kServerKindConnection or kServerKindLocal
  DWORD attributesCached;  // 1 once `attributes` holds the printer's Attributes
  DWORD attributes;
};
constexpr DWORD kServerKindUnknown = 0;
constexpr DWORD kServerKindConnection = 1;  // the printer has a server name
constexpr DWORD kServerKindLocal = 2;

constexpr DWORD kPathChars = MAX_PATH;  // the path buffers of the work area, NUL included
constexpr DWORD kNameChars = 260;       // printer and driver names, NUL included
constexpr DWORD kLanguageCodeChars = 3; // two letters and a NUL
constexpr DWORD kModelNameChars = 33;   // the driver INI's model name, NUL included

// Kinds (low byte of the kind word). Kinds 0..3 carry a model description and a settings
// record; 4..255 serve names and paths only.
constexpr WORD kKindOrdinary = 0;        // devmode from the printer, stored settings loaded
constexpr WORD kKindResync = 1;          // the printer's devmode, derived items re-synced
constexpr WORD kKindNoDriverName = 2;    // no driver-name lookup at open
constexpr WORD kKindModelDefaults = 3;   // a record of model defaults
constexpr WORD kKindNamesOnly = 4;       // no description, no record; cached in table 1
constexpr WORD kKindLastWithRecord = 3;
constexpr WORD kKindMask = 0x00FF;

// Kind flags (high byte of the kind word), kept in place in the work area.
constexpr WORD kKindHoldsGlobalMutex = 0x100;  // the caller holds the global settings mutex
constexpr WORD kKindForceAdmin = 0x200;        // environment byte vdmAdmin forced to 1
constexpr WORD kKindReuseAnyKind = 0x800;      // a cached context may serve a kind word other than 0
constexpr WORD kKindReuseOtherHandle = 0x1000; // ... and one cached under another handle on the
                                               // same printer name

constexpr WORD kKindFlagsMask = 0xFF00;

// Creation flags the library itself reads.
constexpr DWORD kCreateSharedFolderOnly = 0x40000;  // never the per-user settings folder
constexpr DWORD kCreateGraphics = 0x10000;          // the graphics library's flag as it passes it,
constexpr DWORD kCreateGraphicsStored = 0x20000000; // and as the context keeps it
constexpr DWORD kCreateCacheTable1 = 0x1000000;     // exactly this value searches cache table 1
constexpr DWORD kCreateInterface = 0x2000000;       // with extra 2: reuse needs work-area state 2
constexpr DWORD kExtraInterfaceState = 2;           // the extra value and state word that pair up

// Release kinds of CtxDestroyEx.
constexpr int kReleaseToTable2 = 0;   // offered to cache table 2
constexpr int kReleaseToTable1 = 4;   // offered to cache table 1
constexpr int kReleaseDestroy = 5;    // destroyed, stored font blocks included
// Any other release kind destroys the context but leaves the stored font blocks alone (their
// owner shares them).

// What the user's locale suggests for new settings (DmSetCountryDefaults).
struct LocaleDefaults {
  DWORD countryDigit;  // the country code's first digit when it is 1, 2 or 5, else 0
  DWORD inchUnits;     // 1: lengths shown in 0.01 inch, 0: in 0.1 mm
  DWORD paperSize;     // 1 Letter, 9 A4
};

// The per-context scratch state, in the order its fields were laid out; fields that only one
// part of the library uses are private to it.
struct ContextWorkArea {
  WCHAR settingsIniPath[kPathChars];
  SettingsRecord* history[3];           // undo history, three records of full size
  DWORD historyDepth;                   // records held in it (context/settings_history.h)
  struct CondStack* condStack;          // the constraint evaluation stack (constraints/eval.h)
  DWORD state;                          // written by the interface library's context builder
  DWORD dirty;                          // 1 after any item write
  WORD kind;                            // low byte of the kind word
  WCHAR languageCode[kLanguageCodeChars];  // the help language, "fr"; empty until read
  WCHAR driverName[kNameChars];         // PrinterInfoCache: filled once while empty
  WCHAR printerName[kNameChars];        // PrinterInfoCache: filled once while empty
  BYTE freeSizeSlots[10][200];
  DWORD changeMasks[4];                 // three saved masks, then the current one
  DWORD transferStatus;
  WCHAR driverIniPath[kPathChars];
  WCHAR driverDirectory[kPathChars];    // ends with a backslash
  LONG* overrides;                      // one model value per item row, or null
  DWORD mergeFlags;
  const ItemTableRow* itemRecordCache[52];  // rows of the computed items' inputs (constraints/condition_items.h)
  void* presetSlots[16];
  SettingsRecord* savedCopy;            // snapshot of the record taken after open
  BYTE jobCredentialSession[48];       // JcSession (services/job_credentials.h), copied in and out
  WORD kindFlags;                       // the kind word's flag bits (its high byte), in place
  DWORD creationFlags;
  PrinterInfoCache printerInfo;
  WCHAR localizedModelFile[kPathChars]; // the resource library's localized path
  WCHAR modelName[kModelNameChars];     // CfgReadModelName: the driver INI's name of the model
  LocaleDefaults locale;                // DmSetCountryDefaults
  ApiLockSnapshot* apiLockSnapshot;     // application contexts only; freed by VELMDrvDisable
  SettingsHistoryDeeper* historyDeeper; // history copies older than the three above, or null
};

struct DriverContext {
  HANDLE printer;                      // the spooler handle given to the open call
  ULONG_PTR callerValue;               // stored as given (the graphics library's own handle)
  DWORD reserved;
  ItemTable* itemTable;                // the context's own copy of the table and its rows
  const PageTable* pageTemplates;
  const ItemSymbolRow* itemSymbols;
  const ValueSymbolRow* valueSymbols;
  const MessageRow* messages;
  ModelDefaults* modelDefaults;        // the context's own copy
  SettingsRecord* settings;            // kinds 0..3, else null
  ModelDescription* description;       // kinds 0..3, else null
  ContextWorkArea* work;
  HMODULE resourceLibrary;
  HMODULE secondResourceLibrary;
};

// The static template every new context starts as: no printer, the static tables and model
// defaults, a zeroed record and the work-area template. Read-only: nothing writes through it.
const DriverContext& CtxGetTemplate();

// Counted up by the printer interface library for each install under way and down when it ends;
// while it is above 0 every context opened in the process keeps to the shared settings folder
// (creation flag 0x40000).
extern std::atomic<LONG> UiInstalling;

// Opens a context for `printer`.
//   callerValue    kept as given (the graphics library passes its own handle)
//   kindWord       kind in the low byte, kind flags in the high byte
//   creationFlags  kept (0x10000 becomes 0x20000000; 0x40000 added while UiInstalling)
//   extra          with creation flag 0x2000000, an extra of 2 reuses only a context whose
//                  work-area state is 2
//   info           the printer's PRINTER_INFO_2, or null to ask the spooler
// A cached context that matches is taken back as its previous call left it (with this call's
// printer handle and caller value). Null when a step of the open fails; nothing is left behind.
DriverContext* CtxCreateEx(HANDLE printer, ULONG_PTR callerValue, WORD kindWord, DWORD creationFlags, DWORD extra,
                           const PRINTER_INFO_2W* info);
// Kind 0, extra 0, the printer information asked of the spooler.
DriverContext* CtxCreate(HANDLE printer, ULONG_PTR callerValue, DWORD creationFlags);

// Closes a context. Release kinds 0 and 4 offer it to cache table 2 and 1 unless item 714 has
// bit 0 set; every other kind destroys it (see the release kinds above). Null is ignored.
void CtxDestroyEx(DriverContext* context, int releaseKind);
void CtxDestroy(DriverContext* context);

// Copies the settings record into the saved copy, which gets copies of its own of the three font
// blocks (items 10004/10005, 10006/10007, 10008/10009); a block that cannot be copied leaves
// count 0 and handle 0 in the saved copy. Blocks of an earlier snapshot are freed first. FALSE
// when the context has no record or no saved copy can be allocated.
BOOL CtxSnapshotDevmode(DriverContext* context);
// Frees the saved copy and the font blocks it owns.
void CtxFreeSnapshot(DriverContext* context);

// The context's model defaults; the static record when the context has no copy of its own.
inline const ModelDefaults& ContextModelDefaults(const DriverContext* context) {
  return context && context->modelDefaults ? *context->modelDefaults : kModelDefaults;
}
