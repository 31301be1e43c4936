#include "sheet_command.h"

#include <vector>

#include "core/path_map.h"
#include "core/unicode.h"
#include "settings/context/driver_context.h"
#include "settings/items/table.h"
#include "settings/services/resource_strings.h"
#include "settings/persistence/paths.h"
#include "ui/dialog_template.h"
#include "win32.h"

namespace velm::tools {
namespace {

using platform::Utf16ToUtf8;
using platform::Utf8ToUtf16;

bool Fail(std::string* error, const std::string& message) {
  if (error) *error = message;
  return false;
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

std::u16string ModulePath(HMODULE module) {
  WCHAR path[MAX_PATH] = {};
  GetModuleFileNameW(module, path, MAX_PATH);
  return path;
}

// "C:\x.dll", "\\server\x.dll" and "\x.dll" are Windows paths; anything else is a host path,
// which must lie inside the machine root to be loaded.
bool WindowsModulePath(const std::filesystem::path& given, std::u16string* path, std::string* error) {
  const std::string text = given.string();
  const bool windows = (text.size() >= 2 && text[1] == ':') || text.starts_with("\\");
  if (windows) {
    *path = Utf8ToUtf16(text);
    return true;
  }
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(given, ec);
  *path = ec ? std::u16string() : platform::HostToWindowsPath(absolute);
  if (path->empty()) return Fail(error, "the module " + text + " lies outside the machine root");
  return true;
}

// True for a template made to be a child window: a property-sheet page.
bool IsPageTemplate(HMODULE module, WORD id) {
  const HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), RT_DIALOG);
  const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(module, found)));
  const auto dialog = data ? ui::DecodeDialogTemplate(data, SizeofResource(module, found)) : std::nullopt;
  return dialog && (dialog->style & WS_CHILD);
}

std::string CreateFailure(const std::string& what, DWORD why) {
  return what + " cannot be created" +
         (why == ERROR_CANNOT_FIND_WND_CLASS ? ": a control's window class is not registered"
                                             : " (error " + std::to_string(why) + ")");
}

// Draws `window` into the picture file; an empty text, or what went wrong.
std::string Picture(HWND window, const SheetOptions& options, UiImage* image) {
  if (!UiRenderWindow(window, image)) return "the dialog cannot be drawn";
  if (!UiSaveWindowPng(window, options.output)) return "cannot write " + options.output.string();
  return {};
}

