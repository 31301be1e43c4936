// The built-in value list of the saved-settings items, generated from
// data/saved_settings_values.txt: value n stands for entry n of the saved-settings list, and its
// string (the value's display name) is that entry's key in the list ("PresetList<n>").
#pragma once

#include "win32.h"

extern const WORD kSavedSettingsValues[];
extern const int kSavedSettingsValueCount;

// The current saved setting (vdmPresetNo) is stored as the entry index, or kPresetNoneIndex for
// none; its model values (through the item's value map) are kPresetFirstValue + index and
// kPresetNoneValue.
constexpr DWORD kPresetFirstValue = 119;
constexpr DWORD kPresetNoneValue = kPresetFirstValue - 1;
constexpr DWORD kPresetSlotCount = 16;
constexpr DWORD kPresetLastValue = kPresetFirstValue + kPresetSlotCount - 1;
constexpr DWORD kPresetNoneIndex = 255;
