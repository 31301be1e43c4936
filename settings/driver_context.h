// The driver context: the settings library's handle on one printer for one call, and the
// context's work area. This header holds the data only; opening, closing and the reuse cache
// are built with the context cache.
#pragma once

#include "settings/item_table.h"
#include "settings/model_defaults.h"
#include "settings/settings_record.h"
#include "win32.h"

struct ModelDescription;  // the compiled model description image, built with the description compiler

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

// Creation flags the library itself reads.
constexpr DWORD kCreateSharedFolderOnly = 0x40000;  // never the per-user settings folder
// Kind flags (high byte of the kind word).
constexpr WORD kKindHoldsGlobalMutex = 0x100;  // the caller holds the global settings mutex

// The per-context scratch state, in the order its fields were laid out; fields that only one
// part of the library uses are private to it.
struct ContextWorkArea {
  WCHAR settingsIniPath[kPathChars];
  SettingsRecord* history[3];           // undo history, three records of full size
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
  const ItemTableRow* itemRecordCache[52];
  void* presetSlots[16];
  SettingsRecord* savedCopy;            // snapshot of the record taken after open
  BYTE jobCredentialSession[24];
  WORD kindFlags;                       // the kind word's flag bits (its high byte), in place
  DWORD creationFlags;
  PrinterInfoCache printerInfo;
  WCHAR localizedModelFile[kPathChars]; // the resource library's localized path
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

// The context's model defaults; the static record when the context has no copy of its own.
inline const ModelDefaults& ContextModelDefaults(const DriverContext* context) {
  return context && context->modelDefaults ? *context->modelDefaults : kModelDefaults;
}
