// The status records as a program uses them, through the library loaded by name: every row read,
// changed and read back; the version rules; the lock rows; refused sets that leave the settings,
// the settings INI and the job-credential service as they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <cstring>
#include <filesystem>
#include <string>

#include "api_fixture.h"
#include "exclude/status_records.h"
#include "settings/persistence/settings_export.h"
#include "settings/services/device_caps.h"

namespace velm::test {
namespace {

using Record = std::vector<BYTE>;
struct Field {
  DWORD offset;
  DWORD value;
};

DWORD Load(const Record& r, DWORD offset) {
  DWORD v;
  std::memcpy(&v, r.data() + offset, 4);
  return v;
}
void Store(Record& r, DWORD offset, DWORD value) { std::memcpy(r.data() + offset, &value, 4); }
void StoreText(Record& r, DWORD offset, const std::string& text) {
  std::memcpy(r.data() + offset, text.c_str(), text.size() + 1);
}
std::string TextAt(const Record& r, DWORD offset) { return reinterpret_cast<const char*>(r.data() + offset); }

class StatusRecordsTest : public ApiTest {
 protected:
  void SetUp() override {
    ApiTest::SetUp();
    getStatus_ = Bind<VELMDrvGetStatusProc>("VELMDrvGetStatus");
    setStatus_ = Bind<VELMDrvSetStatusProc>("VELMDrvSetStatus");
    ASSERT_TRUE(getStatus_ && setStatus_);
    // A printer with the duplex unit, a finisher that staples and punches, and a hard disk.
    for (const char16_t* option : {u"Duplex", u"FinMk2", u"HardDisk"}) SetOption(option, 1);
    WriteHostFile(root_.OnDriveC("_velm/qnset.ini"), "");  // as the installation leaves it
  }
  void TearDown() override {
    for (VELMAPICONTEXT c : contexts_) disable_(c);
    ApiTest::TearDown();
  }
  void SetOption(const char16_t* name, DWORD value) {
    ASSERT_EQ(SetPrinterDataW(Open(), const_cast<LPWSTR>(name), REG_BINARY, reinterpret_cast<BYTE*>(&value), 4),
              static_cast<DWORD>(ERROR_SUCCESS));
  }
  VELMAPICONTEXT Fresh() {
    VELMAPICONTEXT c = enable_(kPrinter);
    EXPECT_NE(c, nullptr);
    contexts_.push_back(c);
    return c;
  }
  Record Get(VELMAPICONTEXT c, DWORD row, DWORD version = 0) {
    Record r(StatusRecordBytes(row, version ? version : StatusFindRow(row)->version) + 8, 0xEE);
    const int32_t size = getStatus_(c, row, r.data(), version);
    EXPECT_EQ(size, static_cast<int32_t>(r.size() - 8)) << "row " << row;
    for (size_t i = r.size() - 8; i < r.size(); ++i) EXPECT_EQ(r[i], 0xEE) << "row " << row << " written past";
    r.resize(r.size() - 8);
    return r;
  }
  int32_t Set(VELMAPICONTEXT c, DWORD row, const Record& r, BYTE* bitmap = nullptr, DWORD mode = 0) {
    return setStatus_(c, row, r.data(), bitmap, mode);
  }
  // An allowed devmode value of `item` other than `current`, from the model's list.
  DWORD OtherAllowed(WORD item, DWORD current) {
    DriverContext* probe = ApiEnable(kPrinter);
    DWORD values[64] = {};
    const int count = CapsGetAllowedValues(probe, values, item);
    ApiDisable(probe);
    for (int i = 0; i < count; ++i)
      if (values[i] != current) return values[i];
    ADD_FAILURE() << "item " << item << " offers no second value";
    return current;
  }
  std::string Service() {
    const auto file = root_.path() / "machine" / "jobcr" / "credentials";
    return std::filesystem::exists(file) ? ReadHostFile(file) : "";
  }
  std::string SettingsIni() {
    const auto file = root_.OnDriveC("_velm/qnset.ini");
    return std::filesystem::exists(file) ? ReadHostFile(file) : "";
  }

