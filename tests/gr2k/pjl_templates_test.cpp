// The job-control templates: the PJL text of the shipped description for default and changed
// settings, each value handler and special setting over small descriptions, the font lines,
// measuring against writing, and the failures that end a template.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "driver_fixture.h"
#include "gr2k/pjl_templates.h"
#include "settings/block_handles.h"
#include "settings/description_access.h"
#include "settings/description_image_fixture.h"
#include "settings/judge_compiler.h"
#include "settings/settings_paths.h"
#include "settings/spooler_info.h"
#include "settings/string_convert.h"
#include "stream_harness.h"

namespace velm::test {
namespace {

// The evaluator's reading of a program for the templates' conditions: an item stands for its
// model value, an operator takes the values before it, left to right.
LONG EvaluateProgram(DriverContext* context, const DescProgram* program) {
  std::vector<LONG> stack;
  for (DWORD i = 0; i < kJudgeMaxCells; ++i) {
    const DescCell cell = DescProgramCell(program, i);
    if (cell.kind == kCellItem) {
      stack.push_back(static_cast<LONG>(OptGetModelValueById(context, cell.value)));
      continue;
    }
    if (cell.kind == kCellConstant) {
      stack.push_back(cell.value);
      continue;
    }
    if (cell.value == kOpEnd) return stack.empty() ? 0 : stack.back();
    if (cell.value == kOpNot) {
      stack.back() = !stack.back();
      continue;
    }
    const LONG b = stack.back();
    stack.pop_back();
    LONG& a = stack.back();
    switch (cell.value) {
      case kOpEqual: a = a == b; break;
      case kOpNotEqual: a = a != b; break;
      case kOpAnd: a = a && b; break;
      case kOpOr: a = a || b; break;
      case kOpGreater: a = a > b; break;
      case kOpLess: a = a < b; break;
      case kOpGreaterEqual: a = a >= b; break;
      case kOpLessEqual: a = a <= b; break;
    }
  }
  return 0;
}

const DescConditionHooks kEvaluatingHooks = {
    [](const DescNode*, DWORD, DriverContext*) -> BOOL { return FALSE; },
    [](const DescNode*, DWORD, DriverContext*) -> BOOL { return FALSE; },
    EvaluateProgram,
};

constexpr WORD kDeviceName = 1, kOrientation = 7, kPaperSize = 8, kCopies = 12, kSource = 13, kColor = 15,
               kTTOption = 18, kIcmIntent = 28, kMediaType = 29, kResolution = 42, kSortType = 129, kOutputTray = 57,
               kDuplexOn = 61, kStapleOn = 66, kDuplexType = 102, kBindSide = 103, kBindMargin = 104,
               kMarginOdd = 106, kDeviceFontUse = 152, kSmoothing = 154, kStapleType = 136, kUserId = 215, kDocumentName = 219,
               kPassword = 220, kPrintMethod = 222, kPrintMethodSub = 223, kDriverMedia = 378,
               kFontSelect = 394, kIniFileName = 707, kBidiState = 882, kWork883 = 883, kWork884 = 884,
               kFontTableCount = 10004, kFontTable = 10005, kDeviceFontCount = 10006, kDeviceFonts = 10007;

using Builder = int (*)(void*, char*, DWORD, DWORD*);

class PjlTemplatesTest : public DescriptionMachineTest {
 protected:
  void SetUp() override {
    DescriptionMachineTest::SetUp();
    printer_ = Open();
    context_ = CtxCreate(printer_, 0, 0);
    ASSERT_NE(context_, nullptr);
    shipped_ = context_->description;
    DescSetConditionHooks(&kEvaluatingHooks);
  }
  void TearDown() override {
    DescSetConditionHooks(nullptr);
    context_->description = shipped_;
    CtxDestroyEx(context_, kReleaseDestroy);
    for (DWORD handle : blocks_) SysBlockFree(handle);
    DescriptionMachineTest::TearDown();
  }

  // Runs a builder as PjlEmitPacket does: measures, then writes into exactly that much room;
  // the two must agree.
  std::string Run(Builder builder) {
    DWORD measured = 0;
    const int first = builder(context_, nullptr, 0, &measured);
    EXPECT_GE(first, 0);
    EXPECT_EQ(first, measured ? 1 : 0);
    std::string text(measured, '\0');
    DWORD written = 0;
    EXPECT_EQ(builder(context_, text.data(), measured, &written), 0);
    EXPECT_EQ(written, measured);
    return text;
  }
  std::string JobStart() { return Run(PjlBuildJobStart); }
  std::string PageStart() { return Run(PjlBuildPageStart); }
  std::string PageEnd() { return Run(PjlBuildPageEnd); }

  // Puts a description made of `text` in place of the shipped one.
  void Use(std::string_view text) {
    std::string remarks;
    fragments_.push_back(CompileText(text, &remarks));
    ASSERT_NE(fragments_.back(), nullptr);
    EXPECT_EQ(remarks, "");
    context_->description = fragments_.back().get();
  }
  // A job start of just these clauses, over UI blocks `blocks`.
  void UseJobStart(std::string_view blocks, std::string_view clauses) {
    Use(std::string("*FileVersion: 3.60\n") + std::string(blocks) + "*CommandGroup: JobStart {\n" +
        std::string(clauses) + "\n}\n");
  }

