#include "gr2k/pjl_templates.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "data/item_ids.h"
#include "settings/items/block_handles.h"
#include "settings/description/command_node_values.h"
#include "settings/description/access.h"
#include "settings/items/store.h"
#include "settings/context/memory.h"
#include "settings/persistence/paths.h"
#include "settings/items/settings_record.h"
#include "settings/services/spooler_info.h"
#include "settings/services/string_convert.h"

namespace {

// The settings' font blocks: device fonts {u16 id, 2 bytes, 32 UTF-16 units}, substitutions
// {32 UTF-16 units, 32 UTF-16 units}. Names go out as at most 32 ANSI bytes.
constexpr DWORD kDeviceFontRowBytes = 68;
constexpr DWORD kDeviceFontNameAt = 4;
constexpr DWORD kFontPairRowBytes = 128;
constexpr DWORD kFontNameUnits = 32;
constexpr int kFontNameBytes = 32;
constexpr WORD kNoDeviceFont = 0xFFFF;

constexpr int kPathBytes = MAX_PATH;        // ANSI paths, NUL included
constexpr DWORD kLogFileNameBytes = 260;    // what is asked of the printer data
constexpr int kNameBytes = 2 * kNameChars;  // a printer or driver name in a double-byte code page

constexpr BYTE kFirstFontModelClass = 130;  // "qnfont1?.rcm"
constexpr BYTE kSecondFontModelClass = 131; // "qnfont2?.rcm"

// Only a damaged block nests deeper (the parser allows 32 levels).
constexpr int kMaxDepth = 64;
// No job-control text comes near this; it keeps the count far from overflowing.
constexpr DWORD kMaxTextBytes = 1u << 24;

// ---- Writing ---------------------------------------------------------------------------------

void Put(PjlText* text, const char* bytes, DWORD n) {
  if (n == 0 || text->overflow) return;
  if (n > kMaxTextBytes - text->length || (text->buffer && n > text->capacity - text->length)) {
    text->overflow = true;
    return;
  }
  if (text->buffer) std::memcpy(text->buffer + text->length, bytes, n);
  text->length += n;
}

void Put(PjlText* text, const char* string) {
  if (string) Put(text, string, static_cast<DWORD>(std::strlen(string)));
}

// The two `*OptionCommand` texts of a command node; either may be absent.
struct Command {
  const char* prefix;
  const char* suffix;
};

// prefix + body + suffix; a handler without a body writes no line at all.
void PutFramed(PjlText* text, const Command& command, const char* body, DWORD n) {
  if (!body || n == 0) return;
  Put(text, command.prefix);
  Put(text, body, n);
  Put(text, command.suffix);
}

void PutQuotedFramed(PjlText* text, const Command& command, const char* body, DWORD n) {
  if (n == 0) return;
  Put(text, command.prefix);
  Put(text, "\"");
  Put(text, body, n);
  Put(text, "\"");
  Put(text, command.suffix);
}

// A number in decimal; the length of its digits.
DWORD Decimal(char (&digits)[24], LONGLONG number) {
  return static_cast<DWORD>(std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(number)));
}

// `source` in the ANSI code page, cut to `capacity` with its NUL; text from the machine may
// end up between the double quotes of a PJL line, so its breakers are blanked.
DWORD Narrow(char* out, int capacity, const WCHAR* source) {
  out[0] = '\0';
  if (!source) return 0;
  const int n = StrWideToAnsi(out, capacity, source);
  if (n <= 0) return 0;
  const DWORD kept = CmdBlankLineBreakers(out, static_cast<DWORD>(n));
  out[kept] = '\0';
  return kept;
}

// ---- Reading the settings ------------------------------------------------------------------

const ModelDescription* Description(const DriverContext* context) { return context->description; }

// The rows of a font block of the settings: `countItem` says how many, `tableItem` holds the
// block's handle. Never more rows than the block holds; none without a block or a count.
struct SettingsRows {
  const BYTE* rows;
  DWORD count;
};

SettingsRows FontBlock(DriverContext* context, WORD countItem, WORD tableItem, DWORD rowBytes) {
  const LONG count = static_cast<LONG>(OptGetValue(context, countItem));
  if (count <= 0) return {nullptr, 0};
  SIZE_T bytes = 0;
  const auto* block = static_cast<const BYTE*>(SysBlockGet(OptGetValue(context, tableItem), &bytes));
  if (!block) return {nullptr, 0};
  return {block, static_cast<DWORD>(std::min<SIZE_T>(SIZE_T(count), bytes / rowBytes))};
}

