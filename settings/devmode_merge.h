// Merging a devmode from outside (a job's, an application's) into a context's record.
#pragma once

#include "settings/driver_context.h"
#include "win32.h"

// Merge flags the merge itself reads.
constexpr DWORD kMergePrompt = 0x4;            // item 885 takes this bit
constexpr DWORD kMergeUpdate = 0x8;            // with kMergeInterface: the merge runs at all
constexpr DWORD kMergeInterface = 0x2000000;

// Merges `incoming` (null: none) into the context's record and keeps `flags` as the work
// area's merge flags. Without kMergeUpdate or kMergeInterface nothing happens. What is built:
// item 885 := the kMergePrompt bit; the private part of an incoming devmode of the current
// layout (dmSize 220, dmDriverExtra 1040) whose header names this model (model tag, private
// size, format version, variant byte) replaces the record's, except the environment bytes the
// record keeps, the upper three bytes of the word at 832 (cleared) and the section bases (the
// record's own layout, never a devmode's). Not built yet, and so not done: the conversion of
// other layouts, the field-by-field merge and validation of the public fields, the stored
// option reload, the derived items, the constraint pass and the paper re-derivation; until
// then the public fields and a devmode of another layout leave the record as it was.
// Answers 1 (also when nothing was done), 0 when memory runs out.
int DmMerge(DriverContext* context, const DEVMODEW* incoming, DWORD flags);
