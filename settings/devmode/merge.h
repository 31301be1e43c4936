// Merging a devmode from outside (a job's, an application's) into a context's record.
//
// An incoming devmode is untrusted: its sizes are checked against the bytes given before
// anything is read, its public fields are validated one by one, and its private part is taken
// only when it is this driver's own for this model. The record's own environment bytes and
// section bases survive every merge.
#pragma once

#include <cstddef>

#include "settings/context/driver_context.h"
#include "settings/items/settings_record.h"
#include "win32.h"

// Merge flags the merge reads (the caller's flags, kept as the work area's merge flags).
constexpr DWORD kMergePrompt = 0x4;              // DM_PROMPT: item 885; also forces the full re-sync
constexpr DWORD kMergeUpdate = 0x8;              // with kMergeInterface: the merge runs at all
constexpr DWORD kMergeInterface = 0x2000000;
constexpr DWORD kMergeReloadStored = 0x0C220004; // any: the settings-INI items are loaded again
constexpr DWORD kMergeApplyRules = 0x1D220004;   // any: every item's constraint rules run
constexpr DWORD kMergeKeepStored = 0x10000000;   // no reload (and the resolution stays)
constexpr DWORD kMergeFullResync = 0x40000000;   // with kMergePrompt: DmResync instead of the
                                                 // output paper alone

// Merges `incoming` (null: none) into the context's record and keeps `flags` as the work area's
// merge flags. `incoming` holds dmSize + dmDriverExtra bytes, as every DEVMODEW handed to a
// driver does. Without kMergeUpdate or kMergeInterface nothing else happens. Otherwise, in order:
// item 885 := the kMergePrompt bit; the incoming devmode converted into a copy of the record
// (DmConvertIncoming) and its private part taken (DmTakePrivatePart); state flag 0x2000 := whether
// item 394 has a model default; the public fields merged and validated; the settings-INI items
// reloaded (kMergeReloadStored, unless kMergeKeepStored); the user code; the public fields
// carried into the items; the job actions reset; the device configuration's copy; item 880 := 0;
// the constraint rules (kMergeApplyRules); the full re-sync (kMergeFullResync or kMergePrompt)
// or else the output paper from item 50; a custom paper (256) with item 417 set keeps
// DM_PAPERSIZE. Answers 1 (also when nothing was done), 0 when memory runs out.
int DmMerge(DriverContext* context, const DEVMODEW* incoming, DWORD flags);
// The same for `incoming` given as `bytes` bytes: a devmode whose dmSize and dmDriverExtra claim
// more than that, or that is too short to carry dmFields, is taken as none.
int DmMergeBytes(DriverContext* context, const DEVMODEW* incoming, size_t bytes, DWORD flags);

// The two steps a merge of the interface library shares (it applies its summary record between
// them):
// `scratch` := the context's devmode with `incoming` (`bytes` bytes, checked as above) converted
// into it (DmConvertBytes: nothing past `bytes` is read). The incoming private part stays in `scratch` only when the conversion took
// it, it covers the whole private header (kDmPrivateHeaderBytes) and it is this driver's own for
// this model (DmHasOwnPrivatePart); otherwise `scratch` keeps the context's own. TRUE when an
// incoming devmode was converted, FALSE when there was none to take.
BOOL DmConvertIncoming(DriverContext* context, const DEVMODEW* incoming, size_t bytes, PrivateDevmode* scratch);
// Copies the private part of `scratch` over the context's, except that the context keeps its
// environment bytes 1241..1246, 1249, 1253, 1255, 1256 (and 1254 with `keepUserCodeDll`), the low
// byte of the word at 832 (its upper three bytes are cleared) and its section bases. The others
// (1247, 1248, 1250..1252, 1254) come with the scratch copy.
void DmTakePrivatePart(DriverContext* context, const PrivateDevmode* scratch, BOOL keepUserCodeDll);
// The rest of a merge once the private part is taken, as DmMerge does it: the state flag, the
// public fields of `scratch` (`converted`: whether an incoming devmode was converted into it),
// `afterPublicFields` (null: none) with `argument`, the stored items reloaded, the user code, the
// items that follow the public fields, the job actions, the device configuration's copy, the
// constraint rules and the re-sync. 1; 0 when the stored items could not be read for want of memory.
int DmMergeFinish(DriverContext* context, const PrivateDevmode* scratch, BOOL converted, DWORD flags,
                  void (*afterPublicFields)(DriverContext* context, void* argument), void* argument);
