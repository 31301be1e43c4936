// Taking a caller's devmode into a UI context, and committing a sheet's result: back into the
// caller's devmode, the stored settings and the job-control bridge.
#pragma once

#include "ui2k/entry/ui_context.h"
#include "win32.h"

// Merges `devmode` (null: none; it holds dmSize + dmDriverExtra bytes) into the context.
// Neither 0x2000000 nor 8 in `flags`: 1 at once, nothing changed. Otherwise the UI-state flags
// := `flags`, item 885 := DM_PROMPT; the devmode is converted into a copy of the context's
// (its private part only when it is this model's own); the copy's summary record is applied
// (a failure there does not fail the merge); the copy's private part replaces the context's,
// which keeps its environment bytes 1241..1246, 1249, 1253, 1254 (vdmUserCodeDLL), 1255, 1256
// and the low byte of the word at 832; then the rest of the settings library's merge runs with
// vdmJBInstalled, the user-code mode bytes and (with DM_PROMPT) the bridge's read of mask 159
// after the public fields. 1; 0 when memory runs out.
int DmMergeIntoUiContext(UiContext* ui, const DEVMODEW* devmode, DWORD flags);

// Commit modes of SheetStoreUserCodeAndFonts and SheetCommitWithMode (the re-sync call types).
constexpr int kCommitDeviceSheet = 3;
constexpr int kCommitDocumentSheet = 4;

// The OK of a sheet (the first page's apply): the sheet's kind committed, a new snapshot, and
// the host told (device sheet: level-7 update and CPSUI_OK; document sheet with DM_UPDATE or
// DM_COPY: CPSUI_OK). vdmPresentUIMode comes through unchanged; OK pressed := 1.
void SheetCommit(UiContext* ui);
// Device sheet: presets refreshed (forced) and SheetStoreUserCodeAndFonts(3). Document sheet:
// the bridge writes mask 158 and reads mask 1, then SheetCommitWithMode(4).
void SheetCommitSheetKind(UiContext* ui);
// The user code stored, the record re-synced with `mode`, the font tables saved.
void SheetStoreUserCodeAndFonts(UiContext* ui, int mode);
// The caller's devmode written back: nothing without DM_UPDATE and DM_COPY; with DM_COPY the
// capability records are built first; the bridge stores mask 159; with DM_COPY or UI-state flag
// 0x2000000 the context's devmode is copied into pdmOut shaped like pdmIn and the collate rule
// applied to pdmOut; with DM_UPDATE alone the collate rule applies to the context's devmode. 1.
int SheetCommitDevmode(UiContext* ui);
// The record re-synced with `mode`, SheetCommitDevmode, the options of classes 3 and 1 saved.
int SheetCommitWithMode(UiContext* ui, int mode);
