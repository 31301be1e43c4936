#include "settings/services/bidi_saved_info.h"

#include <cstring>
#include <string_view>

#include "settings/context/memory.h"
#include "settings/persistence/file_primitives.h"
#include "settings/persistence/ini_engine.h"
#include "settings/persistence/options.h"
#include "settings/persistence/printer_data.h"
#include "settings/persistence/profile_wrappers.h"
#include "settings/constraints/condition_items.h"
#include "settings/constraints/eval.h"
#include "settings/persistence/settings_export.h"
#include "settings/persistence/folders.h"
#include "settings/services/spooler_info.h"

namespace {

// Keys a transfer section opens with.
constexpr WStringView kTransferHeaderKeys[] = {WSTR("RstVersion"), WSTR("RstMachine"), WSTR("RstLanguage"), WSTR("RstOSKind")};

constexpr DWORD kFlagChars = 16;

// The printer's name, which names its section; null when it is unknown.
const WCHAR* SectionOf(DriverContext* context) {
  const WCHAR* name = context ? PrnGetPrinterName(context) : nullptr;
  return name && name[0] ? name : nullptr;
}

bool EqualsAscii(std::string_view key, WStringView name) {
  if (key.size() != name.size()) return false;
  for (size_t i = 0; i < key.size(); ++i) {
    const auto lower = [](unsigned c) { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    if (lower(static_cast<unsigned char>(key[i])) != lower(name[i])) return false;
  }
  return true;
}

// Whether `key` is one that saving the device information writes: the flag, the transfer
// header or the name of a device-information item.
bool IsSavedKey(DriverContext* context, std::string_view key) {
  if (EqualsAscii(key, kBidiFlagName)) return true;
  for (const WStringView header : kTransferHeaderKeys)
    if (EqualsAscii(key, header)) return true;
  const ItemTable* table = context->itemTable;
  for (SHORT i = 0; table && i < table->count; ++i) {
    const ItemTableRow& row = table->rows[i];
    if (row.name && OptIsDeviceInfoEntry(&row) && EqualsAscii(key, row.name)) return true;
  }
  return false;
}

// The section span of `text` without the saved keys. `kept` (room for the whole span) receives
// the header line and the lines that stay, `*keptBytes` their length; `removed` and `keysLeft`
// tell whether a line went and whether an entry is left.
void FilterSection(DriverContext* context, std::string_view span, char* kept, DWORD* keptBytes, bool& removed,
                   bool& keysLeft) {
  removed = keysLeft = false;
  size_t at = span.find('\n');
  at = at == std::string_view::npos ? span.size() : at + 1;
  std::memcpy(kept, span.data(), at);
  size_t length = at;
  while (at < span.size()) {
    size_t end = span.find('\n', at);
    end = end == std::string_view::npos ? span.size() : end + 1;
    const std::string_view line = span.substr(at, end - at);
    const size_t equals = line.find('=');
    const size_t lineEnd = line.find_first_of("\r\n");
    const bool entry = equals != std::string_view::npos && (lineEnd == std::string_view::npos || equals < lineEnd);
    if (entry && IsSavedKey(context, line.substr(0, equals))) {
      removed = true;
    } else {
      std::memcpy(kept + length, line.data(), line.size());
      length += line.size();
      keysLeft |= entry;
    }
    at = end;
  }
  *keptBytes = static_cast<DWORD>(length);
}

}  // namespace

DWORD BidiGetUserIniPath(WCHAR* buffer) { return PathMakeSharedFile(kBidiUserIni, buffer, MAX_PATH); }

DWORD BidiReadSavedFlag(DriverContext* context) {
  WCHAR path[MAX_PATH];
  const WCHAR* section = SectionOf(context);
  if (!section || !BidiGetUserIniPath(path)) return kBidiSavedFlagAbsent;
  return IniProfileGetInt(section, kBidiFlagName, kBidiSavedFlagAbsent, path);
}

BOOL BidiGetSavedFlag(DriverContext* context) {
  const DWORD flag = BidiReadSavedFlag(context);
  return flag != kBidiSavedFlagAbsent && flag != 0;
}

BOOL BidiSetSavedFlag(DriverContext* context, DWORD value) {
  WCHAR path[MAX_PATH];
  const WCHAR* section = SectionOf(context);
  if (!section || !BidiGetUserIniPath(path)) return FALSE;
  return IniProfileWriteString(section, kBidiFlagName, value ? WSTR("1") : WSTR("0"), path);
}

BOOL BidiSaveSavedInfo(DriverContext* context) {
  WCHAR path[MAX_PATH];
  const WCHAR* section = SectionOf(context);
  if (!section || !BidiGetUserIniPath(path)) return FALSE;
  // The transfer rewrites the whole section; the interface library's flag must outlive it.
  WCHAR exFlag[kFlagChars];
  const LONG exFlagFound = IniProfileLookupString(section, kBidiExFlagName, exFlag, kFlagChars, path);
  if (exFlagFound == kIniLookupFailed) return FALSE;
  const bool hadExFlag = exFlagFound >= 0;
  if (!XferSection(context->printer, context, path, kXferWrite | kXferGroupDeviceInfo)) return FALSE;
  if (hadExFlag) IniProfileWriteString(section, kBidiExFlagName, exFlag, path);
  return BidiSetSavedFlag(context, 1);
}

BOOL BidiLoadSavedInfo(DriverContext* context) {
  WCHAR path[MAX_PATH];
  if (!context || !context->settings || !BidiGetUserIniPath(path)) return FALSE;
  return XferSection(context->printer, context, path, kXferRead | kXferGroupDeviceInfo);
}

BOOL BidiClearSavedSection(DriverContext* context) {
  WCHAR path[MAX_PATH];
  const WCHAR* section = SectionOf(context);
  if (!section || !context->itemTable || !BidiGetUserIniPath(path)) return FALSE;
  if (!PathExists(path)) return TRUE;
  WCHAR safe[kIniMaxNameChars + 1];
  if (!IniMakeSectionName(section, safe, kIniMaxNameChars + 1)) return FALSE;

  DWORD length = 0;
  char* text = IniLoadFile(path, &length);
  if (!text) return FALSE;
  DWORD start = 0, span = 0;
  if (!IniFindSectionSpan(safe, text, length, &start, &span)) {
    IniFreeFile(text);
    return TRUE;
  }
  char* kept = static_cast<char*>(SysAlloc(span));
  if (!kept) {
    IniFreeFile(text);
    return FALSE;
  }
  DWORD keptBytes = 0;
  bool removed = false, keysLeft = false;
  FilterSection(context, std::string_view(text + start, span), kept, &keptBytes, removed, keysLeft);
  IniFreeFile(text);
  BOOL done = TRUE;
  if (removed)
    done = keysLeft ? IniReplaceSection(path, safe, kept, keptBytes) : IniProfileWriteString(section, nullptr, nullptr, path);
  SysFree(kept);
  return done;
}

BOOL BidiGetPrinterDataFlag(DriverContext* context) {
  DWORD flag = 0;
  return context && PrnGetData(context->printer, kBidiFlagName, &flag, sizeof flag) && (flag & 1);
}

BOOL BidiSetPrinterDataFlag(DriverContext* context, DWORD value) {
  return context && PrnSetDataBinary(context->printer, kBidiFlagName, &value, sizeof value);
}

BOOL BidiCanWritePrinterData(DriverContext* context) {
  if (!context) return FALSE;
  DWORD flag = 0;
  PrnGetData(context->printer, kBidiFlagName, &flag, sizeof flag);
  return PrnSetDataBinary(context->printer, kBidiFlagName, &flag, sizeof flag);
}
