// Presets of the interface: applying one (from its memory slot or its file, with the fallback to
// preset 0 for a file of another model), editing one, and the tests the pages make. Preset keys
// are "PresetList0".."PresetList15" of the printer's section of the settings INI, each naming a
// stored file, with "Name" and "Comment" beside it.
#pragma once

#include "ui2k/entry/ui_context.h"
#include "win32.h"

// Applies preset `key`: restored from its memory slot when that is filled; else its file (preset
// 0's when it names none) loaded with flags 0x8004. A file whose header does not match loses its
// entry (never preset 0's) and preset 0's file is loaded with flags 4 instead (not when it was
// preset 0's that failed). The key's "Name" and "Comment" go into the state's ANSI buffers (36 and
// 512 bytes, cut whole), the stamp is checked again, the memory slot is filled and message 10023
// is shown once when the header did not match. FALSE when nothing could be loaded.
BOOL RstApplyPreset(UiContext* ui, const WCHAR* key);
// Index 0..15: RstApplyPreset of its key; any other index empties the name and comment buffers.
BOOL RstSavePresetByIndex(UiContext* ui, int index);
// Writes the current settings into preset `key`'s file (flags 4), then its "Name" and "Comment"
// from the state's buffers; the memory slots are freed.
BOOL RstEditPreset(UiContext* ui, const WCHAR* key);
// Index 0..15: whether preset `index`'s file may be written (RstIsWritable); else 0.
BOOL RstIsPresetWritable(UiContext* ui, int index);
