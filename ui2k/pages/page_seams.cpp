#include "ui2k/pages/page_seams.h"

#include <atomic>
#include <string>

#include "ui2k/entry/seams.h"

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

}  // namespace

const PageSeams kPageSeamsRecording = {
    [](UiContext*, PageTemplate*, HWND, UINT, WPARAM, LPARAM, INT_PTR*) -> BOOL { return FALSE; },
    [](UiContext*) { Note("PageItemSetup"); },
    [](WORD) -> const CtlClass* { return nullptr; },
    [](UiContext*, DWORD kind, WORD pageId, HWND) -> INT_PTR { return Note("FdlgRunFileDialog", kind, pageId), 2; },
    [](UiContext*) -> DWORD { return 0; },
    [](UiContext*, const WCHAR*, int) -> int { return -1; },
    [](UiContext*, int) -> BOOL { return TRUE; },
    [](UiContext*, int index) -> BOOL { return Note("RstEditPreset", index), TRUE; },
    [](UiContext*, const WCHAR*) -> int { return Note("DlgAppendPreset"), -1; },
    [](UiContext*, int index) { Note("RstSavePresetByIndex", index); },
    [](UiContext*, int, int, WCHAR* buffer, DWORD capacity) {
      if (buffer && capacity) buffer[0] = 0;
    },
};

const PageSeams& PageGetSeams() { return *g_seams.load(); }

void PageSetSeams(const PageSeams* seams) { g_seams.store(seams ? seams : &kPageSeamsRecording); }
