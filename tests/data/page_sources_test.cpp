// velm_tablegen against broken copies of the pages' sources (data/pages) and what they name: each
// fault is refused with a message that names it and no tables are written; the sound sources
// give every page its rows and the extra data its words.
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <regex>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "support/temp_root.h"

namespace fs = std::filesystem;
using velm::test::BuildDir;
using velm::test::ReadHostFile;
using velm::test::WriteHostFile;

namespace {

// Parameterised cases are named by their place in their table.
struct CaseName {
  template <typename Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& info) const {
    return "Case" + std::to_string(info.index);
  }
};

class PageSourcesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    folder_ = fs::temp_directory_path() / ("velm-pages-" + std::to_string(seed()));
    fs::create_directories(folder_);
    fs::copy(velm::test::SourceDir() / "data", folder_ / "data", fs::copy_options::recursive);
  }
  void TearDown() override { fs::remove_all(folder_); }

  // Runs the generator; its status, and stderr.
  int Run(std::string* err) {
    const fs::path errFile = folder_ / "err.txt";
    const std::string command = "\"" + (BuildDir() / "bin" / "velm_tablegen").string() + "\" --data \"" +
                                (folder_ / "data").string() + "\" --out \"" + (folder_ / "tables.cpp").string() +
                                "\" > /dev/null 2> \"" + errFile.string() + "\"";
    const int status = std::system(command.c_str());
    *err = ReadHostFile(errFile);
    return status;
  }

  // Replaces the first match of `pattern` in data/`file` (ECMAScript, multiline by line).
  void Edit(const std::string& file, const std::string& pattern, const std::string& replacement) {
    const fs::path path = folder_ / "data" / file;
    const std::string text = ReadHostFile(path);
    const std::regex expression(pattern);
    ASSERT_TRUE(std::regex_search(text, expression)) << file << " holds no " << pattern;
    WriteHostFile(path, std::regex_replace(text, expression, replacement, std::regex_constants::format_first_only));
  }

  fs::path folder_;
};

TEST_F(PageSourcesTest, TheSourcesPassAndGiveEveryPageItsRows) {
  std::string err;
  ASSERT_EQ(Run(&err), 0) << err;
  const std::string tables = ReadHostFile(folder_ / "tables.cpp");
  // The basic page: 50 rows, in the order of its source; the first binds the saved settings.
  const size_t start = tables.find("kPageItems_1002[] = {");
  ASSERT_NE(start, std::string::npos);
  const std::string basic = tables.substr(start, tables.find("};", start) - start);
  size_t rows = 0;
  for (size_t at = basic.find("\n    {"); at != std::string::npos; at = basic.find("\n    {", at + 1)) ++rows;
  EXPECT_EQ(rows, 50u);
  EXPECT_NE(basic.find("{41, 2036, 43, 0, 0, 0x0u,"), std::string::npos) << basic.substr(0, 200);
  // A spin row names its edit as partner; a length edit carries bit 31.
  EXPECT_NE(tables.find("{860, 2221, 23, 0, 2220, 0x0u,"), std::string::npos);
  EXPECT_NE(tables.find("{860, 2220, 63, 0, 0, 0x80000000u,"), std::string::npos);
  EXPECT_NE(tables.find("{0, 2361, 2, 0, 0, 0x20000000u,"), std::string::npos);
  // The unit dialog chooses the unit with a check box; the edit page's icon lists show the binding
  // edge and the slip-sheet kind.
  EXPECT_NE(tables.find("{179, 3036, 22, 0, 0, 0x0u,"), std::string::npos);
  EXPECT_NE(tables.find("{103, 2085, 47, "), std::string::npos);
  EXPECT_NE(tables.find("{137, 2087, 47, "), std::string::npos);
}

struct Refusal {
  const char* what;
  const char* file;
  const char* pattern;
  const char* replacement;
  const char* message;
};

