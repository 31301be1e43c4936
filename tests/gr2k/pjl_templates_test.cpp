// The job-control templates: the PJL text of the shipped description for an ordinary and a
// changed job, each value handler and special setting over a small description, the font
// lines, measuring against writing, and the failures that end a template.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "driver_fixture.h"
#include "gr2k/pjl_templates.h"
#include "settings/items/block_handles.h"
#include "settings/description/access.h"
#include "settings/description/image_fixture.h"
#include "settings/description/judge_compiler.h"
#include "settings/persistence/paths.h"
#include "settings/services/spooler_info.h"
#include "settings/services/string_convert.h"
#include "stream_harness.h"

namespace velm::test {
namespace {

// A program as the constraint evaluator reads it: an item is its model value, an operator
// takes the values before it.
LONG EvaluateProgram(DriverContext* context, const DescProgram* program) {
  std::vector<LONG> stack;
  for (DWORD i = 0; i < kJudgeMaxCells; ++i) {
    const DescCell cell = DescProgramCell(program, i);
    if (cell.kind != kCellOperator) {
      stack.push_back(cell.kind == kCellItem ? LONG(OptGetModelValueById(context, cell.value)) : cell.value);
    } else if (cell.value == kOpEnd) {
      return stack.empty() ? 0 : stack.back();
    } else if (cell.value == kOpNot) {
      stack.back() = !stack.back();
    } else {
      const LONG b = stack.back();
      stack.pop_back();
      LONG& a = stack.back();
      const WORD op = cell.value;
      a = op == kOpEqual ? a == b : op == kOpNotEqual ? a != b : op == kOpAnd ? a && b : op == kOpOr ? a || b
        : op == kOpGreater ? a > b : op == kOpLess ? a < b : op == kOpGreaterEqual ? a >= b : a <= b;
    }
  }
  return 0;
}

const DescConditionHooks kEvaluatingHooks = {
    [](const DescNode*, DWORD, DriverContext*) -> BOOL { return FALSE; },
    [](const DescNode*, DWORD, DriverContext*) -> BOOL { return FALSE; },
    EvaluateProgram,
};

constexpr WORD kOrientation = 7, kPaperSize = 8, kScale = 11, kCopies = 12, kSource = 13, kColor = 15,
               kTTOption = 18, kFormName = 20, kIcmIntent = 28, kMediaType = 29, kResolution = 42, kOutputTray = 57,
               kDuplexOn = 61, kStapleOn = 66, kDuplexType = 102, kBindSide = 103, kBindMargin = 104,
               kMarginOdd = 106, kSortType = 129, kStapleType = 136, kDeviceFontUse = 152, kSmoothing = 154,
               kUserId = 215, kDocumentName = 219, kPassword = 220, kPrintMethod = 222, kDriverMedia = 378,
               kFontSelect = 394, kWork883 = 883, kFontTableCount = 10004, kFontTable = 10005,
               kDeviceFontCount = 10006, kDeviceFonts = 10007;

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

  // Runs a builder as the packet writer does: measures, then writes into exactly that much
  // room; the two must agree.
  std::string Run(PjlBuilder builder) {
    DWORD measured = 0, written = 0;
    const int result = builder(context_, nullptr, 0, &measured);
    EXPECT_EQ(result, measured ? 1 : 0);
    std::string text(measured, '\0');
    EXPECT_EQ(builder(context_, text.data(), measured, &written), 0);
    EXPECT_EQ(written, measured);
    return text;
  }
  std::string JobStart() { return Run(PjlBuildJobStart); }

  // A description of the blocks below and `extra`, with a job start of `clauses`, in place
  // of the shipped one.
  void UseJobStart(std::string_view clauses, std::string_view extra = "") {
    std::string remarks;
    fragments_.push_back(CompileText(std::string(kBlocks) + std::string(extra) + "*CommandGroup: JobStart {\n" +
                                         std::string(clauses) + "\n}\n",
                                     &remarks));
    ASSERT_NE(fragments_.back(), nullptr);
    EXPECT_EQ(remarks, "");
    context_->description = fragments_.back().get();
  }

