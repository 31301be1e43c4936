#include "settings/description/command_node_values.h"

#include <cstdio>
#include <cstring>
#include <iterator>

#include "data/item_ids.h"
#include "settings/description/access.h"
#include "settings/items/store.h"
#include "settings/services/string_convert.h"

namespace {

constexpr LONGLONG kSettingsDotsPerInch = 1200;
// What a value may be on either side of the scaling: a 32-bit item, signed or not.
constexpr LONGLONG kLowestValue = -0x80000000LL;
constexpr LONGLONG kHighestValue = 0xFFFFFFFFLL;
// A decimal text longer than this is no value of any item.
constexpr size_t kMaxDigits = 10;

const ModelDescription* Description(const DriverContext* context) {
  return context ? context->description : nullptr;
}

// The scale pair and, for lengths, the resolution; FALSE when any of them is 0 or missing.
struct Scale {
  LONGLONG n0, n1, dpi;
};

BOOL ReadScale(DriverContext* context, const DescNode* node, BOOL byResolution, Scale* scale) {
  DescRange range{};
  const ModelDescription* d = Description(context);
  if (!d || !node || !DescNodeRange(d, node, &range) || range.n0 == 0 || range.n1 == 0) return FALSE;
  scale->n0 = range.n0;
  scale->n1 = range.n1;
  scale->dpi = 0;
  if (byResolution) {
    scale->dpi = LONG(OptGetValue(context, kItemDstResolutionW));
    if (scale->dpi <= 0) return FALSE;
  }
  return TRUE;
}

// numerator / denominator for a non-zero source; a result of 0 keeps the source's sign as 1 or
// -1. FALSE when it leaves 32 bits.
BOOL Finish(LONGLONG source, LONGLONG numerator, LONGLONG denominator, LONGLONG* result) {
  LONGLONG r = numerator / denominator;
  if (r == 0 && source != 0) r = source < 0 ? -1 : 1;
  if (r < kLowestValue || r > kHighestValue) return FALSE;
  *result = r;
  return TRUE;
}

// Whether a model value parsed for `row` through `node` is one the node's range admits and the
// item's field can hold; a node without a range (or with an inverted one) bounds nothing.
bool Admissible(const ModelDescription* d, const ItemTableRow* row, const DescNode* node, LONGLONG value) {
  DescRange range{};
  if (DescNodeRange(d, node, &range) && range.minimum <= range.maximum &&
      (value < range.minimum || value > range.maximum))
    return false;
  switch (DescriptorType(row->descriptor)) {
    case kTypeS8: return value >= -0x80 && value <= 0x7F;
    case kTypeS16: return value >= -0x8000 && value <= 0x7FFF;
    case kTypeS32: return value >= -0x80000000LL && value <= 0x7FFFFFFF;
    case kTypeU8: return value >= 0 && value <= 0xFF;
    case kTypeU16: return value >= 0 && value <= 0xFFFF;
    case kTypeU32: return value >= 0 && value <= 0xFFFFFFFFLL;
    default: return false;
  }
}

// Bounds every product below: |v| < 2^33, n < 2^16, dpi and 1200 < 2^16, so no product passes
// 2^63.
bool InRange(LONGLONG v) { return v >= kLowestValue && v <= kHighestValue; }

const DescValue* EntryOfValue(const ModelDescription* d, const DescNode* node, DWORD value) {
  for (const DescValue* entry = DescNodeFirstValue(d, node); entry; entry = DescNextValue(d, entry)) {
    if (DescValueValue(entry) == value) return entry;
  }
  return nullptr;
}

// `text` into `out` when it fits with its NUL; its length, else 0 and "".
DWORD CopyOut(const char* text, size_t n, char* out, DWORD capacity) {
  if (!text || n == 0 || n >= capacity) {
    if (capacity) out[0] = '\0';
    return 0;
  }
  std::memcpy(out, text, n);
  out[n] = '\0';
  return DWORD(n);
}

// A decimal number with an optional sign, nothing else. FALSE for anything else.
BOOL ParseDecimal(const char* text, LONGLONG* number) {
  *number = 0;
  if (!text) return FALSE;
  const bool negative = *text == '-';
  if (*text == '-' || *text == '+') ++text;
  size_t digits = 0;
  LONGLONG n = 0;
  for (; *text; ++text) {
    if (*text < '0' || *text > '9' || ++digits > kMaxDigits) return FALSE;
    n = n * 10 + (*text - '0');
  }
  if (digits == 0) return FALSE;
  *number = negative ? -n : n;
  return TRUE;
}

DWORD FormatText(DriverContext* context, const ItemTableRow* row, const DescNode* node, CmdValueKind kind,
                 DWORD value, bool quoted, char* out, DWORD capacity) {
  if (!out || capacity == 0) return 0;
  out[0] = '\0';
  const ModelDescription* d = Description(context);
  if (!d || !row || !node) return 0;
  switch (kind) {
    case kCmdKindName: {
      const char* text = DescValueText(d, EntryOfValue(d, node, value));
      return CopyOut(text, text ? std::strlen(text) : 0, out, capacity);
    }
    case kCmdKindOnOff: {
      const char *off = nullptr, *on = nullptr;
      if (!CmdNodeOnOffTexts(context, node, &off, &on)) return 0;
      const char* text = value != 0 ? on : off;
      return CopyOut(text, text ? std::strlen(text) : 0, out, capacity);
    }
    case kCmdKindNumber: {
      LONGLONG number = 0;
      if (!CmdScaleToText(context, node, CmdItemNumber(row, value), CmdIsResolutionDependent(row), &number)) return 0;
      char digits[24];
      std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(number));
      return CopyOut(digits, std::strlen(digits), out, capacity);
    }
    case kCmdKindString: {
      char text[kCmdValueTextBytes];
      const DWORD n = CmdItemText(context, row, text + 1, sizeof text - 2);
      if (n == 0) return 0;
      if (!quoted) return CopyOut(text + 1, n, out, capacity);
      text[0] = '"';
      text[n + 1] = '"';
      return CopyOut(text, n + 2, out, capacity);
    }
    default:
      return 0;
  }
}

}  // namespace