  ItemTableRow* Row(WORD id) { return OptFindItem(context_->itemTable, id); }
  void Set(WORD id, DWORD stored) { ASSERT_TRUE(OptSetValue(context_, id, stored)) << id; }
  void SetText(WORD id, const std::u16string& text) { ASSERT_TRUE(OptSetString(context_, Row(id), text.c_str())) << id; }

  // A font block of the settings: `rows` rows of `rowBytes`, under the handle in `tableItem`
  // and the count `count` in `countItem`.
  BYTE* FontBlock(WORD countItem, WORD tableItem, DWORD rows, DWORD rowBytes, LONG count) {
    DWORD handle = 0;
    auto* block = static_cast<BYTE*>(SysBlockAlloc(SIZE_T(rows) * rowBytes, &handle));
    EXPECT_NE(block, nullptr);
    blocks_.push_back(handle);
    Set(countItem, static_cast<DWORD>(count));
    Set(tableItem, handle);
    return block;
  }
  static void PutName(BYTE* at, std::u16string_view name) {
    std::memcpy(at, name.data(), std::min<size_t>(name.size(), 32) * sizeof(WCHAR));
  }
  static void PutDeviceFont(BYTE* block, DWORD row, WORD id, std::u16string_view name) {
    DmStoreU16(block + row * 68, 0, id);
    PutName(block + row * 68 + 4, name);
  }
  static std::string Ansi(const WCHAR* text) {
    char bytes[1024];
    return std::string(bytes, StrWideToAnsi(bytes, sizeof bytes, text));
  }