// A 32-unit name of a font row (not always NUL-terminated) in ANSI.
DWORD FontName(const BYTE* units, char (&out)[kFontNameBytes + 1]) {
  WCHAR name[kFontNameUnits + 1];
  std::memcpy(name, units, kFontNameUnits * sizeof(WCHAR));
  name[kFontNameUnits] = 0;
  return Narrow(out, sizeof out, name);
}

// ---- The font lines ------------------------------------------------------------------------
// A line lists its entries separated by slashes and closes its quote after the last; a line
// that would list no entry is not written at all.

void DeviceFontLine(DriverContext* context, PjlText* text) {
  const SettingsRows table = FontBlock(context, kItemDeviceFontNum, kItemDeviceFont, kDeviceFontRowBytes);
  DWORD written = 0;
  for (DWORD i = 0; i < table.count; ++i) {
    const BYTE* row = table.rows + i * kDeviceFontRowBytes;
    const WORD id = DmLoadU16(row, 0);
    if (id == kNoDeviceFont) continue;
    char name[kFontNameBytes + 1];
    const DWORD n = FontName(row + kDeviceFontNameAt, name);
    Put(text, written++ ? "/" : "@PJL SET DEVFONTID = \"");
    char digits[24];
    Put(text, digits, Decimal(digits, id));
    Put(text, "+");
    Put(text, name, n);
  }
  if (written) Put(text, "\" \r\n");
}

void SubstituteFontLine(DriverContext* context, PjlText* text) {
  const SettingsRows table = FontBlock(context, kItemFontTableNum, kItemFontTable, kFontPairRowBytes);
  for (DWORD i = 0; i < table.count; ++i) {
    const BYTE* row = table.rows + i * kFontPairRowBytes;
    char first[kFontNameBytes + 1], second[kFontNameBytes + 1];
    const DWORD n1 = FontName(row, first);
    const DWORD n2 = FontName(row + kFontNameUnits * sizeof(WCHAR), second);
    Put(text, i ? "/" : "@PJL SET SUBFONTTABLE = \"");
    Put(text, first, n1);
    Put(text, "+");
    Put(text, second, n2);
  }
  if (table.count) Put(text, "\" \r\n");
}

// ---- Value handlers ------------------------------------------------------------------------

struct Setting {
  DriverContext* context;
  const ItemTableRow* row;
  const DescNode* node;
  DWORD value;  // the item's model value
  Command command;
};

// The value between the node's texts, written by the kind its UI type selects; a FontTbl value
// that carries font pairs is followed by the substitution table.
void NormalValue(const Setting& s, PjlText* text) {
  const CmdValueKind kind = CmdKindOfNode(s.node);
  char body[kCmdValueTextBytes];
  PutFramed(text, s.command, body, CmdFormatLineValue(s.context, s.row, s.node, kind, s.value, body, sizeof body));
  if ((DescNodeType(s.node) & ~kUiIdentity) != kUiFontTbl) return;
  const ModelDescription* d = Description(s.context);
  for (const DescValue* entry = DescNodeFirstValue(d, s.node); entry; entry = DescNextValue(d, entry)) {
    if (DescValueValue(entry) != s.value) continue;
    if (DescValueFontPairCount(entry) > 0) SubstituteFontLine(s.context, text);
    break;
  }
}

// ---- Special settings ------------------------------------------------------------------------

void DateAndTime(const Setting& s, PjlText* text) {
  ENG_TIME_FIELDS now{};
  EngQueryLocalTime(&now);
  char line[64];
  int n = std::snprintf(line, sizeof line, "@PJL SET DATE = \"%04u/%02u/%02u\" \r\n", unsigned(now.usYear),
                        unsigned(now.usMonth), unsigned(now.usDay));
  Put(text, line, static_cast<DWORD>(n));
  n = std::snprintf(line, sizeof line, "\"%02u:%02u:%02u\"", unsigned(now.usHour), unsigned(now.usMinute),
                    unsigned(now.usSecond));
  PutFramed(text, s.command, line, static_cast<DWORD>(n));
}

void PutScaled(const Setting& s, PjlText* text, LONGLONG number) {
  char digits[24];
  PutFramed(text, s.command, digits, Decimal(digits, number));
}

// A length of the settings in device dots, scaled by the resolution as the command-node codec
// scales it (description/command_node_values.h), negated when `mirrored`. Nothing when it cannot be scaled.
void ScaledByResolution(const Setting& s, PjlText* text, bool mirrored) {
  LONGLONG number = 0;
  if (!CmdScaleToText(s.context, s.node, CmdItemNumber(s.row, s.value), TRUE, &number)) return;
  PutScaled(s, text, mirrored ? -number : number);
}