const Refusal kRefusals[] = {
    {"a row fewer than the page table's count", "pages/1020_status.txt", "row ZMD_IDC_BIDISTATE [^\n]*\n", "",
     "page ZMD_IDD_DIALOG_STATUS has 2 rows, the page table 3"},
    {"a row whose control is not in the template", "pages/1020_status.txt", "row ZMD_IDC_BIDISTATE ",
     "row ZMD_IDC_COLLATE_CHECK ", "control ZMD_IDC_COLLATE_CHECK is not in the template of ZMD_IDD_DIALOG_STATUS"},
    {"a control name without an identifier", "pages/1020_status.txt", "row ZMD_IDC_BIDISTATE ",
     "row ZMD_IDC_NO_SUCH_CONTROL ", "control ZMD_IDC_NO_SUCH_CONTROL is not in control_ids.txt"},
    {"an item the item table lacks", "pages/1020_status.txt", "ZMD_wdmBidiState", "ZMD_vdmNoSuchItem",
     "item ZMD_vdmNoSuchItem is not in the item table"},
    {"a check-list row without its label", "pages/1065_hidden_func.txt", "ZMD_vdmHideFunc2:s4931", "ZMD_vdmHideFunc2",
     "a check row is <item>:<s-label>"},
    {"a check-list label a language lacks", "strings/jp.txt", "\n4932 [^\n]*", "",
     "string 4932 (named by the row's extra data) is missing from strings/jp.txt"},
    {"an item without a description node", "pages/1020_status.txt", "ZMD_wdmBidiState", "ZMD_vdmAction15",
     "item ZMD_vdmAction15 has no node in the model description"},
    {"a control type outside the class table", "pages/1020_status.txt", "(row ZMD_IDC_BIDISTATE) 0x2c", "$1 0x07",
     "control type 7 has no control class"},
    {"a control twice on a page", "pages/1020_status.txt", "(control ZMD_IDC_BIDISTATE [^\n]*\n)", "$1$1",
     "control ZMD_IDC_BIDISTATE twice on page ZMD_IDD_DIALOG_STATUS"},
    {"a control with two rows", "pages/1020_status.txt", "(row ZMD_IDC_BIDISTATE [^\n]*\n)", "$1$1",
     "control ZMD_IDC_BIDISTATE has a second row"},
    {"overlapping controls", "pages/1002_basic.txt", "(control ZMD_IDC_COLLATE_CHECK BUTTON s\\d+) \\d+ \\d+",
     "$1 8 8", "control ZMD_IDC_COLLATE_CHECK overlaps"},
    {"a control outside its dialog", "pages/1020_status.txt", "(control ZMD_IDC_BIDISTATE STATIC -) \\d+", "$1 4000",
     "control ZMD_IDC_BIDISTATE lies outside its dialog"},
    {"a caption string a language lacks", "strings/jp.txt", "\n40307 [^\n]*", "",
     "string 40307 (the control's caption) is missing from strings/jp.txt"},
    {"a page caption English lacks", "strings/us.txt", "\n40309 [^\n]*", "",
     "string 40309 (the page's caption) is missing from strings/us.txt"},
    {"a value name a language lacks", "strings/jp.txt", "\n3001 [^\n]*", "",
     "string 3001 (a value name of ZMD_dmPaperSize) is missing from strings/jp.txt"},
    {"a string the interface loads", "strings/jp.txt", "\n372 [^\n]*", "",
     "string 372 (the replaced OK button's texts) is missing from strings/jp.txt"},
    {"a conflict-mark picture the library lacks", "dialogs/pictures.txt", "bitmap 6195 [^\n]*\n", "",
     "bitmap 6195 (the row's conflict mark) is not in dialogs/"},
    {"a value picture the library lacks", "dialogs/pictures.txt", "bitmap 2027 [^\n]*\n", "",
     "bitmap 2027 (a value picture of ZMD_dmOrientation) is not in dialogs/"},
    {"a staple position's picture the library lacks", "dialogs/pictures.txt", "bitmap 2731 [^\n]*\n", "",
     "bitmap 2731 (a value picture of ZMD_vdmStapleType) is not in dialogs/"},
    {"a page without a source", "pages.txt", "(1065  1065   0x4     0      3   ZMD_IDD_DIALOG_HIDDEN_FUNC)",
     "$1\n1066  1066   0x4     0      0   ZMD_IDD_DIALOG_EXTRA", "page ZMD_IDD_DIALOG_EXTRA has no source"},
    {"a source of an unknown page", "pages/1020_status.txt", "page ZMD_IDD_DIALOG_STATUS", "page ZMD_IDD_NO_SUCH",
     "page ZMD_IDD_NO_SUCH is not in pages.txt"},
    {"a check-list item the item table lacks", "pages/1065_hidden_func.txt", "ZMD_vdmHideFunc2", "ZMD_vdmNoSuchItem",
     "item ZMD_vdmNoSuchItem is not in the item table"},
    {"an edit line item without a node", "pages/1025_version.txt", "ZMD_vdmModelCode:-", "ZMD_vdmAction15:-",
     "item ZMD_vdmAction15 has no node in the model description"},
    {"a sub-dialog that is no page", "pages/1002_basic.txt", "dialog ZMD_IDD_DIALOG_SCALE", "dialog ZMD_IDD_NOTHING",
     "dialog ZMD_IDD_NOTHING is not in pages.txt"},
    {"a spin's partner outside the template", "pages/1017_freesize.txt", "partner ZMD_IDC_FREESIZE_WIDTH",
     "partner ZMD_IDC_COLLATE_CHECK", "partner ZMD_IDC_COLLATE_CHECK is not in the template"},
    {"an unknown style", "pages/1020_status.txt", "(control ZMD_IDC_BIDISTATE [^\n]*)\n", "$1 style WS_NOTHING\n",
     "unknown style"},
    {"two kinds of extra data on one row", "pages/1002_basic.txt", "(row ZMD_IDC_PAPER_SIZE_COMBO [^\n]*)\n",
     "$1 space\n", "a row carries one kind of extra data"},
    {"an identifier named twice", "control_ids.txt", "\n2001 ", "\n2002 ", "control id 2002 named twice"},
    {"a spare print option bound to a check box", "pages/1012_rotation.txt", "ZMD_vdmTrayOrientInvert",
     "ZMD_vdmPrintOption1", "item ZMD_vdmPrintOption1 is a spare bit that no control may stand for"},
    {"a spare function option bound to a check box", "pages/1015_printpost.txt", "ZMD_vdmFuncSelectPrintPost",
     "ZMD_vdmFuncOption12", "item ZMD_vdmFuncOption12 is a spare bit that no control may stand for"},
    {"an unnamed job action bound to a check box", "pages/1016_action.txt", "ZMD_vdmActionOverlay", "ZMD_vdmAction7",
     "item ZMD_vdmAction7 is a spare bit that no control may stand for"},
    {"a combo over a number range", "pages/1010_init.txt", "(row ZMD_IDC_LANGUAGE_COMBO 0x2b) ZMD_vdmLanguageID",
     "$1 ZMD_vdmBookletType",
     "control type 0x2b offers values for choice, but the node of ZMD_vdmBookletType is a number range"},
    {"a radio button over a number range", "pages/1006_printquality.txt", "(row ZMD_IDC_QUALITY_1 0x29) ZMD_vdmQualityMode",
     "$1 ZMD_vdmWmLayer", "control type 0x29 offers values for choice, but the node of ZMD_vdmWmLayer is a number range"},
    {"a decimal edit over a list", "pages/1021_user_pqc.txt", "(row ZMD_IDC_PQC_BRIGHTNESS 0x3f) ZMD_vdmBrightness",
     "$1 ZMD_vdmMarkPaperType",
     "control type 0x3f steps a number, but the node of ZMD_vdmMarkPaperType is a list of values"},
    {"a slider over a list shared by Identity", "pages/1006_printquality.txt",
     "(row ZMD_IDC_GREENBALANCE 0x52) ZMD_vdmGreenBalance", "$1 ZMD_vdmTrayMediaTray1",
     "control type 0x52 steps a number, but the node of ZMD_vdmTrayMediaTray1 is a list of values"},
    {"a check-list row over a number", "pages/1065_hidden_func.txt", "ZMD_vdmHideFunc3", "ZMD_vdmPresetNo",
     "check-list item ZMD_vdmPresetNo is not a Boolean of the model description"},
    {"a saved-settings entry out of order", "saved_settings_values.txt", "\n3    122", "\n4    122",
     "entry 4 stands where entry 3 belongs"},
    {"a saved-settings value off its entry", "saved_settings_values.txt", "\n7    126", "\n7    127",
     "entry 7 has the value 127, not 126"},
    {"a saved-settings list short of an entry", "saved_settings_values.txt", "\n15   134", "",
     "15 entries, the saved-settings list holds 16"},
    {"a saved-settings entry whose string is translated", "strings/jp.txt", "\"PresetList5\"", "\"Preset 5\"",
     "string 124 is \"Preset 5\", not the entry's key \"PresetList5\""},
    {"a saved-settings entry without its string", "strings/us.txt", "\n130 [^\n]*", "",
     "string 130 (saved-settings entry 11) is missing"},
    {"a preview role without a name", "pages/1021_user_pqc.txt", "preview paper:", "preview papers:",
     "a preview entry is <role>:<item> with a role of paper, orientation"},
    {"a preview role named twice", "pages/1021_user_pqc.txt", "(row ZMD_IDC_PQC_PICTURE 0x02 - preview [^\n]*)\n",
     "$1,paper:ZMD_dmPaperSize\n", "preview role paper named twice"},
    {"a preview entry without an item", "pages/1021_user_pqc.txt", "contrast:ZMD_vdmContrast", "contrast:-",
     "a preview entry is <role>:<item>"},
    {"a preview item the item table lacks", "pages/1021_user_pqc.txt", "contrast:ZMD_vdmContrast",
     "contrast:ZMD_vdmNoSuchItem", "item ZMD_vdmNoSuchItem is not in the item table"},
    {"a preview drawn by a static text", "pages/1020_status.txt", "(row ZMD_IDC_BIDISTATE [^\n]*)\n",
     "$1 preview paper:ZMD_dmPaperSize\n", "a preview is drawn by a picture (type 0x02), not by type 44"},
};

