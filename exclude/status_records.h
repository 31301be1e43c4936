// The status records of the application interface: 35 rows, each a fixed group of items that a
// program reads (VELMDrvGetStatus) and changes (VELMDrvSetStatus) as one record, with the record
// version it speaks, the item whose model node can lock it, and its set, verify and get handlers.
// A set answers which other rows it disturbed as a 32-byte bitmap (row r: bit 0x80 >> ((r-1) & 7)
// of byte (r-1) >> 3).
//
// A set is all or nothing: the whole settings record is kept before the handler runs and put
// back when anything refuses; what goes to lasting stores (the settings INI, printer data, the
// job-credential service, the stamp list) is queued by the handlers and written only once the
// set has been verified.
#pragma once

#include <cstdint>

#include "settings/context/driver_context.h"
#include "win32.h"

constexpr DWORD kStatusRowCount = 35;
constexpr DWORD kStatusRowItems = 8;
constexpr DWORD kStatusBitmapBytes = 32;

// Modes of a set (how a record newer than the row is taken).
constexpr DWORD kStatusModeAnswerVersion = 1;
constexpr DWORD kStatusModeRefuseNewer = 2;

// Lasting writes a set queues until it is verified.
struct StatusPendingWrites {
  WORD storeItems[kStatusRowItems];  // CfgWriteEntry, in order
  DWORD storeCount;
  DWORD jobMask;                     // ApiWriteJobItem
  WORD actionItem;                   // ApiStoreActionItem, 0 none
  bool saveScratchStamp;             // the scratch stamp slot
  bool saveSettings;                 // every INI and printer-data item, and the stored lists
};

// The state of one get or set.
struct StatusCall {
  DriverContext* context;
  DWORD row;
  DWORD recordVersion;  // a get: the version the record is filled in
  DWORD recordBytes;    // a set: the bytes the caller's record is known to hold
  DWORD functionSwitches;
  StatusPendingWrites pending;
};

using StatusSetHandler = int (*)(StatusCall& call, const BYTE* record);
using StatusVerifyHandler = int (*)(StatusCall& call, const BYTE* record);
using StatusGetHandler = LONG (*)(StatusCall& call, BYTE* record);

struct StatusRow {
  DWORD row;
  DWORD supported;
  DWORD version;
  DWORD lockItem;  // 0: none; also the row's switch item
  DWORD reserved;
  StatusSetHandler set;
  StatusVerifyHandler verify;  // null: always equal
  StatusGetHandler get;
  WORD items[kStatusRowItems];  // up to eight, 0 ends a shorter list
};
extern const StatusRow kStatusRows[kStatusRowCount];

// The row, or null outside 1..35.
const StatusRow* StatusFindRow(DWORD row);

// The bit of `row` in an affected-rows bitmap.
inline void StatusMarkRow(BYTE* bitmap, DWORD row) { bitmap[(row - 1) >> 3] |= BYTE(0x80u >> ((row - 1) & 7)); }
inline bool StatusIsMarked(const BYTE* bitmap, DWORD row) {
  return (bitmap[(row - 1) >> 3] & (0x80u >> ((row - 1) & 7))) != 0;
}

// VELMDrvGetStatus: fills `record` (or only sizes it when null) with the row's values in
// `callerVersion` (0: the row's own). The record size, or -1 for a null context, an unknown row,
// a caller version newer than the row's, or a printer that cannot be reopened.
LONG ApiGetStatus(DriverContext* context, DWORD row, void* record, DWORD callerVersion);
// VELMDrvSetStatus: 0 done, the row's version (done, or refused by the version rule in mode 2),
// or -1 with everything as before the call and the bitmap all zero.
LONG ApiSetStatus(DriverContext* context, DWORD row, const void* record, BYTE* bitmap, DWORD mode);

// Fills the lock snapshot of an application context: whether each row item's lock node is
// disabled and hidden now.
void ApiRefreshLockSnapshot(DriverContext* context);

// The record size a row's set reads, for the caller's version (0 for an unknown row).
DWORD StatusRecordBytes(DWORD row, DWORD version);