  ItemTableRow* Row(WORD id) { return OptFindItem(context_->itemTable, id); }
  void Set(WORD id, DWORD stored) { ASSERT_TRUE(OptSetValue(context_, id, stored)) << id; }
  void SetText(WORD id, const std::u16string& text) { ASSERT_TRUE(OptSetString(context_, Row(id), text.c_str())) << id; }
  void SetLogFileName(const std::u16string& name) {
    ASSERT_EQ(SetPrinterDataW(printer_, const_cast<LPWSTR>(u"LogFileName"), REG_SZ, const_cast<LPBYTE>(reinterpret_cast<const BYTE*>(name.c_str())),
                              DWORD((name.size() + 1) * sizeof(WCHAR))),
              ERROR_SUCCESS);
  }

  // A font block of the settings of `rows` rows, its handle in `tableItem` and `count` in
  // `countItem`.
  BYTE* FontBlock(WORD countItem, WORD tableItem, DWORD rows, DWORD rowBytes, LONG count) {
    DWORD handle = 0;
    auto* block = static_cast<BYTE*>(SysBlockAlloc(SIZE_T(rows) * rowBytes, &handle));
    EXPECT_NE(block, nullptr);
    blocks_.push_back(handle);
    SysBlockFree(OptGetValue(context_, tableItem));  // the list the open loaded
    Set(countItem, DWORD(count));
    Set(tableItem, handle);
    return block;
  }
  BYTE* FontPairs(const std::vector<std::pair<std::u16string, std::u16string>>& pairs) {
    BYTE* block = FontBlock(kFontTableCount, kFontTable, DWORD(pairs.size()), 128, LONG(pairs.size()));
    for (size_t i = 0; i < pairs.size(); ++i) {
      PutName(block + 128 * i, pairs[i].first);
      PutName(block + 128 * i + 64, pairs[i].second);
    }
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

  // One record of each handler, of each special kind the item table carries, an Identity and
  // a numbered record; short command texts.
  static constexpr char kBlocks[] =
      "*FileVersion: 3.60\n"
      "*OpenUI *ZMD_dmOrientation: PickOne\n*ZMD_dmOrientation DMORIENTATION_PORTRAIT: \"PORTRAIT\"\n"
      "*ZMD_dmOrientation DMORIENTATION_LANDSCAPE: \"\"\n*OptionCommand: { \"@PJL SET ORIENTATION = \" \" <0D0A>\" }\n"
      "*CloseUI\n*OpenUI *ZMD_dmOrientation 2: PickOne\n*OptionCommand: { \"O2=\" \";\" }\n*CloseUI\n"
      "*OpenUI *ZMD_dmICMIntent: PickOne|TypeUnknown\n*ZMD_dmICMIntent DMICMINTENT_SATURATE: \"SATURATE\"\n"
      "*OptionCommand: { \"NEVER=\" \";\" }\n*CloseUI\n"
      "*OpenUI *ZMD_vdmFuncSelectDuplex: Boolean\n*ZMD_vdmFuncSelectDuplex True: \"YES\"\n"
      "*ZMD_vdmFuncSelectDuplex False: \"NO\"\n*OptionCommand: { \"D=\" \";\" }\n*CloseUI\n"
      "*OpenUI *ZMD_dmScale: Numeric\n*NumericValue: 3 \"2 100 1 1000\"\n*OptionCommand: { \"S=\" \";\" }\n*CloseUI\n"
      "*OpenUI *ZMD_dmCopies: Numeric\n*NumericValue: 1 \"0 1 1 999\"\n*OptionCommand: { \"Q=\" \";\" }\n*CloseUI\n"
      "*OpenUI *ZMD_vdmUserID: String\n*StringValue: 8 ASCII\n*OptionCommand: { \"U=%\"\" \"%\";\" }\n*CloseUI\n"
      "*OpenUI *ZMD_dmFormName: String\n*StringValue: 31 MultiByte\n*OptionCommand: { \"F=\" \";\" }\n*CloseUI\n"
      "*OpenUI *ZMD_dmPaperSize: PickPage\n*ZMD_dmPaperSize DMPAPERSIZE_A4: \"A4\"\n"
      "*OptionCommand: { \"P=\" \";\" }\n*CloseUI\n"
      "*OpenUI *ZMD_dmDefaultSource: PickSlot\n*ZMD_dmDefaultSource DMDEFAULTSOURCE_TRAY2: \"T2\"\n"
      "*OptionCommand: { \"T=\" \";\" }\n*CloseUI\n"
      "*OpenUI *ZMD_dmMediaType: PickOne\n*ZMD_dmMediaType DMMEDIATYPE_PLAIN: \"PLAIN\"\n*CloseUI\n"
      "*OpenUI *ZMD_vdmMediaType: Identity *ZMD_dmMediaType\n*OptionCommand: { \"M=\" \";\" }\n*CloseUI\n"
      "*OpenUI *ZMD_dmICMMethod: PickMany\n*OptionCommand: { \"X=\" \";\" }\n*CloseUI\n"
      "*OpenUI *ZMD_vdmDeviceFontSelect: FontTbl\n*ZMD_vdmDeviceFontSelect VDMDEVICEFONTSELECT_OFF: \"OFF\"\n"
      "*ZMD_vdmDeviceFontSelect VDMDEVICEFONTSELECT_ON: \"ON\"\n*OptionCommand: { \"FS=\" \";\" }\n*CloseUI\n"
      "*TTFS VDMDEVICEFONTSELECT_ON: IDList { {\"Arial\" \"Helvetica\"} }\n"
      // Special kinds: 1 (item 223), 3 (item 1), 2 (item 104), 5 (item 707), 101, 6, 7 (items 882-884).
      "*OpenUI *ZMD_vdmPrnMethodSub: Numeric\n*NumericValue: 1 \"1 0 0 255\"\n"
      "*OptionCommand: { \"@PJL SET TIME = \" \" <0D0A>\" }\n*CloseUI\n"
      "*OpenUI *ZMD_dmDeviceName: String\n*StringValue: 32 MultiByte\n"
      "*OptionCommand: { \"@PJL SET VELMPRINTERNAME = \" \" <0D0A>\" }\n*CloseUI\n"
      "*OpenUI *ZMD_vdmBindMargin: Numeric\n*NumericValue: 254 \"1 0 0 65535\"\n*OptionCommand: { \"B=\" \";\" }\n*CloseUI\n"
      "*OpenUI *ZMD_vdmMarginOdd: Numeric\n*NumericValue: 1 \"2 0 0 65535\"\n*OptionCommand: { \"O=\" \";\" }\n*CloseUI\n"
      "*OpenUI *ZMD_vdmIniFileName: String\n*StringValue: 15 ASCII\n*OptionCommand: { \"I=\" \";\" }\n*CloseUI\n"
      "*OpenUI *ZMD_wdmBidiState: Numeric\n*NumericValue: 1 \"1 0 0 255\"\n*OptionCommand: { \"R=\" \";\" }\n*CloseUI\n"
      "*OpenUI *ZMD_wdmWork883: Numeric\n*NumericValue: 1 \"1 0 0 255\"\n*OptionCommand: { \"L=\" \";\" }\n*CloseUI\n"
      "*OpenUI *ZMD_wdmWork884: Numeric\n*NumericValue: 1 \"1 0 0 255\"\n*OptionCommand: { \"K=\" \";\" }\n*CloseUI\n"
      "*OpenUI *ZMD_vdmDocumentName: String\n*StringValue: 16 MultiByte\n"
      "*OptionCommand: { \"N=%\"\" \"%\";\" }\n*CloseUI\n";

  HANDLE printer_ = nullptr;
  DriverContext* context_ = nullptr;
  ModelDescription* shipped_ = nullptr;
  std::vector<Image> fragments_;
  std::vector<DWORD> blocks_;
};

// ---- The shipped description ----------------------------------------------------------------

// An ordinary job: A4 portrait from the automatic tray on plain paper, one copy at 600 dpi in
// colour, smoothing and font substitution on, TrueType fonts replaced by the device's.
constexpr DWORD kTTSubstitute = 3, kTTDownload = 2;
constexpr std::pair<WORD, DWORD> kOrdinaryJob[] = {
    {kPaperSize, 9}, {kOrientation, 1}, {kSource, 7},    {kMediaType, 1},  {kCopies, 1},
    {kResolution, 600}, {kColor, 2},    {kSmoothing, 1}, {kFontSelect, 1}, {kTTOption, kTTSubstitute},
};
constexpr char kJobHead[] = "\x1b%-12345X@PJL \r\n@PJL COMMENT VELM DRIVER \r\n";

TEST_F(PjlTemplatesTest, ShippedTemplatesGiveAnOrdinaryJob) {
  for (const auto& [id, value] : kOrdinaryJob) Set(id, value);
  EXPECT_EQ(JobStart(), std::string(kJobHead) +
                            "@PJL SET JOBTYPE = NORMAL \r\n@PJL SET QTY = 1 \r\n@PJL SET RESOLUTION = 600 \r\n"
                            "@PJL SET RENDERMODE = COLOR \r\n@PJL SET ECONOMODE = OFF \r\n@PJL SET SMOOTHING = ON \r\n"
                            "@PJL SET DUPLEX = OFF \r\n@PJL SET COLLATE = OFF \r\n@PJL SET OUTBIN = DEFAULT \r\n"
                            "@PJL SET FONTSUBSTITUTION = ON \r\n"
                            "@PJL SET SUBFONTTABLE = \"Arial+Helvetica/Times New Roman+Times/Courier New+Courier/"
                            "Symbol+Symbol\" \r\n"
                            "@PJL SET DEVFONTID = \"1+Courier/2+Helvetica/3+Helvetica Narrow/4+Times/5+Symbol/"
                            "6+Dingbats\" \r\n@PJL ENTER LANGUAGE = VELM \r\n");
  EXPECT_EQ(Run(PjlBuildPageStart), "@PJL SET PAPER = A4 \r\n@PJL SET PAGEORIENTATION = PORTRAIT \r\n"
                                    "@PJL SET MEDIASOURCE = AUTO \r\n@PJL SET MEDIATYPE = PLAIN \r\n");
  EXPECT_EQ(Run(PjlBuildPageEnd), "@PJL SET PAGEEND = ON \r\n");
}

TEST_F(PjlTemplatesTest, ShippedTemplatesFollowChangedSettings) {
  for (const auto& [id, value] : kOrdinaryJob) Set(id, value);
  const std::pair<WORD, DWORD> changes[] = {
      {kCopies, 3},    {kResolution, 1200}, {kColor, 1},     {kDuplexOn, 1},  {kDuplexType, 1},   {kStapleOn, 1},
      {kStapleType, 1}, {kSortType, 1},     {kOutputTray, 2}, {kFontSelect, 0}, {kPrintMethod, 1},  // locked
      {kPaperSize, 8}, {kOrientation, 2},   {kSource, 3},    {kMediaType, 257},  // A3 landscape, tray 2, thick
      {kTTOption, kTTDownload},  // no device fonts used
  };
  for (const auto& [id, value] : changes) Set(id, value);
  SetText(kUserId, u"ALICE");
  SetText(kPassword, u"1234");
  const std::string rest = "@PJL SET QTY = 3 \r\n@PJL SET RESOLUTION = 1200 \r\n@PJL SET RENDERMODE = GRAYSCALE \r\n"
                           "@PJL SET ECONOMODE = OFF \r\n@PJL SET SMOOTHING = ON \r\n@PJL SET DUPLEX = ON \r\n"
                           "@PJL SET BINDING = TOP \r\n@PJL SET STAPLE = TOPLEFT \r\n@PJL SET COLLATE = SORT \r\n"
                           "@PJL SET OUTBIN = UPPER \r\n@PJL SET FONTSUBSTITUTION = OFF \r\n"
                           "@PJL ENTER LANGUAGE = VELM \r\n";
  EXPECT_EQ(JobStart(), std::string(kJobHead) + "@PJL SET JOBTYPE = LOCKED \r\n@PJL SET USERID = \"ALICE\" \r\n" +
                            "@PJL SET LOCKEDPASSWORD = \"1234\" \r\n" + rest);
  // A stored job names its document instead of a password.
  Set(kPrintMethod, 3);
  SetText(kDocumentName, u"Minutes");
  EXPECT_EQ(JobStart(), std::string(kJobHead) + "@PJL SET JOBTYPE = STORED \r\n@PJL SET USERID = \"ALICE\" \r\n" +
                            "@PJL SET DOCUMENTNAME = \"Minutes\" \r\n" + rest);
  EXPECT_EQ(Run(PjlBuildPageStart), "@PJL SET PAPER = A3 \r\n@PJL SET PAGEORIENTATION = LANDSCAPE \r\n"
                                    "@PJL SET MEDIASOURCE = TRAY2 \r\n@PJL SET MEDIATYPE = THICK \r\n");
}

TEST_F(PjlTemplatesTest, ShippedFontLinesFollowTheSettingsFontBlocks) {
  for (const auto& [id, value] : kOrdinaryJob) Set(id, value);
  FontPairs({{u"Arial", u"Helvetica"}, {u"Times New Roman", u"Times"}});
  BYTE* fonts = FontBlock(kDeviceFontCount, kDeviceFonts, 3, 68, 3);
  PutDeviceFont(fonts, 0, 12, u"Alpha");
  PutDeviceFont(fonts, 1, 0xFFFF, u"Removed");
  PutDeviceFont(fonts, 2, 34, u"Beta");
  Set(kTTOption, 3);  // device fonts substitute: the DEVFONTID line is sent
  EXPECT_TRUE(JobStart().ends_with("@PJL SET FONTSUBSTITUTION = ON \r\n"
                                   "@PJL SET SUBFONTTABLE = \"Arial+Helvetica/Times New Roman+Times\" \r\n"
                                   "@PJL SET DEVFONTID = \"12+Alpha/34+Beta\" \r\n@PJL ENTER LANGUAGE = VELM \r\n"));
  Set(kFontSelect, 0);
  Set(kTTOption, 1);
  EXPECT_TRUE(JobStart().ends_with("@PJL SET FONTSUBSTITUTION = OFF \r\n@PJL ENTER LANGUAGE = VELM \r\n"));
}

// ---- Value handlers and special settings --------------------------------------------------------

TEST_F(PjlTemplatesTest, EachHandlerWritesItsValueBetweenTheCommandTexts) {
  UseJobStart("Type: GroupType ZMD_dmOrientation\n Type: GroupType ZMD_dmOrientation 2\n"
              "Type: GroupType ZMD_dmICMIntent\n Type: GroupType ZMD_vdmFuncSelectDuplex\n Type: GroupType ZMD_dmScale\n"
              "Type: GroupType ZMD_dmCopies\n Type: GroupType ZMD_vdmUserID\n Type: GroupType ZMD_dmFormName\n"
              "Type: GroupType ZMD_dmPaperSize\n Type: GroupType ZMD_dmDefaultSource\n"
              "Type: GroupType ZMD_vdmMediaType 7\n Type: GroupType ZMD_dmICMMethod");
  const std::pair<WORD, DWORD> values[] = {{kOrientation, 1}, {kIcmIntent, 1}, {kDuplexOn, 1}, {kScale, 55},
                                           {kCopies, 5},      {kPaperSize, 9}, {kSource, 3},   {kDriverMedia, 1}};
  for (const auto& [id, value] : values) Set(id, value);
  SetText(kUserId, u"BOB");
  SetText(kFormName, u"Brief\u00e9");
  // 55 * 3 / 2 = 82; the copy count's divisor of 0 and the TypeUnknown record write nothing,
  // the Identity record serves any record number, a PickMany record has no handler.
  EXPECT_EQ(JobStart(),
            "@PJL SET ORIENTATION = PORTRAIT \r\nO2=PORTRAIT;D=YES;S=82;U=\"BOB\";F=Brief\xe9;P=A4;T=T2;M=PLAIN;");

  // A value whose text is empty, values not in the lists, empty strings: no line at all.
  const std::pair<WORD, DWORD> others[] = {{kOrientation, 2}, {kDuplexOn, 0},  {kScale, DWORD(-7)},
                                           {kPaperSize, 8},   {kSource, 7},    {kDriverMedia, 5}};
  for (const auto& [id, value] : others) Set(id, value);
  SetText(kUserId, u"");
  SetText(kFormName, u"");
  EXPECT_EQ(JobStart(), "D=NO;S=-10;");  // the scale is signed: -7 * 3 / 2

  // Text of the settings cannot end its quotes or its line.
  SetText(kUserId, u"a\"b\r\nc");
  EXPECT_EQ(JobStart(), "D=NO;S=-10;U=\"a b  c\";");
}

TEST_F(PjlTemplatesTest, DateTimeAndNamesAreWrittenAsTheirOwnLines) {
  platform::SetMachineSetting("clock_local", "2026-03-07 09:05:03");
  UseJobStart("Type: GroupType ZMD_vdmPrnMethodSub\n Type: GroupType ZMD_dmDeviceName");
  EXPECT_EQ(JobStart(), "@PJL SET DATE = \"2026/03/07\" \r\n@PJL SET TIME = \"09:05:03\" \r\n"
                        "@PJL SET VELMDRIVERNAME = \"Velm Printer Driver\" \r\n"
                        "@PJL SET VELMPRINTERNAME = \"Velm Printer\" \r\n");
}

TEST_F(PjlTemplatesTest, LengthsAreScaledToTheResolutionIn64Bits) {
  UseJobStart("Type: GroupType ZMD_vdmBindMargin\n Type: GroupType ZMD_vdmMarginOdd");
  Set(kBindMargin, 20000);  // 20000 * 254 * 2400 passes 32 bits before the division by 1200
  Set(kResolution, 2400);
  Set(kMarginOdd, 600);     // 600 * 1 * 2400 / (2 * 1200)
  EXPECT_EQ(JobStart(), "B=10160000;O=600;");
  // Kinds 9 and 10 (on no row of the table) mirror by the margin side.
  for (const auto& [kind, mirroredSides] : {std::pair{9u, std::vector<DWORD>{2, 4}}, {10u, {3, 4}}}) {
    Row(kMarginOdd)->code = kind;
    for (DWORD side = 0; side <= 4; ++side) {
      Set(kBindSide, side);
      const bool mirrored = std::count(mirroredSides.begin(), mirroredSides.end(), side) != 0;
      EXPECT_EQ(JobStart(), std::string("B=10160000;O=") + (mirrored ? "-600;" : "600;")) << kind << " " << side;
    }
  }
  // Kinds without special output take the normal handler: 7 * 254 / 1.
  Set(kBindMargin, 7);
  for (DWORD kind : {4u, 11u, 99u}) {
    Row(kBindMargin)->code = kind;
    EXPECT_EQ(JobStart(), "B=1778;O=-600;") << kind;
  }
}

TEST_F(PjlTemplatesTest, PathsAndDigits) {
  UseJobStart("Type: GroupType ZMD_vdmIniFileName\n Type: GroupType ZMD_wdmWork883\n"
              "Type: GroupType ZMD_wdmWork884\n Type: GroupType ZMD_vdmDocumentName");
  const std::string ini = "I=" + Ansi(PathGetSettingsIni(context_)) + ";";
  ASSERT_GT(ini.size(), 3u);
  SetText(kDocumentName, u"(03) 1234-5678");
  // No log file named yet: its two lines are left out.
  EXPECT_EQ(JobStart(), ini + "N=\"(03) 1234-5678\";");
  SetLogFileName(u"C:\\LOG\\JOB.LOG");
  Row(kDocumentName)->code = 8;  // kind 8 is on no row of the table
  EXPECT_EQ(JobStart(), ini + "L=C:\\LOG\\JOB.LOG;K=C:\\LOG\\JOB.DLL;N=\"03 12345678\";");
  // Three characters are no name with an extension; kind 12 is the driver folder.
  SetLogFileName(u"LOG");
  SetText(kDocumentName, u"-()");
  Row(kWork883)->code = 12;
  EXPECT_EQ(JobStart(), ini + "L=" + Ansi(PrnGetDriverDirectory(context_)) + ";K=LOG;");
}

TEST_F(PjlTemplatesTest, DeviceFontFileByModelClassMediaAndUse) {
  UseJobStart("Type: GroupType ZMD_wdmBidiState");
  const std::string folder = Ansi(PrnGetDriverDirectory(context_));
  struct Case {
    BYTE modelClass;
    DWORD media, use;
    const char* file;
  } const cases[] = {
      {130, 2, 2, "qnfont1d.rcm"}, {130, 2, 1, "qnfont1c.rcm"}, {130, 1, 3, "qnfont1b.rcm"},
      {130, 0, 1, "qnfont1a.rcm"}, {131, 2, 4, "qnfont2d.rcm"}, {131, 2, 1, "qnfont2c.rcm"},
      {131, 3, 2, "qnfont2b.rcm"}, {131, 1, 1, "qnfont2a.rcm"}, {130, 2, 0, nullptr}, {129, 2, 2, nullptr},
  };
  for (const Case& c : cases) {
    context_->modelDefaults->machineId = c.modelClass;
    Set(kDriverMedia, c.media);
    Set(kDeviceFontUse, c.use);
    EXPECT_EQ(JobStart(), c.file ? "R=" + folder + c.file + ";" : "") << int(c.modelClass) << " " << c.media << " "
                                                                       << c.use;
  }
}

// ---- Font lines --------------------------------------------------------------------------------

TEST_F(PjlTemplatesTest, DeviceFontLineListsTheFontsOfTheSettings) {
  UseJobStart("Type: FontType");
  Set(kDeviceFontCount, 0);  // the open seeded the model's fonts
  EXPECT_EQ(JobStart(), "");
  BYTE* fonts = FontBlock(kDeviceFontCount, kDeviceFonts, 4, 68, 4);
  PutDeviceFont(fonts, 0, 0xFFFF, u"Gone");
  PutDeviceFont(fonts, 1, 12, u"Alpha");
  PutDeviceFont(fonts, 2, 0xFFFF, u"Removed");
  PutDeviceFont(fonts, 3, 34, u"Beta");
  EXPECT_EQ(JobStart(), "@PJL SET DEVFONTID = \"12+Alpha/34+Beta\" \r\n");
  // A name of 32 units has no terminator in its row; a quote in a name is blanked; a count
  // beyond the block reads only the block.
  PutDeviceFont(fonts, 1, 7, u"ABCDEFGHIJKLMNOPQRSTUVWXYZ012345");
  PutDeviceFont(fonts, 3, 65534, u"Say \"x\"");
  Set(kDeviceFontCount, 300);
  EXPECT_EQ(JobStart(), "@PJL SET DEVFONTID = \"7+ABCDEFGHIJKLMNOPQRSTUVWXYZ012345/65534+Say  x \" \r\n");
  // Every font removed: no line rather than a line without fonts.
  PutDeviceFont(fonts, 1, 0xFFFF, u"");
  PutDeviceFont(fonts, 3, 0xFFFF, u"");
  EXPECT_EQ(JobStart(), "");
}

TEST_F(PjlTemplatesTest, SubstitutionLineFollowsAFontTableValueWithPairs) {
  UseJobStart("Type: GroupType ZMD_vdmDeviceFontSelect");
  Set(kFontSelect, 1);
  Set(kFontTableCount, 0);  // the open seeded the model's table
  EXPECT_EQ(JobStart(), "FS=ON;");  // no substitutions in the settings
  FontPairs({{u"Arial", u"Helvetica"}, {u"Courier New", u"Courier"}});
  EXPECT_EQ(JobStart(), "FS=ON;@PJL SET SUBFONTTABLE = \"Arial+Helvetica/Courier New+Courier\" \r\n");
  Set(kFontTableCount, 1);
  EXPECT_EQ(JobStart(), "FS=ON;@PJL SET SUBFONTTABLE = \"Arial+Helvetica\" \r\n");
  Set(kFontSelect, 0);  // the value without pairs
  EXPECT_EQ(JobStart(), "FS=OFF;");
}

// ---- Templates ---------------------------------------------------------------------------------

TEST_F(PjlTemplatesTest, MeasuringAndWritingAgreeOverEveryKindOfNode) {
  UseJobStart("Type: StringType 1\n Type: StringType 2\n Type: GroupType ZMD_vdmUserID\n"
              "Command: DuplexOn {\n Type: GroupType ZMD_vdmFuncSelectDuplex\n"
              "  Command: Portrait { Type: GroupType ZMD_dmOrientation } Else { Type: StringType 3 }\n"
              "} Else { Type: GroupType ZMD_dmPaperSize }\n"
              "Type: GroupType ZMD_vdmDeviceFontSelect\n Type: FontType\n Type: StringType 3",
              "*CommandString 1: \"<1B>%%-12345X@PJL <0D0A>\"\n*CommandString 2: \"\"\n*CommandString 3: \"E;\"\n"
              "*Judge 1=DuplexOn: ZMD_vdmFuncSelectDuplex\n"
              "*Judge 2=Portrait: ZMD_dmOrientation == DMORIENTATION_PORTRAIT\n"
              "*CommandGroup: PageStart {\n Type: StringType 2\n}\n");
  Set(kPaperSize, 9);
  SetText(kUserId, u"CAROL");
  Set(kFontSelect, 1);
  FontPairs({{u"Arial", u"Helvetica"}});
  PutDeviceFont(FontBlock(kDeviceFontCount, kDeviceFonts, 1, 68, 1), 0, 5, u"Symbol");
  const std::string head = "\x1b%-12345X@PJL \r\nU=\"CAROL\";";
  const std::string tail = "FS=ON;@PJL SET SUBFONTTABLE = \"Arial+Helvetica\" \r\n@PJL SET DEVFONTID = \"5+Symbol\" \r\nE;";
  // Run checks that the measured and the written text agree, for each way through the branches.
  EXPECT_EQ(JobStart(), head + "P=A4;" + tail);
  Set(kDuplexOn, 1);
  Set(kOrientation, 1);
  EXPECT_EQ(JobStart(), head + "D=YES;@PJL SET ORIENTATION = PORTRAIT \r\n" + tail);
  Set(kOrientation, 2);
  EXPECT_EQ(JobStart(), head + "D=YES;E;" + tail);

  // A buffer one byte short of the text is a failure, not a cut line.
  DWORD measured = 0, written = 99;
  ASSERT_EQ(PjlBuildJobStart(context_, nullptr, 0, &measured), 1);
  std::string text(measured, '\0');
  EXPECT_LT(PjlBuildJobStart(context_, text.data(), measured - 1, &written), 0);
  EXPECT_EQ(written, 0u);
  // A literal of length 1 (only its terminator) writes nothing: this page start measures 0.
  EXPECT_EQ(PjlBuildPageStart(context_, nullptr, 0, &measured), 0);
  EXPECT_EQ(measured, 0u);
}

TEST_F(PjlTemplatesTest, AnAbsentTemplateStillGivesItsPacketWithNoBody) {
  UseJobStart("Type: FontType");
  DWORD length = 99;
  EXPECT_EQ(PjlBuildPageEnd(context_, nullptr, 0, &length), 0);
  EXPECT_EQ(length, 0u);
  StreamHarness h;
  ASSERT_TRUE(PjlEmitPageEnd(h.stream(), PjlBuildPageEnd, context_));
  EXPECT_EQ(h.output.bytes, (std::vector<uint8_t>{0xF1, 0, 0, 0, 0, 0, 0, 0}));
  context_->description = nullptr;  // no description, no templates
  EXPECT_EQ(PjlBuildJobStart(context_, nullptr, 0, &length), 0);
  EXPECT_EQ(length, 0u);
  EXPECT_LT(PjlBuildJobStart(nullptr, nullptr, 0, &length), 0);
}

// The first node of a template's first list, inside the block (to damage it).
BYTE* FirstNode(const ModelDescription* d, int point) {
  DescBranchView view{};
  DescReadBranch(d, DescCommandTree(d, point), &view);
  return reinterpret_cast<BYTE*>(const_cast<DescTemplateNode*>(view.thenList));
}

TEST_F(PjlTemplatesTest, AnUnknownNodeOrAMissingCommandNodeFailsTheTemplate) {
  DWORD length = 0;
  // Record 5 of the orientation does not exist; the resolution has no record at all.
  for (const char* clause : {"Type: GroupType ZMD_dmOrientation 5", "Type: GroupType ZMD_vdmDstResolutionW"}) {
    UseJobStart(std::string("Type: GroupType ZMD_dmPaperSize\n") + clause);
    EXPECT_LT(PjlBuildJobStart(context_, nullptr, 0, &length), 0) << clause;
  }
  // A node kind the interpreter does not know, and an item without a row.
  UseJobStart("Type: GroupType ZMD_dmPaperSize");
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

class PjlTemplatesPageTest : public DriverTest {};

TEST_F(PjlTemplatesPageTest, ABrokenPageStartTemplateFailsTheStartOfThePage) {
  Image broken = CompileText("*FileVersion: 3.60\n*CommandString 1: \"@PJL <0D0A>\"\n"
                             "*CommandGroup: PageStart {\n Type: StringType 1\n}\n");
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
  // The job start (no template: an empty body) and the job name went out; no page start.
  EXPECT_EQ(PacketSequence(CloseSpoolJob(spoolJob, false)), "F3 F3");
}

}  // namespace
}  // namespace velm::test
