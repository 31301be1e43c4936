// The handlers of the status rows and what they share: reading and writing the caller's record
// (little-endian u32 fields and fixed-width ANSI fields) and the checked write of one item.
#pragma once

#include <cstring>

#include "exclude/api_contexts.h"
#include "exclude/status_records.h"
#include "win32.h"

// The custom paper of dmPaperSize.
constexpr DWORD kStatusCustomPaper = 256;

// ---- The caller's record --------------------------------------------------------------------

inline DWORD RecordLoad(const BYTE* record, DWORD offset) {
  DWORD value;
  std::memcpy(&value, record + offset, 4);
  return value;
}
inline void RecordStore(BYTE* record, DWORD offset, DWORD value) { std::memcpy(record + offset, &value, 4); }

// The ANSI field at `offset` of `width` bytes as a NUL-ended text in `out` (width + 1 bytes).
// FALSE when the field holds no NUL within its width.
BOOL RecordReadText(const BYTE* record, DWORD offset, DWORD width, char* out);
// The text item's value narrowed into the field, zero-filled, cut to width - 1.
void RecordWriteItemText(StatusCall& call, BYTE* record, DWORD offset, DWORD width, WORD item);

// ---- Items ----------------------------------------------------------------------------------

// The item check (OptCheckValue) accepts the value: not 0, 2 or 3. An item the model gives no
// record is left to its row's own checks.
BOOL StatusIsAccepted(StatusCall& call, WORD item, DWORD value);
// The checked setter: the item check (OptCheckValue) must accept the value (not 0, 2 or 3);
// then the value is written. TRUE when written.
BOOL StatusCheckedSet(StatusCall& call, WORD item, DWORD value);
// An ANSI text into a text item. FALSE when it cannot be stored.
BOOL StatusSetText(StatusCall& call, WORD item, const char* text);
// Queues a write of the item to its store once the set is verified.
void StatusQueueStore(StatusCall& call, WORD item);

// ---- Handlers -------------------------------------------------------------------------------

// Rows of numbers laid out by the field table (2..9, 11..15, 17..25, 27..35).
int StatusSetFields(StatusCall& call, const BYTE* record);
int StatusVerifyFields(StatusCall& call, const BYTE* record);
LONG StatusGetFields(StatusCall& call, BYTE* record);

// Row 1: a settings file.
int StatusSetSettingsFile(StatusCall& call, const BYTE* record);
LONG StatusGetSettingsFile(StatusCall& call, BYTE* record);
// Row 10: the print type and its credentials.
int StatusSetPrintType(StatusCall& call, const BYTE* record);
int StatusVerifyPrintType(StatusCall& call, const BYTE* record);
LONG StatusGetPrintType(StatusCall& call, BYTE* record);
// Row 16: the watermark of the scratch stamp.
int StatusSetWatermark(StatusCall& call, const BYTE* record);
LONG StatusGetWatermark(StatusCall& call, BYTE* record);
// Row 26: the user id.
int StatusSetUserId(StatusCall& call, const BYTE* record);
LONG StatusGetUserId(StatusCall& call, BYTE* record);

// Row 10's re-application after a set: the items the record's flags named.
void StatusReapplyPrintType(StatusCall& call, const BYTE* record);
