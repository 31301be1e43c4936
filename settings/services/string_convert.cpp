#include "settings/services/string_convert.h"

#include <cstring>

namespace {

bool IsSurrogatePair(LPCWSTR text) {
  return text[0] >= 0xD800 && text[0] <= 0xDBFF && text[1] >= 0xDC00 && text[1] <= 0xDFFF;
}

}  // namespace

bool StrConvertsToAnsiExactly(WCHAR c) {
  char bytes[8];
  BOOL lost = FALSE;
  const int count = WideCharToMultiByte(CP_ACP, 0, &c, 1, bytes, sizeof bytes, nullptr, &lost);
  WCHAR back[2] = {};
  return count > 0 && !lost && MultiByteToWideChar(CP_ACP, 0, bytes, count, back, 2) == 1 && back[0] == c;
}

bool StrConvertsToAnsiExactly(LPCWSTR text) {
  for (LPCWSTR at = text; at && *at; ++at)
    if (!StrConvertsToAnsiExactly(*at)) return false;
  return true;
}

int StrWideToAnsi(LPSTR out, int capacity, LPCWSTR source) {
  if (!out || capacity <= 0) return 0;
  int written = 0;
  for (LPCWSTR at = source; at && *at;) {
    const int units = IsSurrogatePair(at) ? 2 : 1;
    char bytes[8];
    const int length = WideCharToMultiByte(CP_ACP, 0, at, units, bytes, sizeof bytes, nullptr, nullptr);
    if (length <= 0 || written + length > capacity - 1) break;
    std::memcpy(out + written, bytes, length);
    written += length;
    at += units;
  }
  out[written] = 0;
  return written;
}

int StrAnsiToWide(LPWSTR out, int capacity, LPCSTR source) {
  if (!out || capacity <= 0) return 0;
  int written = 0;
  for (LPCSTR at = source; at && *at;) {
    const int bytes = IsDBCSLeadByte(static_cast<BYTE>(*at)) && at[1] ? 2 : 1;
    WCHAR units[2];
    const int length = MultiByteToWideChar(CP_ACP, 0, at, bytes, units, 2);
    if (length <= 0 || written + length > capacity - 1) break;
    std::memcpy(out + written, units, length * sizeof(WCHAR));
    written += length;
    at += bytes;
  }
  out[written] = 0;
  return written;
}
