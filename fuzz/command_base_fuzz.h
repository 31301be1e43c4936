// A command base under arbitrary input: the bytes (up to the first NUL, which is added) are the
// block handed to ExcSetCommandBase on a session. Shared by the fuzz target and the test that
// replays its corpus.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

#include "exclude/command_lines.h"
#include "exclude/exc_session.h"
#include "exclude/velmexc.h"

namespace velm::fuzz {

// Whether `text` of `length` bytes (its NUL included) is whole SET lines and the NUL.
inline bool IsWholeBlock(const char* text, DWORD length) {
  if (!text || length == 0 || text[length - 1] != 0 || std::strlen(text) + 1 != length) return false;
  char name[kExcTokenBytes];
  char value[kExcTokenBytes];
  for (const char* p = text;;) {
    const int used = ExcParseSetLine(p, name, value);
    if (used < 0) return false;
    if (used == 0) return true;
    p += used;
  }
}

// Applies one input as a base and checks what every base must leave: a documented result, the
// change size reported, a base and change list that are whole blocks (or absent), and a refused
// block that left the previous base as it was. "" when all held, else what broke.
inline std::string CheckCommandBase(EXCSESSION session, const uint8_t* data, size_t size) {
  const std::string block(reinterpret_cast<const char*>(data), size);
  const std::string before(session->base ? session->base : "", session->baseLength);
  uint32_t changeSize = 0xFFFFFFFF;
  const int32_t result = ExcSetCommandBase(session, block.c_str(), &changeSize);
  if (result < -2 || result > 1) return "result " + std::to_string(result);
  if (result == kExcFailed) {
    if (std::string(session->base ? session->base : "", session->baseLength) != before) return "a refused block changed the base";
    return {};
  }
  if (result == kExcNoData) return session->baseLength == 0 ? "" : "a base kept after -2";
  if (changeSize != session->changeLength) return "the change size reported is not the list's";
  if ((result == kExcMore) != (session->changeLength > 0)) return "the result does not say whether changes wait";
  if (!IsWholeBlock(session->base, session->baseLength)) return "the stored base is not whole SET lines";
  if (session->changeLength && !IsWholeBlock(session->changes, session->changeLength))
    return "the change list is not whole SET lines";
  return {};
}

}  // namespace velm::fuzz
