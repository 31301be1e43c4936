// Settings files: a context's option values written to and read from an INI section whose keys
// are item names and whose values are the items' values as text (stored settings files, exported
// printer sections, the user-list sections of the settings INI, the printer-item text file).
//
//   [section]               the name made safe (IniMakeSafeSectionName)
//   RstVersion=200          header, decimal, in this order: the model's settings-file version,
//   RstMachine=130            its machine identifier, item 177 (language) and item 716 (system
//   RstLanguage=1             kind); left out for the stamp and free-size groups and the
//   RstOSKind=2               printer-item file
//   dmOrientation=1         one entry per item, in item-table order, values as the settings
//   ...                       INI holds them (persistence/options.h); a public field without a
//                             name is keyed by its decimal identifier, other unnamed rows are left out
//
// An import is untrusted. A section from another model, language or settings-file version is not
// read (transfer status 1); a section whose numbers are not numbers of their item's width, or
// that is longer than any this library writes, is refused whole (FALSE) before any item changes.
// Entries never reach items outside the transfer's filters, and strings are cut to their field.
// The file's system kind ("RstOSKind") refuses nothing: after an import the devmode follows the
// kind of the system it is imported on.
#pragma once

#include "settings/context/driver_context.h"
#include "settings/persistence/ini_engine.h"
#include "win32.h"

// ---- Flags of a transfer --------------------------------------------------------------------
// The group flags are the user lists' group numbers (16 quality set, 32 stamp, 128 free size,
// 256 saved device information, 512 source free size).

constexpr DWORD kXferRead = 0x1;
constexpr DWORD kXferWrite = 0x2;
constexpr DWORD kXferTransferRows = 0x4;          // only transfer-flag rows (reads; writes with 0x20000)
constexpr DWORD kXferPrinterItemFile = 0x8;       // the printer-item text file: no header
constexpr DWORD kXferGroupQuality = 0x10;         // second-transfer-set rows
constexpr DWORD kXferGroupStamp = 0x20;           // preset items (transfer flag or preset mark), items 894..903
constexpr DWORD kXferGroupFreeSize = 0x80;        // items 859..861
constexpr DWORD kXferGroupDeviceInfo = 0x100;     // every row, not only the first 904; device information only
constexpr DWORD kXferGroupSrcFreeSize = 0x200;    // items 862..864
constexpr DWORD kXferRsdSection = 0x800;          // section "VelmRsdSection", transfer-flag rows
constexpr DWORD kXferWorkRows = 0x1000;           // only section-3 rows
constexpr DWORD kXferCompanion = 0x2000;          // read the language section (no header check), write the printer's
constexpr DWORD kXferQuiet = 0x8000;              // the caller's own mark (no message); the transfer ignores it
constexpr DWORD kXferLanguageSection = 0x10000;   // export under the language section
constexpr DWORD kXferModelSectionTest = 0x20000;  // groups too read the model section when it has a header

// Transfer status of the context (CtxGetTransferStatus) after a transfer.
constexpr DWORD kXferStatusMatched = 0;
constexpr DWORD kXferStatusHeaderMismatch = 1;
// A plain export wrote the user's file but not the printer-item file of the shared folder
// (qnexport.txt); the last error says why.
constexpr DWORD kXferStatusSharedFileNotWritten = 2;

inline constexpr WCHAR kXferVersionKey[] = WSTR("RstVersion");
inline constexpr WCHAR kXferMachineKey[] = WSTR("RstMachine");
inline constexpr WCHAR kXferLanguageKey[] = WSTR("RstLanguage");
inline constexpr WCHAR kXferOSKindKey[] = WSTR("RstOSKind");
inline constexpr WCHAR kXferRsdSectionName[] = WSTR("VelmRsdSection");
inline constexpr WCHAR kXferPrinterItemSection[] = WSTR("VelmPrnSection");
inline constexpr WCHAR kXferPrinterItemFileName[] = WSTR("qnexport.txt");
inline constexpr WCHAR kXferReadonlyKey[] = WSTR("Readonly");

// A section longer than this was not written by this library.
constexpr DWORD kXferMaxSectionBytes = 1u << 20;
// Sections of a companion file are read in blocks of this many characters, grown as needed.
constexpr DWORD kXferSectionCopyChars = 30720;

