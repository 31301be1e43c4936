// The escapes: the support query, the copy count, pass-through bytes and where they land in the
// job, the technology and device units, the job-setting setters and readers, the version and
// output library names; each with good, short and oversized buffers.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "data/item_ids.h"
#include "driver_fixture.h"
#include "gr2k/escapes.h"
#include "settings/items/settings_record.h"

namespace velm::test {
namespace {

constexpr ULONG kFailed = 0xFFFFFFFF;

class EscapesTest : public DriverTest {
 protected:
  RenderPdev* Start(std::vector<std::pair<WORD, DWORD>> items = {}, bool page = true) {
    g_testItems = SmallPage();
    g_testItems.insert(g_testItems.end(), items.begin(), items.end());
    spoolJob_ = OpenSpoolJob();
    RenderPdev* pdev = Enable();
    if (!pdev || !DrvEnableSurface(reinterpret_cast<DHPDEV>(pdev))) return nullptr;
    device_ = EngLockSurface(pdev->surface);
    if (!DrvStartDoc(device_, const_cast<LPWSTR>(u"Escapes"), spoolJob_)) return nullptr;
    if (page && !DrvStartPage(device_)) return nullptr;
    return pdev;
  }
  void End(RenderPdev* pdev) {
    EXPECT_TRUE(DrvEndDoc(device_, 0));
    EngUnlockSurface(device_);
    DrvDisableSurface(reinterpret_cast<DHPDEV>(pdev));
    DrvDisablePDEV(reinterpret_cast<DHPDEV>(pdev));
  }
  std::string JobBytes() {
    EXPECT_TRUE(EndDocPrinter(printer_));
    return ReadHostFile(platform::SpoolJobFile(spoolJob_));
  }
  ULONG Escape(ULONG escape, const void* in, ULONG cjIn, void* out = nullptr, ULONG cjOut = 0) {
    return DrvEscape(device_, escape, cjIn, const_cast<void*>(in), cjOut, out);
  }
  std::vector<BYTE> Record(RenderPdev* pdev) const {
    const BYTE* at = reinterpret_cast<const BYTE*>(pdev->context->settings);
    return std::vector<BYTE>(at, at + sizeof(SettingsRecord));
  }