// A list shows each value's name by the value's model value, so a value may not name itself with
// a string another listed item's value uses: changes to a value map and its value symbols.
struct ForeignValueName {
  const char* what;
  const char* map;     // value_maps.txt: pattern, replacement
  const char* mapTo;
  const char* symbol;  // value_symbols.txt: pattern, replacement
  const char* symbolTo;
  const char* message;
};
const ForeignValueName kForeignValueNames[] = {
    {"a language's name", " 1=4302 ", " 1=2 ", "4302( +1 VDMSIMPLEXBINDTYPE_TOP)", "2$1",
     "string 2 (a value name of ZMD_vdmSimplexBindType) is a value name of ZMD_vdmLanguageID as well"},
    {"another list's value name", " 1=4302 ", " 1=4202 ", "4302( +1 VDMSIMPLEXBINDTYPE_TOP)", "4202$1",
     "string 4202 (a value name of ZMD_vdmSimplexBindType) is a value name of ZMD_vdmMarkPaperType as well"},
    {"a paper name under another paper code", "(traypaper first [^\n]*) 3=3003 ", "$1 3=3517 ",
     "3003( +1 VDMTRAYPAPERTRAY1_LEDGER)", "3517$1",
     "string 3517 (a value name of ZMD_vdmTrayPaperTray1) is a value name of ZMD_dmPaperSize as well"},
};

