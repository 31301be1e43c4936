#include "settings/services/help_language.h"

#include <string_view>

#include "settings/items/store.h"
#include "settings/items/table.h"
#include "settings/persistence/printer_data.h"

namespace {

constexpr WCHAR kHelpFileValue[] = WSTR("HelpFileName");

WCHAR FoldAscii(WCHAR c) { return c >= WCH('A') && c <= WCH('Z') ? static_cast<WCHAR>(c - WCH('A') + WCH('a')) : c; }

const ResLanguageRow* FindByValue(DWORD value) {
  for (const ResLanguageRow* row = ResGetLanguageTable(); row->value != kLanguageEnd; ++row)
    if (row->value == value) return row;
  return nullptr;
}

// The table row of the language letters of `fileName`, or null.
const ResLanguageRow* FindByFileName(const WCHAR* fileName) {
  if (!fileName) return nullptr;
  const WStringView path(fileName);
  const size_t separator = path.find_last_of(WSTR("\\/"));
  const WStringView name = separator == WStringView::npos ? path : path.substr(separator + 1);
  const size_t dot = name.rfind(WCH('.'));
  if (dot == WStringView::npos || dot < 2) return nullptr;
  const WCHAR first = FoldAscii(name[dot - 2]);
  const WCHAR second = FoldAscii(name[dot - 1]);
  for (const ResLanguageRow* row = ResGetLanguageTable(); row->value != kLanguageEnd; ++row) {
    if (row->code && FoldAscii(row->code[0]) == first && FoldAscii(row->code[1]) == second) return row;
  }
  return nullptr;
}

// The help file name of the context's printer into `buffer`; "" when it has none.
void ReadHelpFile(DriverContext* context, WCHAR (&buffer)[MAX_PATH]) {
  buffer[0] = 0;
  if (context) CfgReadHelpFileName(context->printer, buffer, MAX_PATH);
}

}  // namespace

DWORD CfgReadHelpFileName(HANDLE printer, WCHAR* buffer, DWORD capacity) {
  if (!buffer || capacity == 0) return 0;
  buffer[0] = 0;
  // REG_SZ text, usually with its NUL; one that fills the buffer without a NUL does not fit.
  const DWORD bytes = capacity * sizeof(WCHAR);
  DWORD read = 0;
  if (!PrnGetData(printer, kHelpFileValue, buffer, bytes, &read)) {
    buffer[0] = 0;
    return 0;
  }
  DWORD length = 0;
  while (length < read / sizeof(WCHAR) && buffer[length] != 0) ++length;
  if (length >= capacity) {
    buffer[0] = 0;
    return 0;
  }
  buffer[length] = 0;
  return length;
}

WORD CfgLanguageIdFromFileName(const WCHAR* fileName) {
  const ResLanguageRow* row = FindByFileName(fileName);
  return row ? row->value : kDefaultLanguageValue;
}

const WCHAR* CfgLanguageCodeFromFileName(const WCHAR* fileName) {
  const ResLanguageRow* row = FindByFileName(fileName);
  return row ? row->code : kDefaultLanguageCode;
}

WORD CfgHelpLanguageId(DriverContext* context) {
  WCHAR name[MAX_PATH];
  ReadHelpFile(context, name);
  return CfgLanguageIdFromFileName(name);
}

const WCHAR* CfgHelpLanguageCode(DriverContext* context) {
  WCHAR name[MAX_PATH];
  ReadHelpFile(context, name);
  return CfgLanguageCodeFromFileName(name);
}

const WCHAR* CfgLanguageCodeOfItem(DriverContext* context) {
  const ResLanguageRow* row = FindByValue(OptGetValue(context, kItemLanguageID));
  return row ? row->code : kDefaultLanguageCode;
}

BOOL ResFindLanguage(WORD value, WORD* primaryLanguage, WORD* subLanguage) {
  const ResLanguageRow* row = value == kLanguageEnd ? nullptr : FindByValue(value);
  if (primaryLanguage) *primaryLanguage = row ? static_cast<WORD>(row->primaryLanguage & 0xFF) : 0;
  if (subLanguage) *subLanguage = row ? row->subLanguage : 0;
  return row != nullptr;
}

BOOL ResIsLanguageValue(DWORD value) { return value != kLanguageEnd && FindByValue(value) != nullptr; }
