#include "exclude/command_lines.h"

#include <cstring>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool EndsToken(char c) { return IsBlank(c) || c == '\r' || c == '\n' || c == '\0'; }

const char* SkipBlanks(const char* p) {
  while (IsBlank(*p)) ++p;
  return p;
}

// The keyword at `p` followed by at least one blank; the position after the blanks or null.
const char* ExpectKeyword(const char* p, const char* keyword) {
  const size_t length = std::strlen(keyword);
  if (std::strncmp(p, keyword, length) != 0 || !IsBlank(p[length])) return nullptr;
  return SkipBlanks(p + length);
}

// Copies the token at `p` into `out`; the position after it, or null for an empty token or
// one that does not fit.
const char* ReadToken(const char* p, char* out) {
  DWORD length = 0;
  while (!EndsToken(p[length])) {
    if (++length >= kExcTokenBytes) return nullptr;
  }
  if (length == 0) return nullptr;
  std::memcpy(out, p, length);
  out[length] = 0;
  return p + length;
}

}  // namespace

int ExcParseSetLine(const char* text, char* name, char* value) {
  if (!text || !name || !value) return kExcLineEnd;
  name[0] = 0;
  value[0] = 0;
  const char* p = SkipBlanks(text);
  if (*p == 0) return kExcLineEnd;
  if (!(p = ExpectKeyword(p, "@PJL")) || !(p = ExpectKeyword(p, "SET")) || !(p = ReadToken(p, name))) {
    name[0] = 0;
    return kExcLineMalformed;
  }
  // The name token ends at a blank, so a "=" straight after it belongs to the name.
  p = SkipBlanks(p);
  if (*p == '=') p = ReadToken(SkipBlanks(p + 1), value);
  else p = nullptr;
  if (p) p = SkipBlanks(p);
  if (!p || p[0] != '\r' || p[1] != '\n') {
    name[0] = 0;
    value[0] = 0;
    return kExcLineMalformed;
  }
  const size_t consumed = static_cast<size_t>(p + 2 - text);
  // A block longer than the result can count is refused rather than misread.
  if (consumed > 0x7FFFFFFF) return kExcLineMalformed;
  return static_cast<int>(consumed);
}

BOOL ExcFindLineValue(const char* block, const char* name, char* value) {
  if (!value) return FALSE;
  value[0] = 0;
  if (!block || !name) return FALSE;
  char lineName[kExcTokenBytes];
  char lineValue[kExcTokenBytes];
  for (const char* p = block;;) {
    const int used = ExcParseSetLine(p, lineName, lineValue);
    if (used <= 0) return FALSE;
    if (std::strcmp(lineName, name) == 0) {
      std::memcpy(value, lineValue, std::strlen(lineValue) + 1);
      return TRUE;
    }
    p += used;
  }
}