  VELMDrvGetStatusProc getStatus_ = nullptr;
  VELMDrvSetStatusProc setStatus_ = nullptr;
  std::vector<VELMAPICONTEXT> contexts_;
};

TEST_F(StatusRecordsTest, VersionsOfGets) {
  VELMAPICONTEXT c = Fresh();
  Record r(412, 0);
  EXPECT_EQ(getStatus_(c, 2, r.data(), 0), 32);
  EXPECT_EQ(Load(r, 0), 3u);
  EXPECT_EQ(getStatus_(c, 2, r.data(), 2), 32);
  EXPECT_EQ(Load(r, 0), 2u) << "filled in the caller's version";
  EXPECT_EQ(getStatus_(c, 2, r.data(), 4), -1);
  EXPECT_EQ(getStatus_(c, 16, r.data(), 3), -1) << "row 16 speaks version 2";
  EXPECT_EQ(getStatus_(c, 16, r.data(), 1), 372);
  EXPECT_EQ(Load(r, 0), 1u);
  EXPECT_EQ(getStatus_(c, 16, nullptr, 0), 412);
  EXPECT_EQ(getStatus_(c, 1, nullptr, 0), 816);
  for (DWORD row : {10u, 26u}) EXPECT_EQ(getStatus_(c, row, nullptr, 0), 392);
  for (DWORD row : {0u, 36u}) EXPECT_EQ(getStatus_(c, row, r.data(), 0), -1);
  EXPECT_EQ(getStatus_(nullptr, 2, r.data(), 0), -1);
  EXPECT_EQ(setStatus_(nullptr, 9, r.data(), nullptr, 0), -1);
  EXPECT_EQ(setStatus_(c, 9, nullptr, nullptr, 0), -1);
}

TEST_F(StatusRecordsTest, VersionRuleOfSets) {
  // Row 9 (copies) speaks version 3.
  struct Case {
    DWORD mode;
    DWORD version;
    int32_t result;
    bool set;
  };
  const Case cases[] = {
      {1, 2, 0, true}, {1, 3, 0, true}, {1, 4, 3, true},   // mode 1: the row's version for a newer record
      {2, 2, 0, true}, {2, 3, 0, true}, {2, 4, 3, false},  // mode 2: a newer record is not set
      {3, 2, 0, true}, {3, 3, 0, true}, {3, 4, 3, true},   // other modes: set, and the version answered
  };
  DWORD copies = 2;
  for (const Case& k : cases) {
    VELMAPICONTEXT c = Fresh();
    Record r = Get(c, 9);
    Store(r, 0, k.version);
    Store(r, 4, ++copies);
    EXPECT_EQ(Set(c, 9, r, nullptr, k.mode), k.result) << k.mode << " v" << k.version;
    EXPECT_EQ(Load(Get(c, 9), 4) == copies, k.set) << k.mode << " v" << k.version;
  }
}

TEST_F(StatusRecordsTest, EveryRowOfNumbersReadChangedAndReadBack) {
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\QUIRN\\Fusebay\\VodEduduv", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const DWORD installs = 1;
  ASSERT_EQ(RegSetValueExW(key, u"INSTALL_COUNT", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&installs), 4),
            ERROR_SUCCESS);
  RegCloseKey(key);

