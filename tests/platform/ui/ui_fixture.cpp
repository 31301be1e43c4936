#include "ui_fixture.h"

#include <map>

namespace velm::test {
namespace {

std::map<HWND, std::string>& Names() {
  static std::map<HWND, std::string> names;
  return names;
}

std::string NameOf(HWND window) {
  const auto found = Names().find(window);
  return found != Names().end() ? found->second : std::to_string(GetDlgCtrlID(window));
}

void Log(HWND window, UINT message) { UiLog().push_back(NameOf(window) + ":" + UiMessageName(message)); }

LRESULT CALLBACK TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Log(window, message);
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK TestEditProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Log(window, message);
  const auto notify = [&](WORD code) {
    SendMessageW(GetParent(window), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(GetDlgCtrlID(window)), code),
                 reinterpret_cast<LPARAM>(window));
  };
  switch (message) {
    case WM_SETFOCUS: notify(0x100); return 0;
    case WM_KILLFOCUS: notify(0x200); return 0;
    case WM_GETDLGCODE: return DLGC_WANTCHARS | DLGC_HASSETSEL | DLGC_WANTARROWS;
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

LRESULT CALLBACK TestButtonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Log(window, message);
  switch (message) {
    case WM_GETDLGCODE:
      return (GetWindowLongW(window, GWL_STYLE) & 0xF) == 1 ? DLGC_BUTTON | DLGC_DEFPUSHBUTTON
                                                            : DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
    case 0x00F0: return GetWindowLongPtrW(window, GWLP_USERDATA);  // BM_GETCHECK
    case 0x00F1: SetWindowLongPtrW(window, GWLP_USERDATA, static_cast<LONG_PTR>(wParam)); return 0;
    default: return DefWindowProcW(window, message, wParam, lParam);
  }
}

void Register(const char16_t* name, WNDPROC proc) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = proc;
  wc.lpszClassName = name;
  ASSERT_NE(RegisterClassW(&wc), 0) << GetLastError();
}

}  // namespace

std::vector<std::string>& UiLog() {
  static std::vector<std::string> log;
  return log;
}

std::string UiMessageName(UINT message) {
  static const std::map<UINT, std::string> names = {
      {WM_NCCREATE, "WM_NCCREATE"}, {WM_CREATE, "WM_CREATE"},       {WM_DESTROY, "WM_DESTROY"},
      {WM_NCDESTROY, "WM_NCDESTROY"}, {WM_SETFOCUS, "WM_SETFOCUS"}, {WM_KILLFOCUS, "WM_KILLFOCUS"},
      {WM_COMMAND, "WM_COMMAND"},   {WM_INITDIALOG, "WM_INITDIALOG"}, {WM_PAINT, "WM_PAINT"},
      {WM_TIMER, "WM_TIMER"},       {WM_SIZE, "WM_SIZE"},           {WM_MOVE, "WM_MOVE"},
      {WM_SHOWWINDOW, "WM_SHOWWINDOW"}, {WM_GETDLGCODE, "WM_GETDLGCODE"}, {WM_USER, "WM_USER"},
      {WM_USER + 1, "WM_USER+1"},   {WM_USER + 2, "WM_USER+2"},     {WM_CONTEXTMENU, "WM_CONTEXTMENU"},
      {WM_HELP, "WM_HELP"},         {WM_ERASEBKGND, "WM_ERASEBKGND"}, {WM_LBUTTONDOWN, "WM_LBUTTONDOWN"},
      {WM_MOUSEMOVE, "WM_MOUSEMOVE"}, {WM_SETCURSOR, "WM_SETCURSOR"}, {WM_NCHITTEST, "WM_NCHITTEST"},
      {WM_CAPTURECHANGED, "WM_CAPTURECHANGED"}, {WM_CHAR, "WM_CHAR"}, {WM_KEYDOWN, "WM_KEYDOWN"}};
  const auto found = names.find(message);
  return found != names.end() ? found->second : "0x" + std::to_string(message);
}

void UiNameWindow(HWND window, const std::string& name) { Names()[window] = name; }

std::vector<std::string> UiLogOf(std::initializer_list<UINT> messages) {
  std::vector<std::string> out;
  for (const std::string& entry : UiLog())
    for (UINT message : messages)
      if (entry.size() > UiMessageName(message).size() &&
          entry.compare(entry.size() - UiMessageName(message).size(), std::string::npos, UiMessageName(message)) == 0 &&
          entry[entry.size() - UiMessageName(message).size() - 1] == ':')
        out.push_back(entry);
  return out;
}

void UiTest::SetUp() {
  UiResetAll();
  UiLog().clear();
  Names().clear();
  Register(u"TestWindow", TestWindowProc);
  Register(u"TestEdit", TestEditProc);
  Register(u"TestButton", TestButtonProc);
  Register(u"TestStatic", TestWindowProc);
}

void UiTest::TearDown() {
  UiResetAll();
  if (resources_) FreeLibrary(resources_);
}

HMODULE UiTest::Resources() {
  if (resources_) return resources_;
  const std::filesystem::path target = root_.OnDriveC("Drivers/UiRes.dll");
  std::filesystem::create_directories(target.parent_path());
  std::filesystem::copy_file(ModuleDir() / "test_ui_resource_module.so", target,
                             std::filesystem::copy_options::overwrite_existing);
  resources_ = LoadLibraryW(u"C:\\Drivers\\UiRes.dll");
  EXPECT_NE(resources_, nullptr) << GetLastError();
  return resources_;
}

}  // namespace velm::test
