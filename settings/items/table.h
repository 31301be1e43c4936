// The item table and the constant name tables beside it.
//
// Every setting is an item named by a 16-bit identifier; its row says where the value lives
// in the settings record, how it is typed and persisted, and how its stored values map to the
// value identifiers of the model description. The rows themselves are generated from the text
// tables under data/ (see data/README.md); this header holds their form and the lookups.
#pragma once

#include "data/item_ids.h"
#include "win32.h"

// ---- Item identifiers ------------------------------------------------------------------

// One constant per named item, generated from data/items.txt. The identifier space:
constexpr WORD kItemLastPublic = kItemPanningHeight;      // 1..34: DEVMODEW fields in DEVMODEW order
constexpr WORD kItemLastPrivate = kItemIniFileName - 1;   // 35..706: private devmode items
constexpr WORD kItemFirstHeader = kItemIniFileName;       // 707..714: private header items
constexpr WORD kItemFirstEnvironment = kItemCallSrc;      // 715..730: environment bytes
constexpr WORD kItemFirstComputed = kItemFinMk3PortSet;   // 731..858: computed condition bits
constexpr WORD kItemLastComputed = kItemFreeSizeName - 1;
constexpr WORD kItemLastDense = kItemWork962;             // 1..962 sit at row id-1
constexpr WORD kItemFirstConfig = kItemServerLogCode;     // 10001..10277: printer configuration
constexpr WORD kItemLastConfig = kItemMPDefTray;
constexpr WORD kItemFirstFontList = kItemFontTableNum;    // 10004..10009: font-list counts and handles
constexpr WORD kItemLastFontList = kItemOptionFont;

// ---- Descriptor: bits 30-31 section, 24-29 value type, 0-15 byte length ------------------

enum ItemSection : int {
  kSectionNone = 0,
  kSectionDevmode = 1,   // the PrivateDevmode; offsets are devmode offsets
  kSectionConfig = 2,    // printer configuration, 508 bytes
  kSectionWork = 3,      // long strings, work items and computed bits, 2040 bytes
};

enum ItemValueType : int {
  kTypeS8 = 1,
  kTypeS16 = 2,
  kTypeS32 = 3,
  kTypeU8 = 4,
  kTypeU16 = 5,
  kTypeU32 = 6,       // also 32-bit handles kept in the record
  kTypeAnsiAlt = 7,   // read as kTypeAnsi
  kTypeWideAlt = 8,   // read as kTypeWide
  kTypeBytes = 9,     // 9 and 12..15: raw bytes
  kTypeAnsi = 10,     // zero-terminated; the length is the buffer's bytes
  kTypeWide = 11,
  kTypeFirstBit = 16, // 16..47: one bit; (type-16)/8 is the byte after the offset, (type-16)%8 the bit
  kTypeLastBit = 47,
};

constexpr DWORD MakeItemDescriptor(int section, int type, int length) {
  return (DWORD(section) << 30) | (DWORD(type & 0x3F) << 24) | DWORD(length & 0xFFFF);
}
constexpr int DescriptorSection(DWORD d) { return int(d >> 30); }
constexpr int DescriptorType(DWORD d) { return int((d >> 24) & 0x3F); }
constexpr int DescriptorLength(DWORD d) { return int(d & 0xFFFF); }
constexpr bool IsBitType(int type) { return type >= kTypeFirstBit && type <= kTypeLastBit; }
constexpr bool IsNumberType(int type) { return type >= kTypeS8 && type <= kTypeU32; }
// Byte types hand out the address of their bytes instead of a number.
constexpr bool IsByteType(int type) { return !IsNumberType(type) && !IsBitType(type) && type != 0; }
constexpr int BitByteIndex(int type) { return (type - kTypeFirstBit) / 8; }
// The bytes of a number type: 1, 2 or 4; 0 for any other type.
constexpr DWORD NumberTypeWidth(int type) {
  switch (type) {
    case kTypeS8: case kTypeU8: return 1;
    case kTypeS16: case kTypeU16: return 2;
    case kTypeS32: case kTypeU32: return 4;
    default: return 0;
  }
}
constexpr BYTE BitMask(int type) { return BYTE(1u << ((type - kTypeFirstBit) % 8)); }

// ---- Storage classes -------------------------------------------------------------------

enum ItemStorage : SHORT {
  kStorageNone = 0,         // not persisted
  kStorageDevmode = 1,      // the devmode; section-2 items go to printer data
  kStorageSettingsIni = 2,  // a key in the printer's section of the settings INI
};

