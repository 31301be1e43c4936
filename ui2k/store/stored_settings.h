// Stored settings files of the interface: the header check with its message, transfers and loads
// (the settings library's section transfer and import under the interface's policy), the
// shared copy, the names of new stored files and the tests on a file, and the default file.
//
// A stored settings file ("user%04d.rst" in the settings folder, or a path the user chose) is an
// INI file of 8-bit text in the machine's code page, as the settings library writes it: one
// section (the printer's name, the driver's name for a file written in model mode, the fixed
// "VelmRsdSection" or the language code) with the header keys and one line per item; the
// printer's section may hold "Readonly" = 1 (the file may not be overwritten, loaded or deleted
// from the settings-file dialog). Only drive paths ("X:...") are read or written.
#pragma once

#include "ui2k/entry/ui_context.h"
#include "win32.h"

// Flags of RstLoadFile (transfer flags of settings/persistence/settings_export.h).
constexpr DWORD kRstLoadPlain = 0;               // after the dialog: the whole printer section
constexpr DWORD kRstLoadList = 0x4;              // stamps and list entries: transfer-flag rows
constexpr DWORD kRstLoadQuality = 0x10;          // a quality set
constexpr DWORD kRstLoadInstallQuality = 0x2010; // a quality set at installation (language section)
constexpr DWORD kRstLoadPreset = 0x8004;         // a preset: the caller shows the header's message
constexpr DWORD kRstLoadDialogTrial = 0x20004;   // the dialog's trial load, with the model-section test

// Messages (resource strings) of the stored settings files.
constexpr UINT kRstMsgReadonly = 374;            // the file is read-only
constexpr UINT kRstMsgListed = 375;              // a list names the file: not deleted
constexpr UINT kRstMsgHeaderMismatch = 10023;    // made for another model, or missing on load
constexpr UINT kRstMsgBadName = 4901;            // empty, too long, missing or of the wrong kind
constexpr UINT kRstMsgAddExtension = 10025;      // OK/Cancel: the extension is added
constexpr UINT kRstMsgOverwrite = 10026;         // OK/Cancel
constexpr UINT kRstMsgDeleteMissing = 10027;
constexpr UINT kRstMsgDeleteAsk = 10028;         // OK/Cancel
constexpr UINT kRstMsgNotBitmap = 10043;
constexpr UINT kRstMsgOverlayExtension = 4902;   // OK/Cancel: the overlay extension is added

// Characters of a stored file's path buffer (NUL included); a chosen path may use 258 of them.
constexpr DWORD kRstPathChars = 522;
constexpr DWORD kRstMaxPathLength = 258;
// Names of new stored files: "\user%04d.rst" for 0..9999.
constexpr DWORD kRstStoredFileNames = 10000;

// Shows message `id` (its text after the file name, when one is given) as a warning box over
// `owner` (null: the active window) with the printer's name as caption, buttons `buttons`
// (MB_OK, MB_OKCANCEL). The box's answer.
int RstShowMessage(UiContext* ui, HWND owner, UINT id, const WCHAR* file, UINT buttons);

// The header check of a read with `flags` of `file` (the section the flags choose): TRUE without
// a check (groups 0x20, 0x80, 0x200, the printer-item file, a companion read, or no read flag),
// or when "RstVersion" (compatible: equal hundreds), "RstMachine" (the model's) and
// "RstLanguage" (item 177) are all present and match. Else message 10023 unless the flags hold
// 0x8000 or 0x10, and FALSE.
BOOL RstCheckHeader(UiContext* ui, const WCHAR* file, DWORD flags);

// One section of `file` read (flag 1) or written (flag 2), as the settings library's section
// transfer does it, with the interface's header check and a stamp of the marked rows alone.
// TRUE on success; a header that does not match leaves transfer state 1 and answers TRUE. FALSE
// for a path without a drive, a damaged section, or no memory: the option store is unchanged.
BOOL RstTransferOptions(UiContext* ui, const WCHAR* file, DWORD flags);

// Loads `file` into the context (the settings library's import under the global mutex unless
// the context holds it already, with the interface's policy). A load with no flags beyond
// 0x8001, or with 0x20000, reads the driver-name section when it holds "RstVersion". A plain load
// (no flags beyond 0x8001) then repairs what depends on the read, in this order: the output
// paper's free size stored and saved, the paper's free size stored, selected and saved, item 120
// held to "StampCount" and that stamp loaded, the system kind's fix-ups on item 716 as it was
// before the read and 716 put back, the quality set of item 188 loaded, item 41 := 255, item 40
// held at 0 while the country defaults apply, the credential items of masks 1 and 158 pushed to
// the job-credential service and the caller's merge run with 0x10000008. A quality load whose
// header did not match refreshes the file from its companion in the driver folder when that
// exists. 1 on success (a mismatch included: transfer state 1); 0 when the path is not a drive
// path, memory runs out or the transfer fails.
BOOL RstLoadFile(HANDLE printer, const WCHAR* file, DWORD flags, UiContext* ui);

// After a save: the transfer-flag items written under "VelmRsdSection" (flags | 0x802) into
// "qnexport.txt" in the shared settings folder. All printers share that section.
BOOL RstWriteSharedCopy(UiContext* ui, DWORD flags);

// The folder of stored settings files: the per-user settings folder on a terminal server unless
// the context is installing, else the shared one. Its length, 0 when it cannot be built.
DWORD RstStoredFilesFolder(UiContext* ui, WCHAR* buffer, DWORD capacity);

// The first "<folder>\user%04d.rst" (0..9999) whose "RstMachine" in the printer's section reads 0,
// into `path` (kRstPathChars). FALSE, with "", when every name is taken or no folder is known.
BOOL RstNextFreeFileName(UiContext* ui, WCHAR* path);

// Whether "Readonly" of the printer's section of `path` is other than 1.
BOOL RstIsWritable(UiContext* ui, const WCHAR* path);

// Whether a preset ("PresetList%d", i < "Count") or quality entry ("QualityList%d", i <
// "QualityCount") of the printer's section of the settings INI names `path`: the full paths are
// compared without regard to case. No file is opened for writing.
BOOL RstIsStoredSettingsFile(UiContext* ui, const WCHAR* path);

// When the printer's install data (system folder "velm.ini", printer's section, "DefaultRst")
// names an existing settings file: the header written into its printer's section, and items
// 10001..10277 and 907..947 read from that section (the font-list items never). FALSE when no
// file is named or the read fails.
BOOL RstApplyDefaultFile(UiContext* ui);

// The interface's policy over the settings library's transfers (what RstTransferOptions and
// RstLoadFile use), for the list transfers of the interface.
struct XferPolicy;
XferPolicy RstInterfacePolicy(UiContext* ui);
