// The settings library's side of the bidirectional device-query library: loading it, an open
// device, and reads of its answers.
//
// The library is loaded from the printer's driver folder, where the driver's companions are
// installed (a bare name would search the system folders, which do not hold it), for one query
// and freed afterwards.
//
// The device's answers are not trusted: a read never takes more than the size the library gave
// first, nor more than kBidiMaxAnswerBytes (a longer answer is passed over as if it were
// absent), and numbers and texts are taken only as far as the bytes read reach.
#pragma once

#include "companions/qnbidint/bidi_interface.h"
#include "settings/context/driver_context.h"
#include "win32.h"

// BidiQuery flags that choose the library.
constexpr DWORD kBidiUse9xLibrary = 0x8;  // "qnbidi9x.dll", on the Windows 9x platform only

// No answer of the device comes near this.
constexpr DWORD kBidiMaxAnswerBytes = 4096;

struct BidiDevice {
  HMODULE module;
  velm::bidi::BidiInterface table;
  velm::bidi::BidiHandle handle;  // null while the device is not open
};

// Loads the library for `flags` (kBidiUse9xLibrary) into a zeroed `device` and has it fill its
// table. FALSE with the last error: the loader's for a missing library, ERROR_PROC_NOT_FOUND
// for a missing export, the library's when it refuses to fill the table (ERROR_GEN_FAILURE when
// it gives none), ERROR_INVALID_FUNCTION for a table with an empty slot. Whatever was loaded
// stays in `device` for BidiRelease.
BOOL BidiLoad(DriverContext* context, DWORD flags, BidiDevice* device);
// Opens the device of the context's printer: TRUE when the library answers TRUE with a non-zero
// status. Otherwise FALSE (ERROR_INVALID_PRINTER_STATE when the status was 0), with a handle it
// gave left for BidiRelease to close.
BOOL BidiOpen(DriverContext* context, BidiDevice* device);
// Closes the device when it is open, frees the library and zeroes `device`.
void BidiRelease(BidiDevice* device);

// The device's model name into `name` (kModelNameChars characters), always terminated.
BOOL BidiReadModelName(BidiDevice* device, WCHAR* name);

// Asks the device: a query (slot 2) with `flags`, or a class query (slot 3). TRUE with a result
// when the library answered TRUE, or FALSE with kErrorAnswerKept and a result.
BOOL BidiAsk(BidiDevice* device, DWORD flags, velm::bidi::BidiResult* result);
BOOL BidiAskClass(BidiDevice* device, DWORD recordClass, velm::bidi::BidiResult* result);

// One answer as read.
struct BidiAnswer {
  DWORD size;                       // bytes read; 0 when the device has none
  BYTE bytes[kBidiMaxAnswerBytes];
};

// Reads record `code` of a query result (slot 6) or sub-code `subCode` of a class result
// (slot 7) into `answer`: the size first, then the record. FALSE when the library fails either
// call (for a class record, a size query that fails with ERROR_ACCESS_DENIED but gives a size
// goes on to the read). A record of no bytes, or of more than kBidiMaxAnswerBytes, reads as
// size 0 and TRUE.
BOOL BidiReadRecord(BidiDevice* device, velm::bidi::BidiResult result, DWORD code, BidiAnswer* answer);
BOOL BidiReadClassRecord(BidiDevice* device, velm::bidi::BidiResult result, DWORD recordClass, DWORD subCode,
                         BidiAnswer* answer);

// The answer's 32-bit numbers: how many whole ones it holds, and number `index` of them.
DWORD BidiAnswerCount(const BidiAnswer& answer);
DWORD BidiAnswerNumber(const BidiAnswer& answer, DWORD index);
// The answer as text into `text` (`capacity` characters, terminator included): its UTF-16
// characters up to the first NUL or its end, cut to fit. The characters written.
DWORD BidiAnswerText(const BidiAnswer& answer, WCHAR* text, DWORD capacity);
