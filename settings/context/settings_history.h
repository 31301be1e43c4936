// The settings history of a context: copies of its settings record, newest first, each with the
// change mask that was current when it was taken. A tentative change pushes, then pops with
// restore to undo it or without restore to keep it. Tentative changes nest (a dialog's trial
// load around a companion copy around list loads), so a push never overwrites an outer copy.
//
// The newest three copies live in the work area's three history buffers; older ones move to a
// stack of their own that grows as needed (historyDeeper). A record names its font blocks
// (items 10005, 10007, 10009) by handle, and a copy names the same blocks; when a pop or a push
// drops a record, the blocks that it names and that neither the current record, the saved
// snapshot nor a copy still in the history names are freed, and no other.
#pragma once

#include "settings/context/driver_context.h"
#include "win32.h"

// Copies held in the work area's own buffers; deeper copies go to the growing stack.
constexpr DWORD kHistoryDepthMax = 3;

// Copies the current record and change mask into the history. FALSE (and nothing changed)
// without a record or history buffers, or when memory for a deeper copy runs out.
BOOL DmHistoryPush(DriverContext* context);

// Takes the newest copy out of the history. With `restore` it becomes the current record again
// and its mask the current mask; the dirty flag and every row's changed mark are cleared. Without
// `restore` the current record stays. FALSE (and nothing changed) when the history is empty.
BOOL DmHistoryPop(DriverContext* context, BOOL restore);

// The copies held.
DWORD DmHistoryDepth(const DriverContext* context);

// Frees the copies older than the work area's three buffers (the context is being destroyed).
void DmHistoryFreeDeeper(DriverContext* context);
