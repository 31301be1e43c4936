// The common property-sheet host: sheet functions (the caller's and the nested ones they add)
// collect pages through pfnComPropSheet, then one modal sheet shows them all.
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <vector>

#include "core/modules.h"
#include "core/winerror.h"
#include "ui/compstui.h"

namespace velm::ui {
namespace {

constexpr WCHAR kDefaultTitle[] = u"Document";
constexpr size_t kMaxNesting = 16;  // nested sheet functions adding sheet functions

struct Host;

// One sheet function and its info; its address is its hComPropSheet.
struct SheetFunction {
  Host* host = nullptr;
  SheetFunction* parent = nullptr;
  PFNPROPSHEETUI function = nullptr;
  PROPSHEETUI_INFO info{};
  size_t depth = 0;
};

// A page a sheet function added; its address is the handle ADD_HPROPSHEETPAGE answers.
struct AddedPage {
  HPROPSHEETPAGE page = nullptr;
};

struct Host {
  std::vector<std::unique_ptr<SheetFunction>> functions;  // in the order they were added
  std::vector<std::unique_ptr<AddedPage>> pages;
  bool sheetShown = false;  // pages can no longer be added
};

std::mutex g_lock;
bool g_refusePages = false;

std::set<SheetFunction*>& LiveFunctions() {
  static auto* live = new std::set<SheetFunction*>();
  return *live;
}

SheetFunction* FindFunction(HANDLE handle) {
  std::lock_guard lock(g_lock);
  auto* function = static_cast<SheetFunction*>(handle);
  return LiveFunctions().count(function) ? function : nullptr;
}

bool RefusesPages() {
  std::lock_guard lock(g_lock);
  return g_refusePages;
}

LONG Call(SheetFunction& function, WORD reason, LPARAM lParam) {
  function.info.Reason = reason;
  return function.function(&function.info, lParam);
}

LONG_PTR ComPropSheet(HANDLE hComPropSheet, UINT function, LPARAM lParam1, LPARAM lParam2);

SheetFunction* AddFunction(Host& host, SheetFunction* parent, PFNPROPSHEETUI function, LPARAM lParamInit) {
  auto entry = std::make_unique<SheetFunction>();
  entry->host = &host;
  entry->parent = parent;
  entry->function = function;
  entry->depth = parent ? parent->depth + 1 : 0;
  entry->info.cbSize = sizeof(PROPSHEETUI_INFO);
  entry->info.Version = PROPSHEETUI_INFO_VERSION;
  entry->info.hComPropSheet = entry.get();
  entry->info.pfnComPropSheet = ComPropSheet;
  entry->info.lParamInit = lParamInit;
  entry->info.Result = static_cast<ULONG_PTR>(CPSUI_CANCEL);
  SheetFunction* added = entry.get();
  host.functions.push_back(std::move(entry));
  std::lock_guard lock(g_lock);
  LiveFunctions().insert(added);
  return added;
}

LONG_PTR AddPage(SheetFunction& owner, HPROPSHEETPAGE page) {
  Host& host = *owner.host;
  if (host.sheetShown || RefusesPages()) return 0;
  auto added = std::make_unique<AddedPage>();
  added->page = page;
  const LONG_PTR handle = reinterpret_cast<LONG_PTR>(added.get());
  host.pages.push_back(std::move(added));
  return handle;
}

LONG_PTR ComPropSheet(HANDLE hComPropSheet, UINT function, LPARAM lParam1, LPARAM lParam2) {
  SheetFunction* owner = FindFunction(hComPropSheet);
  if (!owner) return 0;
  try {
    switch (function) {
      case CPSFUNC_ADD_HPROPSHEETPAGE: {
        auto page = reinterpret_cast<HPROPSHEETPAGE>(lParam1);
        if (!page) return 0;
        return AddPage(*owner, page);
      }
      case CPSFUNC_ADD_PROPSHEETPAGEW: {
        if (!lParam1 || owner->host->sheetShown || RefusesPages()) return 0;
        HPROPSHEETPAGE page = CreatePropertySheetPageW(reinterpret_cast<LPCPROPSHEETPAGEW>(lParam1));
        if (!page) return 0;
        const LONG_PTR handle = AddPage(*owner, page);
        if (!handle) DestroyPropertySheetPage(page);
        return handle;
      }
      case CPSFUNC_ADD_PFNPROPSHEETUIW: {
        auto nested = reinterpret_cast<PFNPROPSHEETUI>(lParam1);
        if (!nested || owner->host->sheetShown || owner->depth + 1 >= kMaxNesting) return 0;
        SheetFunction* added = AddFunction(*owner->host, owner, nested, lParam2);
        if (Call(*added, PROPSHEETUI_REASON_INIT, lParam2) <= 0) {
          std::lock_guard lock(g_lock);
          LiveFunctions().erase(added);  // stays in the host's list, but gets no more reasons
          added->function = nullptr;
          return 0;
        }
        return reinterpret_cast<LONG_PTR>(added);
      }
      case CPSFUNC_GET_PAGECOUNT:
        return static_cast<LONG_PTR>(owner->host->pages.size());
      case CPSFUNC_SET_RESULT: {
        owner->info.Result = static_cast<ULONG_PTR>(lParam2);
        if (owner->parent && owner->parent->function) {
          SETRESULT_INFO result{};
          result.cbSize = sizeof result;
          result.hSetResult = owner;
          result.Result = lParam2;
          Call(*owner->parent, PROPSHEETUI_REASON_SET_RESULT, reinterpret_cast<LPARAM>(&result));
        }
        return 1;
      }
      default:
        return 0;
    }
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

// DESTROY to every sheet function that took INIT, the nested ones (last added first) before
// the caller's.
void DestroyAll(Host& host, bool ok) {
  for (auto it = host.functions.rbegin(); it != host.functions.rend(); ++it)
    if ((*it)->function) Call(**it, PROPSHEETUI_REASON_DESTROY, ok ? TRUE : FALSE);
}

// The host's handles die with the call. Pages the sheet never took are the host's to free
// (a handle that is not a live page is ignored by DestroyPropertySheetPage).
void Forget(Host& host) {
  {
    std::lock_guard lock(g_lock);
    for (auto& function : host.functions) LiveFunctions().erase(function.get());
  }
  for (auto& added : host.pages) DestroyPropertySheetPage(added->page);
  host.pages.clear();
}

// Also gives back a library or entry a test withdrew.
void ResetHost() {
  {
    std::lock_guard lock(g_lock);
    g_refusePages = false;
  }
  velm::platform::WithdrawSystemModule(u"compstui.dll", false);
  velm::platform::WithdrawSystemExport("CommonPropertySheetUIW", false);
}

struct ResetRegistration {
  ResetRegistration() { UiOnReset(ResetHost); }
} g_resetRegistration;

}  // namespace
}  // namespace velm::ui

using namespace velm::ui;

extern "C" LONG CommonPropertySheetUIW(HWND owner, PFNPROPSHEETUI sheetFunction, LPARAM lParam, LPDWORD result) {
  if (result) *result = static_cast<DWORD>(CPSUI_CANCEL);
  if (!sheetFunction) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return ERR_CPSUI_GETLASTERROR;
  }
  try {
    Host host;
    SheetFunction& root = *AddFunction(host, nullptr, sheetFunction, lParam);
    if (Call(root, PROPSHEETUI_REASON_INIT, lParam) <= 0) {
      Forget(host);
      return ERR_CPSUI_GETLASTERROR;
    }

    PROPSHEETUI_INFO_HEADER header{};
    header.cbSize = sizeof header;
    header.hWndParent = owner;
    LONG outcome = Call(root, PROPSHEETUI_REASON_GET_INFO_HEADER, reinterpret_cast<LPARAM>(&header)) > 0
                       ? CPSUI_OK
                       : ERR_CPSUI_GETLASTERROR;
    if (outcome == CPSUI_OK && host.pages.empty()) outcome = ERR_CPSUI_NO_PROPSHEETPAGE;
    if (outcome != CPSUI_OK) {
      DestroyAll(host, false);
      Forget(host);
      return outcome;
    }

    std::vector<HPROPSHEETPAGE> pages;
    for (auto& added : host.pages) pages.push_back(added->page);
    std::u16string title =
        header.pTitle && !IS_INTRESOURCE(header.pTitle) ? std::u16string(header.pTitle) : std::u16string(kDefaultTitle);
    PROPSHEETHEADERW sheet{};
    sheet.dwSize = sizeof sheet;
    sheet.dwFlags = PSH_DEFAULT;
    if (header.Flags & PSUIHDRF_NOAPPLYNOW) sheet.dwFlags |= PSH_NOAPPLYNOW;
    if (header.Flags & PSUIHDRF_PROPTITLE) sheet.dwFlags |= PSH_PROPTITLE;
    sheet.hwndParent = header.hWndParent;
    sheet.hInstance = header.hInst;
    sheet.pszCaption = title.c_str();
    sheet.nPages = static_cast<UINT>(pages.size());
    sheet.phpage = pages.data();
    host.sheetShown = true;
    const INT_PTR shown = PropertySheetW(&sheet);  // frees the pages
    host.pages.clear();

    const bool ok = shown > 0;
    DestroyAll(host, ok);
    if (result && shown >= 0) *result = static_cast<DWORD>(root.info.Result);
    Forget(host);
    if (shown < 0) return ERR_CPSUI_CREATEPROPPAGE_FAILED;
    return ok ? CPSUI_OK : CPSUI_CANCEL;
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return ERR_CPSUI_ALLOCMEM_FAILED;
  }
}

void UiSetComPropSheetRefusesPages(bool refuse) {
  std::lock_guard lock(g_lock);
  g_refusePages = refuse;
}