void ScaledLength(const Setting& s, PjlText* text) { ScaledByResolution(s, text, false); }

void ScaledAcross(const Setting& s, PjlText* text) {
  const DWORD side = OptGetValue(s.context, kItemSimplexBindType);
  ScaledByResolution(s, text, side == 2 || side == 4);
}

void ScaledAlong(const Setting& s, PjlText* text) {
  const DWORD side = OptGetValue(s.context, kItemSimplexBindType);
  ScaledByResolution(s, text, side == 3 || side == 4);
}

void DriverAndPrinter(const Setting& s, PjlText* text) {
  char name[kNameBytes];
  if (const DWORD n = Narrow(name, sizeof name, PrnGetDriverName(s.context))) {
    Put(text, "@PJL SET VELMDRIVERNAME = \"");
    Put(text, name, n);
    Put(text, "\" \r\n");
  }
  PutQuotedFramed(text, s.command, name, Narrow(name, sizeof name, PrnGetPrinterName(s.context)));
}

void PutPath(const Setting& s, PjlText* text, const WCHAR* path) {
  char bytes[kPathBytes];
  PutFramed(text, s.command, bytes, Narrow(bytes, sizeof bytes, path));
}

void SettingsIni(const Setting& s, PjlText* text) { PutPath(s, text, PathGetSettingsIni(s.context)); }

void DriverDirectory(const Setting& s, PjlText* text) { PutPath(s, text, PrnGetDriverDirectory(s.context)); }

// The printer data value "LogFileName" into `out` (at most kLogFileNameBytes); "" when the
// printer has none that is text.
void ReadLogFileName(DriverContext* context, WCHAR (&out)[kLogFileNameBytes / sizeof(WCHAR) + 1]) {
  DWORD type = 0, needed = 0;
  out[0] = 0;
  if (GetPrinterDataW(context->printer, const_cast<LPWSTR>(WSTR("LogFileName")), &type, reinterpret_cast<BYTE*>(out), kLogFileNameBytes,
                      &needed) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ)) {
    out[0] = 0;
    return;
  }
  out[std::min<DWORD>(needed, kLogFileNameBytes) / sizeof(WCHAR)] = 0;
}

void LogFileName(const Setting& s, PjlText* text) {
  WCHAR name[kLogFileNameBytes / sizeof(WCHAR) + 1];
  ReadLogFileName(s.context, name);
  PutPath(s, text, name);
}

// The log file's library beside it: the last three characters become "DLL".
void LogLibraryName(const Setting& s, PjlText* text) {
  WCHAR name[kLogFileNameBytes / sizeof(WCHAR) + 1];
  ReadLogFileName(s.context, name);
  size_t n = 0;
  while (name[n]) ++n;
  if (n > 3) std::memcpy(name + n - 3, WSTR("DLL"), 3 * sizeof(WCHAR));
  PutPath(s, text, name);
}

// The item's string without "-", "(" and ")": a telephone number as the device dials it.
void Digits(const Setting& s, PjlText* text) {
  char string[kCmdValueTextBytes];
  const DWORD n = CmdItemText(s.context, s.row, string, sizeof string);
  DWORD kept = 0;
  for (DWORD i = 0; i < n; ++i) {
    if (string[i] != '-' && string[i] != '(' && string[i] != ')') string[kept++] = string[i];
  }
  PutFramed(text, s.command, string, kept);
}

// The device-font file of the model class: its family by the class, its letter by the media
// (item 378) and the device-font use (item 152, 0 for none).
void DeviceFontFile(const Setting& s, PjlText* text) {
  const BYTE modelClass = ContextModelDefaults(s.context).machineId;
  const DWORD use = OptGetValue(s.context, kItemDeviceFontUse);
  if ((modelClass != kFirstFontModelClass && modelClass != kSecondFontModelClass) || use == 0) return;
  const bool media2 = OptGetValue(s.context, kItemVdmMediaType) == 2;
  WCHAR file[] = WSTR("qnfont1a.rcm");
  file[6] = modelClass == kFirstFontModelClass ? WCH('1') : WCH('2');
  file[7] = media2 ? (use != 1 ? WCH('d') : WCH('c')) : (use != 1 ? WCH('b') : WCH('a'));
  WCHAR path[kPathChars];
  const WCHAR* directory = PrnGetDriverDirectory(s.context);
  if (!directory || !PathJoin(path, kPathChars, {directory, file})) return;
  PutPath(s, text, path);
}

struct SpecialKind {
  DWORD kind;
  void (*write)(const Setting& s, PjlText* text);
};