CmdValueKind CmdKindOfNode(const DescNode* node) {
  if (!node) return kCmdKindNone;
  switch (DescNodeType(node) & ~kUiIdentity) {
    case kUiPickOne:
    case kUiPickPage:
    case kUiPickSlot:
    case kUiFontTbl: return kCmdKindName;
    case kUiBoolean: return kCmdKindOnOff;
    case kUiNumeric: return kCmdKindNumber;
    case kUiString: return kCmdKindString;
    default: return kCmdKindNone;  // PickMany, TypeUnknown and anything else write nothing
  }
}

CmdValueKind CmdKindOfValueType(DWORD valueType) {
  switch (valueType) {
    case kCmdKindName:
    case kCmdKindOnOff:
    case kCmdKindNumber:
    case kCmdKindString: return static_cast<CmdValueKind>(valueType);
    default: return kCmdKindNone;
  }
}

const DescNode* CmdFindCommandNode(DriverContext* context, WORD itemId, SHORT key) {
  const ModelDescription* d = Description(context);
  if (!d) return nullptr;
  // Numbered copies follow the item's first record.
  for (const DescNode* node = DescLookupNode(itemId, context); node; node = DescNextNode(d, node)) {
    if (DescNodeItemId(node) != itemId) continue;
    if ((DescNodeType(node) & kUiIdentity) || DescNodeNumber(node) == key) return node;
  }
  return nullptr;
}

void CmdNodeTexts(DriverContext* context, const DescNode* node, const char** prefix, const char** suffix) {
  const char *before = nullptr, *after = nullptr;
  const ModelDescription* d = Description(context);
  if (d && node) DescNodeCommand(d, node, &before, &after);
  if (prefix) *prefix = before ? before : "";
  if (suffix) *suffix = after ? after : "";
}

BOOL CmdIsResolutionDependent(const ItemTableRow* row) { return row && row->code == 2; }

LONGLONG CmdItemNumber(const ItemTableRow* row, DWORD value) {
  if (!row) return LONGLONG(value);
  const int type = DescriptorType(row->descriptor);
  const bool isSigned = type == kTypeS8 || type == kTypeS16 || type == kTypeS32;
  return isSigned ? LONGLONG(LONG(value)) : LONGLONG(value);
}