  HANDLE printer_ = nullptr;
  DriverContext* context_ = nullptr;
  ModelDescription* shipped_ = nullptr;
  std::vector<Image> fragments_;
  std::vector<DWORD> blocks_;
};

// ---- The shipped description ----------------------------------------------------------------

// The settings of an ordinary job: A4 portrait from the automatic tray on plain paper, one
// copy at 600 dpi in colour, smoothing and font substitution on.
constexpr std::pair<WORD, DWORD> kOrdinaryJob[] = {
    {kPaperSize, 9}, {kOrientation, 1}, {kSource, 7},     {kMediaType, 1},  {kCopies, 1},
    {kResolution, 600}, {kColor, 2},    {kSmoothing, 1},  {kFontSelect, 1},
};

TEST_F(PjlTemplatesTest, ShippedTemplatesGiveAnOrdinaryJob) {
  for (const auto& [id, value] : kOrdinaryJob) Set(id, value);
  EXPECT_EQ(JobStart(),
            "\x1b%-12345X@PJL \r\n"
            "@PJL COMMENT VELM DRIVER \r\n"
            "@PJL SET JOBTYPE = NORMAL \r\n"
            "@PJL SET QTY = 1 \r\n"
            "@PJL SET RESOLUTION = 600 \r\n"
            "@PJL SET RENDERMODE = COLOR \r\n"
            "@PJL SET ECONOMODE = OFF \r\n"
            "@PJL SET SMOOTHING = ON \r\n"
            "@PJL SET DUPLEX = OFF \r\n"
            "@PJL SET COLLATE = OFF \r\n"
            "@PJL SET OUTBIN = DEFAULT \r\n"
            "@PJL SET FONTSUBSTITUTION = ON \r\n"
            "@PJL ENTER LANGUAGE = VELM \r\n");
  EXPECT_EQ(PageStart(),
            "@PJL SET PAPER = A4 \r\n"
            "@PJL SET PAGEORIENTATION = PORTRAIT \r\n"
            "@PJL SET MEDIASOURCE = AUTO \r\n"
            "@PJL SET MEDIATYPE = PLAIN \r\n");
  EXPECT_EQ(PageEnd(), "@PJL SET PAGEEND = ON \r\n");
}

TEST_F(PjlTemplatesTest, ShippedTemplatesFollowChangedSettings) {
  for (const auto& [id, value] : kOrdinaryJob) Set(id, value);
  Set(kCopies, 3);
  Set(kResolution, 1200);
  Set(kColor, 1);  // mono
  Set(kDuplexOn, 1);
  Set(kDuplexType, 1);  // top
  Set(kStapleOn, 1);
  Set(kStapleType, 1);
  Set(kSortType, 1);
  Set(kOutputTray, 2);
  Set(kPrintMethod, 1);  // locked print: user and password
  SetText(kUserId, u"ALICE");
  SetText(kPassword, u"1234");
  Set(kFontSelect, 0);
  EXPECT_EQ(JobStart(),
            "\x1b%-12345X@PJL \r\n"
            "@PJL COMMENT VELM DRIVER \r\n"
            "@PJL SET JOBTYPE = LOCKED \r\n"
            "@PJL SET USERID = \"ALICE\" \r\n"
            "@PJL SET LOCKEDPASSWORD = \"1234\" \r\n"
            "@PJL SET QTY = 3 \r\n"
            "@PJL SET RESOLUTION = 1200 \r\n"
            "@PJL SET RENDERMODE = GRAYSCALE \r\n"
            "@PJL SET ECONOMODE = OFF \r\n"
            "@PJL SET SMOOTHING = ON \r\n"
            "@PJL SET DUPLEX = ON \r\n"
            "@PJL SET BINDING = TOP \r\n"
            "@PJL SET STAPLE = TOPLEFT \r\n"
            "@PJL SET COLLATE = SORT \r\n"
            "@PJL SET OUTBIN = UPPER \r\n"
            "@PJL SET FONTSUBSTITUTION = OFF \r\n"
            "@PJL ENTER LANGUAGE = VELM \r\n");

  // A stored job names its document instead of a password.
  Set(kPrintMethod, 3);
  SetText(kDocumentName, u"Minutes");
  const std::string stored = JobStart();
  EXPECT_NE(stored.find("@PJL SET JOBTYPE = STORED \r\n@PJL SET USERID = \"ALICE\" \r\n"
                        "@PJL SET DOCUMENTNAME = \"Minutes\" \r\n@PJL SET QTY = 3 \r\n"),
            std::string::npos)
      << stored;

  Set(kPaperSize, 8);    // A3
  Set(kOrientation, 2);  // landscape
  Set(kSource, 3);       // tray 2
  Set(kMediaType, 257);  // thick
  EXPECT_EQ(PageStart(),
            "@PJL SET PAPER = A3 \r\n"
            "@PJL SET PAGEORIENTATION = LANDSCAPE \r\n"
            "@PJL SET MEDIASOURCE = TRAY2 \r\n"
            "@PJL SET MEDIATYPE = THICK \r\n");
}

TEST_F(PjlTemplatesTest, ShippedFontLinesFollowTheSettingsFontBlocks) {
  for (const auto& [id, value] : kOrdinaryJob) Set(id, value);
  // Substitution on with a table: the table follows the FONTSUBSTITUTION line.
  BYTE* pairs = FontBlock(kFontTableCount, kFontTable, 2, 128, 2);
  PutName(pairs, u"Arial");
  PutName(pairs + 64, u"Helvetica");
  PutName(pairs + 128, u"Times New Roman");
  PutName(pairs + 192, u"Times");
  // Device fonts in use: the DEVFONTID line lists every font but the removed one.
  BYTE* fonts = FontBlock(kDeviceFontCount, kDeviceFonts, 3, 68, 3);
  PutDeviceFont(fonts, 0, 12, u"Alpha");
  PutDeviceFont(fonts, 1, 0xFFFF, u"Removed");
  PutDeviceFont(fonts, 2, 34, u"Beta");
  Set(kTTOption, 3);
  const std::string lines = "@PJL SET FONTSUBSTITUTION = ON \r\n"
                            "@PJL SET SUBFONTTABLE = \"Arial+Helvetica/Times New Roman+Times\" \r\n"
                            "@PJL SET DEVFONTID = \"12+Alpha/34+Beta\" \r\n"
                            "@PJL ENTER LANGUAGE = VELM \r\n";
  std::string text = JobStart();
  EXPECT_TRUE(text.ends_with(lines)) << text;

  // The value without font pairs gives no table; fonts substituted by bitmaps no DEVFONTID.
  Set(kFontSelect, 0);
  Set(kTTOption, 1);
  text = JobStart();
  EXPECT_TRUE(text.ends_with("@PJL SET OUTBIN = DEFAULT \r\n@PJL SET FONTSUBSTITUTION = OFF \r\n"
                             "@PJL ENTER LANGUAGE = VELM \r\n"))
      << text;
}

// ---- Value handlers ---------------------------------------------------------------------------

constexpr char kHandlerBlocks[] =
    "*OpenUI *ZMD_dmOrientation: PickOne\n"
    "*ZMD_dmOrientation DMORIENTATION_PORTRAIT: \"PORTRAIT\"\n"
    "*ZMD_dmOrientation DMORIENTATION_LANDSCAPE: \"\"\n"
    "*OptionCommand: { \"@PJL SET ORIENTATION = \" \" <0D0A>\" }\n"
    "*CloseUI\n"
    "*OpenUI *ZMD_dmOrientation 2: PickOne\n"
    "*OptionCommand: { \"O2=\" \";\" }\n"
    "*CloseUI\n"
    "*OpenUI *ZMD_dmICMIntent: PickOne|TypeUnknown\n"
    "*ZMD_dmICMIntent DMICMINTENT_SATURATE: \"SATURATE\"\n"
    "*OptionCommand: { \"NEVER=\" \";\" }\n"
    "*CloseUI\n"
    "*OpenUI *ZMD_vdmFuncSelectDuplex: Boolean\n"
    "*ZMD_vdmFuncSelectDuplex True: \"YES\"\n"
    "*ZMD_vdmFuncSelectDuplex False: \"NO\"\n"
    "*OptionCommand: { \"D=\" \";\" }\n"
    "*CloseUI\n"
    "*OpenUI *ZMD_dmScale: Numeric\n"
    "*NumericValue: 3 \"2 100 1 1000\"\n"
    "*OptionCommand: { \"S=\" \";\" }\n"
    "*CloseUI\n"
    "*OpenUI *ZMD_dmCopies: Numeric\n"
    "*NumericValue: 1 \"0 1 1 999\"\n"
    "*OptionCommand: { \"Q=\" \";\" }\n"
    "*CloseUI\n"
    "*OpenUI *ZMD_vdmUserID: String\n"
    "*StringValue: 8 ASCII\n"
    "*OptionCommand: { \"U=%\"\" \"%\";\" }\n"
    "*CloseUI\n"
    "*OpenUI *ZMD_dmFormName: String\n"
    "*StringValue: 31 MultiByte\n"
    "*OptionCommand: { \"F=\" \";\" }\n"
    "*CloseUI\n"
    "*OpenUI *ZMD_dmPaperSize: PickPage\n"
    "*ZMD_dmPaperSize DMPAPERSIZE_A4: \"A4\"\n"
    "*OptionCommand: { \"P=\" \";\" }\n"
    "*CloseUI\n"
    "*OpenUI *ZMD_dmDefaultSource: PickSlot\n"
    "*ZMD_dmDefaultSource DMDEFAULTSOURCE_TRAY2: \"T2\"\n"
    "*OptionCommand: { \"T=\" \";\" }\n"
    "*CloseUI\n"
    "*OpenUI *ZMD_dmMediaType: PickOne\n"
    "*ZMD_dmMediaType DMMEDIATYPE_PLAIN: \"PLAIN\"\n"
    "*CloseUI\n"
    "*OpenUI *ZMD_vdmMediaType: Identity *ZMD_dmMediaType\n"
    "*OptionCommand: { \"M=\" \";\" }\n"
    "*CloseUI\n"
    "*OpenUI *ZMD_dmICMMethod: PickMany\n"
    "*OptionCommand: { \"X=\" \";\" }\n"
    "*CloseUI\n";

TEST_F(PjlTemplatesTest, EachHandlerWritesItsValueBetweenTheCommandTexts) {
  UseJobStart(kHandlerBlocks,
              "Type: GroupType ZMD_dmOrientation\n Type: GroupType ZMD_dmOrientation 2\n"
              "Type: GroupType ZMD_dmICMIntent\n Type: GroupType ZMD_vdmFuncSelectDuplex\n"
              "Type: GroupType ZMD_dmScale\n Type: GroupType ZMD_vdmUserID\n Type: GroupType ZMD_dmFormName\n"
              "Type: GroupType ZMD_dmPaperSize\n Type: GroupType ZMD_dmDefaultSource\n"
              "Type: GroupType ZMD_vdmMediaType 7\n Type: GroupType ZMD_dmICMMethod");
  Set(kOrientation, 1);
  Set(kIcmIntent, 1);
  Set(kDuplexOn, 1);
  Set(11, 55);  // scale: 55 * 3 / 2
  SetText(kUserId, u"BOB");
  SetText(20, u"Brief\u00e9");
  Set(kPaperSize, 9);
  Set(kSource, 3);
  Set(kDriverMedia, 1);
  EXPECT_EQ(JobStart(),
            "@PJL SET ORIENTATION = PORTRAIT \r\nO2=PORTRAIT;D=YES;S=82;U=\"BOB\";F=Brief\xe9;P=A4;T=T2;M=PLAIN;");

  // A value without text, a value not in the list, an empty string: no line at all.
  Set(kOrientation, 2);
  Set(kDuplexOn, 0);
  Set(11, static_cast<DWORD>(-7));  // signed: -7 * 3 / 2
  SetText(kUserId, u"");
  SetText(20, u"");
  Set(kPaperSize, 8);
  Set(kSource, 7);
  Set(kDriverMedia, 5);
  EXPECT_EQ(JobStart(), "D=NO;S=-10;");
}

TEST_F(PjlTemplatesTest, TextFromTheSettingsCannotBreakItsQuotesOrLine) {
  UseJobStart(kHandlerBlocks, "Type: GroupType ZMD_vdmUserID");
  SetText(kUserId, u"a\"b\r\nc");
  EXPECT_EQ(JobStart(), "U=\"a b  c\";");
}

TEST_F(PjlTemplatesTest, ADivisorOfZeroWritesNothing) {
  UseJobStart(kHandlerBlocks, "Type: GroupType ZMD_dmCopies");
  Set(kCopies, 5);
  EXPECT_EQ(JobStart(), "");
}

// ---- Special settings -------------------------------------------------------------------------

constexpr char kSpecialBlocks[] =
    "*OpenUI *ZMD_vdmPrnMethodSub: Numeric\n"
    "*NumericValue: 1 \"1 0 0 255\"\n"
    "*OptionCommand: { \"@PJL SET TIME = \" \" <0D0A>\" }\n"
    "*CloseUI\n"
    "*OpenUI *ZMD_dmDeviceName: String\n"
    "*StringValue: 32 MultiByte\n"
    "*OptionCommand: { \"@PJL SET VELMPRINTERNAME = \" \" <0D0A>\" }\n"
    "*CloseUI\n"
    "*OpenUI *ZMD_vdmBindMargin: Numeric\n"
    "*NumericValue: 254 \"1 0 0 65535\"\n"
    "*OptionCommand: { \"B=\" \";\" }\n"
    "*CloseUI\n"
    "*OpenUI *ZMD_vdmMarginOdd: Numeric\n"
    "*NumericValue: 1 \"2 0 0 65535\"\n"
    "*OptionCommand: { \"O=\" \";\" }\n"
    "*CloseUI\n"
    "*OpenUI *ZMD_vdmIniFileName: String\n"
    "*StringValue: 15 ASCII\n"
    "*OptionCommand: { \"I=\" \";\" }\n"
    "*CloseUI\n"
    "*OpenUI *ZMD_wdmBidiState: Numeric\n"
    "*NumericValue: 1 \"1 0 0 255\"\n"
    "*OptionCommand: { \"R=\" \";\" }\n"
    "*CloseUI\n"
    "*OpenUI *ZMD_wdmWork883: Numeric\n"
    "*NumericValue: 1 \"1 0 0 255\"\n"
    "*OptionCommand: { \"L=\" \";\" }\n"
    "*CloseUI\n"
    "*OpenUI *ZMD_wdmWork884: Numeric\n"
    "*NumericValue: 1 \"1 0 0 255\"\n"
    "*OptionCommand: { \"K=\" \";\" }\n"
    "*CloseUI\n"
    "*OpenUI *ZMD_vdmDocumentName: String\n"
    "*StringValue: 16 MultiByte\n"
    "*OptionCommand: { \"N=%\"\" \"%\";\" }\n"
    "*CloseUI\n";

TEST_F(PjlTemplatesTest, DateAndTimeComeFromTheLocalClock) {
  platform::SetMachineSetting("clock_local", "2026-03-07 09:05:03");
  UseJobStart(kSpecialBlocks, "Type: GroupType ZMD_vdmPrnMethodSub");
  EXPECT_EQ(JobStart(), "@PJL SET DATE = \"2026/03/07\" \r\n@PJL SET TIME = \"09:05:03\" \r\n");
}

TEST_F(PjlTemplatesTest, DriverAndPrinterNamesAreQuoted) {
  UseJobStart(kSpecialBlocks, "Type: GroupType ZMD_dmDeviceName");
  EXPECT_EQ(JobStart(), "@PJL SET VELMDRIVERNAME = \"Velm Printer Driver\" \r\n"
                        "@PJL SET VELMPRINTERNAME = \"Velm Printer\" \r\n");
}

TEST_F(PjlTemplatesTest, LengthsAreScaledToTheResolutionIn64Bits) {
  UseJobStart(kSpecialBlocks, "Type: GroupType ZMD_vdmBindMargin\n Type: GroupType ZMD_vdmMarginOdd");
  // 20000 * 254 * 2400 passes 32 bits before the division by 1200.
  Set(kBindMargin, 20000);
  Set(kResolution, 2400);
  Set(kMarginOdd, 600);  // 600 * 1 * 2400 / (2 * 1200)
  EXPECT_EQ(JobStart(), "B=10160000;O=600;");

  // Kinds 9 and 10 mirror by the margin side; the same row read as each kind in turn.
  Row(kMarginOdd)->code = 9;
  const std::vector<std::pair<DWORD, std::string>> across = {{0, "O=600;"}, {2, "O=-600;"}, {3, "O=600;"},
                                                             {4, "O=-600;"}};
  for (const auto& [side, text] : across) {
    Set(kBindSide, side);
    EXPECT_EQ(JobStart(), "B=10160000;" + text) << side;
  }
  Row(kMarginOdd)->code = 10;
  const std::vector<std::pair<DWORD, std::string>> along = {{0, "O=600;"}, {2, "O=600;"}, {3, "O=-600;"},
                                                            {4, "O=-600;"}};
  for (const auto& [side, text] : along) {
    Set(kBindSide, side);
    EXPECT_EQ(JobStart(), "B=10160000;" + text) << side;
  }
}

TEST_F(PjlTemplatesTest, PathsOfTheMachineAndThePrinter) {
  UseJobStart(kSpecialBlocks, "Type: GroupType ZMD_vdmIniFileName\n Type: GroupType ZMD_wdmWork883\n"
                              "Type: GroupType ZMD_wdmWork884");
  const std::string ini = Ansi(PathGetSettingsIni(context_));
  ASSERT_FALSE(ini.empty());
  // No log file named yet: its two lines are left out.
  EXPECT_EQ(JobStart(), "I=" + ini + ";");

  const std::u16string log = u"C:\\LOG\\JOB.LOG";
  ASSERT_EQ(SetPrinterDataW(printer_, u"LogFileName", REG_SZ, reinterpret_cast<const BYTE*>(log.c_str()),
                            static_cast<DWORD>((log.size() + 1) * sizeof(WCHAR))),
            ERROR_SUCCESS);
  EXPECT_EQ(JobStart(), "I=" + ini + ";L=C:\\LOG\\JOB.LOG;K=C:\\LOG\\JOB.DLL;");

  // Three characters or fewer are not a file name with an extension.
  const std::u16string shortName = u"LOG";
  ASSERT_EQ(SetPrinterDataW(printer_, u"LogFileName", REG_SZ, reinterpret_cast<const BYTE*>(shortName.c_str()),
                            static_cast<DWORD>((shortName.size() + 1) * sizeof(WCHAR))),
            ERROR_SUCCESS);
  EXPECT_EQ(JobStart(), "I=" + ini + ";L=LOG;K=LOG;");

  // Kind 12, on no row of the table: the driver folder.
  Row(kWork883)->code = 12;
  EXPECT_EQ(JobStart(), "I=" + ini + ";L=" + Ansi(PrnGetDriverDirectory(context_)) + ";K=LOG;");
}

TEST_F(PjlTemplatesTest, DigitsDropTheDialingMarks) {
  UseJobStart(kSpecialBlocks, "Type: GroupType ZMD_vdmDocumentName");
  SetText(kDocumentName, u"(03) 1234-5678");
  EXPECT_EQ(JobStart(), "N=\"(03) 1234-5678\";");
  Row(kDocumentName)->code = 8;  // kind 8 is on no row of the table
  EXPECT_EQ(JobStart(), "N=\"03 12345678\";");
  SetText(kDocumentName, u"-()");
  EXPECT_EQ(JobStart(), "");
}

TEST_F(PjlTemplatesTest, DeviceFontFileByModelClassMediaAndUse) {
  UseJobStart(kSpecialBlocks, "Type: GroupType ZMD_wdmBidiState");
  const std::string folder = Ansi(PrnGetDriverDirectory(context_));
  struct Case {
    BYTE modelClass;
    DWORD media;
    DWORD use;
    const char* file;
  };
  const Case cases[] = {
      {130, 2, 2, "qnfont1d.rcm"}, {130, 2, 1, "qnfont1c.rcm"}, {130, 1, 3, "qnfont1b.rcm"},
      {130, 0, 1, "qnfont1a.rcm"}, {131, 2, 4, "qnfont2d.rcm"}, {131, 2, 1, "qnfont2c.rcm"},
      {131, 3, 2, "qnfont2b.rcm"}, {131, 1, 1, "qnfont2a.rcm"}, {130, 2, 0, nullptr},
      {129, 2, 2, nullptr},
  };
  for (const Case& c : cases) {
    context_->modelDefaults->machineId = c.modelClass;
    Set(kDriverMedia, c.media);
    Set(kDeviceFontUse, c.use);
    EXPECT_EQ(JobStart(), c.file ? "R=" + folder + c.file + ";" : "")
        << int(c.modelClass) << " " << c.media << " " << c.use;
  }
}

TEST_F(PjlTemplatesTest, KindsWithoutSpecialOutputUseTheNormalHandler) {
  UseJobStart(kSpecialBlocks, "Type: GroupType ZMD_vdmBindMargin");
  Set(kBindMargin, 7);
  for (DWORD kind : {4u, 11u, 99u}) {
    Row(kBindMargin)->code = kind;
    EXPECT_EQ(JobStart(), "B=1778;") << kind;  // 7 * 254 / 1
  }
}

// ---- Font lines ------------------------------------------------------------------------------

constexpr char kFontBlocks[] =
    "*OpenUI *ZMD_vdmDeviceFontSelect: FontTbl\n"
    "*ZMD_vdmDeviceFontSelect VDMDEVICEFONTSELECT_OFF: \"OFF\"\n"
    "*ZMD_vdmDeviceFontSelect VDMDEVICEFONTSELECT_ON: \"ON\"\n"
    "*OptionCommand: { \"FS=\" \";\" }\n"
    "*CloseUI\n"
    "*TTFS VDMDEVICEFONTSELECT_ON: IDList { {\"Arial\" \"Helvetica\"} }\n";

TEST_F(PjlTemplatesTest, DeviceFontLineListsTheFontsOfTheSettings) {
  UseJobStart(kFontBlocks, "Type: FontType");
  EXPECT_EQ(JobStart(), "");  // no fonts
  BYTE* fonts = FontBlock(kDeviceFontCount, kDeviceFonts, 4, 68, 4);
  PutDeviceFont(fonts, 0, 0xFFFF, u"Gone");
  PutDeviceFont(fonts, 1, 12, u"Alpha");
  PutDeviceFont(fonts, 2, 0xFFFF, u"Removed");
  PutDeviceFont(fonts, 3, 34, u"Beta");
  EXPECT_EQ(JobStart(), "@PJL SET DEVFONTID = \"12+Alpha/34+Beta\" \r\n");

  // A name of all 32 units has no terminator in its row; a quote in a name is blanked.
  PutDeviceFont(fonts, 1, 7, u"ABCDEFGHIJKLMNOPQRSTUVWXYZ012345");
  PutDeviceFont(fonts, 3, 65534, u"Say \"x\"");
  EXPECT_EQ(JobStart(), "@PJL SET DEVFONTID = \"7+ABCDEFGHIJKLMNOPQRSTUVWXYZ012345/65534+Say  x \" \r\n");

  // A count beyond the block reads only the block's rows.
  Set(kDeviceFontCount, 300);
  EXPECT_EQ(JobStart(), "@PJL SET DEVFONTID = \"7+ABCDEFGHIJKLMNOPQRSTUVWXYZ012345/65534+Say  x \" \r\n");

  // Every font removed: no line rather than a line without fonts.
  PutDeviceFont(fonts, 1, 0xFFFF, u"");
  PutDeviceFont(fonts, 3, 0xFFFF, u"");
  EXPECT_EQ(JobStart(), "");
  Set(kDeviceFontCount, 0);
  EXPECT_EQ(JobStart(), "");
}

TEST_F(PjlTemplatesTest, SubstitutionLineFollowsAFontTableValueWithPairs) {
  UseJobStart(kFontBlocks, "Type: GroupType ZMD_vdmDeviceFontSelect");
  Set(kFontSelect, 1);
  EXPECT_EQ(JobStart(), "FS=ON;");  // no substitutions in the settings
  BYTE* pairs = FontBlock(kFontTableCount, kFontTable, 2, 128, 2);
  PutName(pairs, u"Arial");
  PutName(pairs + 64, u"Helvetica");
  PutName(pairs + 128, u"Courier New");
  PutName(pairs + 192, u"Courier");
  EXPECT_EQ(JobStart(), "FS=ON;@PJL SET SUBFONTTABLE = \"Arial+Helvetica/Courier New+Courier\" \r\n");
  Set(kFontTableCount, 1);
  EXPECT_EQ(JobStart(), "FS=ON;@PJL SET SUBFONTTABLE = \"Arial+Helvetica\" \r\n");
  // The value without pairs has no table.
  Set(kFontSelect, 0);
  EXPECT_EQ(JobStart(), "FS=OFF;");
}

// ---- Templates ---------------------------------------------------------------------------------

constexpr char kMixedDescription[] =
    "*FileVersion: 3.60\n"
    "*OpenUI *ZMD_dmOrientation: PickOne\n"
    "*ZMD_dmOrientation DMORIENTATION_PORTRAIT: \"PORTRAIT\"\n"
    "*ZMD_dmOrientation DMORIENTATION_LANDSCAPE: \"LANDSCAPE\"\n"
    "*OptionCommand: { \"@PJL SET ORIENTATION = \" \" <0D0A>\" }\n"
    "*CloseUI\n"
    "*OpenUI *ZMD_vdmFuncSelectDuplex: Boolean\n"
    "*ZMD_vdmFuncSelectDuplex True: \"ON\"\n"
    "*ZMD_vdmFuncSelectDuplex False: \"OFF\"\n"
    "*OptionCommand: { \"@PJL SET DUPLEX = \" \" <0D0A>\" }\n"
    "*CloseUI\n"
    "*OpenUI *ZMD_dmCopies: Numeric\n"
    "*NumericValue: 1 \"1 1 1 999\"\n"
    "*OptionCommand: { \"@PJL SET QTY = \" \" <0D0A>\" }\n"
    "*CloseUI\n"
    "*OpenUI *ZMD_vdmUserID: String\n"
    "*StringValue: 8 ASCII\n"
    "*OptionCommand: { \"@PJL SET USERID = %\"\" \"%\" <0D0A>\" }\n"
    "*CloseUI\n"
    "*OpenUI *ZMD_dmPaperSize: PickPage\n"
    "*ZMD_dmPaperSize DMPAPERSIZE_A4: \"A4\"\n"
    "*OptionCommand: { \"@PJL SET PAPER = \" \" <0D0A>\" }\n"
    "*CloseUI\n"
    "*OpenUI *ZMD_dmDefaultSource: PickSlot\n"
    "*ZMD_dmDefaultSource DMDEFAULTSOURCE_AUTO: \"AUTO\"\n"
    "*OptionCommand: { \"@PJL SET MEDIASOURCE = \" \" <0D0A>\" }\n"
    "*CloseUI\n"
    "*OpenUI *ZMD_vdmDeviceFontSelect: FontTbl\n"
    "*ZMD_vdmDeviceFontSelect VDMDEVICEFONTSELECT_ON: \"ON\"\n"
    "*OptionCommand: { \"@PJL SET FONTSUBSTITUTION = \" \" <0D0A>\" }\n"
    "*CloseUI\n"
    "*TTFS VDMDEVICEFONTSELECT_ON: IDList { {\"Arial\" \"Helvetica\"} }\n"
    "*CommandString 1: \"<1B>%%-12345X@PJL <0D0A>\"\n"
    "*CommandString 2: \"\"\n"
    "*CommandString 3: \"@PJL ENTER LANGUAGE = VELM <0D0A>\"\n"
    "*Judge 1=DuplexOn: ZMD_vdmFuncSelectDuplex\n"
    "*Judge 2=Landscape: ZMD_dmOrientation == DMORIENTATION_LANDSCAPE\n"
    "*CommandGroup: JobStart {\n"
    "  Type: StringType 1\n"
    "  Type: StringType 2\n"
    "  Type: GroupType ZMD_dmCopies\n"
    "  Type: GroupType ZMD_vdmUserID\n"
    "  Command: DuplexOn {\n"
    "    Type: GroupType ZMD_vdmFuncSelectDuplex\n"
    "    Command: Landscape { Type: GroupType ZMD_dmOrientation } Else { Type: StringType 3 }\n"
    "  } Else {\n"
    "    Type: GroupType ZMD_dmPaperSize\n"
    "  }\n"
    "  Type: GroupType ZMD_dmDefaultSource\n"
    "  Type: GroupType ZMD_vdmDeviceFontSelect\n"
    "  Type: FontType\n"
    "  Type: StringType 3\n"
    "}\n"
    "*CommandGroup: PageStart {\n"
    "  Type: StringType 2\n"
    "}\n";

TEST_F(PjlTemplatesTest, MeasuringAndWritingAgreeOverEveryKindOfNode) {
  Use(kMixedDescription);
  Set(kPaperSize, 9);
  Set(kCopies, 2);
  SetText(kUserId, u"CAROL");
  Set(kSource, 7);
  Set(kFontSelect, 1);
  BYTE* pairs = FontBlock(kFontTableCount, kFontTable, 1, 128, 1);
  PutName(pairs, u"Arial");
  PutName(pairs + 64, u"Helvetica");
  BYTE* fonts = FontBlock(kDeviceFontCount, kDeviceFonts, 1, 68, 1);
  PutDeviceFont(fonts, 0, 5, u"Symbol");
  const std::string common = "\x1b%-12345X@PJL \r\n@PJL SET QTY = 2 \r\n@PJL SET USERID = \"CAROL\" \r\n";
  const std::string tail = "@PJL SET MEDIASOURCE = AUTO \r\n@PJL SET FONTSUBSTITUTION = ON \r\n"
                           "@PJL SET SUBFONTTABLE = \"Arial+Helvetica\" \r\n@PJL SET DEVFONTID = \"5+Symbol\" \r\n"
                           "@PJL ENTER LANGUAGE = VELM \r\n";
  // Run checks measured = written for each setting of the two conditions.
  Set(kDuplexOn, 0);
  EXPECT_EQ(JobStart(), common + "@PJL SET PAPER = A4 \r\n" + tail);
  Set(kDuplexOn, 1);
  Set(kOrientation, 1);
  EXPECT_EQ(JobStart(), common + "@PJL SET DUPLEX = ON \r\n@PJL ENTER LANGUAGE = VELM \r\n" + tail);
  Set(kOrientation, 2);
  EXPECT_EQ(JobStart(), common + "@PJL SET DUPLEX = ON \r\n@PJL SET ORIENTATION = LANDSCAPE \r\n" + tail);

  // A buffer one byte short of the text is a failure, not a cut line.
  DWORD measured = 0;
  ASSERT_EQ(PjlBuildJobStart(context_, nullptr, 0, &measured), 1);
  std::string text(measured, '\0');
  DWORD written = 99;
  EXPECT_LT(PjlBuildJobStart(context_, text.data(), measured - 1, &written), 0);
  EXPECT_EQ(written, 0u);

  // A literal of length 1 (only its terminator) writes nothing; a page start of nothing else
  // measures 0 and answers 0.
  ASSERT_EQ(PjlBuildPageStart(context_, nullptr, 0, &measured), 0);
  EXPECT_EQ(measured, 0u);
}

TEST_F(PjlTemplatesTest, AnAbsentTemplateStillGivesItsPacketWithNoBody) {
  Use(kMixedDescription);
  DWORD length = 99;
  EXPECT_EQ(PjlBuildPageEnd(context_, nullptr, 0, &length), 0);
  EXPECT_EQ(length, 0u);
  StreamHarness h;
  ASSERT_TRUE(PjlEmitPageEnd(h.stream(), PjlBuildPageEnd, context_));
  EXPECT_EQ(h.output.bytes, (std::vector<uint8_t>{0xF1, 0, 0, 0, 0, 0, 0, 0}));
  // A context without a description has no templates either.
  context_->description = nullptr;
  EXPECT_EQ(PjlBuildJobStart(context_, nullptr, 0, &length), 0);
  EXPECT_EQ(length, 0u);
  EXPECT_LT(PjlBuildJobStart(nullptr, nullptr, 0, &length), 0);
}

// The first node of a template's first list, in the block (to damage it).
BYTE* FirstNode(const ModelDescription* d, int point) {
  DescBranchView view{};
  DescReadBranch(d, DescCommandTree(d, point), &view);
  return reinterpret_cast<BYTE*>(const_cast<DescTemplateNode*>(view.thenList));
}

TEST_F(PjlTemplatesTest, AnUnknownNodeOrAMissingCommandNodeFailsTheTemplate) {
  // Record 5 of the orientation does not exist; the copy count has no record at all.
  UseJobStart(kHandlerBlocks, "Type: GroupType ZMD_dmOrientation 5");
  DWORD length = 0;
  EXPECT_LT(PjlBuildJobStart(context_, nullptr, 0, &length), 0);
  UseJobStart("*CommandString 1: \"@PJL <0D0A>\"\n", "Type: StringType 1\n Type: GroupType ZMD_dmCopies");
  EXPECT_LT(PjlBuildJobStart(context_, nullptr, 0, &length), 0);

  // A node kind the interpreter does not know, and an item without a row.
  Use(kMixedDescription);
  BYTE* node = FirstNode(context_->description, kPointJobStart);
  ASSERT_NE(node, nullptr);
  DescStoreU16(node + 4, 5);
  EXPECT_LT(PjlBuildJobStart(context_, nullptr, 0, &length), 0);
  DescStoreU16(node + 4, kCommandGroup);
  DescStoreU16(node + 6, 5000);
  EXPECT_LT(PjlBuildJobStart(context_, nullptr, 0, &length), 0);
  StreamHarness h;
  EXPECT_FALSE(PjlEmitJobStart(h.stream(), PjlBuildJobStart, context_));
  EXPECT_TRUE(h.output.bytes.empty());
  EXPECT_TRUE(h.allocator.live.empty());
}

// ---- Through the page hook ---------------------------------------------------------------------

class PjlTemplatesPageTest : public DriverTest {};

TEST_F(PjlTemplatesPageTest, ABrokenPageStartTemplateFailsTheStartOfThePage) {
  Image broken = CompileText(std::string("*FileVersion: 3.60\n*CommandString 1: \"@PJL <0D0A>\"\n"
                                         "*CommandGroup: PageStart {\n Type: StringType 1\n}\n"));
  ASSERT_NE(broken, nullptr);
  DescStoreU16(FirstNode(broken.get(), kPointPageStart) + 4, 9);
  RenderPdev* pdev = Enable();
  ASSERT_NE(pdev, nullptr);
  ModelDescription* shipped = pdev->context->description;
  pdev->context->description = broken.get();
  SURFOBJ surface = Surface(pdev);
  const DWORD spoolJob = OpenSpoolJob();
  ASSERT_TRUE(DrvStartDoc(&surface, const_cast<LPWSTR>(u"Broken"), spoolJob));
  EXPECT_FALSE(DrvStartPage(&surface));
  EXPECT_TRUE(DrvEndDoc(&surface, 0));
  pdev->context->description = shipped;
  DrvDisablePDEV(reinterpret_cast<DHPDEV>(pdev));
  const jobdump::Job job = CloseSpoolJob(spoolJob, false);
  // The job start went out; the page start did not.
  EXPECT_EQ(PacketSequence(job), "F3 F3");
}

}  // namespace
}  // namespace velm::test