// ---- Policies -------------------------------------------------------------------------------
// What a caller of the section transfer and import decides for itself. The printer interface
// checks headers with its own message, takes only marked rows into a stamp and re-derives the
// lists and re-validates the record its own way; every other step is the library's.
struct XferPolicy {
  void* owner;  // handed to every function below
  // The header check of a read that needs one (null: XferCheckHeader). `sectionText` is null
  // when the file lacks the section. TRUE to read the section.
  BOOL (*checkHeader)(void* owner, DriverContext* context, const WCHAR* file, const char* sectionText, DWORD flags);
  // TRUE: a stamp takes only rows that carry the transfer flag or the preset mark, the pattern
  // and tile items 894..903 included only as their rows are marked.
  BOOL stampMarkedRowsOnly;
  // After a plain import: the lists re-derived (null: LstRederiveAfterImport); a step after the
  // system kind is restored (null: none); the record re-validated with `mergeFlags` while item 40
  // is held at 0 (null: DmMerge). The re-validation answers 0 on failure.
  void (*rederiveLists)(void* owner, DriverContext* context);
  void (*afterSystemKind)(void* owner, DriverContext* context);
  int (*revalidate)(void* owner, DriverContext* context, DWORD mergeFlags);
};
// The library's own: every function null.
extern const XferPolicy kXferLibraryPolicy;

// ---- Sections -------------------------------------------------------------------------------

// Reads (kXferRead) or writes (kXferWrite) one section of `file`, a drive path ("X:..."), for
// the context's option store. The section: "VelmRsdSection" with kXferRsdSection; with
// kXferCompanion the language section (item 177's code) on read and the printer's on write; on
// write kXferLanguageSection gives the language section and a plain export (no flags beyond
// kXferWrite and kXferQuiet) the driver name's; else the printer's name (or the name standing in
// for it). kXferPrinterItemFile hands the transfer to XferPrinterItems.
// The transfer status is cleared first; a header that does not match sets it to 1, reads nothing
// and answers TRUE. A write builds the whole section before it replaces the old one (which moves
// to the top of the sections, every other byte kept); a plain export then also writes the
// printer-item file, whose failure sets the status kXferStatusSharedFileNotWritten and leaves
// the answer TRUE. FALSE for a path that is not a drive path (nothing touched), a damaged section
// (nothing read), a file that cannot be read or rewritten, or no memory.
BOOL XferSection(HANDLE printer, DriverContext* context, const WCHAR* file, DWORD flags);
BOOL XferSectionWithPolicy(HANDLE printer, DriverContext* context, const WCHAR* file, DWORD flags,
                           const XferPolicy& policy);
// The safe name of the section a transfer with `flags` addresses (a read with kXferRead, else a
// write) into `out` of at least 261 characters. FALSE when the context has no such name.
BOOL XferSectionName(DriverContext* context, DWORD flags, WCHAR* out, DWORD capacity);

// XferSection's read of the text of `file` (NUL-ended, as IniLoadFile gives it, `fileBytes`
// long): header check and entries, in two passes so that a damaged section changes nothing. The
// transfer status is set as XferSection sets it.
BOOL XferReadText(DriverContext* context, const WCHAR* file, const char* fileText, DWORD fileBytes, DWORD flags);
BOOL XferReadTextWithPolicy(DriverContext* context, const WCHAR* file, const char* fileText, DWORD fileBytes,
                            DWORD flags, const XferPolicy& policy);

// Imports `file` under the settings mutex (unless the context's caller holds it). A plain import
// (no flags beyond kXferRead and kXferQuiet), or one with kXferModelSectionTest, reads the
// driver name's section when that section holds "RstVersion" (the model section of a file
// exported from another printer). A quality-set import whose header did not match refreshes the
// file from its "rsq" companion in the driver folder (XferCopySettingsFile) and answers TRUE
// with the status still 1. After a plain import that read its section the user lists are
// re-derived (under the printer's own name) and the devmode is brought back in line with this system: on a system of kind 0 or
// 1 (item 716 before the read) the ICM items 27, 28 := 1 with their dmFields bits cleared, item
// 149 := 0 and 150, 151 := model defaults; dmFields' media-type bit set for kinds 0 and 3,
// cleared otherwise; 716 := the kind; 41 := 255; locale defaults; the record re-validated by a
// merge, with item 40 held at 0 meanwhile when it is 1.
BOOL XferLoad(HANDLE printer, const WCHAR* file, DWORD flags, DriverContext* context);
BOOL XferLoadWithPolicy(HANDLE printer, const WCHAR* file, DWORD flags, DriverContext* context,
                        const XferPolicy& policy);

// Exports under the settings mutex. The plain form (no flags beyond kXferWrite and kXferQuiet)
// first loads the free size and source free size of the current papers, the current stamp and
// quality set into their items so that they travel too, and puts the record back afterwards.
// It writes the user's file, then the printer-item file of the shared folder; when only the
// latter fails the answer is TRUE with the transfer status kXferStatusSharedFileNotWritten.
BOOL XferSave(HANDLE printer, const WCHAR* file, DWORD flags, DriverContext* context);
// The section write alone under the settings mutex: XferSection with kXferWrite.
BOOL XferSaveSection(HANDLE printer, const WCHAR* file, DWORD flags, DriverContext* context);

