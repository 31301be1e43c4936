// The settings library's side of the job-credential service "qnjobcr.dll": one service session
// per context, the service's item numbers mapped onto devmode items, and bulk read, write and
// clear by a bit mask, all driven through JcDispatch.
//
// The service is loaded from the printer's driver folder, where the driver's companions are
// installed; a bare name would search the system folders, which do not hold it.
#pragma once

#include <initializer_list>

#include "data/item_ids.h"
#include "companions/qnjobcr/job_credentials.h"
#include "settings/context/driver_context.h"
#include "win32.h"

inline constexpr const WCHAR* kJcServiceLibrary = WSTR("qnjobcr.dll");

// The session block, kept in the context's work area (ContextWorkArea::jobCredentialSession)
// and copied in and out of it. All zero while the service is not loaded.
struct JcSession {
  HMODULE module;
  velm::jobcr::JcSessionHandle session;  // null while no session is open
  velm::jobcr::JCGetInterfaceProc getInterface;
  velm::jobcr::JCDisposeInterfaceProc disposeInterface;
  velm::jobcr::JcInterface* table;       // the interface granted
  DWORD version;                         // 258 or 257 (259 in the graphics library's one-shot read)
};

// Service item -> devmode item and the item's buffer in bytes (wide text, terminator included).
struct JcItemMapRow {
  DWORD item;
  WORD devmodeItem;
  DWORD bufferBytes;
};
// Items 1..6 and 8 take twice their ANSI devmode item's length.
inline constexpr JcItemMapRow kJcItemMap[] = {
    {velm::jobcr::kItemUserCode, 216, 18},         // vdmUserCode
    {velm::jobcr::kItemOwnerName, 217, 34},        // vdmOwnerName
    {velm::jobcr::kItemJobPassword, 220, 18},      // vdmJOBPassword
    {velm::jobcr::kItemUserId, 215, 18},           // vdmUserID
    {velm::jobcr::kItemDocumentName, 219, 34},     // vdmDocumentName
    {velm::jobcr::kItemTelephoneNumber, 243, 130}, // vdmTelNo
    {velm::jobcr::kItemTelephoneLine, 244, 32},    // vdmTelLine, a number as decimal text
    {velm::jobcr::kItemStoredPassword, 221, 18},   // vdmStoredPassword
};

// Service item -> its bit in the masks of the bulk calls.
struct JcItemMaskRow {
  DWORD item;
  DWORD mask;
};
inline constexpr JcItemMaskRow kJcItemMaskTable[] = {
    {1, 0x1},  {2, 0x2},  {3, 0x4},  {4, 0x8},  {5, 0x10},  {6, 0x20},  {7, 0x40},  {8, 0x80},
    {velm::jobcr::kItemSignature, 0x100}, {velm::jobcr::kItemVersionText, 0x200},
    {velm::jobcr::kItemLanguage, 0x400},
};

constexpr DWORD kJcMaskCredentials = 0xFF;   // items 1..8
constexpr DWORD kJcMaskAll = 0x7FF;          // and 256..258

// Dispatcher codes.
constexpr DWORD kJcRead = 0x100;             // read the masked items (an open session needed)
constexpr DWORD kJcWrite = 0x200;            // write the masked items
constexpr DWORD kJcClearWrite = 0x400;       // empty the masked devmode items 1..8, then write
constexpr DWORD kJcOpen = 0x10004;           // load, open
constexpr DWORD kJcOpenReadAll = 0x10010;    // load, open, read every row, user-code marks := 0
constexpr DWORD kJcClose = 0x20008;          // close, unload
constexpr DWORD kJcCloseToo = 0x20020;       // the same
constexpr DWORD kJcStatus0 = 0x30001;        // slot 0 with the printer name, user-code marks := 0
constexpr DWORD kJcStatus1 = 0x30002;        // slot 1 with the printer name
constexpr DWORD kJcReadOnce = 0x30040;       // open, read by mask, close, user-code marks := 0
constexpr DWORD kJcWriteOnce = 0x30080;      // open, write by mask, close

// An item number the interface does not map.
constexpr DWORD kJcResultUnknownItem = 0x20000001;

