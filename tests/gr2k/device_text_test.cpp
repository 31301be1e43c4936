// Text in the device's character set, every mode, on a machine of code page 932 and of 1252.
// Expected bytes are worked out from data/device_code_page.txt by hand: the coded rows number
// from 01 (row 03) in row order, so row 04 has lead 02, row 20 lead 03, row 65 lead 24 and
// row FF lead 69; rows 04 and 20 code only low bytes below 80.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/machine_root.h"
#include "gr2k/device_text.h"
#include "support/temp_root.h"

namespace velm::test {
namespace {

using Bytes = std::vector<BYTE>;

Bytes Convert(std::u16string_view text, BYTE mode, DWORD capacity = 64) {
  Bytes out(capacity + 4, 0xEE);
  const DWORD n = TxtUnicodeToDevice(out.data(), capacity, reinterpret_cast<const WCHAR*>(text.data()),
                                     static_cast<DWORD>(text.size() * sizeof(char16_t)), mode);
  EXPECT_LE(n, capacity);
  for (size_t i = n; i < out.size(); ++i) EXPECT_EQ(out[i], 0xEE) << "written past the answer at " << i;
  out.resize(n);
  return out;
}

struct ModeCase {
  const char* what;
  char16_t c;
  Bytes plain, twoByte, engine932;
};

class DeviceTextTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(platform::SetMachineSetting("codepage", "932")); }
  TempMachineRoot root_;
};

TEST_F(DeviceTextTest, EveryModeCodesEachKindOfCharacter) {
  const ModeCase cases[] = {
      {"ASCII", u'A', {0x41}, {0x9F, 0x41}, {0x41}},
      {"half-width katakana", u'\uFF71', {0x69, 0x71}, {0x69, 0x71}, {0xB1}},
      {"a two-byte character", u'\u65E5', {0x24, 0xE5}, {0x24, 0xE5}, {0x93, 0xFA}},
      {"a special on no lead byte", u'\u20AC', {0x80}, {0x80}, {0x80}},
      {"a special on a lead byte", u'\u2026', {0x85}, {0x03, 0x26}, {0x81, 0x63}},
      {"a control special", u'\u0090', {0x90}, {0x9F, 0x90}, {0x3F}},
      {"a C1 control without a special", u'\u0085', {0x9F, 0x85}, {0x9F, 0x85}, {0x3F}},
      {"Latin-1 above A0", u'\u00E9', {0xE9}, {0x9F, 0xE9}, {0x3F}},
      {"a low half row, low byte below 80", u'\u0410', {0x02, 0x10}, {0x02, 0x10}, {0x84, 0x40}},
      {"a low half row, low byte above 80", u'\u0490', {0x80}, {0x80}, {0x3F}},
      {"a row the device lacks", u'\u0E01', {0x80}, {0x80}, {0x3F}},
      {"a private-use character", u'\uE001', {0x5F, 0x01}, {0x5F, 0x01}, {0xF0, 0x41}},
  };
  for (const ModeCase& c : cases) {
    const std::u16string text(1, c.c);
    EXPECT_EQ(Convert(text, kDeviceTextPlain), c.plain) << c.what;
    EXPECT_EQ(Convert(text, 0x01), c.plain) << c.what << " (any other mode)";
    EXPECT_EQ(Convert(text, kDeviceTextTwoByte), c.twoByte) << c.what;
    EXPECT_EQ(Convert(text, kDeviceTextEngine), c.engine932) << c.what;
  }
}

TEST_F(DeviceTextTest, TheEngineModeFollowsTheMachineCodePage) {
  ASSERT_TRUE(platform::SetMachineSetting("codepage", "1252"));
  EXPECT_EQ(Convert(u"\u00E9\u2026\uFF71", kDeviceTextEngine), (Bytes{0xE9, 0x85, 0x3F}));
  // The other modes do not depend on the machine.
  EXPECT_EQ(Convert(u"\u00E9\u2026\uFF71", kDeviceTextPlain), (Bytes{0xE9, 0x85, 0x69, 0x71}));
}

TEST_F(DeviceTextTest, TheCapacityStopsBeforeACharacterThatDoesNotFitWhole) {
  struct Case {
    std::u16string text;
    BYTE mode;
    DWORD capacity;
    Bytes expected;
  };
  const Case cases[] = {
      {u"A\uFF71B", kDeviceTextPlain, 2, {0x41}},            // katakana needs two; B after it is not taken
      {u"A\uFF71B", kDeviceTextPlain, 3, {0x41, 0x69, 0x71}},
      {u"AB", kDeviceTextTwoByte, 3, {0x9F, 0x41}},
      {u"AB", kDeviceTextTwoByte, 1, {}},
      {u"A\u65E5", kDeviceTextEngine, 2, {0x41}},
      {u"\uFF71\uFF72", kDeviceTextEngine, 1, {0xB1}},        // half-width katakana is one byte here
      {u"\u2026A", kDeviceTextPlain, 1, {0x85}},
      {u"ABC", kDeviceTextPlain, 0, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(Convert(c.text, c.mode, c.capacity), c.expected) << c.capacity;
}

TEST_F(DeviceTextTest, AnOddByteCountConvertsWholeCharactersOnly) {
  const char16_t text[] = u"AB";
  BYTE out[8] = {};
  EXPECT_EQ(TxtUnicodeToDevice(out, sizeof out, reinterpret_cast<const WCHAR*>(text), 3, kDeviceTextPlain), 1u);
  EXPECT_EQ(TxtUnicodeToDevice(nullptr, sizeof out, reinterpret_cast<const WCHAR*>(text), 4, kDeviceTextPlain), 0u);
  EXPECT_EQ(TxtUnicodeToDevice(out, sizeof out, nullptr, 4, kDeviceTextPlain), 0u);
}

}  // namespace
}  // namespace velm::test