  DWORD spoolJob_ = 0;
  SURFOBJ* device_ = nullptr;
};

// The pass-through input: a u16 count, then the bytes.
std::vector<BYTE> PassThroughInput(const std::string& bytes) {
  std::vector<BYTE> in{static_cast<BYTE>(bytes.size()), static_cast<BYTE>(bytes.size() >> 8)};
  in.insert(in.end(), bytes.begin(), bytes.end());
  return in;
}

TEST_F(EscapesTest, SupportQueryAnswersTheListAndPassThroughOnlyInItsMode) {
  for (const bool passThrough : {false, true}) {
    RenderPdev* pdev = Start(passThrough ? std::vector<std::pair<WORD, DWORD>>{{714, 1}} : std::vector<std::pair<WORD, DWORD>>{});
    ASSERT_NE(pdev, nullptr);
    const struct {
      WORD escape;
      ULONG answer;
    } cases[] = {{SETCOPYCOUNT, 999},     {QUERYESCSUPPORT, 1}, {GETTECHNOLOGY, 1}, {GETDEVICEUNITS, 1},
                 {111, 1},                {126, 1},             {140, 1},           {141, 1},
                 {PASSTHROUGH, passThrough ? 1u : 0u},          {110, 0},           {127, 0},
                 {139, 0},                {3, 0}};
    for (const auto& c : cases) EXPECT_EQ(Escape(QUERYESCSUPPORT, &c.escape, 2), c.answer) << c.escape;
    const WORD one = SETCOPYCOUNT;
    EXPECT_EQ(Escape(QUERYESCSUPPORT, &one, 1), 0u);      // too short to hold the number
    EXPECT_EQ(Escape(QUERYESCSUPPORT, nullptr, 2), 0u);
    EXPECT_EQ(Escape(3, &one, 2), 0u);                     // not supported at all
    EXPECT_EQ(Escape(PASSTHROUGH, "\1\0x", 3), passThrough ? 1u : 0u);
    EXPECT_TRUE(DrvSendPage(device_));
    End(pdev);
    JobBytes();
  }
}

TEST_F(EscapesTest, CopyCountIsBoundedStoredAndEchoed) {
  RenderPdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  const struct {
    DWORD given, stored;
  } cases[] = {{5000, 999}, {0, 1}, {998, 998}, {999, 999}, {0xFFFFFFFF, 999}, {3, 3}};
  for (const auto& c : cases) {
    DWORD out = 0;
    EXPECT_EQ(Escape(SETCOPYCOUNT, &c.given, 4, &out, 4), 1u) << c.given;
    EXPECT_EQ(out, c.stored);
    EXPECT_EQ(pdev->settings.copies, c.stored);
    EXPECT_EQ(OptGetValue(pdev->context, 12), c.stored);
  }
  const DWORD seven = 7;
  EXPECT_EQ(Escape(SETCOPYCOUNT, &seven, 4), 1u);  // no output wanted
  EXPECT_EQ(pdev->settings.copies, 7u);
  EXPECT_EQ(Escape(SETCOPYCOUNT, nullptr, 4), kFailed);
  EXPECT_EQ(Escape(SETCOPYCOUNT, &seven, 2), kFailed);  // short input counts as none
  WORD small = 0;
  const DWORD nine = 9;
  EXPECT_EQ(Escape(SETCOPYCOUNT, &nine, 4, &small, 2), 0u);  // the output cannot hold the echo
  EXPECT_EQ(pdev->settings.copies, 7u);
  EXPECT_TRUE(DrvSendPage(device_));
  End(pdev);
  JobBytes();
}

// Records buffered before the escape leave first, then the raw bytes; on the first page of a
// pass-through job only the raw bytes leave.
TEST_F(EscapesTest, PassThroughBytesFollowTheRecordsBufferedBeforeThem) {
  RenderPdev* pdev = Start({{714, 1}});
  ASSERT_NE(pdev, nullptr);
  const std::vector<BYTE> first = PassThroughInput("PAGE-ONE");
  EXPECT_EQ(Escape(PASSTHROUGH, first.data(), static_cast<ULONG>(first.size())), 8u);
  EXPECT_TRUE(DrvSendPage(device_));
  ASSERT_TRUE(DrvStartPage(device_));
  RECTL rect{1, 2, 3, 4};
  ASSERT_TRUE(DrvBitBlt(device_, nullptr, nullptr, nullptr, nullptr, &rect, nullptr, nullptr, nullptr, nullptr, 0));
  const std::vector<BYTE> second = PassThroughInput("TWO");
  EXPECT_EQ(Escape(PASSTHROUGH, second.data(), static_cast<ULONG>(second.size())), 3u);
  // A count beyond the input is refused and writes nothing.
  const BYTE lying[] = {9, 0, 'x', 'y'};
  EXPECT_EQ(Escape(PASSTHROUGH, lying, sizeof lying), kFailed);
  EXPECT_EQ(Escape(PASSTHROUGH, lying, 1), kFailed);
  EXPECT_TRUE(DrvSendPage(device_));
  End(pdev);
  const std::string bytes = JobBytes();
  jobdump::Options options;
  options.passThrough = true;
  options.rawLengths = {8, 3};
  jobdump::Job job;
  std::string error;
  ASSERT_TRUE(jobdump::DecodeJob(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), options, &job, &error))
      << error;
  std::vector<std::string> order;
  for (const jobdump::Packet& packet : job.packets) {
    if (packet.type == 0) order.push_back(packet.text);
    else if (packet.type == 0xF5 && packet.recordCount) order.push_back("F5");
  }
  // Page 1: the raw bytes alone; page 2: its records (page start, the fill) and then the bytes.
  ASSERT_EQ(order, (std::vector<std::string>{"PAGE-ONE", "F5", "TWO", "F5"}));
  EXPECT_EQ(bytes.find("xy"), std::string::npos);
}

BOOL WINAPI RefuseWrite(HANDLE, LPVOID, DWORD, LPDWORD written) {
  *written = 0;
  return FALSE;
}

TEST_F(EscapesTest, AFailedPassThroughWriteAnswersMinusOneAndAborts) {
  RenderPdev* pdev = Start({{714, 1}});
  ASSERT_NE(pdev, nullptr);
  const StrmWriteFn write = pdev->stream.writeCallback;
  pdev->stream.writeCallback = &RefuseWrite;
  const std::vector<BYTE> in = PassThroughInput("abc");
  EXPECT_EQ(Escape(PASSTHROUGH, in.data(), static_cast<ULONG>(in.size())), kFailed);
  EXPECT_NE(pdev->flags & kPdevFlagAbort, 0u);
  pdev->stream.writeCallback = write;
  DrvSendPage(device_);
  End(pdev);
  JobBytes();
}

TEST_F(EscapesTest, TechnologyDeviceUnitsVersionAndOutputLibraryNeedRoomForTheAnswer) {
  RenderPdev* pdev = Start({}, false);
  ASSERT_NE(pdev, nullptr);
  char text[200] = {};
  EXPECT_EQ(Escape(GETTECHNOLOGY, nullptr, 0), 0u);
  EXPECT_EQ(Escape(GETTECHNOLOGY, nullptr, 0, text, 4), 0u);
  EXPECT_EQ(text[0], 0);
  EXPECT_EQ(Escape(GETTECHNOLOGY, nullptr, 0, text, 5), 1u);
  EXPECT_EQ(std::string(text, 5), std::string("VELM\0", 5));

  float units[4] = {-1, -1, -1, -1};
  EXPECT_EQ(Escape(GETDEVICEUNITS, nullptr, 0, units, 12), 0u);
  EXPECT_EQ(Escape(GETDEVICEUNITS, nullptr, 0, units, 16), 1u);
  EXPECT_EQ(units[0], 1000.0f);  // printable width and length of the small page
  EXPECT_EQ(units[1], 800.0f);
  EXPECT_EQ(units[2], 0.0f);  // no page open: no offsets
  EXPECT_EQ(units[3], 0.0f);
  ASSERT_TRUE(DrvStartPage(device_));
  EXPECT_EQ(Escape(GETDEVICEUNITS, nullptr, 0, units, 16), 1u);
  EXPECT_EQ(units[2], 100.0f);  // items 48 and 49
  EXPECT_EQ(units[3], 100.0f);

  EXPECT_EQ(Escape(kEscVersion, nullptr, 0, text, 3), 0u);
  EXPECT_EQ(Escape(kEscVersion, nullptr, 0, text, sizeof text), 1u);
  EXPECT_STREQ(text, kEscVersionText);

  std::string name;
  for (const WCHAR* c = pdev->outputLibraryName; *c; ++c) name += static_cast<char>(*c);
  ASSERT_FALSE(name.empty());
  std::memset(text, 0x55, sizeof text);
  EXPECT_EQ(Escape(kEscOutputLibrary, nullptr, 0, text, static_cast<ULONG>(name.size())), 0u);  // no room for the NUL
  EXPECT_EQ(Escape(kEscOutputLibrary, nullptr, 0, text, 129), 1u);
  EXPECT_STREQ(text, name.c_str());
  EXPECT_TRUE(DrvSendPage(device_));
  End(pdev);
  JobBytes();
}

// Each setter changes its own item and nothing else of the settings; a long input is cut to the
// item's length and terminated; unknown items write nothing.
TEST_F(EscapesTest, SettersChangeExactlyTheirItem) {
  RenderPdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  const struct {
    ULONG escape;
    WORD item;
  } cases[] = {{111, 216}, {112, 217}, {113, 220}, {114, 215}, {115, 219}, {116, 243}, {118, 221}};
  const std::string longText(100, 'Q');
  for (const auto& c : cases) {
    ItemTableRow* row = OptFindItem(pdev->context->itemTable, c.item);
    ASSERT_NE(row, nullptr);
    const DWORD length = static_cast<DWORD>(DescriptorLength(row->descriptor));
    const std::vector<BYTE> before = Record(pdev);
    EXPECT_EQ(Escape(c.escape, "AB", 2), 1u) << c.escape;
    const BYTE* field = OptGetItemAddress(pdev->context, row);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(field)), "AB") << c.escape;
    std::vector<BYTE> after = Record(pdev);
    const size_t at = static_cast<size_t>(field - reinterpret_cast<const BYTE*>(pdev->context->settings));
    std::copy(before.begin() + at, before.begin() + at + length, after.begin() + at);
    EXPECT_EQ(after, before) << "escape " << c.escape << " changed more than item " << c.item;
    // Oversized: cut to the field less its terminator.
    EXPECT_EQ(Escape(c.escape, longText.data(), static_cast<ULONG>(longText.size())), 1u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(field)), std::string(length - 1, 'Q')) << c.escape;
    EXPECT_EQ(field[length - 1], 0);
    EXPECT_EQ(Escape(c.escape, nullptr, 4), 0u);
  }
  // The telephone line: the decimal value of at most the input's bytes.
  EXPECT_EQ(Escape(117, "42", 3), 1u);
  EXPECT_EQ(OptGetValue(pdev->context, 244), 42u);
  EXPECT_EQ(Escape(117, "1234567", 3), 1u);
  EXPECT_EQ(OptGetValue(pdev->context, 244), 123u);
  // Identifiers no row has: nothing written, 0.
  const std::vector<BYTE> before = Record(pdev);
  for (ULONG escape : {123u, 124u, 125u}) EXPECT_EQ(Escape(escape, "AB", 2), 0u) << escape;
  EXPECT_EQ(Record(pdev), before);
  // Escape 121 keeps at most its field of wide text; 122 takes anything.
  const std::u16string wide(200, u'w');
  EXPECT_EQ(Escape(121, wide.data(), static_cast<ULONG>(wide.size() * 2)), 1u);
  EXPECT_EQ(std::u16string(pdev->escapeText), wide.substr(0, kEscapeTextChars - 1));
  EXPECT_EQ(Escape(122, wide.data(), 7), 1u);
  EXPECT_TRUE(DrvSendPage(device_));
  End(pdev);
  JobBytes();
}

