// Which values of a PJL command are available under the current settings: command lookup, the
// walk of condition chains, the test of one value and the value lists built from them, and the
// queries of the capability code and the interfaces that sit on them.
//
// Everything reads the command table of constraints/pjl_command_table.h. Chains compare stored values (raw
// item values), never model values.
#pragma once

#include "settings/context/driver_context.h"
#include "settings/constraints/pjl_command_table.h"
#include "win32.h"

// Results of the value-list queries.
constexpr int kListDone = 0;       // the values copied, or there are none
constexpr int kListTooSmall = 1;   // the array is missing or too small; the count is set
constexpr int kListNoMemory = 255;

// The chain of a command-table value: the walk of CondWalkChain with items named directly.
BOOL CondEvalChain(DriverContext* context, const CondNode* chain);

// The command row of item `key` whose access shares a bit with `mode` (kExcAccess...). When the
// row has kExcAccessPrinterOption and a condition list, the list must hold (condition-id form).
// Null for key 0, no such row, or a list that does not hold.
const ExcCommandRow* CondFindCommand(DriverContext* context, DWORD key, DWORD mode);

// Whether `value`, a row of `row`'s value list, is available: 1 yes, 0 no, -1 memory ran out.
// Without kExcCommandTestOnCopy the value's condition chain must hold. With it the value is
// applied for a trial: the item (1..730, unless the value row is kExcValueNone) and the side
// settings of the row and of the value are set, the full constraint re-pass runs, and the
// value is available when every item set still holds what was set. The trial leaves nothing
// behind: the settings record, the rows' changed marks, the dirty flag, the change masks and
// the override array are as they were.
int CondIsValueAvailable(DriverContext* context, const ExcCommandRow* row, const ExcValueRow* value);

// The available values of the job command of item `key`, in table order, without the
// kExcValueNone rows when `skipNone` is set. `*count` (when given) receives the number of
// values; they are copied into `values` only when it holds `capacity` >= count entries.
// kListDone (also for no row, no values, or none available: count 0), kListTooSmall (values
// null or capacity short: nothing is copied), kListNoMemory.
int CondListAllowedValues(DriverContext* context, DWORD key, DWORD capacity, DWORD* values, DWORD* count,
                          BOOL skipNone);
// CondListAllowedValues without skipping.
int CondGetAllowedValues(DriverContext* context, DWORD key, DWORD capacity, DWORD* values, DWORD* count);

// 1 when the collate command (item 129) has available values and they are not the single
// value 0; else 0 (also when the query runs out of memory).
int CapsCanCollate(DriverContext* context);

// The UI record of the model description whose command key is `key`; null for key 0 or none.
const DescNode* CondFindItemNode(DriverContext* context, WORD key);
// Whether the item of command key `key` is disabled under the current settings (its record's
// disabled program); FALSE for key 0 or no record.
BOOL CondIsValueExcluded(DriverContext* context, WORD key);
