// The stamps and free sizes of the interface: loading a stamp through the interface's transfer,
// the stamp check after a preset, deleting a stamp, saving the free sizes back and the free-size
// table the pages show.
#pragma once

#include "ui2k/entry/ui_context.h"
#include "win32.h"

// Defaults of a free size that the settings INI lacks: A4 in 1200-dpi dots.
constexpr DWORD kRstFreeSizeDefaultWidth = 9921;
constexpr DWORD kRstFreeSizeDefaultLength = 14031;

// Stamp n (0..256) read from its section "Stamp%d%s" of the settings INI (the rows marked for
// transfer or preset: the pattern and tile items 894..903 are marked); item 120 := n.
BOOL RstLoadStamp(UiContext* ui, DWORD n);

// After a preset: while item 63 (stamp on) is set and item 120 names a stamp of the list, that
// stamp is loaded when item 109 is 1..3 (text, image, overlay), else items 63 and 120 := 0.
void RstRecheckStamp(UiContext* ui);

// Deletes stamp `index`: the later stamps move down by one, "StampCount" drops by one and the
// vacated last section is removed; the settings are as before afterwards. 0, with nothing
// changed, when `index` is not below "StampCount" or the history cannot hold the settings.
BOOL RstDeleteStamp(UiContext* ui, DWORD index);

// Each of the ten free sizes selected into items 859..861 and saved to its section.
BOOL RstReloadFreeSizes(UiContext* ui);

// The interface's free-size table (ui->state.freeSizeTable) filled from the settings INI:
// section "FreeSize%d%s", keys the names of items 859..861, width and length in 1200-dpi dots
// (defaults kRstFreeSizeDefaultWidth/Length); display names string 109 + row as it stands and
// decorated with the row's name and size. The names are ANSI, cut whole before 64 bytes.
void RstLoadFreeSizeTable(UiContext* ui);