// Text an application sets by escape reaches the job-start PJL of a locked job between double
// quotes: quotes and line ends become blanks, so the text cannot end its line or start a command.
TEST_F(EscapesTest, HostileJobTextStaysInsideItsQuotedPjlValue) {
  const struct {
    ULONG escape;
    std::string text;
    std::string line;
    bool doubleByte = false;
  } cases[] = {
      {114, "A\"B", "@PJL SET USERID = \"A B\" \r\n"},
      {114, "\r\n@PJL", "@PJL SET USERID = \"  @PJL\" \r\n"},
      {114, "\n@PJL X", "@PJL SET USERID = \" @PJL X\" \r\n"},
      {113, "\x1b%\x01\"", "@PJL SET LOCKEDPASSWORD = \" %  \" \r\n"},
      // Last, on a double-byte code page: a lone lead byte would take the closing quote.
      {114, "AB\x81", "@PJL SET USERID = \"AB\" \r\n", true},
  };
  for (const auto& c : cases) {
    if (c.doubleByte) ASSERT_TRUE(platform::SetMachineSetting("codepage", "932"));
    RenderPdev* pdev = Start({{kItemPrnMethod, 1}}, false);  // locked: user id and password are sent
    ASSERT_NE(pdev, nullptr);
    EXPECT_EQ(Escape(c.escape, c.text.data(), ULONG(c.text.size())), 1u);
    ASSERT_TRUE(DrvStartPage(device_));
    EXPECT_TRUE(DrvSendPage(device_));
    End(pdev);
    const std::string job = JobBytes();
    EXPECT_NE(job.find(c.line), std::string::npos) << c.line;
    EXPECT_EQ(job.find("\n@PJL X"), std::string::npos);
    EXPECT_EQ(job.find("\n@PJL\""), std::string::npos);
  }
}