class ForeignValueNames : public PageSourcesTest, public ::testing::WithParamInterface<ForeignValueName> {};

TEST_P(ForeignValueNames, AreRefused) {
  const ForeignValueName& change = GetParam();
  Edit("value_maps.txt", change.map, change.mapTo);
  Edit("value_symbols.txt", change.symbol, change.symbolTo);
  std::string err;
  EXPECT_NE(Run(&err), 0);
  EXPECT_NE(err.find(change.message), std::string::npos) << change.what << "\nstderr: " << err;
}

INSTANTIATE_TEST_SUITE_P(Each, ForeignValueNames, ::testing::ValuesIn(kForeignValueNames), CaseName());

class PageSourceRefusals : public PageSourcesTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(PageSourceRefusals, AreReportedAndNothingIsWritten) {
  const Refusal& refusal = GetParam();
  Edit(refusal.file, refusal.pattern, refusal.replacement);
  std::string err;
  EXPECT_NE(Run(&err), 0);
  EXPECT_NE(err.find(refusal.message), std::string::npos) << refusal.what << "\nstderr: " << err;
  EXPECT_FALSE(fs::exists(folder_ / "tables.cpp"));
}

INSTANTIATE_TEST_SUITE_P(Each, PageSourceRefusals, ::testing::ValuesIn(kRefusals), CaseName());