  struct Case {
    DWORD row;
    std::vector<Field> fields;  // a value 0xFFFFFFFF: another allowed value of the row's item
  };
  constexpr DWORD kPick = 0xFFFFFFFF;
  const Case cases[] = {
      {2, {{4, kPick}}},
      {3, {{4, kPick}}},
      {4, {{4, kPick}}},
      {5, {{4, kPick}}},
      {6, {{4, kPick}}},
      {7, {{4, 256}, {8, 1500}, {12, 2500}}},
      {8, {{4, 1024}}},
      {9, {{4, 5}}},
      {11, {{4, 3}, {8, 150}, {12, 150}, {28, 1}}},
      {12, {{4, 1}, {8, 2}, {28, 1}}},
      {13, {{4, 1}, {8, 2}, {28, 1}}},
      {14, {{4, kPick}, {28, 1}}},
      {15, {{4, kPick}, {28, 1}}},
      {18, {{4, 1}, {8, 100}, {12, 50}}},
      {19, {{4, kPick}, {28, 1}}},
      {20, {{4, kPick}, {28, 1}}},
      {21, {{4, kPick}, {28, 1}}},
      {22, {{4, 1}}},
      {23, {{4, 1}}},
      {24, {{4, 1}}},
      {25, {{4, 3}}},
      {27, {{4, 1}}},
      {28, {{4, 1}}},
      {29, {{4, 1}}},
      {30, {{4, 1}}},
      {31, {{4, 1}}},
      {32, {{4, 1}}},
      {33, {{4, 1}}},
      {35, {{4, 1}, {8, 0}, {12, 1}, {16, 0}}},
  };
  for (const Case& k : cases) {
    VELMAPICONTEXT c = Fresh();
    Record r = Get(c, k.row);
    const bool switched = std::any_of(k.fields.begin(), k.fields.end(), [](const Field& f) { return f.offset == 28; });
    const WORD item = StatusFindRow(k.row)->items[switched ? 1 : 0];
    for (const Field& f : k.fields) {
      const WORD fieldItem = k.row == 14 ? kItemNUPType : k.row == 15 ? kItemDuplexType : item;
      Store(r, f.offset, f.value == kPick ? OtherAllowed(fieldItem, Load(r, f.offset)) : f.value);
    }
    const Record asked = r;
    BYTE bitmap[32];
    ASSERT_EQ(Set(c, k.row, r, bitmap), 0) << "row " << k.row;
    const Record back = Get(c, k.row);
    for (const Field& f : k.fields) EXPECT_EQ(Load(back, f.offset), Load(asked, f.offset)) << "row " << k.row << " +" << f.offset;
  }
  // The job-action rows are stored at once: a fresh context reads them back.
  VELMAPICONTEXT later = Fresh();
  for (DWORD row : {29u, 30u, 31u, 32u, 33u}) EXPECT_EQ(Load(Get(later, row), 4), 1u) << row;
}

TEST_F(StatusRecordsTest, ResolutionRowTakesAResolutionId) {
  VELMAPICONTEXT c = Fresh();
  Record r = Get(c, 34);
  const DWORD id = Load(r, 4);
  ASSERT_NE(id, 0xFFFFFFFFu);
  DriverContext* probe = ApiEnable(kPrinter);
  LONG ids[16] = {};
  const int count = CapsGetResolutionIds(probe, ids);
  ApiDisable(probe);
  for (int i = 0; i < count; ++i) {
    Store(r, 4, static_cast<DWORD>(ids[i]));
    EXPECT_EQ(Set(c, 34, r), 0) << ids[i];
    EXPECT_EQ(Load(Get(c, 34), 4), static_cast<DWORD>(ids[i]));
  }
  Store(r, 4, 999);
  EXPECT_EQ(Set(c, 34, r), -1) << "no such resolution";
}

TEST_F(StatusRecordsTest, PrintTypeAndUserIdReachTheServiceAndAFreshContext) {
  VELMAPICONTEXT c = Fresh();
  Record r = Get(c, 10);
  EXPECT_EQ(Load(r, 8), 0x7Fu);
  Store(r, 4, 1);
  Store(r, 8, 0x3);
  StoreText(r, 12, "abc");
  StoreText(r, 21, "1234");
  ASSERT_EQ(Set(c, 10, r), 0);
  Record fresh = Get(Fresh(), 10);
  EXPECT_EQ(Load(fresh, 4), 1u) << "the type is kept in the settings INI";
  EXPECT_EQ(TextAt(fresh, 12), "abc");
  EXPECT_EQ(TextAt(fresh, 21), "1234");

  Record id = Get(c, 26);
  EXPECT_EQ(Load(id, 8), 1u);
  StoreText(id, 12, "xyz9");
  ASSERT_EQ(Set(c, 26, id), 0);
  const Record idBack = Get(Fresh(), 26);
  EXPECT_EQ(TextAt(idBack, 12), "xyz9");
  EXPECT_EQ(Load(idBack, 8), 1u);
}

TEST_F(StatusRecordsTest, PrintTypeChecksByTable) {
  struct Case {
    DWORD type;
    DWORD flags;
    std::vector<std::pair<DWORD, std::string>> texts;
    int32_t result;
    const char* why;
  };
  const Case cases[] = {
      {0, 0x1, {{12, "user1"}}, 0, "normal with an alphanumeric id"},
      {0, 0x1, {{12, "us-er"}}, -1, "normal with a hyphen"},
      {1, 0x3, {{12, "abc"}, {21, "123"}}, -1, "a three-digit password"},
      {1, 0x3, {{12, "abc"}, {21, "12a4"}}, -1, "a password with a letter"},
      {1, 0x3, {{12, ""}, {21, "1234"}}, -1, "no user id"},
      {2, 0x1, {{12, "abc"}}, 0, "proof with a user id"},
      {3, 0x1C, {{26, "1234"}, {31, "own\"er"}, {48, "doc"}}, -1, "a quote in the owner"},
      {3, 0x1C, {{26, "12"}, {31, "owner"}, {48, "doc"}}, -1, "a stored password of two digits"},
      {3, 0x1C, {{26, ""}, {31, "owner"}, {48, "doc"}}, 0, "no stored password"},
      {5, 0x20, {{65, "merge.csv"}}, -1, "merge is not a job type of this model"},
      {255, 0x40, {{130, "JOBTEXT"}}, -1, "the job text without its switch"},
      {9, 0, {}, -1, "no such job type"},
  };
  for (const Case& k : cases) {
    VELMAPICONTEXT c = Fresh();
    Record r = Get(c, 10);
    std::fill(r.begin() + 4, r.end(), 0);
    Store(r, 4, k.type);
    Store(r, 8, k.flags);
    for (const auto& [offset, text] : k.texts) StoreText(r, offset, text);
    EXPECT_EQ(Set(c, 10, r), k.result) << k.why;
  }
  // A text field without its NUL is refused, not read into the next field.
  VELMAPICONTEXT c = Fresh();
  Record r = Get(c, 10);
  std::fill(r.begin() + 4, r.end(), 0);
  Store(r, 4, 0);
  Store(r, 8, 0x1);
  std::memset(r.data() + 12, 'a', 9);
  EXPECT_EQ(Set(c, 10, r), -1);
  Record id = Get(c, 26);
  std::memset(id.data() + 12, 'b', 9);
  EXPECT_EQ(Set(c, 26, id), -1);
}

TEST_F(StatusRecordsTest, RefusedSetsLeaveSettingsIniAndServiceAsTheyWere) {
  // Something stored first, so that there is something to keep.
  VELMAPICONTEXT c = Fresh();
  Record r = Get(c, 10);
  Store(r, 4, 1);
  Store(r, 8, 0x3);
  StoreText(r, 12, "keep");
  StoreText(r, 21, "4321");
  ASSERT_EQ(Set(c, 10, r), 0);
  const std::string ini = SettingsIni(), service = Service();
  ASSERT_FALSE(service.empty());

  struct Case {
    DWORD row;
    std::function<void(Record&)> change;
    const char* why;
  };
  const Case cases[] = {
      {10, [](Record& x) { Store(x, 4, 1), Store(x, 8, 0x3), StoreText(x, 12, "new"), StoreText(x, 21, "12"); },
       "a short password"},
      {10, [](Record& x) { Store(x, 4, 3), Store(x, 8, 0x9), StoreText(x, 12, "new"), StoreText(x, 31, "a\"b"); },
       "a quote in the owner"},
      {26, [](Record& x) { StoreText(x, 12, "no way"); }, "a space in the user id"},
      {35, [](Record& x) { Store(x, 4, 0), Store(x, 8, 0), Store(x, 12, 0), Store(x, 16, 0); }, "no plane"},
      {7, [](Record& x) { Store(x, 4, 256), Store(x, 8, 1), Store(x, 12, 99999); }, "a custom size out of range"},
      {29, [](Record& x) { Store(x, 4, 1); }, "no job-binder feature"},
      {17, [](Record& x) { Store(x, 4, 256), Store(x, 28, 1); }, "no scratch stamp"},
  };
  for (const Case& k : cases) {
    Record x = Get(c, k.row);
    k.change(x);
    DriverContext* context = reinterpret_cast<DriverContext*>(c);
    const std::vector<BYTE> before(reinterpret_cast<BYTE*>(context->settings),
                                   reinterpret_cast<BYTE*>(context->settings) + sizeof(SettingsRecord));
    BYTE bitmap[32];
    std::memset(bitmap, 0xFF, sizeof bitmap);
    EXPECT_EQ(Set(c, k.row, x, bitmap), -1) << k.why;
    EXPECT_EQ(std::count(bitmap, bitmap + 32, 0), 32) << k.why;
    const std::vector<BYTE> after(reinterpret_cast<BYTE*>(context->settings),
                                  reinterpret_cast<BYTE*>(context->settings) + sizeof(SettingsRecord));
    EXPECT_TRUE(before == after) << k.why << ": the settings record changed";
    EXPECT_EQ(SettingsIni(), ini) << k.why;
    EXPECT_EQ(Service(), service) << k.why;
  }
  const Record back = Get(c, 10);
  EXPECT_EQ(TextAt(back, 12), "keep");
}

TEST_F(StatusRecordsTest, LockedRowsAreRefused) {
  // Without a stapler the staple switch is disabled: row 20 is locked.
  SetOption(u"FinMk2", 0);
  VELMAPICONTEXT c = Fresh();
  Record r = Get(c, 20);
  Store(r, 4, 1);
  Store(r, 28, 1);
  BYTE bitmap[32];
  std::memset(bitmap, 0xFF, sizeof bitmap);
  EXPECT_EQ(Set(c, 20, r, bitmap), -1);
  EXPECT_EQ(std::count(bitmap, bitmap + 32, 0), 32);
  // With n-up on, scale is disabled: row 11 is locked; n-up off frees it.
  Record nup = Get(c, 14);
  Store(nup, 28, 1);
  Store(nup, 4, OtherAllowed(kItemNUPType, Load(nup, 4)));
  ASSERT_EQ(Set(c, 14, nup), 0);
  Record scale = Get(c, 11);
  Store(scale, 4, 3), Store(scale, 8, 150), Store(scale, 12, 150), Store(scale, 28, 1);
  EXPECT_EQ(Set(c, 11, scale), -1);
  Store(nup, 28, 0);
  ASSERT_EQ(Set(c, 14, nup), 0);
  EXPECT_EQ(Set(c, 11, scale), 0);
}

TEST_F(StatusRecordsTest, AChangeMarksTheRowsItDisturbs) {
  VELMAPICONTEXT c = Fresh();
  // Duplex off through row 15 turns the switch item off; turning it on disturbs rows whose
  // values follow the duplex.
  Record duplex = Get(c, 15);
  Store(duplex, 28, 1);
  BYTE bitmap[32] = {};
  ASSERT_EQ(Set(c, 15, duplex, bitmap), 0);
  EXPECT_FALSE(StatusIsMarked(bitmap, 15)) << "the set row itself is not marked for its own change";
  // Copies change nothing else.
  Record copies = Get(c, 9);
  Store(copies, 4, Load(copies, 4) + 1);
  ASSERT_EQ(Set(c, 9, copies, bitmap), 0);
  EXPECT_EQ(std::count(bitmap, bitmap + 32, 0), 32);
  // N-up on disables scale: row 11's node went from enabled to disabled (byte 1, 0x20).
  Record nup = Get(c, 14);
  Store(nup, 4, OtherAllowed(kItemNUPType, Load(nup, 4)));
  Store(nup, 28, 1);
  ASSERT_EQ(Set(c, 14, nup, bitmap), 0);
  EXPECT_EQ(bitmap[1] & 0x20, 0x20);
  EXPECT_FALSE(StatusIsMarked(bitmap, 9));
  // N-up off again frees it: nothing became locked.
  Store(nup, 28, 0);
  ASSERT_EQ(Set(c, 14, nup, bitmap), 0);
  EXPECT_FALSE(StatusIsMarked(bitmap, 11));
  // Marking layout: row 18 is byte 2, 0x40; row 20 byte 2, 0x10.
  BYTE layout[32] = {};
  StatusMarkRow(layout, 18);
  StatusMarkRow(layout, 20);
  StatusMarkRow(layout, 1);
  EXPECT_EQ(layout[2], 0x50);
  EXPECT_EQ(layout[0], 0x80);
}

TEST_F(StatusRecordsTest, WatermarkRowAndItsStamp) {
  UiSetFontFaces({{u"Velm Sans"}, {u"@Velm Sans"}});
  VELMAPICONTEXT c = Fresh();
  Record r = Get(c, 16);
  ASSERT_EQ(r.size(), 412u);
  std::fill(r.begin() + 4, r.end(), 0);
  Store(r, 4, 1);                                  // text
  Store(r, 8, OtherAllowed(kItemWmPosi, 0xFFFF));  // a position the model has
  Store(r, 28, 4);                                 // cyan
  Store(r, 32, 50);
  Store(r, 36, 48);
  StoreText(r, 44, "DRAFT");
  StoreText(r, 77, "Velm Sans");
  Record bad = r;
  StoreText(bad, 77, "No Such Face");
  EXPECT_EQ(Set(c, 16, bad), -1) << "a face the display lacks";
  bad = r;
  Store(bad, 40, 30);
  Store(bad, 8, 1);
  EXPECT_EQ(Set(c, 16, bad), -1) << "an angle with a position other than 0 or 64";
  bad = r;
  Store(bad, 4, 128);
  EXPECT_EQ(Set(c, 16, bad), -1) << "the pattern kind without its switch";
  bad = r;
  Store(bad, 36, 5);
  EXPECT_EQ(Set(c, 16, bad), -1) << "a text size below 6";
  ASSERT_EQ(Set(c, 16, r), 0);
  const Record back = Get(Fresh(), 16);
  EXPECT_EQ(Load(back, 4), 1u);
  EXPECT_EQ(TextAt(back, 44), "DRAFT");
  EXPECT_EQ(TextAt(back, 77), "Velm Sans");
  EXPECT_EQ(Load(back, 28), 4u);
  DriverContext* context = reinterpret_cast<DriverContext*>(c);
  EXPECT_EQ(OptGetValue(context, kItemWmColorR), 0u);
  EXPECT_EQ(OptGetValue(context, kItemWmColorG), 255u);
  EXPECT_EQ(OptGetValue(context, kItemWmColorB), 255u);
  // Row 17 may now select the scratch stamp (256 stays 256).
  Record mark = Get(c, 17);
  Store(mark, 4, 256);
  Store(mark, 28, 1);
  ASSERT_EQ(Set(c, 17, mark), 0);
  EXPECT_EQ(Load(Get(c, 17), 4), 256u);
  UiSetFontFaces(UiDefaultFontFaces());
}

TEST_F(StatusRecordsTest, FunctionSwitchesOpenTheJobTextAndThePatternStamp) {
  const auto driverIni = root_.OnDriveC("Windows/System32/spool/drivers/w32x86/3/qndrv.ini");
  WriteHostFile(driverIni, "[VELMAPI]\r\nVELMAPIFunc1=258\r\n");  // 0x100 and 0x2
  UiSetFontFaces({{u"Velm Sans"}});
  VELMAPICONTEXT c = Fresh();
  // Print type 255 carries the first 20 bytes of the overlay field as the job text.
  Record r = Get(c, 10);
  std::fill(r.begin() + 4, r.end(), 0);
  Store(r, 4, 255);
  Store(r, 8, 0x40);
  StoreText(r, 130, "JOBTEXT-0123456789-TAIL");
  const DWORD type = Load(Get(c, 10), 4);
  ASSERT_EQ(Set(c, 10, r), 0);
  Record asked(392, 0);
  Store(asked, 4, 255);
  ASSERT_EQ(getStatus_(c, 10, asked.data(), 0), 392);
  EXPECT_EQ(Load(asked, 8), 0x40u);
  EXPECT_EQ(TextAt(asked, 130), "JOBTEXT-0123456789-");
  EXPECT_EQ(Load(Get(c, 10), 4), type) << "the print type itself is not changed";
  // The pattern kind needs a version-2 record.
  Record mark = Get(c, 16, 2);
  std::fill(mark.begin() + 4, mark.end(), 0);
  Store(mark, 4, 128);
  Store(mark, 36, 48);
  StoreText(mark, 44, "TILE");
  StoreText(mark, 77, "Velm Sans");
  Store(mark, 0, 1);
  EXPECT_EQ(Set(c, 16, mark), -1) << "a version-1 record";
  Store(mark, 0, 2);
  Store(mark, 372, 1000);
  EXPECT_EQ(Set(c, 16, mark), -1) << "a pattern size of 1000";
  Store(mark, 372, 999);
  EXPECT_EQ(Set(c, 16, mark), 0);
  EXPECT_EQ(Load(Get(c, 16, 2), 372), 999u);
  WriteHostFile(driverIni, "[VELMAPI]\r\nVELMAPIFunc1=0\r\n");
  EXPECT_EQ(Set(c, 10, r), -1) << "the job text without its switch";
  UiSetFontFaces(UiDefaultFontFaces());
}

TEST_F(StatusRecordsTest, SettingsFileRowImportsAMatchingFileOnly) {
  // A settings file saved by the printer's own settings with 4 copies.
  DriverContext* saver = ApiEnable(kPrinter);
  ASSERT_NE(saver, nullptr);
  SetItems(saver, {{kItemCopies, 4}});
  std::filesystem::create_directories(root_.OnDriveC("sets"));
  ASSERT_TRUE(XferSave(Open(), u"C:\\sets\\four.rst", kXferWrite, saver)) << GetLastError();
  ApiDisable(saver);
  std::string text = ReadHostFile(root_.OnDriveC("sets/four.rst"));
  const size_t machine = text.find("RstMachine=");
  ASSERT_NE(machine, std::string::npos);
  std::string foreign = text;
  foreign.replace(machine, std::string("RstMachine=").size(), "RstMachine=9");
  WriteHostFile(root_.OnDriveC("sets/foreign.rst"), foreign);

  VELMAPICONTEXT c = Fresh();
  Record r = Get(c, 1);
  ASSERT_EQ(r.size(), 816u);
  struct Case {
    const char* file;
    DWORD printType;
    int32_t result;
    DWORD copies;
  };
  const DWORD copies = Load(Get(c, 9), 4);
  ASSERT_NE(copies, 4u);
  const Case cases[] = {
      {"C:\\sets\\foreign.rst", 0, -1, copies},  // another machine's file
      {"C:\\sets\\none.rst", 0, -1, copies},
      {"C:\\sets\\fo*ur.rst", 0, -1, copies},
      {"", 0, -1, copies},
      {"C:\\sets\\four.rst", 3, -1, copies},     // refused while the print type is a stored job
      {"C:\\sets\\four.rst", 0, 0, 4},
  };
  for (const Case& k : cases) {
    Record type = Get(c, 10);
    std::fill(type.begin() + 4, type.end(), 0);
    Store(type, 4, k.printType);
    if (k.printType == 3) Store(type, 8, 0);
    ASSERT_EQ(Set(c, 10, type), 0);
    std::fill(r.begin() + 4, r.end(), 0);
    StoreText(r, 4, k.file);
    EXPECT_EQ(Set(c, 1, r), k.result) << k.file;
    EXPECT_EQ(Load(Get(c, 9), 4), k.copies) << k.file;
  }
  // A name without its NUL is refused.
  std::memset(r.data() + 4, 'a', 260);
  EXPECT_EQ(Set(c, 1, r), -1);
  // The get reads the name and comment of the file at +4 and leaves the settings alone.
  Record named(816, 0);
  StoreText(named, 4, "C:\\sets\\four.rst");
  Store(named, 0, 3);
  ASSERT_EQ(getStatus_(c, 1, named.data(), 0), 816);
  EXPECT_EQ(named[264 + 36], 0);
  EXPECT_EQ(named[301 + 512], 0);
}

TEST_F(StatusRecordsTest, CoverTypeUnderBookletDuplexMustBeAModelValue) {
  VELMAPICONTEXT c = Fresh();
  Record duplex = Get(c, 15);
  Store(duplex, 4, 17);  // booklet
  Store(duplex, 28, 1);
  ASSERT_EQ(Set(c, 15, duplex), 0);
  // Under booklet duplex a cover type outside the model's list (blank, front, both sides) is
  // refused, and the cover tray written before the refusal is put back.
  Record cover = Get(c, 12);
  const DWORD tray = Load(cover, 8);
  ASSERT_NE(tray, 3u);
  Store(cover, 4, 5);
  Store(cover, 8, 3);  // tray 2, a value of the tray list the cover tray shares
  Store(cover, 28, 1);
  EXPECT_EQ(Set(c, 12, cover), -1);
  EXPECT_EQ(Load(Get(c, 12), 8), tray);
  // A listed cover type is taken with its tray.
  Store(cover, 4, 1);
  EXPECT_EQ(Set(c, 12, cover), 0);
  EXPECT_EQ(Load(Get(c, 12), 4), 1u);
  EXPECT_EQ(Load(Get(c, 12), 8), 3u);
  // A cover tray that is no tray value is refused.
  Store(cover, 8, 9);
  EXPECT_EQ(Set(c, 12, cover), -1);
  EXPECT_EQ(Load(Get(c, 12), 8), 3u);
}

}  // namespace
}  // namespace velm::test
