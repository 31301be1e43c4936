#include "data/item_ids.h"
#include "settings/services/resource_strings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "settings/description/access.h"
#include "settings/description/image.h"
#include "settings/description/image_fixture.h"
#include "settings/context/open_steps.h"
#include "settings/items/store.h"
#include "settings/items/settings_record.h"

namespace velm::test {
namespace {
namespace fs = std::filesystem;


// A context on "Velm Printer" with the driver's resource libraries installed beside it
// ("qnresus.dll", "qnresjp.dll").
class ResourceStringsTest : public DescriptionMachineTest {
 protected:
  void TearDown() override {
    if (context_) CtxDestroyEx(context_, kReleaseDestroy);
    DescriptionMachineTest::TearDown();
  }

  // Opens the context on a printer whose help file is `helpFile` (none when empty): its two
  // letters before the extension are the display language.
  void OpenContext(const std::u16string& helpFile = u"") {
    const HANDLE printer = Open();
    if (!helpFile.empty()) {
      ASSERT_EQ(SetPrinterDataW(printer, const_cast<LPWSTR>(u"HelpFileName"), REG_SZ, const_cast<LPBYTE>(reinterpret_cast<const BYTE*>(helpFile.c_str())),
                                static_cast<DWORD>((helpFile.size() + 1) * sizeof(WCHAR))),
                ERROR_SUCCESS);
    }
    context_ = CtxCreate(printer, 0, 0);
    ASSERT_NE(context_, nullptr);
  }
  std::u16string Load(UINT id, bool decorate = false) {
    WCHAR buffer[128];
    const int length = ResLoadString(context_, id, buffer, 128, decorate);
    EXPECT_EQ(std::u16string(buffer).size(), static_cast<size_t>(length));
    return buffer;
  }
  // Free-size slot `slot`: the user's name and the size in 1200-dpi dots.
  void SetSlot(int slot, const std::string& name, DWORD width, DWORD length) {
    BYTE* bytes = context_->work->freeSizeSlots[slot];
    std::memset(bytes + 128, 0, 64);
    std::memcpy(bytes + 128, name.data(), std::min<size_t>(name.size(), 64));
    DmStoreU32(bytes, 192, width);
    DmStoreU32(bytes, 196, length);
  }
  void SetText(WORD item, const std::u16string& text) {
    ASSERT_TRUE(OptSetString(context_, OptFindItem(context_->itemTable, item), text.c_str()));
  }
  static std::u16string FileName(HMODULE module) {
    WCHAR path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    const std::u16string full(path, length);
    return full.substr(full.rfind(u'\\') + 1);
  }