TEST_F(EscapesTest, ReadersAnswerAWordWhenThereIsRoom) {
  RenderPdev* pdev = Start();
  ASSERT_NE(pdev, nullptr);
  // Set after the document start, whose merges settle these items from the devmode.
  for (const auto& [item, value] : {std::pair<WORD, DWORD>{13, 7}, {222, 3}, {247, 0x10001}}) {
    ASSERT_TRUE(OptSetValue(pdev->context, item, value));
  }
  const struct {
    ULONG escape;
    WORD value;
  } cases[] = {{119, 7}, {120, 3}, {126, 1}};
  for (const auto& c : cases) {
    WORD out = 0xEEEE;
    EXPECT_EQ(Escape(c.escape, nullptr, 0, &out, 1), 0u) << c.escape;
    EXPECT_EQ(out, 0xEEEE);
    EXPECT_EQ(Escape(c.escape, nullptr, 0, &out, 2), 1u) << c.escape;
    EXPECT_EQ(out, c.value) << c.escape;
    EXPECT_EQ(Escape(c.escape, nullptr, 0), 1u) << c.escape;
  }
  EXPECT_TRUE(DrvSendPage(device_));
  End(pdev);
  JobBytes();
}

}  // namespace
}  // namespace velm::test

namespace velm::test {
namespace {

// Escapes from a page description reach the driver through the print host with their buffers.
TEST_F(DriverTest, EscapesFromThePrintHostAnswerIntoTheirOutput) {
  const platform::PrintResult result = PrintThroughHost(
      "escape 20 out=8\nescape 17 88130000 out=4\nescape 8 1300\nescape 20 out=2\n", {{"6", "0"}});
  ASSERT_TRUE(result.ok) << result.message;
  const auto logged = [&](const std::string& line) {
    for (const std::string& call : result.calls) {
      if (call == line) return true;
    }
    return false;
  };
  EXPECT_TRUE(logged("DrvEscape 20 -> 1 out 56454C4D00000000"));
  EXPECT_TRUE(logged("DrvEscape 17 -> 1 out E7030000"));  // 5000 copies become 999
  EXPECT_TRUE(logged("DrvEscape 8 -> 0"));                // pass-through is off
  EXPECT_TRUE(logged("DrvEscape 20 -> 0 out 0000"));
}

}  // namespace
}  // namespace velm::test
