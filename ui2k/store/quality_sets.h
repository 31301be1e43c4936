// Quality sets and list files of the interface: a set loaded by its list key (by the user, or at
// installation from the driver folder), the whole list reloaded and saved back, and the current
// settings written into the file a list key names.
#pragma once

#include "ui2k/entry/ui_context.h"
#include "win32.h"

// Loads the file that `key` ("QualityList%d") of the printer's section of the settings INI names
// (RstLoadFile, flags 16), then item 867 := the key's "Name". FALSE when no file is listed or the
// load fails.
BOOL RstLoadQualityByKey(UiContext* ui, const WCHAR* key);
// The installation's form: the listed file's name taken in the driver folder, flags 0x2010.
BOOL RstLoadQualityEntry(UiContext* ui, const WCHAR* key);
// Each of "QualityCount" entries (at most 8) loaded and saved back to its file and list row,
// inside one history push and pop with restore: the settings are as before afterwards. FALSE,
// with nothing changed, when the history cannot hold the settings.
BOOL RstReloadQualityList(UiContext* ui);
// The current settings written (flags 4, with the header) into the file `key` names; then the
// preset memory slots are freed. FALSE when no file is listed or the write fails.
BOOL RstSaveToListFile(UiContext* ui, const WCHAR* key);

// The file that `key` of the printer's section of the settings INI names, into `path`
// (MAX_PATH + 1 characters). FALSE (and "") when none, or when it is longer than MAX_PATH - 1.
BOOL RstListedFile(UiContext* ui, const WCHAR* key, WCHAR* path);
