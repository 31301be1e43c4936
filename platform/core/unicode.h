// Host-side text helpers of the stand-in: UTF-16 <-> UTF-8 and ASCII case folding.
#pragma once

#include <string>
#include <string_view>

namespace velm::platform {

// Unpaired surrogates and malformed bytes become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);

// Windows compares names (files, keys, sections) without regard to ASCII case.
constexpr char16_t FoldAscii(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);
bool EqualsNoCase(std::string_view a, std::string_view b);
// Negative, zero or positive, as lstrcmpi orders names.
int CompareNoCase(std::u16string_view a, std::u16string_view b);

// Length of a NUL-terminated UTF-16 string (0 for null).
size_t Length16(const char16_t* text);

}  // namespace velm::platform
