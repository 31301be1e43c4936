// velm_tablegen against broken copies of the data tables: each kind of bad row is refused with
// a message that names it, and no tables are written.
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/temp_root.h"

namespace fs = std::filesystem;
using velm::test::BuildDir;
using velm::test::ReadHostFile;
using velm::test::WriteHostFile;

namespace {

fs::path DataDir() { return velm::test::SourceDir() / "data"; }

struct RunResult {
  int status;
  std::string out;
  std::string err;
};

class TablegenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::random_device seed;
    folder_ = fs::temp_directory_path() / ("velm-tablegen-" + std::to_string(seed()));
    fs::create_directories(folder_);
    fs::copy(DataDir(), folder_ / "data", fs::copy_options::recursive);
  }
  void TearDown() override { fs::remove_all(folder_); }

  // `extra`: further arguments, written as they stand.
  RunResult Run(bool withOutput = false, const std::string& extra = "") {
    const fs::path out = folder_ / "out.txt";
    const fs::path err = folder_ / "err.txt";
    std::string command = "\"" + (BuildDir() / "bin" / "velm_tablegen").string() + "\" --data \"" +
                          (folder_ / "data").string() + "\"";
    if (withOutput) {
      command += " --out \"" + (folder_ / "tables.cpp").string() + "\" --ids \"" + (folder_ / "ids.h").string() + "\"";
    }
    command += extra + " > \"" + out.string() + "\" 2> \"" + err.string() + "\"";
    const int status = std::system(command.c_str());
    return {status, ReadHostFile(out), ReadHostFile(err)};
  }

  // Rewrites the lines of one table; `edit` may change, drop (return false) or keep a line.
  void EditLines(const std::string& file, const std::function<bool(std::string&)>& edit) {
    std::istringstream in(ReadHostFile(folder_ / "data" / file));
    std::string text, line;
    while (std::getline(in, line)) {
      if (edit(line)) text += line + "\n";
    }
    WriteHostFile(folder_ / "data" / file, text);
  }

  void Append(const std::string& file, const std::string& line) {
    WriteHostFile(folder_ / "data" / file, ReadHostFile(folder_ / "data" / file) + line + "\n");
  }

  // Replaces column `column` (0-based) of the item row `id`.
  void SetItemColumn(int id, size_t column, const std::string& value) {
    bool found = false;
    EditLines("items.txt", [&](std::string& line) {
      std::istringstream words(line.substr(0, line.find('#')));
      std::vector<std::string> fields;
      for (std::string w; words >> w;) fields.push_back(w);
      if (fields.size() < 13 || fields[0] != std::to_string(id)) return true;
      fields[column] = value;
      std::string rebuilt;
      for (const std::string& f : fields) rebuilt += f + " ";
      line = rebuilt + "# edited";
      found = true;
      return true;
    });
    ASSERT_TRUE(found) << "no row " << id;
  }

  void ExpectRefused(const std::string& message) {
    const RunResult result = Run(true);
    EXPECT_NE(result.status, 0);
    EXPECT_NE(result.err.find(message), std::string::npos) << "stderr: " << result.err;
    EXPECT_FALSE(fs::exists(folder_ / "tables.cpp"));
    EXPECT_FALSE(fs::exists(folder_ / "ids.h"));
  }

  fs::path folder_;
};

enum Column { kId = 0, kName = 1, kSection = 2, kType = 3, kLength = 4, kOffset = 5, kMap = 9 };

