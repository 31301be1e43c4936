// The text, path, font and image checks of the application records, in tables of cases.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "core/machine_root.h"
#include "exclude/api_text_checks.h"
#include "support/temp_root.h"
#include "win32.h"

namespace velm::test {
namespace {

struct TextCase {
  const char* text;
  int expected;
};

TEST(ApiTextChecksTest, NamesAndFileNames) {
  const TextCase alnum[] = {{"", 1}, {"abc123", 1}, {"ab-1", 0}, {"a b", 0}, {"\xE4", 0}};
  for (const auto& c : alnum) EXPECT_EQ(ApiIsAlnumName(c.text), c.expected) << c.text;
  EXPECT_EQ(ApiIsAlnumName(nullptr), 0);

  const TextCase fileNames[] = {{"report.txt", 1}, {"a/b", 0},  {"a:b", 0}, {"a;b", 0}, {"a,b", 0},
                                {"a*b", 0},        {"a?b", 0},  {"a\"b", 0}, {"a<b", 0}, {"a>b", 0},
                                {"a|b", 0},        {"a\\b", 0}, {"", 1}};
  for (const auto& c : fileNames) EXPECT_EQ(ApiIsValidFileName(c.text, FALSE), c.expected) << c.text;
  EXPECT_EQ(ApiIsValidFileName("dir\\file", TRUE), 1);
  EXPECT_EQ(ApiIsValidFileName(nullptr, TRUE), 0);

  const TextCase paths[] = {{"C:\\dir\\file.txt", 1}, {"C:\\dir\\fi*le.txt", 0}, {"dir\\file", 1},
                            {"C:\\a:b", 0},           {"\\\\server\\share\\f", 1}, {"1:\\x", 0}};
  for (const auto& c : paths) EXPECT_EQ(ApiIsValidPath(c.text), c.expected) << c.text;
}

TEST(ApiTextChecksTest, FileNamePartsAndExtensions) {
  struct Case {
    const char* path;
    const char* part;
    const char* extension;
    DWORD length;
  };
  const Case cases[] = {
      {"C:\\a\\file.rpo", "file.rpo", "rpo", 3},
      {"C:\\a.b\\file", "file", "C:\\a.b\\file", 0},  // the only dot is in a folder name
      {"file.tar.gz", "file.tar.gz", "gz", 2},
      {"C:\\dir\\", "", "C:\\dir\\", 0},
      {"name.", "name.", "", 0},
  };
  for (const auto& c : cases) {
    EXPECT_STREQ(ApiFileNamePart(c.path), c.part) << c.path;
    DWORD length = 99;
    EXPECT_STREQ(ApiFileExtension(c.path, &length), c.extension) << c.path;
    EXPECT_EQ(length, c.length) << c.path;
  }
  const TextCase overlays[] = {{"C:\\x\\F.RPO", 1}, {"C:\\x\\f.rpo", 1}, {"F.rpo", 0},       {"C:\\x\\f.rp", 0},
                               {"C:\\x\\f*.rpo", 0}, {"C:\\x.rpo\\f", 0}, {"C:\\x\\f.rpox", 0}};
  for (const auto& c : overlays) EXPECT_EQ(ApiIsOverlayFileName(c.text), c.expected) << c.text;
  for (DWORD kind : {0u, 4u, 128u}) EXPECT_EQ(ApiIsSupportedJobKind(kind), 0) << kind;
  for (DWORD kind : {1u, 2u, 3u}) EXPECT_EQ(ApiIsSupportedJobKind(kind), 1) << kind;
}

TEST(ApiTextChecksTest, DoubleByteTextNeverMatchesATrailByteNorPassesTheEnd) {
  TempMachineRoot root;
  ASSERT_TRUE(platform::SetMachineSetting("codepage", "932"));
  // 0x81 0x5C is one character whose trail byte is a backslash; 0x83 0x7C's is "|".
  EXPECT_EQ(ApiHasChar("\x81\x5C", '\\'), 0);
  EXPECT_EQ(ApiHasChar("a\\", '\\'), 1);
  EXPECT_EQ(ApiIsValidFileName("\x83\x7C.txt", FALSE), 1);
  EXPECT_EQ(ApiIsValidFileName("\x81\x5C", FALSE), 1);
  EXPECT_STREQ(ApiFileNamePart("C:\\\x81\x5C"), "\x81\x5C");
  // A lead byte just before the end stops at the NUL; the byte after it is never looked at.
  const char buffer[] = {'a', '\x81', 0, '\\', 0};
  EXPECT_EQ(ApiHasChar(buffer, '\\'), 0);
  EXPECT_EQ(ApiIsValidFileName(buffer, FALSE), 1);
  DWORD length = 0;
  EXPECT_EQ(ApiFileExtension(buffer, &length), buffer);
  // Under 1252 the same bytes are two characters.
  ASSERT_TRUE(platform::SetMachineSetting("codepage", "1252"));
  EXPECT_EQ(ApiHasChar("\x81\x5C", '\\'), 1);
}

TEST(ApiTextChecksTest, FontsAreTrueTypeFamiliesByExactName) {
  TempMachineRoot root;
  struct Case {
    std::vector<UiFontFace> faces;
    const char* name;
    int expected;
  };
  const Case cases[] = {
      {{{u"@Mincho"}}, "Mincho", 0},
      {{{u"Mincho"}}, "Mincho", 1},
      {{{u"Mincho"}}, "mincho", 0},
      {{{u"Mincho", RASTER_FONTTYPE}}, "Mincho", 0},
      {{{u"@Mincho"}, {u"Mincho"}}, "Mincho", 1},
      {{{u"Mincho"}}, "Minch", 0},
      {{{u"Mincho"}}, "", 0},
  };
  for (const auto& c : cases) {
    UiSetFontFaces(c.faces);
    EXPECT_EQ(ApiIsFontPresent(c.name), c.expected) << c.name;
  }
  EXPECT_EQ(ApiIsFontPresent(nullptr), 0);
  EXPECT_EQ(UiLiveGdiObjects(OBJ_DC), 0u) << "the desktop DC is released";
  UiSetFontFaces({{u"Alpha"}, {u"Beta", RASTER_FONTTYPE}});
  // Each thread gets its own answer.
  std::vector<std::thread> threads;
  std::vector<int> answers(8, -1);
  for (int i = 0; i < 8; ++i)
    threads.emplace_back([&, i] {
      for (int round = 0; round < 200 && answers[i] != -2; ++round) {
        const int got = ApiIsFontPresent(i % 2 ? "Alpha" : "Beta");
        if (got != (i % 2 ? 1 : 0)) answers[i] = -2;
      }
      if (answers[i] != -2) answers[i] = 1;
    });
  for (auto& t : threads) t.join();
  for (int i = 0; i < 8; ++i) EXPECT_EQ(answers[i], 1) << i;
  UiSetFontFaces(UiDefaultFontFaces());
}

TEST(ApiTextChecksTest, ImageFilesByKind) {
  TempMachineRoot root;
  std::string bitmap(54, '\0');
  bitmap[0] = 'B', bitmap[1] = 'M', bitmap[14] = 40;
  std::string core = bitmap;
  core[14] = 12;
  WriteHostFile(root.OnDriveC("img/mark.bmp"), bitmap);
  WriteHostFile(root.OnDriveC("img/core.bmp"), core);
  WriteHostFile(root.OnDriveC("img/short.bmp"), "BM");
  WriteHostFile(root.OnDriveC("img/form.RPO"), "overlay");
  WriteHostFile(root.OnDriveC("img/form.txt"), "overlay");
  struct Case {
    DWORD kind;
    const char* path;
    int expected;
  };
  const Case cases[] = {
      {2, "C:\\img\\mark.bmp", 1}, {2, "C:\\img\\core.bmp", 0}, {2, "C:\\img\\short.bmp", 0},
      {2, "img\\mark.bmp", 0},     {2, "C:\\img\\none.bmp", 0}, {3, "C:\\img\\form.RPO", 1},
      {3, "img\\form.RPO", 0},     {3, "C:\\img\\form.txt", 0}, {3, "C:\\img\\gone.rpo", 0},
      {1, "C:\\img\\form.RPO", 0}, {2, nullptr, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ApiCheckImageFile(c.kind, c.path), c.expected) << c.kind << " " << (c.path ? c.path : "null");
}

TEST(ApiTextChecksTest, PreparingAPathLeavesOnlyWhatWasThere) {
  TempMachineRoot root;
  char full[MAX_PATH] = {};
  // A missing file in a missing folder: made, measured and removed again.
  EXPECT_EQ(ApiPrepareFilePath("C:\\newdir\\form.rpo", full), 1);
  EXPECT_STREQ(full, "C:\\newdir\\form.rpo");
  EXPECT_FALSE(std::filesystem::exists(root.OnDriveC("newdir")));
  // An existing file keeps its bytes.
  WriteHostFile(root.OnDriveC("keep/form.rpo"), "kept");
  EXPECT_EQ(ApiPrepareFilePath("C:\\keep\\form.rpo", nullptr), 1);
  EXPECT_EQ(ReadHostFile(root.OnDriveC("keep/form.rpo")), "kept");
  // A missing file in an existing folder: the folder stays, the file goes.
  EXPECT_EQ(ApiPrepareFilePath("C:\\keep\\other.rpo", full), 1);
  EXPECT_TRUE(std::filesystem::exists(root.OnDriveC("keep")));
  EXPECT_FALSE(std::filesystem::exists(root.OnDriveC("keep/other.rpo")));
  // Two missing folder levels cannot be made; nothing is left behind.
  EXPECT_EQ(ApiPrepareFilePath("C:\\a\\b\\form.rpo", full), 0);
  EXPECT_FALSE(std::filesystem::exists(root.OnDriveC("a")));
  EXPECT_EQ(ApiPrepareFilePath(nullptr, full), 0);

  WCHAR shortPath[MAX_PATH] = {};
  EXPECT_EQ(ApiGetShortPath(u"C:\\keep\\form.rpo", shortPath), 1);
  EXPECT_EQ(std::u16string(shortPath), u"C:\\keep\\form.rpo");
  EXPECT_EQ(ApiGetShortPath(nullptr, shortPath), 0);
  ASSERT_TRUE(platform::SetMachineSetting("os", "me"));
  EXPECT_EQ(ApiGetShortPath(u"C:\\late\\form.rpo", shortPath), 1);
  EXPECT_FALSE(std::filesystem::exists(root.OnDriveC("late")));
}

}  // namespace
}  // namespace velm::test