constexpr SpecialKind kSpecialKinds[] = {
    {1, DateAndTime},    {2, ScaledLength},    {3, DriverAndPrinter}, {5, SettingsIni},
    {6, LogFileName},    {7, LogLibraryName},  {8, Digits},           {9, ScaledAcross},
    {10, ScaledAlong},   {12, DriverDirectory}, {101, DeviceFontFile},
};

// ---- Templates ---------------------------------------------------------------------------------

int RunBranch(DriverContext* context, const DescBranch* branch, PjlText* text, int depth) {
  DescBranchView view{};
  DescReadBranch(Description(context), branch, &view);
  const DescTemplateNode* list =
      !view.program || DescEvaluateCondition(context, view.program) != 0 ? view.thenList : view.elseList;
  return list ? PjlRunTemplate(context, list, text, depth) : 0;
}

int Build(void* opaque, int point, char* buffer, DWORD capacity, DWORD* length) {
  if (length) *length = 0;
  auto* context = static_cast<DriverContext*>(opaque);
  if (!context || !length) return -1;
  PjlText text{buffer, buffer ? capacity : 0, 0, false};
  const int result = PjlMeasureOrWrite(context, DescCommandTree(Description(context), point), &text);
  if (result < 0) return result;
  *length = text.length;
  return result;
}

}  // namespace

int PjlMeasureOrWrite(DriverContext* context, const DescBranch* branch, PjlText* text) {
  if (!context || !text) return -1;
  const DWORD start = text->length;
  int result = RunBranch(context, branch, text, 0);
  if (text->overflow) result = -1;
  if (result == 0 && !text->buffer && text->length > start) result = 1;
  return result;
}

int PjlRunTemplate(DriverContext* context, const DescTemplateNode* list, PjlText* text, int depth) {
  if (depth > kMaxDepth) return -1;
  const ModelDescription* d = Description(context);
  int result = 0;
  for (const DescTemplateNode* node = list; node;) {
    DescTemplateNodeView view{};
    DescReadTemplateNode(d, node, &view);
    switch (view.kind) {
      case kCommandGroup: result = PjlEmitOptionCommand(context, view.itemId, view.number, text); break;
      case kCommandString:
        // The length counts the terminator: a literal of length 1 writes nothing.
        if (view.text && view.textLength > 1) Put(text, view.text, view.textLength - 1);
        result = 0;
        break;
      case kCommandConditional: result = RunBranch(context, view.branch, text, depth + 1); break;
      case kCommandFont:
        DeviceFontLine(context, text);
        result = 0;
        break;
      default: return -1;
    }
    if (result < 0 || text->overflow) return -1;
    node = view.next;
  }
  return result;
}

int PjlEmitOptionCommand(DriverContext* context, WORD itemId, SHORT valueKey, PjlText* text) {
  if (!context || !context->itemTable || !text) return -1;
  const ItemTableRow* row = OptFindItem(context->itemTable, itemId);
  const DescNode* node = row ? CmdFindCommandNode(context, itemId, valueKey) : nullptr;
  if (!node) return -1;
  const DWORD value = OptGetModelValue(context, row);
  if (row->code != 0 && PjlEmitSpecialSetting(context, row->code, row, node, value, text)) return 0;
  const WORD flags = static_cast<WORD>(DescNodeType(node) & ~kUiIdentity);
  if (flags & kUiTypeUnknown) return 0;
  Setting setting{context, row, node, value, {}};
  DescNodeCommand(Description(context), node, &setting.command.prefix, &setting.command.suffix);
  NormalValue(setting, text);
  return 0;
}

BOOL PjlEmitSpecialSetting(DriverContext* context, DWORD kind, const ItemTableRow* row, const DescNode* node,
                           DWORD value, PjlText* text) {
  if (!context || !row || !node || !text) return FALSE;
  for (const SpecialKind& special : kSpecialKinds) {
    if (special.kind != kind) continue;
    Setting setting{context, row, node, value, {}};
    DescNodeCommand(Description(context), node, &setting.command.prefix, &setting.command.suffix);
    special.write(setting, text);
    return TRUE;
  }
  return FALSE;
}

int PjlBuildJobStart(void* context, char* buffer, DWORD capacity, DWORD* length) {
  return Build(context, kPointJobStart, buffer, capacity, length);
}

int PjlBuildPageStart(void* context, char* buffer, DWORD capacity, DWORD* length) {
  return Build(context, kPointPageStart, buffer, capacity, length);
}

int PjlBuildPageEnd(void* context, char* buffer, DWORD capacity, DWORD* length) {
  return Build(context, kPointPageEnd, buffer, capacity, length);
}
