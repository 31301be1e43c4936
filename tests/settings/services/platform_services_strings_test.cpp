#include <gtest/gtest.h>

#include <string>

#include "core/machine_root.h"
#include "settings/services/string_convert.h"
#include "support/temp_root.h"

namespace {

TEST(StringConvertTest, FixedFieldsGetWholeCharactersAndANul) {
  velm::test::TempMachineRoot root;
  char narrow[8];
  EXPECT_EQ(StrWideToAnsi(narrow, sizeof narrow, u"qnset.ini"), 7);  // cut to the field
  EXPECT_STREQ(narrow, "qnset.i");
  EXPECT_EQ(StrWideToAnsi(narrow, sizeof narrow, u"d\u00e9j\u00e0"), 4);  // one byte each in 1252
  EXPECT_STREQ(narrow, "d\xe9j\xe0");
  // A character outside the code page becomes the default, as the code page converts it (one
  // per unit of the pair); a field one byte short takes neither half.
  EXPECT_EQ(StrWideToAnsi(narrow, sizeof narrow, u"\U0001F600x"), 3);
  EXPECT_STREQ(narrow, "??x");
  EXPECT_EQ(StrWideToAnsi(narrow, 2, u"\U0001F600x"), 0);
  WCHAR wide[4];
  EXPECT_EQ(StrAnsiToWide(wide, 4, "\xe9t\xe9s"), 3);
  EXPECT_EQ(std::u16string(wide), u"\u00e9t\u00e9");
  EXPECT_EQ(StrAnsiToWide(wide, 1, "abc"), 0);
  EXPECT_EQ(wide[0], 0);
}

TEST(StringConvertTest, ADoubleByteCharacterIsNeverSplit) {
  velm::test::TempMachineRoot root;
  ASSERT_TRUE(velm::platform::SetMachineSetting("codepage", "932"));
  char narrow[4];
  EXPECT_EQ(StrWideToAnsi(narrow, sizeof narrow, u"\u65e5\u672c"), 2);  // the second would need bytes 3-4
  WCHAR wide[3];
  ASSERT_EQ(StrAnsiToWide(wide, 3, narrow), 1);
  EXPECT_EQ(wide[0], u'\u65e5');
  char odd[] = {'a', static_cast<char>(0x93), 0};  // a lead byte with nothing after it
  EXPECT_EQ(StrAnsiToWide(wide, 3, odd), 2);
}

}  // namespace