// What the control classes read beyond the row: the range record of a decimal edit, the kind of
// extra data each class expects, the information text of a conflict mark, a static's format.
const Refusal kClassDataRefusals[] = {
    {"a decimal edit over a range without its display fields", "model/qnvelm.dsc", "\"1 1 1 999 0 3 1 10\"",
     "\"1 1 1 999\"", "decimal edit over ZMD_dmCopies, whose range in the model description lacks"},
    {"a decimal scale that is no power of ten", "model/qnvelm.dsc", "\"1 0 0 359 157 3 1 15\"",
     "\"1 0 0 359 157 3 7 15\"", "decimal scale 7 of ZMD_vdmWmAngle is not 0, 1, 10, 100, 1000 or 10000"},
    {"a text length too short for the maximum", "model/qnvelm.dsc", "\"1 1 1 999 0 3 1 10\"",
     "\"1 1 1 999 0 2 1 10\"", "text length 2 of ZMD_dmCopies cannot show its range (3 characters)"},
    {"a text length too short for the decimals", "model/qnvelm.dsc", "\"1 0 -50 50 0 3 1 10\"",
     "\"1 0 -50 50 0 3 10 10\"", "text length 3 of ZMD_vdmBrightness cannot show its range (4 characters)"},
    {"a length whose shown millimetres outgrow its text", "model/qnvelm.dsc", "\"1 0 0 2362 158 4 10 10\"",
     "\"1 0 0 23620 158 4 10 10\"", "text length 4 of ZMD_vdmMarginOdd cannot show its range (5 characters)"},
    {"a unit suffix a language lacks", "strings/jp.txt", "\n157 [^\n]*", "",
     "unit suffix string 157 of ZMD_vdmWmAngle is missing from strings/jp.txt"},
    {"a tab control without its tab list", "pages/1020_status.txt", "(row ZMD_IDC_BIDISTATE) 0x2c", "$1 0x68",
     "a tab control needs its tab list (tabs …)"},
    {"a tab list on a static text", "pages/1020_status.txt", "(row ZMD_IDC_BIDISTATE [^\n]*)\n",
     "$1 tabs s40001:ZMD_IDC_BIDISTATE\n", "a tab list (tabs) belongs to a tab control"},
    {"a conflict mark without its information text", "pages/1002_basic.txt", "(mark 6195) info s4700", "$1",
     "a conflict mark needs the information string (info s<n>) that the refusal shows"},
    {"a conflict mark on a check box", "pages/1002_basic.txt", "(row ZMD_IDC_COLLATE_CHECK [^\n]*)\n",
     "$1 mark 6195\n", "control type 0x16: a conflict mark (mark) belongs to a list or combo"},
    {"slider steps on a spin", "pages/1002_basic.txt", "(row ZMD_IDC_COPIES_EDIT_SPIN [^\n]*)\n", "$1 steps 1 10\n",
     "control type 0x17: slider steps (steps) belong to a slider"},
    {"a line step above the page step", "pages/1022_stamp_char.txt", "(ZMD_vdmWmColorR info s4720) steps 1 16",
     "$1 steps 20 16", "the slider's line step is larger than its page step"},
    {"the space key on a check box", "pages/1002_basic.txt", "(row ZMD_IDC_DUPLEX_CHECK [^\n]*)\n", "$1 space\n",
     "control type 0x16: the space key (space) belongs to a push button"},
    {"a check list without its rows' items", "pages/1065_hidden_func.txt", " checks [^\n]*", "",
     "a check list needs the items of its rows (checks …)"},
    {"a static text over a list of several values", "pages/1012_rotation.txt", "(row ZMD_IDC_DMORIENTATION 0x2c) -",
     "$1 ZMD_dmOrientation",
     "a static text shows the one value of its item, but ZMD_dmOrientation lists 2 values (bind the row to -)"},
    {"linked steps on a static text", "pages/1020_status.txt", "(row ZMD_IDC_BIDISTATE [^\n]*)\n",
     "$1 linksteps ZMD_IDC_BIDISTATE:1\n",
     "control type 0x2c: linked steps (linksteps) belong to a control that takes a click"},
    {"a linked step over an item without a range", "pages/1002_basic.txt", "(row ZMD_IDC_ORIENTATION_PICTURE [^\n]*)\n",
     "$1 linksteps ZMD_IDC_COLLATE_CHECK:1\n",
     "linked step of ZMD_IDC_COLLATE_CHECK, which has no row over an item with a range on this page"},
    {"a linked step of nothing", "pages/1002_basic.txt", "(row ZMD_IDC_ORIENTATION_PICTURE [^\n]*)\n",
     "$1 linksteps ZMD_IDC_COPIES_EDIT:0\n", "a linked step is <control>:<step>, the step a non-zero 16-bit number"},
};

