// The capability records of the application interface: 56 rows that tell a program what it may
// put into the status records (ids, names, ranges, switches of the printer's model and options),
// and the all-capabilities record that gathers them in one block.
#pragma once

#include <cstdint>

#include "settings/context/driver_context.h"
#include "win32.h"

constexpr DWORD kCapsRowCount = 56;
constexpr DWORD kCapsBuildAll = 0x80000001;
constexpr DWORD kCapsFreeAll = 0x80000002;
constexpr DWORD kCapsTrayNameBytes = 24;
constexpr DWORD kCapsNameBytes = 64;
constexpr DWORD kCapsAllRecordBytes = 316;
constexpr DWORD kCapsUnbounded = 0xFFFFFFFF;

// A handler writes at most `capacity` entries into `buffer` (null: the count alone); a list that
// has grown past `capacity` since it was counted is a failure (-1), never an overrun.
using CapsHandler = LONG (*)(DriverContext* context, void* buffer, DWORD capacity);

struct CapsRow {
  DWORD row;
  DWORD supported;
  DWORD version;
  DWORD reserved;
  CapsHandler handler;
  DWORD reserved2[7];
};
extern const CapsRow kCapsRows[kCapsRowCount];

// The watermark kinds of capability row 30, in order.
extern const DWORD kApiWaterMarkKinds[4];

// Capability `capability` of the context into `buffer` (see VELMDrvGetCaps); the printer is
// reopened for the call.
intptr_t ApiGetCaps(DriverContext* context, DWORD capability, void* buffer);
// One row's handler with a capacity in entries; 0 for a row outside 1..56.
LONG ApiCallCapsRow(DriverContext* context, DWORD row, void* buffer, DWORD capacity);

// The model paper ids of item 8 (the paper list, values the constraints disable skipped) or of
// another list item (every value), as 16-bit devmode values. The count; -1 when the node is
// missing, not a list, empty, when a value has no value-symbol row, or when the count passes
// `capacity`.
LONG ApiCapPaperIds(DriverContext* context, WORD* ids, DWORD capacity, WORD item);

// The all-capabilities record: 316 bytes followed, in the same allocation, by every list it
// names; each list field holds the list's offset from the record's start (0: none).
BYTE* ApiBuildAllCaps(DriverContext* context);
// Frees a record of ApiBuildAllCaps; null is accepted. 1.
LONG ApiFreeAllCaps(BYTE* record);