// Runs `code` on `context` with `argument` (the item mask of the read, write and clear codes):
//   kJcRead, kJcWrite, kJcClearWrite   0, or the status of the first masked item that failed
//                                      (every masked item is tried)
//   kJcOpen                            the load's status, else the open's
//   kJcOpenReadAll                     the same; the read is best-effort and its statuses are
//                                      not reported
//   kJcClose, kJcCloseToo              0
//   kJcStatus0, kJcStatus1             the slot's answer
//   kJcReadOnce, kJcWriteOnce          the load's or open's status, else the read's or write's
// A failed load ends every code with the load's status. The one-shot codes (0x3xxxx) leave a
// service the context had loaded, and a session it had open, as they found them.
// ERROR_INVALID_PARAMETER for a null context or an unknown code.
DWORD JcDispatch(DriverContext* context, DWORD code, DWORD argument);

// Loads the service when it is not loaded: both exports bound, an interface of version 258,
// else 257. 0, or the failure's status with nothing left loaded: the loader's last error for a
// missing library, ERROR_PROC_NOT_FOUND for a missing export, the service's answer to 257
// (ERROR_NOT_SUPPORTED when it answered 0 with no interface).
DWORD JcLoad(DriverContext* context);
// Closes a session left open, disposes the interface, frees the library; the block is zeroed.
void JcUnload(DriverContext* context);
// Opens a session on the printer's name unless one is open: 0 or the service's status
// (ERROR_INVALID_HANDLE when the service is not loaded).
DWORD JcOpenSession(DriverContext* context);
// Closes the open session, if any.
void JcCloseSession(DriverContext* context);

// Reads one service item into its devmode item: only a value the service holds, cut to the
// item's buffer less the terminator; a non-empty text is stored (item 7 as a number). 0 when
// read or when there is nothing to read (no session, no value), else kJcResultUnknownItem for
// an item without a devmode item, or the service's status (the devmode item stays as it was).
DWORD JcReadOneItem(DriverContext* context, DWORD item);
// Writes one item to the service: items 1..8 from their devmode items as text in the item's
// full buffer, 256 the driver's signature, 257 the driver version text, 258 the language of
// item 177 as a number. 0 when written or when there is nothing to do (no session; items
// 256..258 below version 258), else kJcResultUnknownItem for an unknown item, ERROR_NOT_FOUND
// when item 177 has no language identifier, or the service's status.
DWORD JcWriteOneItem(DriverContext* context, DWORD item);
// The masked items one after the other (see JcDispatch for the result).
DWORD JcReadItem(DriverContext* context, DWORD mask);
DWORD JcWriteItem(DriverContext* context, DWORD mask);
// Empties the masked devmode items 1..8; item 7 takes the model's default.
void JcClearItems(DriverContext* context, DWORD mask);

// Binds the service in `path` into `block`: both exports, then an interface of the first of
// `versions` the service grants. 0, or a status with whatever was bound left in `block` for the
// caller to release (no module in it when the library could not be loaded).
DWORD JcBindService(const WCHAR* path, std::initializer_list<DWORD> versions, JcSession& block);
// Closes, disposes and frees what `block` holds, and zeroes it. A session is closed first so
// that none outlives the library that keeps it.
void JcReleaseService(JcSession& block);
// The service's value of `item` as text in `out` (`outBytes`, terminator included), through the
// needed-size protocol: the session's own read, or with `user` the user-keyed read of version
// 259 (ERROR_NOT_SUPPORTED when the interface has none). The value is read whole into a block of
// its own and cut to fit `out`, so a long value never reaches past it. `*read` tells whether
// there was a value: a size query answering ERROR_INVALID_DATA or a size of 0 means none
// (status 0).
DWORD JcReadText(const velm::jobcr::JcInterface* table, velm::jobcr::JcSessionHandle session, const WCHAR* user,
                 DWORD item, DWORD kind, WCHAR* out, DWORD outBytes, bool* read);

// The one-shot read of the Windows 9x platform: loads the service for `printer`, opens a
// session on its name, reads `item` as `kind` into `buffer` (the item's buffer size of
// kJcItemMap, terminated within it), closes and unloads. 1 when a value was read, else 0.
BOOL JcReadItemDirect(HANDLE printer, DWORD item, DWORD kind, WCHAR* buffer);

// The context's session block (all zero for a null context).
JcSession JcGetSession(const DriverContext* context);
