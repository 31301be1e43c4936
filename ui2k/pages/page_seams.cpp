#include "ui2k/pages/page_seams.h"

#include <atomic>
#include <string>

#include "ui2k/controls/control_classes.h"
#include "ui2k/controls/preview_data.h"
#include "ui2k/entry/seams.h"
#include "ui2k/items/item_setup.h"
#include "ui2k/items/item_dispatcher.h"
#include "ui2k/pages/file_dialogs.h"
#include "ui2k/store/presets.h"
#include "settings/items/store.h"
#include "settings/services/string_convert.h"
#include "data/item_ids.h"

namespace {

std::atomic<const PageSeams*> g_seams{&kPageSeamsRecording};

// A record lost for want of memory changes nothing the driver does.
void Note(const char* name, long long a = -1, long long b = -1) try {
  std::string call = name;
  if (a >= 0) call += " " + std::to_string(a);
  if (b >= 0) call += " " + std::to_string(b);
  UiNoteSeamCall(std::move(call));
} catch (...) {
}

// Saved setting `index` overwritten with the current settings under the name of item 865.
BOOL EditPreset(UiContext* ui, int index) {
  if (index < 0 || index > 15) return FALSE;
  WCHAR text[kUiTextChars] = {};
  OptGetString(ui->driver, OptFindItem(ui->driver->itemTable, kItemPresetName), text, kUiTextChars);
  StrWideToAnsi(ui->state.presetName, sizeof ui->state.presetName, text);
  WCHAR key[16];
  wsprintfW(key, WSTR("PresetList%d"), index);
  return RstEditPreset(ui, key);
}

}  // namespace

const PageSeams kPageSeamsRecording = {
    PageItemProc,
    PageItemSetup,
    CtlFindClass,
    FdlgRunFileDialog,
    [](UiContext*) -> DWORD { return 0; },
    [](UiContext*, const WCHAR*, int) -> int { return -1; },
    RstIsPresetWritable,
    EditPreset,
    [](UiContext*, const WCHAR*) -> int { return Note("DlgAppendPreset"), -1; },
    [](UiContext* ui, int index) { RstSavePresetByIndex(ui, index); },
    [](UiContext*, int, int, WCHAR* buffer, DWORD capacity) {
      if (buffer && capacity) buffer[0] = 0;
    },
};

const PageSeams& PageGetSeams() { return *g_seams.load(); }

void PageSetSeams(const PageSeams* seams) { g_seams.store(seams ? seams : &kPageSeamsRecording); }
