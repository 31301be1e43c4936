// The binary contract of the job-credential service "qnjobcr.dll": its two exports, the table of
// calls an interface carries, the item numbers, kinds and results. Callers bind the exports by
// name with GetProcAddress and call through the table.
#pragma once

#include "win32.h"

namespace velm::jobcr {

// Interface versions the service grants. 259 adds the user-keyed read (JcInterface::readForUser).
inline constexpr DWORD kVersion257 = 257;
inline constexpr DWORD kVersion258 = 258;
inline constexpr DWORD kVersion259 = 259;

// Kinds of value.
inline constexpr DWORD kKindText = 1;    // UTF-16 text, NUL-terminated
inline constexpr DWORD kKindNumber = 4;  // 32-bit little-endian value

// Item numbers.
inline constexpr DWORD kItemUserCode = 1;
inline constexpr DWORD kItemOwnerName = 2;
inline constexpr DWORD kItemJobPassword = 3;
inline constexpr DWORD kItemUserId = 4;
inline constexpr DWORD kItemDocumentName = 5;
inline constexpr DWORD kItemTelephoneNumber = 6;
inline constexpr DWORD kItemTelephoneLine = 7;  // decimal text
inline constexpr DWORD kItemStoredPassword = 8;
inline constexpr DWORD kItemSignature = 256;  // from version 258 on
inline constexpr DWORD kItemVersionText = 257;
inline constexpr DWORD kItemLanguage = 258;  // kind 4

// Query flags.
inline constexpr DWORD kFlagHasValue = 0x1;

// Results. Every other failure is a Win32 error code:
//   ERROR_INVALID_PARAMETER  a null or oversized argument
//   ERROR_INVALID_HANDLE     a session that is not open
//   ERROR_NOT_SUPPORTED      an unknown item, an item the interface's version does not carry,
//                            or a version the service does not grant
//   ERROR_INVALID_DATATYPE   a kind that is not the item's
//   ERROR_INVALID_DATA       a read of an item that holds no value (needed size 0)
//   ERROR_BADDB              the store is damaged (it is then never rewritten)
//   ERROR_DISK_FULL          the store holds as many values as it may
inline constexpr DWORD kResultOk = 0;
inline constexpr DWORD kResultBufferTooSmall = 0x20000001;

// Largest value the service keeps for one item, in bytes (text with its terminator).
inline constexpr DWORD kMaxValueBytes = 512;

using JcSessionHandle = void*;

// Notify codes: what happened to the session's printer or user. The display language comes with
// kNotifyLanguage and a JcLanguageRecord; every other code carries no data.
inline constexpr DWORD kNotifyLanguage = 1;
inline constexpr DWORD kNotifyDeleteConnection = 8;  // with 2..5 before it
inline constexpr DWORD kNotifyDeletePrinter = 258;   // with 256 and 257 before it

// The language record of kNotifyLanguage, 8 bytes little-endian:
//   u32 size (8), u8 the driver's language value, u8 0, u16 the language identifier
//   (sub-language << 10 | primary language).
inline constexpr DWORD kLanguageRecordBytes = 8;

struct JcInterface {
  DWORD (*status0)(LPCWSTR printerName);
  DWORD (*status1)(LPCWSTR printerName);
  DWORD (*open)(LPCWSTR printerName, JcSessionHandle* session);
  DWORD (*close)(JcSessionHandle session);
  DWORD (*query)(JcSessionHandle session, DWORD item, DWORD* flags);
  DWORD (*read)(JcSessionHandle session, DWORD item, DWORD kind, void* buffer, DWORD size, DWORD* needed);
  DWORD (*write)(JcSessionHandle session, DWORD item, DWORD kind, const void* data, DWORD size);
  // Version 259 on (null below): read's protocol for the value `userName` registered on the
  // session's printer, whoever opened the session.
  DWORD (*readForUser)(JcSessionHandle session, LPCWSTR userName, DWORD item, DWORD kind, void* buffer, DWORD size,
                       DWORD* needed);
  // Every version: tells the service of an event on the session's printer (`code`, with `size`
  // bytes of `data`, none for most codes). 0, or ERROR_INVALID_HANDLE for a session not open,
  // ERROR_INVALID_PARAMETER for a language record of the wrong size.
  DWORD (*notify)(JcSessionHandle session, DWORD code, const void* data, DWORD size);
};

using JCGetInterfaceProc = DWORD (*)(DWORD version, JcInterface** table);
using JCDisposeInterfaceProc = DWORD (*)(JcInterface* table);

}  // namespace velm::jobcr
