// Forms: the built-in paper sizes (in the order of the DMPAPER_ numbers, so that form n is
// paper size n) and the forms added on this machine. Sizes are thousandths of a millimetre.
#include <algorithm>

#include "core/unicode.h"
#include "core/winerror.h"
#include "spool/spool_internal.h"

namespace velm::platform {
namespace {

struct BuiltinForm {
  const char16_t* name;
  LONG width;
  LONG length;
};

constexpr BuiltinForm kBuiltinForms[] = {
    {u"Letter", 215900, 279400},              // 1
    {u"Letter Small", 215900, 279400},        // 2
    {u"Tabloid", 279400, 431800},             // 3
    {u"Ledger", 431800, 279400},              // 4
    {u"Legal", 215900, 355600},               // 5
    {u"Statement", 139700, 215900},           // 6
    {u"Executive", 184150, 266700},           // 7
    {u"A3", 297000, 420000},                  // 8
    {u"A4", 210000, 297000},                  // 9
    {u"A4 Small", 210000, 297000},            // 10
    {u"A5", 148000, 210000},                  // 11
    {u"B4 (JIS)", 257000, 364000},            // 12
    {u"B5 (JIS)", 182000, 257000},            // 13
    {u"Folio", 215900, 330200},               // 14
    {u"Quarto", 215000, 275000},              // 15
    {u"10x14", 254000, 355600},               // 16
    {u"11x17", 279400, 431800},               // 17
    {u"Note", 215900, 279400},                // 18
    {u"Envelope #9", 98425, 225425},          // 19
    {u"Envelope #10", 104775, 241300},        // 20
    {u"Envelope #11", 114300, 263525},        // 21
    {u"Envelope #12", 120650, 279400},        // 22
    {u"Envelope #14", 127000, 292100},        // 23
    {u"C size sheet", 431800, 558800},        // 24
    {u"D size sheet", 558800, 863600},        // 25
    {u"E size sheet", 863600, 1117600},       // 26
    {u"Envelope DL", 110000, 220000},         // 27
    {u"Envelope C5", 162000, 229000},         // 28
    {u"Envelope C3", 324000, 458000},         // 29
    {u"Envelope C4", 229000, 324000},         // 30
    {u"Envelope C6", 114000, 162000},         // 31
    {u"Envelope C65", 114000, 229000},        // 32
    {u"Envelope B4", 250000, 353000},         // 33
    {u"Envelope B5", 176000, 250000},         // 34
    {u"Envelope B6", 176000, 125000},         // 35
    {u"Envelope", 110000, 230000},            // 36
    {u"Envelope Monarch", 98425, 190500},     // 37
    {u"6 3/4 Envelope", 92075, 165100},       // 38
    {u"US Std Fanfold", 377825, 279400},      // 39
    {u"German Std Fanfold", 215900, 304800},  // 40
    {u"German Legal Fanfold", 215900, 330200},// 41
    {u"B4 (ISO)", 250000, 353000},            // 42
    {u"Japanese Postcard", 100000, 148000},   // 43
};

constexpr size_t kMaxFormNameUnits = 63;
constexpr size_t kMaxAddedForms = 1024;

std::vector<SpoolForm> AllForms(const SpoolState& state) {
  std::vector<SpoolForm> forms;
  for (const BuiltinForm& b : kBuiltinForms)
    forms.push_back(SpoolForm{b.name, FORM_BUILTIN, SIZEL{b.width, b.length}, RECTL{0, 0, b.width, b.length}});
  forms.insert(forms.end(), state.forms.begin(), state.forms.end());
  return forms;
}

bool IsBuiltin(std::u16string_view name) {
  return std::any_of(std::begin(kBuiltinForms), std::end(kBuiltinForms),
                     [&](const BuiltinForm& b) { return EqualsNoCase(b.name, name); });
}

void LayoutForm(const SpoolForm& form, InfoLayout& out, size_t index) {
  FORM_INFO_1W info{};
  info.Flags = form.flags;
  info.Size = form.size;
  info.ImageableArea = form.area;
  out.Put(index, info);
  out.String(index, offsetof(FORM_INFO_1W, pName), form.name);
}

bool MayChangeForms(const PrinterHandle& handle) {
  return handle.granted & (handle.server ? SERVER_ACCESS_ADMINISTER : PRINTER_ACCESS_ADMINISTER);
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

}  // namespace
}  // namespace velm::platform

using namespace velm::platform;

extern "C" BOOL EnumFormsW(HANDLE hPrinter, DWORD Level, LPBYTE pForm, DWORD cbBuf, LPDWORD pcbNeeded,
                           LPDWORD pcReturned) {
  if (!LookupPrinterHandle(hPrinter, false)) return FALSE;
  if (!pcReturned || !pcbNeeded) return Fail(ERROR_INVALID_PARAMETER);
  *pcReturned = 0;
  if (Level != 1) return Fail(ERROR_INVALID_LEVEL);
  if (auto fault = RunSpoolHook("EnumFormsW", hPrinter, Level, cbBuf)) return AnswerFault(*fault, pcbNeeded);
  std::shared_ptr<const SpoolState> state;
  if (DWORD error = ShareSpoolState(state); error != ERROR_SUCCESS) return Fail(error);
  const std::vector<SpoolForm> forms = AllForms(*state);
  InfoLayout layout(sizeof(FORM_INFO_1W), forms.size());
  for (size_t i = 0; i < forms.size(); ++i) LayoutForm(forms[i], layout, i);
  if (!layout.Deliver(pForm, cbBuf, pcbNeeded)) return FALSE;
  *pcReturned = static_cast<DWORD>(forms.size());
  return TRUE;
}

extern "C" BOOL GetFormW(HANDLE hPrinter, LPWSTR pFormName, DWORD Level, LPBYTE pForm, DWORD cbBuf,
                         LPDWORD pcbNeeded) {
  if (!LookupPrinterHandle(hPrinter, false)) return FALSE;
  if (!pFormName) return Fail(ERROR_INVALID_PARAMETER);
  if (Level != 1) return Fail(ERROR_INVALID_LEVEL);
  if (auto fault = RunSpoolHook("GetFormW", hPrinter, Level, cbBuf)) return AnswerFault(*fault, pcbNeeded);
  std::shared_ptr<const SpoolState> state;
  if (DWORD error = ShareSpoolState(state); error != ERROR_SUCCESS) return Fail(error);
  for (const SpoolForm& form : AllForms(*state)) {
    if (!EqualsNoCase(form.name, pFormName)) continue;
    InfoLayout layout(sizeof(FORM_INFO_1W), 1);
    LayoutForm(form, layout, 0);
    return layout.Deliver(pForm, cbBuf, pcbNeeded);
  }
  return Fail(ERROR_INVALID_FORM_NAME);
}

extern "C" BOOL AddFormW(HANDLE hPrinter, DWORD Level, LPBYTE pForm) {
  const auto handle = LookupPrinterHandle(hPrinter, false);
  if (!handle) return FALSE;
  if (Level != 1) return Fail(ERROR_INVALID_LEVEL);
  if (!pForm) return Fail(ERROR_INVALID_PARAMETER);
  if (!MayChangeForms(*handle)) return Fail(ERROR_ACCESS_DENIED);
  FORM_INFO_1W info;
  std::memcpy(&info, pForm, sizeof info);
  if (info.Flags & FORM_BUILTIN) return Fail(ERROR_INVALID_PARAMETER);
  const size_t nameLength = Length16(info.pName);
  if (nameLength == 0 || nameLength > kMaxFormNameUnits) return Fail(ERROR_INVALID_FORM_NAME);
  const RECTL& a = info.ImageableArea;
  if (info.Size.cx <= 0 || info.Size.cy <= 0 || a.left < 0 || a.top < 0 || a.right <= a.left ||
      a.bottom <= a.top || a.right > info.Size.cx || a.bottom > info.Size.cy)
    return Fail(ERROR_INVALID_FORM_SIZE);
  const SpoolForm form{info.pName, info.Flags, info.Size, info.ImageableArea};
  const DWORD error = EditSpoolState([&](SpoolState& state) -> DWORD {
    if (IsBuiltin(form.name)) return ERROR_FILE_EXISTS;
    for (const SpoolForm& f : state.forms)
      if (EqualsNoCase(f.name, form.name)) return ERROR_FILE_EXISTS;
    if (state.forms.size() >= kMaxAddedForms) return ERROR_NOT_ENOUGH_MEMORY;
    state.forms.push_back(form);
    return ERROR_SUCCESS;
  });
  return error == ERROR_SUCCESS ? TRUE : Fail(error);
}

extern "C" BOOL DeleteFormW(HANDLE hPrinter, LPWSTR pFormName) {
  const auto handle = LookupPrinterHandle(hPrinter, false);
  if (!handle) return FALSE;
  if (!pFormName) return Fail(ERROR_INVALID_PARAMETER);
  if (!MayChangeForms(*handle)) return Fail(ERROR_ACCESS_DENIED);
  if (IsBuiltin(pFormName)) return Fail(ERROR_INVALID_PARAMETER);
  const DWORD error = EditSpoolState([&](SpoolState& state) -> DWORD {
    const auto removed = std::erase_if(state.forms, [&](const SpoolForm& f) { return EqualsNoCase(f.name, pFormName); });
    return removed ? ERROR_SUCCESS : ERROR_INVALID_FORM_NAME;
  });
  return error == ERROR_SUCCESS ? TRUE : Fail(error);
}