BOOL CmdScaleToText(DriverContext* context, const DescNode* node, LONGLONG value, BOOL byResolution,
                    LONGLONG* number) {
  if (!number) return FALSE;
  *number = 0;
  Scale s{};
  if (!InRange(value) || !ReadScale(context, node, byResolution, &s)) return FALSE;
  if (byResolution) return Finish(value, value * s.n0 * s.dpi, s.n1 * kSettingsDotsPerInch, number);
  return Finish(value, value * s.n0, s.n1, number);
}

BOOL CmdScaleFromText(DriverContext* context, const DescNode* node, LONGLONG number, BOOL byResolution,
                      LONGLONG* value) {
  if (!value) return FALSE;
  *value = 0;
  Scale s{};
  if (!InRange(number) || !ReadScale(context, node, byResolution, &s)) return FALSE;
  if (byResolution) return Finish(number, number * s.n1 * kSettingsDotsPerInch, s.n0 * s.dpi, value);
  return Finish(number, number * s.n1, s.n0, value);
}

DWORD CmdFormatValue(DriverContext* context, const ItemTableRow* row, const DescNode* node, CmdValueKind kind,
                     DWORD value, char* out, DWORD capacity) {
  return FormatText(context, row, node, kind, value, true, out, capacity);
}

DWORD CmdFormatLineValue(DriverContext* context, const ItemTableRow* row, const DescNode* node, CmdValueKind kind,
                         DWORD value, char* out, DWORD capacity) {
  return FormatText(context, row, node, kind, value, false, out, capacity);
}

DWORD CmdFormatLine(DriverContext* context, const ItemTableRow* row, const DescNode* node, CmdValueKind kind,
                    DWORD value, char* out, DWORD capacity) {
  if (!out || capacity == 0) return 0;
  char body[kCmdValueTextBytes];
  const DWORD n = CmdFormatLineValue(context, row, node, kind, value, body, sizeof body);
  out[0] = '\0';
  if (n == 0) return 0;
  const char *prefix = nullptr, *suffix = nullptr;
  CmdNodeTexts(context, node, &prefix, &suffix);
  const size_t p = std::strlen(prefix), s = std::strlen(suffix);
  if (p + n + s >= capacity) return 0;
  std::memcpy(out, prefix, p);
  std::memcpy(out + p, body, n);
  std::memcpy(out + p + n, suffix, s);
  out[p + n + s] = '\0';
  return DWORD(p + n + s);
}

DWORD CmdLineBytes(DriverContext* context, const DescNode* node) {
  const char *prefix = nullptr, *suffix = nullptr;
  CmdNodeTexts(context, node, &prefix, &suffix);
  // Description texts are bounded by the image (below 2^27 bytes).
  return DWORD(std::strlen(prefix) + std::strlen(suffix)) + kCmdValueTextBytes;
}

DWORD CmdBlankLineBreakers(char* bytes, DWORD n) {
  for (DWORD i = 0; i < n; ++i) {
    if (static_cast<unsigned char>(bytes[i]) < 0x20 || bytes[i] == '"') bytes[i] = ' ';
  }
  DWORD whole = 0;
  for (DWORD i = 0; i < n;) {
    const DWORD step = IsDBCSLeadByte(static_cast<BYTE>(bytes[i])) ? 2 : 1;
    if (i + step > n) break;
    i += step;
    whole = i;
  }
  return whole;
}

DWORD CmdItemText(DriverContext* context, const ItemTableRow* row, char* out, DWORD capacity) {
  if (!out || capacity == 0) return 0;
  out[0] = '\0';
  if (!row) return 0;
  const int type = DescriptorType(row->descriptor);
  const DWORD field = static_cast<DWORD>(DescriptorLength(row->descriptor));
  const BYTE* at = OptGetItemAddress(context, row);
  if (!at || field == 0) return 0;
  DWORD n = 0;
  if (type == kTypeAnsi || type == kTypeAnsiAlt) {
    // A field cut by the buffer may end inside a double-byte character: the line rule below
    // takes it back to the last whole character.
    while (n < field && n + 1 < capacity && at[n]) ++n;
    std::memcpy(out, at, n);
    out[n] = '\0';
  } else if (type == kTypeWide || type == kTypeWideAlt) {
    WCHAR wide[kCmdValueTextBytes / sizeof(WCHAR) + 1];
    OptGetString(context, row, wide, DWORD(std::size(wide)));
    const int narrowed = StrWideToAnsi(out, int(capacity < 0x7FFFFFFF ? capacity : 0x7FFFFFFF), wide);
    n = narrowed > 0 ? DWORD(narrowed) : 0;
    out[n] = '\0';
  } else {
    return 0;
  }
  n = CmdBlankLineBreakers(out, n);
  out[n] = '\0';
  return n;
}

