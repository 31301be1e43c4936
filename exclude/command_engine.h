// The command-line engine of a constraint-query session: "@PJL SET" lines applied to the
// session's slots and context through the PJL command table, the constraints run, and the
// settings turned back into SET lines (the command set) and compared with the session's base.
//
// Slots hold stored item values; a command of the table sets its item, or reads and writes it
// through its model command node (flag kExcCommandModelNode). Booklet families: BINDING is coded
// into item 102 by the BOOKLET family, which the session keeps in slot 732.
#pragma once

#include "exclude/exc_session.h"
#include "exclude/line_buffer.h"
#include "settings/constraints/pjl_command_table.h"
#include "win32.h"

// ---- Lookup ---------------------------------------------------------------------------------

// The first row named `name` (a row without a name matches when one of its value rows carries
// the name as its own). The search ends at that row: it is answered when its access shares a bit
// with `access` and, for a printer-option row, its condition list holds; else null.
const ExcCommandRow* ExcFindCommand(ExcSession* session, const char* name, DWORD access);
// The first row of `item` when its access shares a bit with `access`; null otherwise.
const ExcCommandRow* ExcFindCommandByItem(DriverContext* context, DWORD item, DWORD access);
// The item whose command writes `item` (64 -> 129), or 0.
DWORD ExcAliasOf(DWORD item);
// FORCEFEED (no item) is available when linked; any other row when its item's slot and the slots
// of its side settings are enabled.
BOOL ExcIsCommandAvailable(ExcSession* session, const ExcCommandRow* row);
// FALSE for a hidden value and for a conditional value without a condition; else its condition
// chain must hold.
BOOL ExcIsValueAcceptable(DriverContext* context, const ExcCommandRow* row, const ExcValueRow* value);
// The PJL name a value of `row` is written under: the row's, else the value row's own.
const char* ExcCommandName(const ExcCommandRow* row, const ExcValueRow* value);

// ---- Booklet families -------------------------------------------------------------------------

// The BOOKLET family of a binding code of item 102 (1..3 -> 0, 17..19 -> 1, 20..22 -> 2); -1 for
// a code of no family.
int ExcBookletOfBinding(DWORD code);
// The binding code of the position of `code` (TOP, RIGHT, LEFT) in the family of `booklet`; the
// code itself when either is unknown.
DWORD ExcRecodeBinding(DWORD code, DWORD booklet);

// ---- Slots and applying -------------------------------------------------------------------------

// Records `value` for item 1..732 in the slots; other items are ignored.
void ExcRecordSlot(ExcSession* session, DWORD item, DWORD value);
// Without `propagate`: records the slot and writes items up to 730. With it, only when the slot
// is not enabled or holds another value: records, writes, runs the item's rules and
// ExcRefreshSlots.
void ExcSetSlot(ExcSession* session, DWORD item, DWORD value, BOOL propagate);
// Every enabled slot 1..730 takes its item's current value; the booklet slot, while it and the
// binding slot are enabled, the family of item 102.
void ExcRefreshSlots(ExcSession* session);
// Applies a SET line of `row` (propagate: 0 for a base, 1 for an update). A value text that
// names no value, or that the model node cannot read, sets nothing.
void ExcApplyCommand(ExcSession* session, const ExcCommandRow* row, const char* name, const char* valueText,
                     BOOL propagate);

// ---- Building and comparing -----------------------------------------------------------------------

// Appends the SET lines of every enabled slot (each command once) and the block's NUL. FALSE when
// memory runs out.
BOOL ExcBuildCommandSet(ExcLineBuffer* buffer, ExcSession* session);
// After a base (`updateLine` null) or an update: the full constraint pass, the command set, the
// lines of it that differ from the base as the change list, and the base brought up to date.
// 1 when a change list is waiting, 0 when nothing is to be reported (also without a base), -1
// when memory runs out (the session keeps its base and change list).
int ExcBuildChanges(ExcSession* session, const char* updateLine);
// Whether trying the value alone changes nothing else of the base. `value` is a row of `row`'s
// value list, or null for a value of the model node given by `modelValue` and `valueText`. The
// session and context are as before afterwards.
BOOL ExcTryValue(ExcSession* session, const ExcCommandRow* row, const ExcValueRow* value, DWORD modelValue,
                 const char* valueText);
// The current value of a printer-value row as text into `buffer` when it fits; the size with the
// NUL, 0 when there is nothing to report (the side settings, read as a chain, do not hold; no
// text).
DWORD ExcFormatPrinterValue(const ExcCommandRow* row, DriverContext* context, DWORD size, char* buffer);
// The values of a job row as a list (each with its NUL, one more NUL after the last): by the
// row's value type; with `acceptableOnly` only those ExcTryValue accepts. FALSE when memory runs
// out.
BOOL ExcListCommandValues(ExcSession* session, const ExcCommandRow* row, const char* name, BOOL acceptableOnly,
                          ExcLineBuffer* list);