TEST_F(TablegenTest, TheDataPassesAndCountsArePrinted) {
  const RunResult result = Run(true);
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("item rows                  1239 [1239]"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("section 2 rows              318 [318]"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("printer-data names           70 [70]"), std::string::npos) << result.out;
  EXPECT_TRUE(fs::exists(folder_ / "tables.cpp"));
  EXPECT_FALSE(fs::exists(folder_ / "tables.cpp.tmp"));
}

TEST_F(TablegenTest, ItemIdentifiersComeFromNamesAndSymbols) {
  ASSERT_EQ(Run(true).status, 0);
  const std::string ids = ReadHostFile(folder_ / "ids.h");
  for (const char* line : {
           "constexpr WORD kItemNone = 0;",
           "constexpr WORD kItemPaperSize = 8;",          // dmPaperSize
           "constexpr WORD kItemPresetNo = 41;",          // vdmPresetNo
           "constexpr WORD kItemFreeSizeName = 859;",     // wdmFreeSizeName
           "constexpr WORD kItemOSKind = 716;",           // unnamed: its symbol ZMD_vdmOSKind
           "constexpr WORD kItemResolutionOverCheck = 843;",
           "constexpr WORD kItemDmMediaType = 29;",       // dmMediaType and vdmMediaType share MediaType
           "constexpr WORD kItemVdmMediaType = 378;",
       }) {
    EXPECT_NE(ids.find(line), std::string::npos) << line;
  }
  EXPECT_EQ(ids.find("kItemMediaType "), std::string::npos);
  EXPECT_EQ(ids.find(" = 711;"), std::string::npos);  // no name, no symbol
}

TEST_F(TablegenTest, ItemIdentifiersAreUniqueAndValid) {
  SetItemColumn(959, kName, "DmMediaType");  // the identifier dmMediaType takes for itself
  ExpectRefused("identifier kItemDmMediaType also names");
}

TEST_F(TablegenTest, ItemNameThatMakesNoIdentifier) {
  SetItemColumn(959, kName, "wdm.Work");
  ExpectRefused("item name wdm.Work makes no C++ identifier");
}

TEST_F(TablegenTest, ItemNameThatTakesTheNoneIdentifier) {
  SetItemColumn(959, kName, "wdmNone");
  ExpectRefused("identifier kItemNone also names");
}

TEST_F(TablegenTest, MissingAndOutOfOrderIdentifiers) {
  EditLines("items.txt", [](std::string& line) { return line.rfind("500 ", 0) != 0; });
  ExpectRefused("identifier 501 out of order or missing");
}

TEST_F(TablegenTest, SwappedIdentifiers) {
  std::string ten;
  EditLines("items.txt", [&](std::string& line) {
    if (line.rfind("10 ", 0) == 0) {
      ten = line;
      return false;
    }
    if (line.rfind("11 ", 0) == 0) line += "\n" + ten;
    return true;
  });
  ExpectRefused("identifier 11 out of order or missing: row 9 must hold 10");
}

TEST_F(TablegenTest, IdentifiersInTheMissingRange) {
  EditLines("items.txt", [](std::string& line) {
    if (line.rfind("10277 ", 0) == 0) line.replace(0, 5, "  963");
    return true;
  });
  ExpectRefused("must hold 10277");
}

TEST_F(TablegenTest, FieldOutsideItsSection) {
  SetItemColumn(10275, kOffset, "506");  // a u32 at 506 runs past 508
  ExpectRefused("lies outside section 2 (508 bytes)");
}

TEST_F(TablegenTest, FieldOutsideTheDevmode) {
  SetItemColumn(730, kOffset, "1260");
  ExpectRefused("lies outside section 1 (1260 bytes)");
}

TEST_F(TablegenTest, OverlappingFields) {
  SetItemColumn(36, kType, "u16");
  SetItemColumn(36, kLength, "2");
  SetItemColumn(36, kOffset, "367");  // runs into item 35 at 368
  ExpectRefused("overlaps item 35 at byte 368");
}

TEST_F(TablegenTest, FieldOverBitItems) {
  SetItemColumn(10110, kOffset, "52");  // the word of the installed-option bits 10014..10045
  ExpectRefused("overlaps bit items at byte 52");
}

TEST_F(TablegenTest, TwoBitItemsOnOneBit) {
  SetItemColumn(225, kType, "bit0");  // item 224's bit
  ExpectRefused("two bit items on one bit: byte 752 bit 0 is item 224's");
}

TEST_F(TablegenTest, BitOutsideItsWord) {
  SetItemColumn(239, kType, "bit16");  // the action word is two bytes
  ExpectRefused("lies outside its 2-byte word");
}

TEST_F(TablegenTest, NumberOfTheWrongWidth) {
  SetItemColumn(39, kLength, "2");
  ExpectRefused("a number of this type is 1 bytes, not 2");
}

TEST_F(TablegenTest, JobActionItemsStayBitsOfOneWord) {
  SetItemColumn(239, kLength, "4");  // "vdmAction" stores the bits as one u16
  ExpectRefused("a job-action item must be a bit of the 16-bit word");
}

TEST_F(TablegenTest, TheJobActionGroupKeyIsNoItemsKey) {
  SetItemColumn(222, 8, "vdmAction");
  ExpectRefused("the key name vdmAction belongs to the job-action word");
}

TEST_F(TablegenTest, KeyWithoutASymbolRow) {
  EditLines("item_symbols.txt", [](std::string& line) { return line.find("ZMD_vdmJobBinder") == std::string::npos; });
  ExpectRefused("key 714 has no symbol row");
}

TEST_F(TablegenTest, DuplicateNamesAndSymbols) {
  SetItemColumn(36, kName, "vdmiCDCVersion");
  ExpectRefused("duplicate item name vdmiCDCVersion");
}

TEST_F(TablegenTest, DuplicateSymbol) {
  Append("item_symbols.txt", "30000 7 ZMD_dmOrientation");
  ExpectRefused("duplicate symbol ZMD_dmOrientation");
}

TEST_F(TablegenTest, DuplicateValueSymbol) {
  Append("value_symbols.txt", "7 1 2026 1 DMORIENTATION_LANDSCAPE");
  ExpectRefused("duplicate value symbol DMORIENTATION_LANDSCAPE");
}

TEST_F(TablegenTest, ValueMapWithoutAnEnd) {
  EditLines("value_maps.txt", [](std::string& line) {
    if (line.rfind("orientation first", 0) == 0) line = "orientation first 1=2026 2=2027";
    return true;
  });
  ExpectRefused("value map orientation first list has no end");
}

TEST_F(TablegenTest, ValueMapThatEndsEarly) {
  EditLines("value_maps.txt", [](std::string& line) {
    if (line.rfind("color first", 0) == 0) line = "color first 1=0 2=2031 end";
    return true;
  });
  ExpectRefused("must be 1..65534 (0 would end the list)");
}

TEST_F(TablegenTest, UnknownValueMap) {
  SetItemColumn(16, kMap, "duplexmap");
  ExpectRefused("unknown value map duplexmap");
}

TEST_F(TablegenTest, ValueSymbolForAnUnknownItem) {
  Append("value_symbols.txt", "5000 1 1 1 NOITEM_ON");
  ExpectRefused("value symbol NOITEM_ON for unknown item 5000");
}

TEST_F(TablegenTest, ValueSymbolThatDisagreesWithTheMap) {
  Append("value_symbols.txt", "7 2 2026 1 DMORIENTATION_WRONG");
  ExpectRefused("disagrees with value map orientation");
}

TEST_F(TablegenTest, EveryFaultIsReported) {
  SetItemColumn(39, kLength, "2");
  Append("value_symbols.txt", "5000 1 1 1 NOITEM_ON");
  const RunResult result = Run();
  EXPECT_NE(result.status, 0);
  EXPECT_NE(result.err.find("items.txt:"), std::string::npos);
  EXPECT_NE(result.err.find("value_symbols.txt:"), std::string::npos);
  EXPECT_NE(result.err.find("2 fault(s)"), std::string::npos) << result.err;
}

// ---- The job-credential items' printer-data names ----

struct CredentialNameCase {
  const char* name;
  const char* item;  // the item whose row `row` replaces (null: `row` is added)
  const char* row;   // "" drops the row
  const char* message;
};

class CredentialNamesGenTest : public TablegenTest {
 protected:
  fs::path Header() const { return folder_ / "names.h"; }
  RunResult RunNames() { return Run(false, " --job-credential-names \"" + Header().string() + "\""); }
};

class CredentialNamesTest : public CredentialNamesGenTest,
                            public ::testing::WithParamInterface<CredentialNameCase> {};

TEST_F(CredentialNamesGenTest, TheShippedNamesPassAndAreWrittenInKindOrder) {
  const RunResult result = RunNames();
  ASSERT_EQ(result.status, 0) << result.err;
  const std::string header = ReadHostFile(Header());
  const size_t userCode = header.find("{1, 216, WSTR(\"JcUserCode\")},");
  const size_t jobPassword = header.find("{3, 220, nullptr},");
  const size_t storedPassword = header.find("{8, 221, nullptr},");
  EXPECT_NE(userCode, std::string::npos) << header;
  EXPECT_NE(storedPassword, std::string::npos) << header;
  EXPECT_LT(userCode, jobPassword);
  EXPECT_LT(jobPassword, storedPassword);
}

TEST_P(CredentialNamesTest, ABadRowIsRefused) {
  const CredentialNameCase& c = GetParam();
  if (c.item) {
    EditLines("job_credential_names.txt", [&](std::string& line) {
      if (line.rfind(std::string(c.item) + " ", 0) != 0) return true;
      line = c.row;
      return !line.empty();
    });
  } else {
    Append("job_credential_names.txt", c.row);
  }
  const RunResult result = RunNames();
  EXPECT_NE(result.status, 0);
  EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
  EXPECT_FALSE(fs::exists(Header()));
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, CredentialNamesTest,
    ::testing::Values(
        CredentialNameCase{"unknownItem", nullptr, "vdmNoSuchItem JcNoSuch", "unknown item vdmNoSuchItem"},
        CredentialNameCase{"notACredentialItem", nullptr, "dmCopies JcCopies",
                           "dmCopies is not a credential item of the job-credential service"},
        CredentialNameCase{"passwordWithAName", "vdmJOBPassword", "vdmJOBPassword JcJobPassword",
                           "vdmJOBPassword is a password"},
        CredentialNameCase{"storedPasswordWithAName", "vdmStoredPassword", "vdmStoredPassword JcStored",
                           "vdmStoredPassword is a password"},
        CredentialNameCase{"nameTwiceInAnyCase", "vdmUserID", "vdmUserID jcownername",
                           "printer-data value name jcownername is taken (job_credential_names.txt:"},
        CredentialNameCase{"anItemsOwnName", "vdmUserCode", "vdmUserCode UserCode",
                           "printer-data value name UserCode is taken (items.txt:"},
        CredentialNameCase{"nameWithOtherCharacters", "vdmTelNo", "vdmTelNo Jc-TelNo",
                           "letters, digits and _: Jc-TelNo"},
        CredentialNameCase{"itemTwice", nullptr, "vdmOwnerName JcOwner2", "vdmOwnerName has a row already"},
        CredentialNameCase{"itemWithoutARow", "vdmTelLine", "", "vdmTelLine has no row"},
        CredentialNameCase{"rowWithoutAName", nullptr, "vdmTelLine", "expected: ITEM NAME"}),
    [](const ::testing::TestParamInfo<CredentialNameCase>& info) { return info.param.name; });

}  // namespace
