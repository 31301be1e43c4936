// The built-in value list of the saved-settings items, generated from
// data/saved_settings_values.txt: value n stands for entry n of the saved-settings list, and its
// string (the value's display name) is that entry's key in the list ("PresetList<n>").
#pragma once

#include "win32.h"

extern const WORD kSavedSettingsValues[];
extern const int kSavedSettingsValueCount;
