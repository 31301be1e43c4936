// The INI engine's parser under arbitrary text: one input is a section name line, a key line
// and the file text after them. Shared by the fuzz target and the test that replays its corpus.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "settings/persistence/ini_engine.h"

namespace velm::fuzz {

// Bytes as UTF-16 units one for one, so that every byte value reaches the engine's narrowing.
inline std::u16string Widen(std::string_view bytes) {
  std::u16string out;
  for (unsigned char c : bytes) out += static_cast<char16_t>(c);
  return out;
}

inline bool IsLineStart(const char* text, const char* at) { return at == text || at[-1] == '\n'; }

// Runs the readers, the planner and the builder over one input; "" when every invariant held,
// else what broke.
inline std::string CheckIniEngine(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const size_t firstEnd = input.find('\n');
  const size_t secondEnd = firstEnd == std::string_view::npos ? firstEnd : input.find('\n', firstEnd + 1);
  if (secondEnd == std::string_view::npos) return {};
  // Names are C strings to the engine: they end at a NUL.
  std::u16string section = Widen(input.substr(0, firstEnd));
  std::u16string key = Widen(input.substr(firstEnd + 1, secondEnd - firstEnd - 1));
  section.resize(std::char_traits<char16_t>::length(section.c_str()));
  key.resize(std::char_traits<char16_t>::length(key.c_str()));
  const std::string text(input.substr(secondEnd + 1));  // owns a NUL after the bytes
  const auto length = static_cast<DWORD>(text.size());

  // The span lies inside the text and starts a line with '['.
  DWORD start = 0;
  DWORD span = 0;
  const bool hasSpan = IniFindSectionSpan(section.c_str(), text.data(), length, &start, &span);
  if (hasSpan && (static_cast<uint64_t>(start) + span > length || text[start] != '[' ||
                  !IsLineStart(text.data(), text.data() + start) || span == 0))
    return "span outside the text or not at a header";

  // The section the NUL-ended finder gives starts a line, and agrees with the span finder when
  // the text holds no NUL. For this finder the text ends at its first NUL.
  const char* found = IniFindSection(section.c_str(), text.c_str());
  const char* textEnd = text.c_str() + std::strlen(text.c_str());
  if (found && (found < text.c_str() || found > textEnd)) return "section outside the text";
  if (found && found != textEnd && !IsLineStart(text.c_str(), found)) return "section not at a line";
  if (text.find('\0') == std::string::npos && (found != nullptr) != hasSpan) return "the two finders disagree";

  // Cursor reads end, and every cursor stays inside the section's text.
  if (found) {
    const auto sectionLength = static_cast<LONG>(textEnd - found);
    LONG cursor = 0;
    WCHAR value[16];
    for (int i = 0; i < 4; ++i) {
      IniGetString(key.c_str(), u"d", value, 16, found, &cursor);
      if (cursor < 0 || cursor > sectionLength) return "cursor outside the section";
      IniGetInt(key.c_str(), 0, found, &cursor);
      if (cursor < 0 || cursor > sectionLength) return "cursor outside the section";
    }
  }

  // A rewrite keeps what lies around the old section and drops only its span.
  const IniRewritePlan plan = IniPlanRewrite(section.c_str(), text.data(), length, "x", 1);
  if (plan.keepEnd > plan.resumeAt || plan.resumeAt > length) return "plan outside the text";
  if (hasSpan != (plan.keepEnd != plan.resumeAt) || (hasSpan && plan.keepEnd != start))
    return "plan does not follow the span";

  // What the builder accepts reads back: the section is found and the key gives its value.
  IniSectionText built{};
  const std::u16string value = Widen(text.substr(0, 64));
  std::string failure;
  if (!section.empty() && !key.empty() && IniAppendSection(&built, section.c_str()) &&
      IniAppendEntry(&built, key.c_str(), value.c_str())) {
    const char* again = IniFindSection(section.c_str(), built.bytes);
    WCHAR read[80];
    LONG cursor = 0;
    if (!again) {
      failure = "built section not found";
    } else if (IniLookupString(key.c_str(), read, 80, again, &cursor) < 0) {
      failure = "built key not found";
    } else {
      std::u16string expected = value;
      IniNormalizeValue(expected.data());
      expected.resize(std::char_traits<char16_t>::length(expected.c_str()));
      bool printable = true;
      for (char16_t c : expected) printable = printable && c >= 0x20 && c < 0x7F;
      if (printable && expected != read) failure = "built value reads back changed";
    }
  }
  IniFreeSectionText(&built);
  return failure;
}

}  // namespace velm::fuzz
