// The theme library: the classic look is the only one, so SetWindowTheme only records.
#include "core/strings.h"
#include "ui/gdi_internal.h"

namespace velm::ui {
namespace {

std::vector<UiThemeCall>& Calls() {
  static std::vector<UiThemeCall> calls;
  return calls;
}

}  // namespace

void ResetThemeCalls() {
  std::lock_guard lock(GdiMutex());
  Calls().clear();
}

}  // namespace velm::ui

using namespace velm::ui;

extern "C" HRESULT SetWindowTheme(HWND window, LPCWSTR subAppName, LPCWSTR subIdList) {
  std::lock_guard lock(GdiMutex());
  Calls().push_back({window, subAppName ? subAppName : u"", subIdList ? subIdList : u""});
  return S_OK;
}

std::vector<UiThemeCall> UiThemeCalls() {
  std::lock_guard lock(GdiMutex());
  return Calls();
}