// A page is seen as the one page of a property sheet, frame, tab and buttons around it: the
// sheet's script draws the frame and cancels.
bool RenderPage(HMODULE module, const SheetOptions& options, const std::u16string& caption, UiImage* image,
                std::string* error) {
  const std::string what = "page template " + std::to_string(options.page);
  PROPSHEETPAGEW page{};
  page.dwSize = sizeof page;
  page.hInstance = module;
  page.pszTemplate = MAKEINTRESOURCEW(options.page);
  page.pfnDlgProc = PlainDialogProc;
  HPROPSHEETPAGE handle = CreatePropertySheetPageW(&page);
  if (!handle) return Fail(error, CreateFailure(what, GetLastError()));
  PROPSHEETHEADERW header{};
  header.dwSize = sizeof header;
  header.dwFlags = PSH_PROPTITLE;
  header.pszCaption = caption.c_str();
  header.nPages = 1;
  header.phpage = &handle;
  bool shown = false;
  std::string problem;
  UiSetNextSheetScript([&](HWND frame) {
    shown = true;
    UiPump();
    problem = Picture(frame, options, image);
    PostMessageW(frame, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
  });
  const INT_PTR result = PropertySheetW(&header);  // releases the page whatever happens
  const DWORD why = GetLastError();
  UiSetNextSheetScript(nullptr);
  if (!shown) return Fail(error, CreateFailure(what, result < 0 ? why : ERROR_INVALID_DATA));
  return problem.empty() || Fail(error, problem);
}

// The dialog or page of `module` rendered into the file; the module stays loaded.
bool Render(HMODULE module, const SheetOptions& options, const std::u16string& caption, SheetReport* report,
            std::string* error) {
  const std::string where = Utf16ToUtf8(ModulePath(module));
  if (!FindResourceW(module, MAKEINTRESOURCEW(options.page), RT_DIALOG))
    return Fail(error, where + " has no dialog template " + std::to_string(options.page));
  UiImage image;
  report->page = IsPageTemplate(module, options.page);
  if (report->page) {
    if (!RenderPage(module, options, caption, &image, error)) {
      if (error) *error += " (" + where + ")";
      return false;
    }
  } else {
    const HWND dialog = CreateDialogParamW(module, MAKEINTRESOURCEW(options.page), nullptr, PlainDialogProc, 0);
    if (!dialog)
      return Fail(error, CreateFailure("dialog template " + std::to_string(options.page) + " of " + where,
                                       GetLastError()));
    UiPump();
    const std::string problem = Picture(dialog, options, &image);
    DestroyWindow(dialog);
    if (!problem.empty()) return Fail(error, problem);
  }
  report->module = ModulePath(module);
  report->width = image.width;
  report->height = image.height;
  return true;
}

// The printer's interface library (its driver's configuration file), loaded; null when the
// printer has none.
HMODULE LoadInterfaceLibrary(HANDLE printer) {
  DWORD needed = 0;
  GetPrinterDriverW(printer, nullptr, 2, nullptr, 0, &needed);
  std::vector<BYTE> buffer(needed ? needed : 1);
  if (!needed || !GetPrinterDriverW(printer, nullptr, 2, buffer.data(), needed, &needed)) return nullptr;
  const auto* info = reinterpret_cast<const DRIVER_INFO_2W*>(buffer.data());
  return info->pConfigFile ? LoadLibraryW(info->pConfigFile) : nullptr;
}

// A tab page of the printer's document or device sheet, drawn from the sheet the driver itself
// shows through the common property-sheet host: its pages, their controls as the driver sets
// them, and the page in front. False with a message when the driver or the host is missing or
// the sheet does not have the page.
bool RenderDriverSheet(HANDLE printer, const SheetOptions& options, DWORD sheetKind, SheetReport* report,
                       std::string* error) {
  const HMODULE driver = LoadInterfaceLibrary(printer);
  const HMODULE host = LoadLibraryW(u"compstui.dll");
  using SheetHost = LONG (*)(HWND, PFNPROPSHEETUI, LPARAM, LPDWORD);
  const char* entry = sheetKind == kPageDocumentTab ? "DrvDocumentPropertySheets" : "DrvDevicePropertySheets";
  auto sheetFunction = driver ? reinterpret_cast<PFNPROPSHEETUI>(reinterpret_cast<void (*)()>(GetProcAddress(driver, entry))) : nullptr;
  auto run = host ? reinterpret_cast<SheetHost>(reinterpret_cast<void (*)()>(GetProcAddress(host, "CommonPropertySheetUIW"))) : nullptr;
  std::string problem;
  bool shown = false;
  UiImage image;
  if (!sheetFunction || !run) {
    problem = "the printer's interface library or the property-sheet host cannot be loaded";
  } else {
    UiSetNextSheetScript([&](HWND frame) {
      shown = true;
      int index = -1;
      for (int i = 0; i < UiSheetPageCount(frame); ++i)
        if (UiSheetPageTemplateId(frame, i) == options.page) index = i;
      if (index < 0) {
        problem = "the printer's sheet has no page " + std::to_string(options.page);
      } else {
        SendMessageW(frame, PSM_SETCURSEL, static_cast<WPARAM>(index), 0);
        UiPump();
        problem = Picture(frame, options, &image);
      }
      PostMessageW(frame, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    });
    DOCUMENTPROPERTYHEADER document{};
    document.cbSize = sizeof document;
    document.hPrinter = printer;
    document.pszPrinterName = const_cast<LPWSTR>(options.printer.c_str());
    document.fMode = DM_PROMPT;
    DEVICEPROPERTYHEADER device{};
    device.cbSize = sizeof device;
    device.hPrinter = printer;
    device.pszPrinterName = const_cast<LPWSTR>(options.printer.c_str());
    const LPARAM header = sheetKind == kPageDocumentTab ? reinterpret_cast<LPARAM>(&document) : reinterpret_cast<LPARAM>(&device);
    DWORD result = 0;
    run(nullptr, sheetFunction, header, &result);
    UiSetNextSheetScript(nullptr);
    if (!shown && problem.empty()) problem = "the printer's sheet cannot be shown";
  }
  if (host) FreeLibrary(host);
  if (driver) FreeLibrary(driver);
  if (!problem.empty()) return Fail(error, problem);
  report->module = u"the printer's sheet";
  report->width = image.width;
  report->height = image.height;
  report->page = true;
  return true;
}

// The sheet whose tab page `page` is (kPageDocumentTab, kPageDeviceTab), or 0.
DWORD SheetOfPage(WORD page) {
  const PageTemplate* row = OptFindPage(OptGetStaticPageTable(), page);
  if (!row) return 0;
  if (row->kind & kPageDocumentTab) return kPageDocumentTab;
  if (row->kind & kPageDeviceTab) return kPageDeviceTab;
  return 0;
}

}  // namespace

bool SaveSheetPicture(const SheetOptions& options, SheetReport* report, std::string* error) {
  SheetReport local;
  SheetReport& out = report ? *report : local;
  if (error) error->clear();
  if (options.output.empty()) return Fail(error, "no picture file named");
  if (options.page == 0) return Fail(error, "no dialog template named");

  if (!options.module.empty()) {
    std::u16string path;
    if (!WindowsModulePath(options.module, &path, error)) return false;
    const HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
      return Fail(error, "cannot load " + Utf16ToUtf8(path) + " (error " + std::to_string(GetLastError()) + ")");
    const bool ok = Render(module, options, u"Document", &out, error);
    FreeLibrary(module);
    return ok;
  }

  HANDLE printer = nullptr;
  PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ACCESS_USE};
  if (!OpenPrinterW(const_cast<LPWSTR>(options.printer.c_str()), &printer, &defaults))
    return Fail(error, "cannot open printer \"" + Utf16ToUtf8(options.printer) + "\" (error " +
                           std::to_string(GetLastError()) + ")");
  if (const DWORD sheetKind = SheetOfPage(options.page)) {
    const bool ok = RenderDriverSheet(printer, options, sheetKind, &out, error);
    ClosePrinter(printer);
    return ok;
  }
  DriverContext* context = CtxCreateEx(printer, 0, kKindModelDefaults, 0, 0, nullptr);
  bool ok = false;
  if (!context) {
    Fail(error, "cannot open the settings of printer \"" + Utf16ToUtf8(options.printer) + "\"");
  } else if (const HMODULE module = ResLoadDll(context); !module) {
    const WCHAR* path = PathGetLocalizedModelFile(context);
    Fail(error, "the user-interface resource library " + (path ? Utf16ToUtf8(path) : std::string("of the model")) +
                    " of printer \"" + Utf16ToUtf8(options.printer) + "\" cannot be loaded");
  } else {
    ok = Render(module, options, options.printer, &out, error);
  }
  CtxDestroyEx(context, kReleaseDestroy);
  ClosePrinter(printer);
  return ok;
}

}  // namespace velm::tools