INSTANTIATE_TEST_SUITE_P(ClassData, PageSourceRefusals, ::testing::ValuesIn(kClassDataRefusals), CaseName());

// A static text over an item of one value formats the current value with that value's string:
// one integer conversion at most.
struct StaticFormat {
  const char* what;
  const char* file;
  const char* text;  // string 2026, the format
  const char* message;
};
const StaticFormat kStaticFormats[] = {
    {"one conversion", "strings/us.txt", "\"%d degrees\"", ""},
    {"two conversions", "strings/us.txt", "\"%d of %d\"",
     "string 2026 in strings/us.txt, the format of a static text over ZMD_dmOrientation, has more than one conversion"},
    {"a text conversion", "strings/jp.txt", "\"%s\"",
     "string 2026 in strings/jp.txt, the format of a static text over ZMD_dmOrientation, has a '%' that is no "
     "integer conversion"},
};

class StaticFormats : public PageSourcesTest, public ::testing::WithParamInterface<StaticFormat> {};

TEST_P(StaticFormats, TakeOneIntegerConversion) {
  const StaticFormat& format = GetParam();
  // Orientation with portrait as its one value offered for choice, shown in 1012's static text.
  Edit("value_symbols.txt", "(\n7 +2 +2027 +)1", "$010");
  Edit("pages/1012_rotation.txt", "(row ZMD_IDC_DMORIENTATION 0x2c) -", "$1 ZMD_dmOrientation");
  Edit(format.file, "\n2026 [^\n]*", std::string("\n2026   ") + format.text);
  std::string err;
  if (!*format.message) {
    EXPECT_EQ(Run(&err), 0) << err;
    return;
  }
  EXPECT_NE(Run(&err), 0);
  EXPECT_NE(err.find(format.message), std::string::npos) << format.what << "\nstderr: " << err;
}

INSTANTIATE_TEST_SUITE_P(Each, StaticFormats, ::testing::ValuesIn(kStaticFormats), CaseName());

// The sound sources carry the data the classes read: a slider's own steps, a conflict mark with
// its text, the dialog of the quality list.
TEST_F(PageSourcesTest, ClassDataReachesTheExtraTable) {
  std::string err;
  ASSERT_EQ(Run(&err), 0) << err;
  const std::string tables = ReadHostFile(folder_ / "tables.cpp");
  EXPECT_NE(tables.find("kExtraWords_1022_3213[] = {3, 1, 16, 1};"), std::string::npos);
  EXPECT_NE(tables.find("{1022, 3213, 4720, 0, 0, kExtraWords_1022_3213, 4},"), std::string::npos);
  EXPECT_NE(tables.find("{1002, 2032, 4700, 0, 0, kExtraWords_1002_2032, 3},"), std::string::npos);
  EXPECT_NE(tables.find("{1006, 2134, 0, 1021, 0, nullptr, 0},"), std::string::npos);
}

// A picture's click that also steps the copies down by one: the copies edit's id and the step as
// a 16-bit word.
TEST_F(PageSourcesTest, LinkedStepsNameTheControlAndASignedStep) {
  Edit("pages/1002_basic.txt", "(row ZMD_IDC_ORIENTATION_PICTURE [^\n]*)\n",
       "$1 linksteps ZMD_IDC_COPIES_EDIT:-1,ZMD_IDC_COPIES_EDIT_SPIN:2\n");
  std::string err;
  ASSERT_EQ(Run(&err), 0) << err;
  const std::string tables = ReadHostFile(folder_ / "tables.cpp");
  EXPECT_NE(tables.find("kExtraWords_1002_2033[] = {2, 2, 2035, 65535, 2040, 2};"), std::string::npos);
}

}  // namespace
