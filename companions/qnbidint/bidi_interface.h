// The binary contract of the bidirectional device-query libraries "qnbidint.dll" and
// "qnbidi9x.dll": the one export that fills the table of calls, the calls' forms, the query
// flags and the record codes of the answers. Callers bind the export by name with
// GetProcAddress and call through the table.
//
// Answers are byte records: numbers are 32-bit little-endian (arrays of them for the per-tray
// and option records), texts UTF-16 with or without a terminator. A record the device does not
// have reads as 0 bytes.
#pragma once

#include "win32.h"

namespace velm::bidi {

inline constexpr char kInitializeExport[] = "QuirnInitializeBidiApiW";

using BidiHandle = void*;  // an open device
using BidiResult = void*;  // the answer of a query; it lives until the device is closed

struct BidiInterface;

// Slot 0. Opens the device that serves `printerName`. TRUE with a handle and a non-zero status
// when the device answers; a status of 0 means it is there but will not talk.
using BidiOpenProc = BOOL (*)(BidiInterface* table, LPCWSTR printerName, BidiHandle* handle, DWORD* status);
// Slot 1. Closes the device and every answer it gave.
using BidiCloseProc = BOOL (*)(BidiInterface* table, BidiHandle handle);
// Slot 2. Asks the device; `flags` choose what (kQueryShort, kQueryFull); `work` is a scratch
// area of kQueryWorkBytes bytes the library may use during the call. FALSE with
// kErrorAnswerKept as the last error still hands out a usable result: the device answered from
// the state it kept since the last query.
using BidiQueryProc = BOOL (*)(BidiInterface* table, BidiHandle handle, BidiResult* result, DWORD flags, void* work);
// Slot 3. Asks the device for one class of records (kClassVersions); `one` is 1. The result
// rules of slot 2 hold.
using BidiQueryClassProc = BOOL (*)(BidiHandle handle, BidiResult* result, DWORD recordClass, DWORD one);
// Slot 4. The device's model name into `name` (kModelNameChars characters, terminator
// included).
using BidiModelNameProc = BOOL (*)(BidiInterface* table, BidiHandle handle, WCHAR* name);
// Slot 5. Not used by the driver; answers FALSE with ERROR_NOT_SUPPORTED.
using BidiReservedProc = BOOL (*)(BidiHandle handle);
// Slot 6. Record `code` of a query result. With a null buffer: its size in *needed (and as the
// answer). Else copies it into `buffer` of `size` bytes and answers the bytes copied, with
// *needed set to the record's size. -1 on failure (ERROR_INSUFFICIENT_BUFFER when `size` is
// too small, *needed then set).
using BidiReadRecordProc = LONG (*)(BidiResult result, DWORD code, void* buffer, DWORD size, DWORD* needed);
// Slot 7. Record `subCode` of class `recordClass` of a class result, as slot 6 does; TRUE on
// success. A size query may answer FALSE with ERROR_ACCESS_DENIED and still give the size.
using BidiReadClassRecordProc = BOOL (*)(BidiResult result, DWORD recordClass, DWORD subCode, void* buffer,
                                         DWORD size, DWORD* needed);

struct BidiInterface {
  BidiOpenProc open;
  BidiCloseProc close;
  BidiQueryProc query;
  BidiQueryClassProc queryClass;
  BidiModelNameProc modelName;
  BidiReservedProc reserved;
  BidiReadRecordProc readRecord;
  BidiReadClassRecordProc readClassRecord;
};
static_assert(sizeof(BidiInterface) == 8 * sizeof(void*));

// The export: fills every slot of `table`. FALSE when the library cannot serve.
using BidiInitializeProc = BOOL (*)(BidiInterface* table);

// Query flags.
inline constexpr DWORD kQueryShort = 260;       // versions and memory type only
inline constexpr DWORD kQueryFull = 0x2011C;    // trays, options, memory and versions
inline constexpr DWORD kQueryWorkBytes = 64;

// The last error of a query that answered from the state the device kept.
inline constexpr DWORD kErrorAnswerKept = 102;

inline constexpr DWORD kModelNameChars = 33;

// Records of a query result.
inline constexpr DWORD kRecordTrayIds = 1;         // u32 per tray: the device's tray identifier
inline constexpr DWORD kRecordOptions = 2;         // u32 per installed option: its option code
inline constexpr DWORD kRecordSystemVersion = 8;   // text
inline constexpr DWORD kRecordMemory = 11;         // u32: memory in bytes
inline constexpr DWORD kRecordTrayPaper = 20;      // u32 per tray, in the order of record 1
inline constexpr DWORD kRecordTrayMedia = 21;      // u32 per tray
inline constexpr DWORD kRecordTrayAttributes = 23; // u32 per tray: kTray... bits

inline constexpr DWORD kTrayLocked = 0x1;
inline constexpr DWORD kTrayCoverSheet = 0x4;
inline constexpr DWORD kTrayMarkSheet = 0x8;

// The class of version records and its records.
inline constexpr DWORD kClassVersions = 15;
inline constexpr DWORD kClassEmulationVersion = 2;   // text
inline constexpr DWORD kClassMemoryType = 258;       // u32: 1 or 2
inline constexpr DWORD kClassOtherDevice = 259;      // text

}  // namespace velm::bidi