BOOL CmdParseValue(DriverContext* context, const ItemTableRow* row, const DescNode* node, CmdValueKind kind,
                   const char* text, DWORD* value) {
  if (!value) return FALSE;
  *value = 0;
  const ModelDescription* d = Description(context);
  // An empty text names nothing: not an entry without text, not an empty on or off text.
  if (!d || !row || !node || !text || !*text) return FALSE;
  switch (kind) {
    case kCmdKindName:
      for (const DescValue* entry = DescNodeFirstValue(d, node); entry; entry = DescNextValue(d, entry)) {
        const char* name = DescValueText(d, entry);
        // An entry without text has no name to be asked for.
        if (name && *name && std::strcmp(name, text) == 0) {
          *value = DescValueValue(entry);
          return TRUE;
        }
      }
      return FALSE;
    case kCmdKindOnOff: {
      const char *off = nullptr, *on = nullptr;
      if (!CmdNodeOnOffTexts(context, node, &off, &on)) return FALSE;
      if (on && std::strcmp(on, text) == 0) {
        *value = 1;
        return TRUE;
      }
      return off && std::strcmp(off, text) == 0;
    }
    case kCmdKindNumber: {
      LONGLONG number = 0, scaled = 0;
      if (!ParseDecimal(text, &number)) return FALSE;
      if (number == 0) {
        Scale s{};
        if (!ReadScale(context, node, CmdIsResolutionDependent(row), &s)) return FALSE;
      } else if (!CmdScaleFromText(context, node, number, CmdIsResolutionDependent(row), &scaled)) {
        return FALSE;
      }
      // A number outside the node's range or the item's field is as unreadable as a word.
      if (!Admissible(d, row, node, scaled)) return FALSE;
      *value = static_cast<DWORD>(scaled);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

BOOL CmdParseString(const char* text, char* out, DWORD capacity) {
  if (!text || !out || capacity == 0) return FALSE;
  size_t n = std::strlen(text);
  if (n >= 2 && text[0] == '"' && text[n - 1] == '"') {
    ++text;
    n -= 2;
  }
  if (n >= capacity) {
    out[0] = '\0';
    return FALSE;
  }
  std::memcpy(out, text, n);
  out[n] = '\0';
  return TRUE;
}

BOOL CmdNodeRange(DriverContext* context, const DescNode* node, LONG* lower, LONG* upper, LONG* defaultValue) {
  DescRange range{};
  const ModelDescription* d = Description(context);
  const BOOL found = d && node && DescNodeRange(d, node, &range);
  if (lower) *lower = found ? range.minimum : 0;
  if (upper) *upper = found ? range.maximum : 0;
  if (defaultValue) *defaultValue = found ? range.defaultValue : 0;
  return found;
}

BOOL CmdNodeOnOffTexts(DriverContext* context, const DescNode* node, const char** offText, const char** onText) {
  DescBooleanView block{};
  const ModelDescription* d = Description(context);
  const BOOL found = d && node && DescNodeBoolean(d, node, &block);
  if (offText) *offText = found ? block.falseText : nullptr;
  if (onText) *onText = found ? block.trueText : nullptr;
  return found;
}

BOOL CmdNodeEntry(DriverContext* context, const DescNode* node, DWORD index, const char** text, DWORD* value) {
  if (text) *text = nullptr;
  if (value) *value = 0;
  const ModelDescription* d = Description(context);
  if (!d || !node) return FALSE;
  const DescValue* entry = DescNodeFirstValue(d, node);
  for (DWORD i = 0; entry && i < index; ++i) entry = DescNextValue(d, entry);
  if (!entry) return FALSE;
  if (text) *text = DescValueText(d, entry);
  if (value) *value = DescValueValue(entry);
  return TRUE;
}
