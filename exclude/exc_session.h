// Constraint-query sessions: the handle an application holds from ExcGetExclusive until
// ExcFreeExclusive. A session is a driver context on the printer (creation flag 0x100000), the
// printer handle it was opened on, one slot per item 1..732 for the values the session recorded,
// the stored base block and the change list waiting to be fetched.
//
// Slots 1..730 mirror items of the context; 731 and 732 exist only in the session (732 is the
// booklet family, never written to the context). Slots hold 32-bit numbers only: no command
// that sets a slot is of string type. A session is not locked: one thread at a time.
#pragma once

#include <cstdint>

#include "settings/context/driver_context.h"
#include "win32.h"

// The creation flag of every context of this library.
constexpr DWORD kCreateExclusive = 0x100000;

constexpr DWORD kExcSlotCount = 732;
constexpr DWORD kExcLastContextSlot = 730;  // slots above are never written to the context
constexpr DWORD kExcSlotBooklet = 732;

// Results of the constraint-query exports.
constexpr int kExcDone = 0;
constexpr int kExcMore = 1;      // the buffer is too small, or a change list is waiting
constexpr int kExcFailed = -1;
constexpr int kExcNoData = -2;

// The size protocol of the exports: the size needed (every NUL counted) goes to `needed` when it
// is not null, and `length` bytes of `text` are copied out only when the buffer holds them.
inline void ExcReportSize(uint32_t* needed, DWORD size) {
  if (needed) *needed = size;
}
// kExcDone when copied (or nothing to copy), kExcMore when the buffer is too small or absent.
int ExcCopyOut(const char* text, DWORD length, uint32_t size, char* buffer);
// Both steps for `length` bytes of `text`: the size to `needed`, then the copy.
inline int ExcHandOut(const char* text, DWORD length, uint32_t size, char* buffer, uint32_t* needed) {
  ExcReportSize(needed, length);
  return ExcCopyOut(text, length, size, buffer);
}

struct ExcSession {
  DriverContext* context;
  HANDLE printer;
  DWORD slotCount;
  BYTE* enabled;     // slot n-1 is 1 once the session recorded a value for item n
  DWORD* values;     // the recorded value of item n
  DWORD baseLength;  // with the terminating NUL; 0 when there is no base
  char* base;
  DWORD changeLength;
  char* changes;
};

// Opens a session on the printer: the printer, a fresh context (ExcResetSession, first-open),
// empty slots. Null when the name is refused, the printer cannot be opened, the context cannot
// be built or memory runs out; nothing is left behind.
ExcSession* ExcOpenSession(const char* printerName);
// Ends a session: its lists, slots and context, the context caches emptied, the printer closed.
// Null is ignored.
void ExcCloseSession(ExcSession* session);

// Releases the session's context (if any), empties the context caches and opens a fresh context
// on the session's printer; then the bidirectional refresh (`firstOpen` says whether the device
// is asked) and the user code of the job-credential service for this printer into item 216,
// cut to 8 bytes (left as it is when the service gives none). 0, or -1 when no context opens.
int ExcResetSession(ExcSession* session, BOOL firstOpen);
// Empties the slots, the change list and the base; with `reopen` then ExcResetSession(session, 0)
// and its result, else 0.
int ExcClearSession(ExcSession* session, BOOL reopen);
// Frees the change list; its length is 0.
void ExcClearChanges(ExcSession* session);
