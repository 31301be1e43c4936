// Message boxes answered by the test script, beeps and help calls, all recorded, and the record
// of events a test did not arrange for.
#include <algorithm>
#include <mutex>

#include "core/winerror.h"
#include "ui/window_manager.h"

namespace velm::ui {
namespace {

// WinHelpW's (control id, help id) lists end with 0, 0; a list without an end stops here.
constexpr size_t kMaxHelpPairs = 1024;

struct Records {
  std::recursive_mutex lock;
  std::function<int(const UiMessageBoxCall&)> boxScript;
  std::vector<UiMessageBoxCall> boxes;
  std::vector<UiBeepCall> beeps;
  std::vector<UiWinHelpCall> help;
  std::vector<std::string> unexpected;
  std::function<void(const std::string&)> unexpectedHook;
};

Records& records() {
  static Records* instance = new Records;
  return *instance;
}

// The answers a box of `type` offers.
std::vector<int> Answers(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OK: return {IDOK};
    case MB_OKCANCEL: return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE: return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO: return {IDYES, IDNO};
    case MB_RETRYCANCEL: return {IDRETRY, IDCANCEL};
    default: return {};
  }
}

}  // namespace

int UnscriptedAnswer(UINT type) {
  switch (type & MB_TYPEMASK) {
    case MB_OK: return IDOK;
    case MB_YESNO: return IDNO;
    case MB_ABORTRETRYIGNORE: return IDABORT;
    default: return IDCANCEL;
  }
}

void ResetRecords() {
  Records& r = records();
  std::lock_guard guard(r.lock);
  r.boxScript = nullptr;
  r.boxes.clear();
  r.beeps.clear();
  r.help.clear();
  r.unexpected.clear();
  r.unexpectedHook = nullptr;
}

}  // namespace velm::ui

using namespace velm::ui;

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  const std::vector<int> offered = Answers(type);
  if (offered.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  UiMessageBoxCall call{owner, text ? text : u"", caption ? caption : u"Error", type};
  std::function<int(const UiMessageBoxCall&)> script;
  {
    Records& r = records();
    std::lock_guard guard(r.lock);
    r.boxes.push_back(call);
    script = r.boxScript;
  }
  const std::string what(call.text.begin(), call.text.end());
  if (!script) {
    UiReportUnexpected("unscripted message box: " + what);
    return UnscriptedAnswer(type);
  }
  const int answer = script(call);
  if (std::find(offered.begin(), offered.end(), answer) == offered.end()) {
    UiReportUnexpected("the script answered " + std::to_string(answer) + " to a box that does not offer it: " + what);
    return UnscriptedAnswer(type);
  }
  return answer;
}

BOOL MessageBeep(UINT type) {
  Records& r = records();
  std::lock_guard guard(r.lock);
  r.beeps.push_back(UiBeepCall{type});
  return TRUE;
}

BOOL WinHelpW(HWND window, LPCWSTR helpFile, UINT command, ULONG_PTR data) {
  UiWinHelpCall call{window, helpFile ? helpFile : u"", command, data, {}};
  if ((command == HELP_WM_HELP || command == HELP_CONTEXTMENU) && data) {
    const auto* pairs = reinterpret_cast<const DWORD*>(data);
    for (size_t i = 0; i < kMaxHelpPairs && (pairs[2 * i] || pairs[2 * i + 1]); ++i) {
      call.pairs.push_back(pairs[2 * i]);
      call.pairs.push_back(pairs[2 * i + 1]);
    }
  }
  Records& r = records();
  std::lock_guard guard(r.lock);
  r.help.push_back(std::move(call));
  return TRUE;
}

void UiSetMessageBoxScript(std::function<int(const UiMessageBoxCall&)> script) {
  Records& r = records();
  std::lock_guard guard(r.lock);
  r.boxScript = std::move(script);
}

const std::vector<UiMessageBoxCall>& UiMessageBoxCalls() { return records().boxes; }
const std::vector<UiBeepCall>& UiMessageBeeps() { return records().beeps; }
const std::vector<UiWinHelpCall>& UiWinHelpCalls() { return records().help; }
const std::vector<std::string>& UiUnexpectedEvents() { return records().unexpected; }

void UiReportUnexpected(const std::string& text) {
  std::function<void(const std::string&)> hook;
  {
    Records& r = records();
    std::lock_guard guard(r.lock);
    r.unexpected.push_back(text);
    hook = r.unexpectedHook;
  }
  if (hook) hook(text);
}

void UiSetUnexpectedHook(std::function<void(const std::string&)> hook) {
  Records& r = records();
  std::lock_guard guard(r.lock);
  r.unexpectedHook = std::move(hook);
}
