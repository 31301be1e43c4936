#include "ui2k/entry/seams.h"

#include "ui2k/pages/page_framework.h"

#include <atomic>
#include <mutex>
#include <utility>

#include "ui2k/store/quality_sets.h"

namespace {

std::mutex g_callsLock;
std::vector<std::string>& Calls() {
  static std::vector<std::string> calls;  // destroyed when the library unloads
  return calls;
}

std::atomic<const UiSeams*> g_seams{&kUiSeamsRecording};

// A record lost for want of memory changes nothing the driver does.
void Note(const char* name) try {
  UiNoteSeamCall(name);
} catch (...) {
}
void Note(const char* name, DWORD a) try {
  UiNoteSeamCall(std::string(name) + " " + std::to_string(a));
} catch (...) {
}
void Note(const char* name, DWORD a, DWORD b) try {
  UiNoteSeamCall(std::string(name) + " " + std::to_string(a) + " " + std::to_string(b));
} catch (...) {
}

}  // namespace

void UiNoteSeamCall(std::string call) {
  std::lock_guard lock(g_callsLock);
  try {
    Calls().push_back(std::move(call));
  } catch (...) {
    // A record lost for want of memory changes nothing the driver does.
  }
}

std::vector<std::string> UiSeamCalls() {
  std::lock_guard lock(g_callsLock);
  return Calls();
}

void UiClearSeamCalls() {
  std::lock_guard lock(g_callsLock);
  Calls().clear();
}

const UiSeams kUiSeamsRecording = {
    [](HANDLE) -> LONG { return Note("InstEnsurePrinterReady"), 1; },
    [](HANDLE, int kind) -> BOOL { return Note("InstInitializePrinter", kind), TRUE; },
    [](HANDLE, int type, int kind) -> BOOL { return Note("InstWriteStamp", type, kind), TRUE; },
    [](UiContext*) { Note("InstHandlePrinterRename"); },
    [](UiContext*, BOOL force) { Note("InstRefreshPresetsOnce", force); },
    [](UiContext*) -> BOOL { return Note("InstRegisterDriverFiles"), TRUE; },
    [](HANDLE) -> BOOL { return Note("InstSetPermission"), TRUE; },
    [](UiContext*) { Note("InstApplyInstallDefaults"); },
    [](HANDLE, const WCHAR*) -> BOOL { return Note("InstRefreshDriverFiles"), TRUE; },
    [](const WCHAR*) -> BOOL { return Note("InstHasInstallData"), FALSE; },
    [](UiContext*) { Note("InstRunPendingInstSet"); },
    [](UiContext*, DWORD flags) -> BOOL { return Note("InstCopyInstallFiles", flags), TRUE; },
    [](UiContext*) { Note("InstImportBatchLists"); },
    [](UiContext*) { Note("InstSaveDeviceSetup"); },
    [](UiContext*, int mode) { Note("InstWriteUserCodeSection", mode); },
    [](UiContext*) -> DWORD { return Note("BidiUiGetExFlag"), 0; },
    [](UiContext*) { Note("BidiUiSetExFlag"); },
    [](UiContext*) { Note("BidiUiSelectSource"); },
    [](UiContext*) { Note("BidiUiApplyDefaults"); },
    [](UiContext*) -> BOOL { return Note("BidiUiFetchInstalledOptions"), TRUE; },
    [](UiContext*) { Note("BidiUiUpdateStatus"); },
    [](UiContext*) -> BOOL { return Note("BidiUiQueryForSummary"), TRUE; },
    [](UiContext*) { Note("SrvImportRemoteSettings"); },
    [](UiContext*, DEVMODEW*, DWORD) -> BOOL { return Note("SrvGetServerDevmode"), FALSE; },
    [](UiContext* ui) {
      Note("LstReloadQualityList");
      RstReloadQualityList(ui);
    },
    [](UiContext* ui, WORD kind) -> BOOL { return SheetAddPages(ui, kind) > 0; },
};

const UiSeams& UiGetSeams() { return *g_seams.load(); }

void UiSetSeams(const UiSeams* seams) { g_seams.store(seams ? seams : &kUiSeamsRecording); }