// ---- Rows ------------------------------------------------------------------------------

// One translation between a stored value and a model value identifier. A modelValue of 0
// ends a list; kNoModelValue marks a stored value that has no model value.
struct ItemValueMapRow {
  DWORD storedValue;
  WORD modelValue;
  WORD reserved;
};
static_assert(sizeof(ItemValueMapRow) == 8);
constexpr WORD kNoModelValue = 0xFFFF;

struct ItemTableRow {
  WORD id;
  SHORT key;                 // command key: the key of the item's symbol row, 0 = none
  DWORD descriptor;          // section, value type, byte length
  WORD offset;               // byte offset within the section
  SHORT storage;             // ItemStorage
  LONG changed;              // 0 in the table; set by every store write in a context's copy
  const WCHAR* group;        // INI section or printer-data group, or null
  const WCHAR* keyName;      // INI key or printer-data value name, or null
  const ItemValueMapRow* valueMap;  // first list, or null
  DWORD code;
  DWORD transfer;            // 1: taken along by the settings-file transfer
  DWORD transfer2;           // 1: the second transfer set
  LONG preset;               // 1: part of a preset
  DWORD reserved;
  DWORD flags;               // bits 16-20: change group
  const WCHAR* name;         // "dmOrientation", "vdmPresetNo", "wdmOvlPath", or null
};

// A table header. The static table's rows are constant; each driver context holds a copy
// whose rows it may mark as changed.
struct ItemTable {
  SHORT count;
  ItemTableRow* rows;
};

struct ItemSymbolRow {
  SHORT itemId;
  SHORT key;
  const char* name;          // "ZMD_" + item name
};

struct ValueSymbolRow {
  SHORT itemId;
  SHORT key;
  DWORD value;               // the stored value
  const char* name;          // "VDMJOBBINDER_OFF"
  DWORD flag;
  DWORD modelValue;          // the model value identifier the stored value maps to
};

struct MessageRow {
  WORD id;                   // 257..292
  WORD stringId;             // string of the UI resource library
  DWORD reserved1;
  const char* name;          // "ZMD_ScaleIllegalMessage"
  DWORD reserved2;
};

struct DescNode;  // a node of the compiled model description

// One control of a page: the first six fields are data; the rest is filled when a context
// binds its copy of the page.
struct PageItemTemplate {
  WORD itemId;               // 0: a control without an option
  WORD controlId;
  WORD controlType;          // key into the control-class table
  WORD helpId;               // 0: the control id
  WORD partnerId;            // a type-23 row takes its model node from this control's item
  DWORD flags;               // kPageItemHiddenFunctions
  HWND window;
  const DescNode* node;
  ItemTableRow* itemRow;
  void* extra;
  WORD busy;
};
constexpr DWORD kPageItemHiddenFunctions = 0x20000000;

struct PageTemplate {
  WORD id;                   // also the dialog template identifier
  WORD symbolKey;
  DWORD kind;                // PageKind bits
  const char* name;          // "ZMD_IDD_BASIC"
  DWORD helpBase;            // first help-context id, 0 = none
  DWORD itemCount;
  PageItemTemplate* items;
  BYTE reserved[24];
};

enum PageKind : DWORD {
  kPageDocumentTab = 0x1,
  kPageDeviceTab = 0x2,
  kPageModal = 0x4,
  kPageUserSettingsTab = 0x10,
  kPageNestedSheet = 0x20,
  kPageFileOpen = 0x100,
  kPageSettingsOpenSave = 0x200,
  kPageFileRefer = 0x400,
  kPagePresetSave = 0x800,
  kPagePresetRefer = 0x1000,
  kPageCreateFiles = 0x8000,
};

struct PageTable {
  SHORT count;
  PageTemplate* rows;
};

struct CapsResolutionRow {
  WORD id;                   // 0 ends the table
  WORD xDpi;
  WORD yDpi;
};

struct ResLanguageRow {
  WORD value;                // 0xFFFF ends the table
  WORD primaryLanguage;
  WORD subLanguage;
  WORD languageClass;
  const WCHAR* code;         // two letters
};
constexpr WORD kLanguageEnd = 0xFFFF;

// ---- Constant accessors ----------------------------------------------------------------
// The static tables are read-only. A driver context takes its own copy of the item table and
// the page table (with their rows) before it marks or binds anything.