// ---- Header ---------------------------------------------------------------------------------

// Appends the four header keys to `text`. FALSE when memory runs out.
BOOL XferWriteHeader(DriverContext* context, IniSectionText* text);
// Writes the four header keys into `section` of `file` one by one (the section keeps its lines).
BOOL XferWriteHeaderKeys(DriverContext* context, const WCHAR* file, const WCHAR* section);
// Reads "RstVersion", "RstMachine" and "RstLanguage" from `sectionText` at `*cursor` (null text:
// all absent). TRUE when all three are present decimal numbers below 0xFFFF, the machine is the
// model's, the language item 177's and XferVersionMatches(version, the model's version).
BOOL XferCheckHeader(DriverContext* context, const char* sectionText, LONG* cursor);
// a / 100 == b / 100.
BOOL XferVersionMatches(WORD a, WORD b);
// Whether a transfer with `flags` checks a header: a read (kXferRead) of neither the stamp,
// free-size or source free-size group nor the printer-item file nor a companion (kXferCompanion).
BOOL XferHeaderApplies(DWORD flags);
// Whether the printer's section of `file` holds "RstVersion".
BOOL XferHasVersionKey(const WCHAR* file, DriverContext* context);
// "RstOSKind" of the printer's section of `file`; 0xFFFF when absent or not a number below 0xFFFF.
WORD XferReadOSKind(const WCHAR* file, DriverContext* context);

// ---- Entry filters --------------------------------------------------------------------------

// A plain import reads no identifier 0..5, 220, 221 (the passwords), 430..858, 905..947 or
// 10001..10277 (the printer's configuration).
BOOL XferIsImportId(WORD id);
// A plain export writes no identifier 0, 220 or 221.
BOOL XferIsExportId(WORD id);
// The printer-item file holds identifiers above 5.
BOOL XferIsSettingId(WORD id);

// ---- The printer-item text file -------------------------------------------------------------

// Range `n` of the printer-item file's identifiers: 0 is 10001..10277, 1 is 907..947. FALSE past
// the last.
BOOL XferItemRange(int n, WORD* first, WORD* last);
// Reads (kXferRead) or writes the printer items of `file`, section "VelmPrnSection" (the language
// section on a read with kXferPrinterItemFile), key = item name. kXferPrinterItemFile leaves out
// 10001..10003. The font items 10004..10009 are never read and are written as 0. A read goes
// through the profile functions and refuses the whole section (FALSE) when a number is damaged;
// a write replaces the section in one rewrite (it moves to the top of the sections), and takes
// nothing (TRUE) for a path that is not a drive path.
BOOL XferPrinterItems(DriverContext* context, const WCHAR* file, DWORD flags);
// The same in section `section` of `file`.
BOOL XferPrinterItemsInSection(DriverContext* context, const WCHAR* file, const WCHAR* section, DWORD flags);
// Writes the printer items: to "qnexport.txt" in the shared settings folder with
// kXferPrinterItemFile, else to `file`.
BOOL XferSavePrinterItems(const WCHAR* file, DWORD flags, DriverContext* context);

// ---- Companion files ------------------------------------------------------------------------

// Refreshes `target` from `source` for `group` (kXferGroupQuality): the sections "condition" and
// "disable" of target are replaced by source's (read whole, however long); the group is imported
// from source's language section and exported to target's printer section with a header, the
// record put back afterwards through the settings history; source's "Readonly" of its language
// section, when present, goes to target's printer section. FALSE, with target untouched, when
// source does not exist or a path is not a drive path.
BOOL XferCopySettingsFile(DriverContext* context, const WCHAR* target, const WCHAR* source, DWORD group);

// ---- The printer name a transfer addresses --------------------------------------------------

// Puts `name` in place of the context's printer name (work area) for the life of the object, so
// that transfers addressing "the printer's section" address `name`; the name is given back on
// every way out, and stand-ins nest. A name that does not fit (or no work area) stands in for
// nothing: active() is false.
class XferPrinterNameStandIn {
 public:
  XferPrinterNameStandIn(DriverContext* context, const WCHAR* name);
  ~XferPrinterNameStandIn();
  XferPrinterNameStandIn(const XferPrinterNameStandIn&) = delete;
  XferPrinterNameStandIn& operator=(const XferPrinterNameStandIn&) = delete;
  bool active() const { return work_ != nullptr; }

 private:
  ContextWorkArea* work_ = nullptr;
  WCHAR saved_[kNameChars] = {};
};