  DriverContext* context_ = nullptr;
};

TEST_F(ResourceStringsTest, StringsComeFromTheDisplayLanguagesLibraryWithEnglishForTheRest) {
  OpenContext(u"velmjp.chm");
  EXPECT_EQ(FileName(ResLoadDll(context_)), u"qnresjp.dll");
  EXPECT_EQ(Load(13200), u"印刷品質 No.%d");  // translated
  EXPECT_EQ(Load(153), u"mm");                // the English text, held by the Japanese library too
  EXPECT_EQ(Load(3009), u"A4");
  EXPECT_EQ(Load(40000), u"");                // no such string
}

TEST_F(ResourceStringsTest, WithoutAKnownDisplayLanguageTheEnglishLibraryIsUsed) {
  for (const std::u16string help : {u"", u"velmxx.chm"}) {
    OpenContext(help);
    EXPECT_EQ(FileName(ResLoadDll(context_)), u"qnresus.dll") << std::string(help.begin(), help.end());
    EXPECT_EQ(Load(13200), u"Print quality No.%d");
    CtxDestroyEx(context_, kReleaseDestroy);
    context_ = nullptr;
  }
}

TEST_F(ResourceStringsTest, AMissingLibraryGivesEmptyStringsAndIsLookedForAgain) {
  OpenContext(u"velmfr.chm");
  SetSlot(1, "Card", 4724, 6992);
  EXPECT_EQ(ResLoadDll(context_), nullptr);
  EXPECT_EQ(Load(3009), u"");
  EXPECT_EQ(Load(110, true), u"");  // nothing to decorate without the library
  EXPECT_EQ(Load(154, true), u"");

  // A library installed later is found by the next call.
  fs::copy_file(HostPathOf(std::u16string(platform::kDriverDirectory) + u"qnresus.dll"),
                HostPathOf(std::u16string(platform::kDriverDirectory) + u"qnresfr.dll"));
  EXPECT_EQ(Load(3009), u"A4");
  const HMODULE first = context_->resourceLibrary;
  EXPECT_EQ(FileName(first), u"qnresfr.dll");

  // Freeing lets go of both libraries and clears both handles.
  context_->secondResourceLibrary =
      LoadLibraryW((std::u16string(platform::kDriverDirectory) + u"qnresjp.dll").c_str());
  const HMODULE second = context_->secondResourceLibrary;
  ASSERT_NE(second, nullptr);
  ResFreeDlls(context_);
  EXPECT_EQ(context_->resourceLibrary, nullptr);
  EXPECT_EQ(context_->secondResourceLibrary, nullptr);
  WCHAR path[MAX_PATH];
  EXPECT_EQ(GetModuleFileNameW(first, path, MAX_PATH), 0u);
  EXPECT_EQ(GetModuleFileNameW(second, path, MAX_PATH), 0u);
  ResFreeDlls(context_);  // a second free has nothing to do
}

TEST_F(ResourceStringsTest, UserSizeNamesCarryTheSlotsSizeRoundedUpInTheDisplayUnit) {
  OpenContext();
  // 100.0 x 148.0 mm entered is kept as 4724 x 6992 dots, which is 99.99 x 147.99 mm: rounding
  // up to the first 0.1 mm that covers the dots shows what was entered.
  SetSlot(1, "Card", 4724, 6992);
  SetSlot(0, "Narrow", 4250, 6992);
  ASSERT_TRUE(OptSetValue(context_, kItemUnit, 0));
  EXPECT_EQ(Load(110, true), u"Card(100.0 x 148.0mm)");
  EXPECT_EQ(Load(109, true), u"Narrow(90.0 x 148.0mm)");
  ASSERT_TRUE(OptSetValue(context_, kItemUnit, 1));
  EXPECT_EQ(Load(110, true), u"Card(3.94 x 5.83inch)");
  EXPECT_EQ(Load(110), u"User size 2");  // undecorated

  // A name that fills its 64-byte field without a NUL is read to the field's end.
  SetSlot(9, std::string(64, 'N'), 0, 0);
  EXPECT_EQ(Load(118, true), std::u16string(64, u'N') + u"(0.00 x 0.00inch)");
}

TEST_F(ResourceStringsTest, UnitStringsNameTheCurrentUnitWhicheverIsAsked) {
  OpenContext();
  ASSERT_TRUE(OptSetValue(context_, kItemUnit, 0));
  EXPECT_EQ(Load(154, true), u"mm");
  EXPECT_EQ(Load(154), u"inch");
  ASSERT_TRUE(OptSetValue(context_, kItemUnit, 1));
  EXPECT_EQ(Load(153, true), u"inch");
}

TEST_F(ResourceStringsTest, BinStringsCarryTheBinsOwnName) {
  OpenContext();
  SetText(kItemPrintPostTray1Name, u"Left");
  SetText(kItemPrintPostTray9Name, u"Mailbox of the accounts office");  // the item keeps 16 characters
  EXPECT_EQ(Load(29, true), u"Output bin 1:Left");
  EXPECT_EQ(Load(50017, true), u"Output bin 1:Left");
  EXPECT_EQ(Load(37, true), u"Output bin 9:Mailbox of the a");
  EXPECT_EQ(Load(30, true), u"Output bin 2:");
  EXPECT_EQ(Load(29), u"Output bin 1");
  EXPECT_EQ(Load(3009, true), u"A4");  // no decoration row
}

TEST_F(ResourceStringsTest, DecoratedStringsAreCutToTheBuffer) {
  OpenContext();
  SetSlot(1, "Card", 4724, 6992);
  SetText(kItemPrintPostTray1Name, u"Left");
  const auto loadInto = [&](UINT id, DWORD capacity) {
    WCHAR buffer[24];
    std::fill(std::begin(buffer), std::end(buffer), u'#');
    const int length = ResLoadString(context_, id, buffer, capacity, TRUE);
    return std::make_pair(length, std::u16string(buffer, 24));
  };
  EXPECT_EQ(loadInto(110, 8), std::make_pair(7, u"Card(10" + std::u16string(1, 0) + std::u16string(16, u'#')));
  EXPECT_EQ(loadInto(29, 15), std::make_pair(14, u"Output bin 1:L" + std::u16string(1, 0) + std::u16string(9, u'#')));
  EXPECT_EQ(loadInto(154, 2), std::make_pair(1, u"m" + std::u16string(1, 0) + std::u16string(22, u'#')));
  EXPECT_EQ(loadInto(110, 0), std::make_pair(0, std::u16string(24, u'#')));
}

TEST_F(ResourceStringsTest, ABitmapFileIsAcceptedByItsFortyByteInfoHeader) {
  const auto bitmap = [](DWORD headerSize, size_t bytes) {
    std::string file(bytes, '\0');
    file[0] = 'B', file[1] = 'M';
    if (bytes >= 18) std::memcpy(&file[14], &headerSize, 4);
    return file;
  };
  WriteHostFile(root_.OnDriveC("images/info.bmp"), bitmap(40, 64));
  WriteHostFile(root_.OnDriveC("images/core.bmp"), bitmap(12, 64));
  WriteHostFile(root_.OnDriveC("images/short.bmp"), bitmap(40, 10));

  HFILE file = 0;
  ASSERT_TRUE(ResOpenBitmapFile("C:\\images\\info.bmp", &file));
  ASSERT_NE(file, HFILE_ERROR);
  char rest[4];
  EXPECT_EQ(_lread(file, rest, 4), 4u);  // handed over open, after the header size
  EXPECT_EQ(_lclose(file), 0);

  for (const char* refused : {"C:\\images\\core.bmp", "C:\\images\\short.bmp", "C:\\images\\none.bmp"}) {
    file = 0;
    EXPECT_FALSE(ResOpenBitmapFile(refused, &file)) << refused;
    EXPECT_EQ(file, HFILE_ERROR);
  }
  // The refused files were closed again: they can be deleted.
  EXPECT_TRUE(DeleteFileW(u"C:\\images\\core.bmp"));
  EXPECT_TRUE(DeleteFileW(u"C:\\images\\short.bmp"));
}

// A static text over a list shows the name of the item's current value: the string whose id is
// the stored value's model value.
TEST_F(ResourceStringsTest, ListItemsShowTheNameOfTheirCurrentValue) {
  OpenContext();
  struct Case {
    WORD item;
    DWORD stored;
    std::u16string name;
  };
  const Case cases[] = {
      {kItemOutputFace, 2, u"Face up"},
      {kItemPageOrder, 1, u"Last page first"},
      {kItemScreen, 513, u"Diffusion 2"},
      {kItemHalftone, 129, u"Text, fine"},
      {kItemNUPOrder, 0, u"Left to right, then down"},
      {kItemWmPatternDir, 3, u"Diagonal, falling"},
      {29, 260, u"Recycled paper"},              // dmMediaType
      {kItemVdmMediaType, 2, u"Transparency"},   // shares the media list and its names
      {kItemCoverMedia, 257, u"Thick paper"},
      {kItemCoverPaper, 9, u"A4"},               // paper codes name their papers
      {kItemCoverInputTray, 3, u"Tray 2"},       // tray codes name their trays
      {kItemPrnMethod, 3, u"Stored print"},
      {kItemYResolution, 600, u"600 dpi"},
      {kItemUnit, 1, u"Inches"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(OptSetValue(context_, c.item, c.stored)) << c.item;
    EXPECT_EQ(Load(OptGetModelValueById(context_, c.item)), c.name) << c.item << " " << c.stored;
  }
}

// Every value of the lists that the pages show only in static texts has a name of its own in
// each language; items sharing a list show its names.
TEST_F(ResourceStringsTest, EveryValueOfTheStaticTextListsHasItsName) {
  for (const char16_t* help : {u"", u"velmjp.chm"}) {
    OpenContext(help);
    const ModelDescription* description = context_->description;
    auto names = [&](WORD item) {
      std::vector<std::u16string> all;
      for (const DescValue* v = DescGetValueList(item, context_, nullptr); v; v = DescNextValue(description, v))
        all.push_back(Load(DescValueValue(v)));
      return all;
    };
    for (WORD item : {kItemNUPOrder, kItemNUPPages, kItemCoverType, kItemBackCoverType, kItemInsertType,
                      kItemOutputFace, kItemPageOrder, kItemRotateType, kItemColorMatch, kItemGamma, kItemHalftone,
                      kItemScreen, kItemICMProgram, kItemICMType, kItemVdmICMIntent, kItemWmPatternKind,
                      kItemWmPatternAlign, kItemWmPatternDir, kItemWmTileKind}) {
      const auto all = names(item);
      EXPECT_GE(all.size(), 2u) << item;
      for (const std::u16string& name : all) EXPECT_FALSE(name.empty()) << item;
      EXPECT_EQ(std::set<std::u16string>(all.begin(), all.end()).size(), all.size()) << item << " names a value twice";
    }
    EXPECT_EQ(names(kItemCoverPaper), names(8));
    EXPECT_EQ(names(kItemMPInputTray), names(13));
    EXPECT_EQ(names(kItemInsertMedia), names(29));
    CtxDestroyEx(context_, kReleaseDestroy);
    context_ = nullptr;
  }
}

}  // namespace
}  // namespace velm::test