// The item table: 1239 rows, identifiers 1..962 then 10001..10277.
const ItemTable* OptGetStaticItemTable();
// The item symbols (item names and the page names, keyed); `count` receives the row count.
const ItemSymbolRow* OptGetItemSymbols(int* count);
// The value symbols; `count` receives the row count.
const ValueSymbolRow* OptGetValueSymbols(int* count);
// The indexes of the symbol rows that have a name, ordered by name (bytes compared unsigned;
// rows of one name in table order); `count` receives their number.
const int* OptGetItemSymbolsByName(int* count);
const int* OptGetValueSymbolsByName(int* count);
// The 47 page and dialog templates. Control rows are null until the pages supply them.
const PageTable* OptGetStaticPageTable();
// The resolution table, ended by a row with id 0.
const CapsResolutionRow* CapsGetResolutionTable();
// The language table, ended by a row with value kLanguageEnd.
const ResLanguageRow* ResGetLanguageTable();
// The job-credential interface is built in: always 1.
int JcIsSupported();

// ---- Value maps ------------------------------------------------------------------------
// A list ends at a row whose model value is 0. Rows marked kNoModelValue never match, so a
// stored value that only they list counts as unmapped and passes through unchanged.

// The model value of `stored` in `list`: true and *model set when a row maps it.
bool OptMapToModelValue(const ItemValueMapRow* list, DWORD stored, DWORD* model);
// The stored value of `model` in `list`: true and *stored set when a row maps it.
bool OptMapToStoredValue(const ItemValueMapRow* list, DWORD model, DWORD* stored);
// The second list of a value map (used in the other orientation), or null when it has none.
// `first` is the row's valueMap pointer.
const ItemValueMapRow* OptGetSecondValueMap(const ItemValueMapRow* first);
// The list to use: the second when `second` is asked for and the map has one, else the first.
// Nothing ever walks past a list's end to find a second list.
const ItemValueMapRow* OptSelectValueMap(const ItemValueMapRow* first, bool second);

// ---- Lookups ---------------------------------------------------------------------------
// Each returns a row or null; a null table, id 0, key 0 or a null name yields null. The
// non-const forms serve a context's own copy of a table.

// The row of `id`. Identifiers 1..962 resolve by index, the configuration range by binary
// search; 963..10000 do not exist.
const ItemTableRow* OptFindItem(const ItemTable* table, WORD id);
ItemTableRow* OptFindItem(ItemTable* table, WORD id);
// The row whose command key is `key`; failing that, the row of the item that the symbol row
// with that key names.
const ItemTableRow* OptFindItemByKey(const ItemTable* table, SHORT key);
ItemTableRow* OptFindItemByKey(ItemTable* table, SHORT key);
// The item's name ("dmOrientation"), or null for an unknown or unnamed item.
const WCHAR* OptGetItemName(const ItemTable* table, WORD id);

// Item symbols by key and by name (exact, first match).
const ItemSymbolRow* OptFindSymbolByKey(SHORT key);
const ItemSymbolRow* OptFindSymbolByName(const char* name);

// The first value symbol of `itemId` whose stored value is `value`.
const ValueSymbolRow* OptFindValueSymbol(WORD itemId, DWORD value);
// The first value symbol of `itemId` whose model value is `modelValue`.
const ValueSymbolRow* OptFindValueSymbolByModel(WORD itemId, DWORD modelValue);
const ValueSymbolRow* OptFindValueSymbolByName(const char* name);

// Pages of a page table (the static one or a context's copy).
const PageTemplate* OptFindPage(const PageTable* pages, WORD pageId);
PageTemplate* OptFindPage(PageTable* pages, WORD pageId);
// By name; `pages` null means the static page table.
const PageTemplate* OptFindPageByName(const PageTable* pages, const char* name);
// Control row n of a page, null when n is not below its row count.
const PageItemTemplate* OptGetPageItem(const PageTemplate* page, DWORD n);
PageItemTemplate* OptGetPageItem(PageTemplate* page, DWORD n);
// The row of `controlId` within `page`, or within every page of `pages` in table order when
// page is null (the static pages when both are null).
const PageItemTemplate* OptFindPageItem(const PageTable* pages, const PageTemplate* page, WORD controlId);
PageItemTemplate* OptFindPageItem(PageTable* pages, PageTemplate* page, WORD controlId);

// Messages of the model's alerts.
int OptGetMessageCount();
const MessageRow* OptGetMessageRow(int n);  // null when n is outside 0..count-1
const MessageRow* OptFindMessageByName(const char* name);
