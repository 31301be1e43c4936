// The resource formats: damaged templates and bitmaps are refused whole, velm_rescomp refuses
// bad resource text with the line at fault, and style names in templates become their flags.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>

#include "support/temp_root.h"
#include "ui/dialog_template.h"
#include "ui/style_names.h"
#include "ui_fixture.h"

namespace velm::test {
namespace {

namespace fs = std::filesystem;
using velm::ui::DialogTemplate;

DialogTemplate Sample() {
  DialogTemplate dialog;
  dialog.style = 0x80C80000;
  dialog.width = 200;
  dialog.height = 100;
  dialog.pointSize = 8;
  dialog.caption = u"Caption";
  dialog.fontFace = u"Face";
  dialog.controls.push_back({11111, 0x50010000, 0, 1, 2, 3, 4, u"EDIT", u"text"});
  dialog.controls.push_back({1, 0x50010001, 0, -5, 6, 7, 8, u"BUTTON", u"OK"});
  return dialog;
}

TEST(DialogTemplateTest, EveryTruncationOrExtensionOfATemplateIsRefused) {
  const auto bytes = velm::ui::EncodeDialogTemplate(Sample());
  ASSERT_TRUE(bytes);
  const auto back = velm::ui::DecodeDialogTemplate(bytes->data(), bytes->size());
  ASSERT_TRUE(back);
  EXPECT_EQ(back->controls.at(1).x, -5);
  EXPECT_EQ(back->controls.at(0).id, 11111u);
  EXPECT_EQ(back->fontFace, u"Face");
  for (size_t size = 0; size < bytes->size(); ++size)
    EXPECT_FALSE(velm::ui::DecodeDialogTemplate(bytes->data(), size)) << size;
  auto longer = *bytes;
  longer.push_back(0);
  EXPECT_FALSE(velm::ui::DecodeDialogTemplate(longer.data(), longer.size()));
  // A text length beyond the data must not be read past the end.
  auto lying = *bytes;
  lying[34] = 0xFF, lying[35] = 0x0F;  // the caption's length
  EXPECT_FALSE(velm::ui::DecodeDialogTemplate(lying.data(), lying.size()));
  DialogTemplate huge = Sample();
  huge.caption.assign(velm::ui::kMaxTemplateText + 1, u'x');
  EXPECT_FALSE(velm::ui::EncodeDialogTemplate(huge));
}

TEST(DialogTemplateTest, BitmapsMustHoldExactlyTheirPixels) {
  velm::ui::BitmapResource bitmap{2, 2, 24, std::vector<BYTE>(12, 7)};
  auto bytes = velm::ui::EncodeBitmapResource(bitmap);
  EXPECT_TRUE(velm::ui::DecodeBitmapResource(bytes.data(), bytes.size()));
  EXPECT_FALSE(velm::ui::DecodeBitmapResource(bytes.data(), bytes.size() - 1));
  bytes[8] = 32;  // another depth
  EXPECT_FALSE(velm::ui::DecodeBitmapResource(bytes.data(), bytes.size()));
  // Sides whose product overflows 32 bits must not pass the size check.
  const auto placeholder = velm::ui::EncodeBitmapResource({0x10000, 0x10000, 0, {}});
  EXPECT_FALSE(velm::ui::DecodeBitmapResource(placeholder.data(), placeholder.size()));
}

int Compile(const fs::path& folder, const std::string& text, std::string& errors, const std::string& more = "") {
  fs::create_directories(folder);
  std::ofstream(folder / "r.txt") << text;
  const fs::path log = folder / "errors.log";
  const std::string command = (BuildDir() / "bin" / "velm_rescomp").string() + " --resources " + folder.string() +
                              " --out " + (folder / "out.cpp").string() + more + " 2>" + log.string();
  const int status = std::system(command.c_str());
  errors = ReadHostFile(log);
  return status;
}

TEST(ResourceCompilerTest, BadResourceTextIsRefusedWithTheLineAtFault) {
  TempMachineRoot root;
  std::string errors;
  EXPECT_EQ(Compile(root.path() / "good", "dialog 5 \"A\" 0 0 10 10\n  control 1 EDIT \"\" 0 0 1 1\nend\n", errors), 0)
      << errors;
  EXPECT_TRUE(fs::exists(root.path() / "good" / "out.cpp"));
  const struct {
    const char* text;
    const char* fault;
  } cases[] = {
      {"dialog 5 \"A\" 0 0 10 10\n  control 1 EDIT \"\" 0 0 1 1 style WS_NOPE\nend\n", "r.txt:2: unknown flag"},
      {"dialog 5 \"A\" 0 0 10 10\n", "r.txt:1: dialog 5 has no end"},
      {"dialog 5 \"A\" 0 0 10 10\nend\ndialog 5 \"B\" 0 0 1 1\nend\n", "r.txt:3: resource 5 is defined already"},
      {"control 1 EDIT \"\" 0 0 1 1\n", "r.txt:1: a control outside a dialog"},
      {"bitmap 7 0 3\n", "r.txt:1: expected: bitmap"},
      {"cursor 9 5 5 4 4\n", "r.txt:1: expected: cursor"},
      {"bitmap 8 \"missing.ppm\"\n", "missing.ppm cannot be read"},
      {"dialog 0 \"A\" 0 0 1 1\nend\n", "r.txt:1: expected a resource id"},
  };
  int n = 0;
  for (const auto& c : cases) {
    const fs::path folder = root.path() / ("bad" + std::to_string(n++));
    EXPECT_NE(Compile(folder, c.text, errors), 0) << c.text;
    EXPECT_NE(errors.find(c.fault), std::string::npos) << errors;
    EXPECT_FALSE(fs::exists(folder / "out.cpp")) << c.text;
  }
}

// The resource script for windres: texts as L"..." with "" for a quote and \xHHHH beyond ASCII,
// the dialog's STYLE after CAPTION and FONT (which would add flags), a control's missing
// WS_CHILD or WS_VISIBLE taken back with NOT, a label's id as -1; bitmaps and cursors as files.
TEST(ResourceCompilerTest, WritesAWindowsResourceScriptWithItsBitmapAndCursorFiles) {
  TempMachineRoot root;
  const fs::path folder = root.path() / "script";
  std::string errors;
  ASSERT_EQ(Compile(folder,
                    "cursor 9 1 2 32 32\n"
                    "dialog 5 \"Caf\xC3\xA9 \\\"A\\\"\" 1 2 30 40 font \"Face\" 9\n"
                    "  control -1 STATIC \"a\\\\b\\tc\" 0 0 5 5\n"
                    "  control 3 EDIT \"\" 6 7 8 9 style ~WS_VISIBLE|WS_TABSTOP exstyle WS_EX_CLIENTEDGE\n"
                    "end\n"
                    "bitmap 7 2 1\n",
                    errors, " --rc " + (folder / "out.rc").string()),
            0)
      << errors;
  const std::string dir = fs::absolute(folder).generic_string();
  EXPECT_EQ(ReadHostFile(folder / "out.rc"),
            "// Generated by velm_rescomp.\n"
            "LANGUAGE 0x00, 0x00\n"
            "\n7 BITMAP \"" + dir + "/out_bitmap_7.bmp\"\n"
            "\n5 DIALOGEX 1, 2, 30, 40\n"
            "CAPTION L\"Caf\\x00E9 \"\"A\"\"\"\n"
            "FONT 9, L\"Face\"\n"
            "STYLE 0x80C800C0\n"
            "EXSTYLE 0x00000000\n"
            "BEGIN\n"
            "  CONTROL L\"a\\\\b\\tc\", -1, L\"STATIC\", 0x50000000, 0, 0, 5, 5, 0x00000000\n"
            "  CONTROL L\"\", 3, L\"EDIT\", 0x40010000 | NOT 0x10000000, 6, 7, 8, 9, 0x00000200\n"
            "END\n"
            "\n9 CURSOR \"" + dir + "/out_cursor_9.cur\"\n");
  // 2 x 1 white placeholder: file header, info header, one row of two BGR pixels padded to 8.
  const std::string bmp = ReadHostFile(folder / "out_bitmap_7.bmp");
  const unsigned char bmpBytes[] = {'B', 'M', 62, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,
                                    40, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 8, 0, 0, 0,
                                    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                    255, 255, 255, 255, 255, 255, 0, 0};
  EXPECT_EQ(bmp, std::string(reinterpret_cast<const char*>(bmpBytes), sizeof bmpBytes));
  // The cursor's directory: type 2, one image 32 x 32 with hot spot (1, 2), 304 bytes at 22;
  // then a 1-bit image twice as high (the XOR and AND masks, 128 bytes each).
  const std::string cur = ReadHostFile(folder / "out_cursor_9.cur");
  const unsigned char curHead[] = {0, 0, 2, 0, 1, 0, 32, 32, 0, 0, 1, 0, 2, 0, 0x30, 1, 0, 0, 22, 0, 0, 0,
                                   40, 0, 0, 0, 32, 0, 0, 0, 64, 0, 0, 0, 1, 0, 1, 0};
  ASSERT_EQ(cur.size(), 22u + 304u);
  EXPECT_EQ(cur.substr(0, sizeof curHead), std::string(reinterpret_cast<const char*>(curHead), sizeof curHead));
  EXPECT_EQ(cur.substr(cur.size() - 128), std::string(128, '\xFF'));  // transparent
}

TEST(StyleNamesTest, EveryNameIsListedOnceAndMasksAndExtendedStylesAreNoFlags) {
  std::set<std::string_view> seen;
  for (const auto& entry : ui::kStyleNames) EXPECT_TRUE(seen.insert(entry.name).second) << entry.name;
  EXPECT_EQ(ui::StyleValue("BS_AUTOCHECKBOX"), BS_AUTOCHECKBOX);
  EXPECT_EQ(ui::StyleValue("WS_TABSTOP"), WS_TABSTOP);
  EXPECT_FALSE(ui::StyleValue("BS_TYPEMASK"));
  EXPECT_FALSE(ui::StyleValue("LVS_EX_GRIDLINES"));
  EXPECT_FALSE(ui::StyleValue("bs_autocheckbox"));
}

class CompiledTemplateTest : public UiTest {};

TEST_F(CompiledTemplateTest, ControlStyleNamesOfTheTestTemplatesAreCompiledToTheirFlags) {
  const HRSRC found = FindResourceW(Resources(), MAKEINTRESOURCEW(110), RT_DIALOG);
  ASSERT_NE(found, nullptr);
  const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(Resources(), found)));
  const auto dialog = ui::DecodeDialogTemplate(data, SizeofResource(Resources(), found));
  ASSERT_TRUE(dialog);
  ASSERT_EQ(dialog->controls.size(), 6u);
  const DWORD always = WS_CHILD | WS_VISIBLE;
  EXPECT_EQ(dialog->controls[0].style, always | BS_GROUPBOX);
  EXPECT_EQ(dialog->controls[1].style, always | WS_TABSTOP | BS_AUTOCHECKBOX);
  EXPECT_EQ(dialog->controls[4].style, always | WS_TABSTOP | BS_DEFPUSHBUTTON);
  EXPECT_EQ(dialog->controls[2].exStyle, static_cast<DWORD>(WS_EX_CLIENTEDGE));
}

}  // namespace
}  // namespace velm::test
