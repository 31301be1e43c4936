// The constraints of the shipped model description on a real context: the file compiles whole,
// reads every named computed item and uses every form; value checks, disabled and hidden items,
// alerts and rules behave as its text says (each case quotes the line it checks); the tray and
// paper checks agree with the SlotPaper lists; a tentative re-pass undone through the history
// leaves the record byte for byte as it was.
#include <algorithm>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "settings/description/description_fixture.h"
#include "settings/description/image_fixture.h"
#include "settings/constraints/condition_items.h"
#include "settings/constraints/eval.h"
#include "settings/description/access.h"
#include "settings/items/store.h"
#include "settings/context/settings_history.h"
#include "support/temp_root.h"

namespace {

using velm::test::IssueList;
using velm::test::ParseDescription;

std::string ShippedText() {
  return velm::test::ReadHostFile(velm::test::SourceDir() / "data" / "model" / "qnvelm.dsc");
}

constexpr WORD kOrientation = 7, kPaperSize = 8, kCopies = 12, kSource = 13, kColor = 15, kDuplex = 16,
               kQuality = 14, kIcmMethod = 27, kIcmIntent = 28, kMediaType = 29, kDitherType = 30, kResolution = 42,
               kOutPaper = 50, kOutputTray = 57, kScaleOn = 58, kNupOn = 59, kDuplexOn = 61, kSortOn = 64,
               kPunchOn = 65, kStapleOn = 66, kMarkOn = 67, kCoverOn = 68, kNupType = 95, kDuplexType = 102,
               kSortType = 129, kPunchType = 134, kStapleType = 136, kMarkTray = 138, kCoverTray = 142,
               kTonerSave = 176, kUserId = 215, kDocumentName = 219, kPassword = 220, kPrnMethod = 222;
constexpr WORD kDuplexUnit = 10014, kFinisher = 10047, kFinMk1 = 10049, kFinMk2 = 10058, kFinMk5 = 10059,
               kHdd = 10070, kFinMk2NoPunch = 10077, kTray3 = 10113, kTray4 = 10114, kLct = 10136,
               kTray1Orient = 10143, kTray1Paper = 10175, kTray2Paper = 10176, kTray3Paper = 10177;
// Tray and paper codes as the configuration items hold them.
constexpr DWORD kTrayCode1 = 1, kTrayCode2 = 3, kPaperA4 = 9, kPaperA3 = 8, kPaperA5 = 11, kPaperLetter = 1;

// Stored value of a value symbol.
DWORD V(const char* name) {
  const ValueSymbolRow* row = OptFindValueSymbolByName(name);
  EXPECT_NE(row, nullptr) << name;
  return row ? row->value : 0;
}

WORD Message(const char* name) {
  const MessageRow* row = OptFindMessageByName(name);
  EXPECT_NE(row, nullptr) << name;
  return row ? row->id : 0;
}

// ---- The file as compiled ---------------------------------------------------------------------

// The constraint statements of the text, by keyword: how many there are and, for the brace
// bodies, each entry's fields (inner braces dropped), as the parser groups them.
struct TextStatements {
  std::map<std::string, int> counts;
  std::map<std::string, std::vector<std::vector<std::string>>> entries;
};

TextStatements ReadConstraintStatements(const std::string& text) {
  static const std::map<std::string, size_t> kFields = {
      {"Item", 3}, {"Action", 2}, {"Transact", 2}, {"AlertAction", 2}, {"Alert", 6}, {"Exclusive", 7}};
  TextStatements out;
  std::istringstream lines(text);
  std::string line, keyword;
  std::vector<std::string> tokens;
  int depth = 0;
  auto flush = [&] {
    const auto fields = kFields.find(keyword);
    if (fields == kFields.end()) return;
    for (size_t i = 0; i + fields->second <= tokens.size(); i += fields->second)
      out.entries[keyword].push_back({tokens.begin() + i, tokens.begin() + i + fields->second});
  };
  while (std::getline(lines, line)) {
    if (depth == 0) {
      if (line.rfind("*", 0) != 0 || line.rfind("*%", 0) == 0) continue;
      keyword = line.substr(1, line.find_first_of(" :") - 1);
      if (keyword != "Judge" && !kFields.count(keyword)) continue;
      ++out.counts[keyword];
      tokens.clear();
      const size_t colon = line.find(':');
      line = line.substr(colon + 1);
    }
    for (char& c : line) {
      if (c == '{') ++depth, c = ' ';
      if (c == '}') --depth, c = ' ';
    }
    std::istringstream words(line);
    for (std::string word; words >> word;) tokens.push_back(word);
    if (depth == 0) flush();
  }
  return out;
}

// The parser skips a line that does not begin with `*` unless a value runs over it inside
// quotes, parentheses or braces: a Judge continued outside a group would silently lose its end.
TEST(ShippedConstraintFileTest, EveryLineBelongsToAStatement) {
  std::istringstream lines(ShippedText());
  std::string line;
  int depth = 0, number = 0;
  bool quoted = false;
  while (std::getline(lines, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (depth == 0 && !quoted) {
      if (line.rfind("*%", 0) == 0 || line.find_first_not_of(" \t") == std::string::npos) continue;
      EXPECT_EQ(line[0], '*') << "line " << number << " is read by nothing: " << line;
    }
    for (size_t i = 0; i < line.size(); ++i) {
      if (quoted) {
        if (line[i] == '%') ++i;
        else if (line[i] == '"') quoted = false;
      } else if (line[i] == '"') {
        quoted = true;
      } else if (line[i] == '(' || line[i] == '{') {
        ++depth;
      } else if (line[i] == ')' || line[i] == '}') {
        --depth;
      }
    }
    EXPECT_GE(depth, 0) << "line " << number;
  }
  EXPECT_EQ(depth, 0);
  EXPECT_FALSE(quoted);
}

TEST(ShippedConstraintFileTest, EveryConstraintStatementCompilesAndEveryNameResolves) {
  const std::string text = ShippedText();
  const velm::test::ParsedDescription parsed = ParseDescription(text);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->issueCount, 0u) << IssueList(*parsed);
  const TextStatements statements = ReadConstraintStatements(text);
  EXPECT_EQ(parsed->judges.size(), size_t(statements.counts.at("Judge")));
  EXPECT_EQ(parsed->itemSets.size(), size_t(statements.counts.at("Item")));
  EXPECT_EQ(parsed->actionSets.size(), size_t(statements.counts.at("Action")));
  EXPECT_EQ(parsed->transactSets.size(), size_t(statements.counts.at("Transact")));
  EXPECT_EQ(parsed->alertActionSets.size(), size_t(statements.counts.at("AlertAction")));
  EXPECT_EQ(parsed->alertSets.size(), size_t(statements.counts.at("Alert")));

  // An unknown name would leave its field 0 without a word: a field is 0 exactly where the text
  // says NULL.
  auto same = [](const std::vector<std::vector<std::string>>& text, const std::vector<std::vector<LONG>>& fields) {
    EXPECT_EQ(text.size(), fields.size());
    for (size_t i = 0; i < std::min(text.size(), fields.size()); ++i) {
      for (size_t f = 0; f < fields[i].size(); ++f) {
        EXPECT_EQ(text[i][f] == "NULL", fields[i][f] == 0) << text[i][0] << " field " << f << ": " << text[i][f];
      }
    }
  };
  std::vector<std::vector<LONG>> fields;
  for (const auto& set : parsed->itemSets)
    for (const auto& e : set.entries) fields.push_back({e.value, e.disabledJudge, e.hiddenJudge});
  same(statements.entries.at("Item"), fields);
  fields.clear();
  for (const auto& set : parsed->transactSets)
    for (const auto& e : set.entries) fields.push_back({e.judge, e.action});
  same(statements.entries.at("Transact"), fields);
  fields.clear();
  for (const auto& set : parsed->alertActionSets)
    for (const auto& e : set.entries) fields.push_back({e.itemId, e.transact});
  same(statements.entries.at("AlertAction"), fields);
  fields.clear();
  for (const auto& set : parsed->alertSets)
    for (const auto& e : set.entries)
      fields.push_back({e.judge, e.message, e.icon + 1, e.buttons + 1, e.kind + 1, e.alertAction});
  same(statements.entries.at("Alert"), fields);
  fields.clear();
  for (const auto& e : parsed->exclusives)
    fields.push_back({e.key, e.disabledJudge, e.hiddenJudge, e.itemSet, e.alertSet, e.rules, e.secondRules});
  same(statements.entries.at("Exclusive"), fields);
}

// Judges that the constraints can run: those of conditions blocks and of Item, Transact and
// Alert entries (with the Judges they name copied in).
std::set<LONG> ReachableJudges(const DescParseResult& parsed) {
  std::set<LONG> judges;
  for (const auto& e : parsed.exclusives) judges.insert({e.disabledJudge, e.hiddenJudge});
  for (const auto& set : parsed.itemSets)
    for (const auto& e : set.entries) judges.insert({e.disabledJudge, e.hiddenJudge});
  for (const auto& set : parsed.transactSets)
    for (const auto& e : set.entries) judges.insert(e.judge);
  for (const auto& set : parsed.alertSets)
    for (const auto& e : set.entries) judges.insert(e.judge);
  judges.erase(0);
  return judges;
}

TEST(ShippedConstraintFileTest, ReachableJudgesReadEveryComputedItemThatHasAName) {
  const velm::test::ParsedDescription parsed = ParseDescription(ShippedText());
  ASSERT_TRUE(parsed);
  const std::set<LONG> reachable = ReachableJudges(*parsed);
  std::set<WORD> read;
  for (const DescJudge& judge : parsed->judges) {
    if (!reachable.count(judge.number)) continue;
    for (const DescCell& cell : judge.cells) {
      if (cell.kind == kCellItem && cell.value >= 731 && cell.value <= 858) read.insert(cell.value);
    }
  }
  // The computed items with a rule. Those without a name (737, 747..750, 779..782, 834) have no
  // symbol, so no description can name them; they are read through the named ones.
  std::set<WORD> named;
  for (WORD id = 731; id <= 858; ++id) {
    const ItemSymbolRow* symbol = OptFindSymbolByKey(static_cast<SHORT>(id));
    if (symbol && symbol->itemId == id) named.insert(id);
  }
  std::set<WORD> expected;
  for (WORD id : {731, 732, 733, 734, 735, 736, 763, 764, 765, 766, 795, 796, 797, 798, 799, 800, 827, 828, 829, 830,
                  831, 832, 833, 835, 836, 843, 844, 845})
    expected.insert(id);
  EXPECT_EQ(named, expected);
  EXPECT_EQ(read, expected);
  for (WORD unnamed : {737, 747, 748, 749, 750, 779, 780, 781, 782, 834})
    EXPECT_EQ(named.count(unnamed), 0u) << unnamed;
}

TEST(ShippedConstraintFileTest, EveryFormOfTheConstraintStatementsIsUsed) {
  const velm::test::ParsedDescription parsed = ParseDescription(ShippedText());
  ASSERT_TRUE(parsed);
  const DescParseResult& d = *parsed;
  // Judges (their operators: description_file_test.cpp): computed-item, text-item and constant
  // operands.
  bool computed = false, text = false, constant = false;
  for (const DescJudge& judge : d.judges) {
    for (const DescCell& cell : judge.cells) {
      if (cell.kind == kCellConstant) constant = true;
      if (cell.kind == kCellItem && cell.value >= 731 && cell.value <= 858) computed = true;
      if (cell.kind == kCellItem && (cell.value == kPassword || cell.value == kUserId)) text = true;
    }
  }
  EXPECT_TRUE(computed && text && constant);

  // Item sets: values disabled and values hidden.
  bool valueDisabled = false, valueHidden = false;
  for (const auto& set : d.itemSets) {
    for (const auto& e : set.entries) valueDisabled |= e.disabledJudge != 0, valueHidden |= e.hiddenJudge != 0;
  }
  EXPECT_TRUE(valueDisabled && valueHidden);
  // Actions: item and page targets, several entries in one set.
  bool pageAction = false, itemAction = false, severalActions = false;
  for (const auto& set : d.actionSets) {
    severalActions |= set.entries.size() > 1;
    for (const auto& e : set.entries) (e.targetKind == kActionTargetPage ? pageAction : itemAction) = true;
  }
  EXPECT_TRUE(pageAction && itemAction && severalActions);
  // Rules: one without a Judge, two in a row sharing one, a set of several.
  bool always = false, sharedJudge = false, severalRules = false;
  for (const auto& set : d.transactSets) {
    severalRules |= set.entries.size() > 2;
    for (size_t i = 0; i < set.entries.size(); ++i) {
      always |= set.entries[i].judge == 0;
      sharedJudge |= i > 0 && set.entries[i].judge != 0 && set.entries[i].judge == set.entries[i - 1].judge;
    }
  }
  EXPECT_TRUE(always && sharedJudge && severalRules);
  // Alerts: every icon, every button set and every kind; with and without an AlertAction.
  std::set<LONG> icons, buttons, kinds;
  bool withAction = false, withoutAction = false;
  for (const auto& set : d.alertSets) {
    for (const auto& e : set.entries) {
      icons.insert(e.icon), buttons.insert(e.buttons), kinds.insert(e.kind);
      (e.alertAction ? withAction : withoutAction) = true;
    }
  }
  EXPECT_EQ(icons, (std::set<LONG>{0x10, 0x20, 0x30, 0x40}));
  EXPECT_EQ(buttons, (std::set<LONG>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(kinds, (std::set<LONG>{0, 1, 2, 3}));
  EXPECT_TRUE(withAction && withoutAction);
  // Conditions blocks: each field is used by some item; every rule list is the first one.
  bool fields[5] = {};
  for (const auto& e : d.exclusives) {
    fields[0] |= e.disabledJudge != 0, fields[1] |= e.hiddenJudge != 0, fields[2] |= e.itemSet != 0;
    fields[3] |= e.alertSet != 0, fields[4] |= e.rules != 0;
    EXPECT_EQ(e.secondRules, 0) << e.itemId;  // nothing runs a second list
  }
  for (bool used : {fields[0], fields[1], fields[2], fields[3], fields[4]}) EXPECT_TRUE(used);
}

// ---- On a context -------------------------------------------------------------------------------

class ShippedConstraintTest : public velm::test::DescriptionMachineTest {
 protected:
  void SetUp() override {
    DescriptionMachineTest::SetUp();
    context_ = CtxCreate(Open(), 0, 0);
    ASSERT_NE(context_, nullptr);
    ASSERT_NE(context_->description, nullptr);
    text_ = ShippedText();
  }
  void TearDown() override {
    CtxDestroyEx(context_, kReleaseDestroy);
    DescriptionMachineTest::TearDown();
  }
  void Set(WORD id, DWORD stored) { ASSERT_TRUE(OptSetValue(context_, id, stored)) << id; }
  void Pick(WORD id, const char* value) { Set(id, V(value)); }
  DWORD Get(WORD id) { return OptGetValue(context_, id); }
  void SetText(WORD id, const char16_t* text) {
    ASSERT_TRUE(OptSetString(context_, OptFindItem(context_->itemTable, id), text)) << id;
  }
  int Check(WORD id, DWORD stored) {
    return CondCheckValue(OptFindItem(context_->itemTable, id), id, stored, context_);
  }
  const DescNode* Node(WORD id) { return DescGetNode(id, context_); }
  bool Disabled(WORD id) { return CondIsDisabled(Node(id), 0, context_) != FALSE; }
  bool Hidden(WORD id) { return CondIsHidden(Node(id), 0, context_) != FALSE; }
  WORD Rules(WORD id) { return CondApplyNodeRules(Node(id), context_); }
  // The message of the item's first alert whose Judge holds, as the property pages look it up.
  WORD FirstAlert(WORD id) {
    const ModelDescription* d = context_->description;
    DescConditionsView view{};
    DescReadConditions(d, DescNodeConditions(d, Node(id)), &view);
    for (const DescAlert* entry = view.alerts; entry;) {
      DescAlertView alert{};
      DescReadAlert(d, entry, &alert);
      if (CondEvaluate(context_, alert.program)) return alert.message;
      entry = alert.next;
    }
    return 0;
  }
  // The text holds this line (or part of one): the case checks what the description says.
  void Says(const std::string& line) {
    EXPECT_NE(text_.find(line), std::string::npos) << "not in qnvelm.dsc: " << line;
  }
  // Office set-up: A4 plain paper from Tray 1, portrait, output as the source paper, duplex unit
  // and every tray installed.
  void Office() {
    Pick(kOrientation, "DMORIENTATION_PORTRAIT");
    Pick(kPaperSize, "DMPAPERSIZE_A4");
    Pick(kOutPaper, "VDMOUTPAPERSIZE_SAME");
    Pick(kSource, "DMDEFAULTSOURCE_TRAY1");
    Pick(kMediaType, "DMMEDIATYPE_PLAIN");
    for (WORD installed : {kDuplexUnit, kTray3, kTray4, kLct}) Set(installed, 1);
  }
  std::vector<BYTE> Record() const {
    const BYTE* bytes = reinterpret_cast<const BYTE*>(context_->settings);
    return {bytes, bytes + sizeof(SettingsRecord)};
  }

  DriverContext* context_ = nullptr;
  std::string text_;
};

TEST_F(ShippedConstraintTest, ValueChecksRefuseWhatTheDescriptionForbids) {
  struct Case {
    const char* says;  // the line of qnvelm.dsc that decides the case
    std::function<void()> setUp;
    WORD item;
    const char* value;
    int expected;
  };
  Office();
  const Case cases[] = {
      // A paper a tray does not take, both ways round.
      {"{DMPAPERSIZE_A3 SourceIsTray1OrLct NULL}", [] {}, kPaperSize, "DMPAPERSIZE_A3", kValueDisabled},
      {"{DMPAPERSIZE_A3 SourceIsTray1OrLct NULL}", [&] { Pick(kSource, "DMDEFAULTSOURCE_TRAY2"); }, kPaperSize,
       "DMPAPERSIZE_A3", kValueAllowed},
      {"{DMPAPERSIZE_JPOST SourceIsCassette NULL}", [] {}, kPaperSize, "DMPAPERSIZE_JPOST", kValueDisabled},
      {"{DMPAPERSIZE_JPOST SourceIsCassette NULL}", [&] { Pick(kSource, "DMDEFAULTSOURCE_MANUAL"); }, kPaperSize,
       "DMPAPERSIZE_JPOST", kValueAllowed},
      {"{DMPAPERSIZE_HALFLETTER SourceTakesNoStatement NULL}", [&] { Pick(kSource, "DMDEFAULTSOURCE_TRAY4"); },
       kPaperSize, "DMPAPERSIZE_HALFLETTER", kValueDisabled},
      {"*Judge 29=PaperNotForTray1: LongPaper", [&] { Pick(kPaperSize, "DMPAPERSIZE_LEDGER"); }, kSource,
       "DMDEFAULTSOURCE_TRAY1", kValueDisabled},
      {"*Judge 32=PaperNotForLct: !(ZMD_dmPaperSize == DMPAPERSIZE_LETTER", [&] { Pick(kPaperSize, "DMPAPERSIZE_A5"); },
       kSource, "DMDEFAULTSOURCE_LCT", kValueDisabled},
      {"*Judge 32=PaperNotForLct: !(ZMD_dmPaperSize == DMPAPERSIZE_LETTER",
       [&] { Pick(kPaperSize, "DMPAPERSIZE_LETTER"); }, kSource, "DMDEFAULTSOURCE_LCT", kValueAllowed},
      // Trays that are not installed.
      {"*Judge 47=Tray3Unusable: Tray3Missing", [&] { Set(kTray3, 0); }, kSource, "DMDEFAULTSOURCE_TRAY3",
       kValueDisabled},
      {"*Judge 49=LctUnusable: LctMissing", [&] { Set(kLct, 0); }, kSource, "DMDEFAULTSOURCE_LCT", kValueDisabled},
      {"{DMDEFAULTSOURCE_TRAY3 Tray3Unusable NULL}", [&] { Set(kTray3, 1); }, kSource, "DMDEFAULTSOURCE_TRAY3",
       kValueAllowed},
      // User sizes and labels only from the bypass.
      {"*Judge 44=AutoUnusable: UserSizePaper", [&] { Pick(kPaperSize, "DMPAPERSIZE_FREESIZE3"); }, kSource,
       "DMDEFAULTSOURCE_AUTO", kValueDisabled},
      {"*Judge 46=Tray2Unusable: PaperNotForTray2 || BypassOnlyMedia",
       [&] { Pick(kPaperSize, "DMPAPERSIZE_A4"), Pick(kMediaType, "DMMEDIATYPE_SPECIAL"); }, kSource,
       "DMDEFAULTSOURCE_TRAY2", kValueDisabled},
      {"{DMDEFAULTSOURCE_TRAY2 Tray2Unusable NULL}", [&] { Pick(kMediaType, "DMMEDIATYPE_PLAIN"); }, kSource,
       "DMDEFAULTSOURCE_TRAY2", kValueAllowed},
      // Duplex and the media it cannot turn.
      {"{DMMEDIATYPE_TRANSPARENCY DuplexOn NULL}", [&] { Set(kDuplexOn, 1); }, kMediaType, "DMMEDIATYPE_TRANSPARENCY",
       kValueDisabled},
      {"{DMMEDIATYPE_THICK DuplexOn NULL}", [] {}, kMediaType, "DMMEDIATYPE_THICK", kValueDisabled},
      {"{DMMEDIATYPE_THICK DuplexOn NULL}", [&] { Set(kDuplexOn, 0); }, kMediaType, "DMMEDIATYPE_THICK", kValueAllowed},
      {"*Judge 62=DuplexBlocked: DuplexUnitMissing || SmallPaper || UnsuitableMedia",
       [&] { Pick(kMediaType, "DMMEDIATYPE_PLAINDUPLEXBACKSIDE"); }, kDuplex, "DMDUPLEX_VERTICAL", kValueDisabled},
      {"*Judge 62=DuplexBlocked: DuplexUnitMissing || SmallPaper || UnsuitableMedia",
       [&] { Pick(kMediaType, "DMMEDIATYPE_PLAIN"), Pick(kPaperSize, "DMPAPERSIZE_A6"); }, kDuplex,
       "DMDUPLEX_HORIZONTAL", kValueDisabled},
      {"{DMDUPLEX_HORIZONTAL DuplexBlocked NULL}", [&] { Pick(kPaperSize, "DMPAPERSIZE_A4"); }, kDuplex,
       "DMDUPLEX_HORIZONTAL", kValueAllowed},
      // Staple positions a finisher cannot place (checked while stapling is on).
      {"{VDMSTAPLETYPE_2M SaddleStapleUnavailable NULL}", [&] { Set(kFinMk2, 1), Set(kStapleOn, 1); }, kStapleType,
       "VDMSTAPLETYPE_2M", kValueDisabled},
      {"{VDMSTAPLETYPE_S1 NoStapleS1S2 NULL}", [] {}, kStapleType, "VDMSTAPLETYPE_S1", kValueAllowed},
      {"*Judge 82=NoStapleSlant: !FinMk3Unit && !FinMk1Installed", [&] { Set(kFinMk2, 0), Set(kFinMk5, 1); },
       kStapleType, "VDMSTAPLETYPE_1SR", kValueDisabled},
      {"{VDMSTAPLETYPE_1R NoStapleCorner NULL}", [] {}, kStapleType, "VDMSTAPLETYPE_1R", kValueAllowed},
      // Finishing, booklets, job types.
      {"{VDMOUTPUTTRAYID_FACEUP FinishingOn NULL}", [] {}, kOutputTray, "VDMOUTPUTTRAYID_FACEUP", kValueDisabled},
      {"{VDMOUTPUTTRAYID_FINISHERSHIFT NULL FinisherMissing}", [&] { Set(kFinMk5, 0), Set(kStapleOn, 0); },
       kOutputTray, "VDMOUTPUTTRAYID_FINISHERSHIFT", kValueHidden},
      {"*Judge 13=FinisherMissing: !ZMD_vdmOutputOptionTypeFinisher && StaplerMissing", [&] { Set(kFinisher, 1); },
       kOutputTray, "VDMOUTPUTTRAYID_FINISHERSHIFT", kValueAllowed},
      {"{VDMSORTTYPE_STACK StapleOn NULL}", [&] { Set(kStapleOn, 1); }, kSortType, "VDMSORTTYPE_STACK", kValueDisabled},
      {"{VDMDUPLEXTYPE_BOOKLETC_TOP NupOn NULL}", [&] { Set(kDuplexOn, 1), Set(kNupOn, 1); }, kDuplexType,
       "VDMDUPLEXTYPE_BOOKLETC_TOP", kValueDisabled},
      {"{VDMPRNMETHOD_STORED HddMissing NULL}", [&] { Set(kHdd, 0); }, kPrnMethod, "VDMPRNMETHOD_STORED",
       kValueDisabled},
      {"{VDMPRNMETHOD_STORED HddMissing NULL}", [&] { Set(kHdd, 1); }, kPrnMethod, "VDMPRNMETHOD_STORED",
       kValueAllowed},
  };
  for (const Case& c : cases) {
    Says(c.says);
    c.setUp();
    EXPECT_EQ(Check(c.item, V(c.value)), c.expected) << c.says << " (" << c.value << ")";
  }
}

TEST_F(ShippedConstraintTest, TrayAndPaperChecksAgreeWithTheSlotPaperLists) {
  Office();
  const velm::test::ParsedDescription parsed = ParseDescription(text_);
  ASSERT_TRUE(parsed);
  const DescUiRecord* papers = DescFindParsedRecord(parsed.get(), kPaperSize);
  const DescUiRecord* sources = DescFindParsedRecord(parsed.get(), kSource);
  ASSERT_TRUE(papers && sources);
  auto stored = [](WORD item, WORD model) {
    const ValueSymbolRow* row = OptFindValueSymbolByModel(item, model);
    EXPECT_NE(row, nullptr) << item << " " << model;
    return row ? row->value : 0;
  };
  int refused = 0;
  for (const DescValueEntry& source : sources->values->entries) {
    const std::set<WORD> takes(source.trayPapers.begin(), source.trayPapers.end());
    for (const DescValueEntry& paper : papers->values->entries) {
      Set(kSource, stored(kSource, source.value));
      Set(kPaperSize, stored(kPaperSize, paper.value));
      const bool taken = takes.count(paper.value) != 0;
      const bool userSize = paper.value == 3256 || (paper.value >= 3384 && paper.value <= 3392);
      const std::string pair = std::to_string(source.value) + " / " + std::to_string(paper.value);
      // The tray is refused under a paper it does not take; the paper under a tray that does not
      // take it, except user sizes, which move the source to the bypass instead.
      EXPECT_EQ(Check(kSource, Get(kSource)), taken ? kValueAllowed : kValueDisabled) << pair;
      EXPECT_EQ(Check(kPaperSize, Get(kPaperSize)), taken || userSize ? kValueAllowed : kValueDisabled) << pair;
      refused += !taken;
    }
  }
  EXPECT_GT(refused, 60);  // the lists differ enough for the agreement to mean something
}

TEST_F(ShippedConstraintTest, ItemsAreDisabledOrHiddenByTheirOwnJudges) {
  Office();
  // Staple and punch: without any stapling finisher both switches are disabled and the staple
  // position is disabled and hidden; punching needs a FinMk3 unit with a punch.
  Says("{ZMD_vdmFuncSelectStaple StaplerMissing NULL NULL StapleAlert StapleFits NULL}");
  Says("{ZMD_vdmPunchType PuncherMissing PuncherMissing NULL PunchAlert NULL NULL}");
  EXPECT_TRUE(Disabled(kStapleOn) && Disabled(kPunchOn));
  EXPECT_TRUE(Disabled(kStapleType) && Hidden(kStapleType));
  EXPECT_FALSE(Hidden(kStapleOn));
  Set(kFinMk1, 1);  // FinMk1 staples but does not punch
  EXPECT_FALSE(Disabled(kStapleOn) || Disabled(kStapleType) || Hidden(kStapleType));
  EXPECT_TRUE(Disabled(kPunchOn) && Hidden(kPunchType));
  Set(kFinMk2NoPunch, 1);
  EXPECT_TRUE(Disabled(kPunchOn));
  Set(kFinMk2NoPunch, 0);
  Set(kFinMk2, 1);
  EXPECT_FALSE(Disabled(kPunchOn) || Hidden(kPunchType));
  // The password only for locked print (NotSecurePrint); the document name only for stored print.
  Pick(kPrnMethod, "VDMPRNMETHOD_NORMAL");
  EXPECT_TRUE(Disabled(kPassword) && Disabled(kDocumentName));
  Pick(kPrnMethod, "VDMPRNMETHOD_SECURITY");
  EXPECT_FALSE(Disabled(kPassword));
  Pick(kPrnMethod, "VDMPRNMETHOD_STORED");
  EXPECT_FALSE(Disabled(kDocumentName));
  // Colour: MonoForced fixes dithering in grayscale unless it is NONE; colour matching is off in
  // grayscale and its intent is hidden while matching is off.
  Says("{ZMD_dmICMIntent Grayscale IcmOff NULL NULL NULL NULL}");
  Pick(kColor, "DMCOLOR_MONO");
  Pick(kDitherType, "DMDITHERTYPE_NONE");
  EXPECT_FALSE(Disabled(kDitherType));
  Pick(kDitherType, "DMDITHERTYPE_COARSE");
  EXPECT_TRUE(Disabled(kDitherType) && Disabled(kIcmMethod) && Disabled(kIcmIntent));
  Pick(kColor, "DMCOLOR_COLOR");
  EXPECT_FALSE(Disabled(kDitherType) || Disabled(kIcmMethod));
  Pick(kIcmMethod, "DMICMMETHOD_NONE");
  EXPECT_TRUE(Hidden(kIcmIntent));
  Pick(kIcmMethod, "DMICMMETHOD_SYSTEM");
  EXPECT_FALSE(Hidden(kIcmIntent));
  // Layout: zoom is off limits under n-up, n-up under a booklet, toner saving at 1200 dpi.
  Set(kNupOn, 1);
  EXPECT_TRUE(Disabled(kScaleOn));
  Set(kNupOn, 0);
  Set(kDuplexOn, 1);
  Set(kDuplexType, 18);  // booklet, right binding
  EXPECT_TRUE(Disabled(kNupOn));
  Set(kDuplexOn, 0);
  EXPECT_FALSE(Disabled(kNupOn));
  Pick(kResolution, "VDMDSTRESOLUTIONW_1200");
  EXPECT_TRUE(Disabled(kTonerSave));
}

TEST_F(ShippedConstraintTest, NupWithBookletReadsTheBindingThroughItsLandscapeList) {
  Says("*Judge 65=NupWithBooklet: NupOn && BookletBinding");
  Set(kNupOn, 1);
  for (DWORD orientation : {1u, 2u}) {
    Set(kOrientation, orientation);
    Set(kDuplexType, 17);  // booklet top: 2503 in portrait, 2523 in landscape
    EXPECT_TRUE(Disabled(kNupType)) << orientation;
    Set(kDuplexType, 3);   // left: 2502 / 2522
    EXPECT_FALSE(Disabled(kNupType)) << orientation;
  }
  Set(kNupOn, 0);
  Set(kDuplexType, 17);
  EXPECT_FALSE(Disabled(kNupType));
}

TEST_F(ShippedConstraintTest, AlertsNameTheConflictTheComputedItemsFind) {
  Office();
  const WORD printSize = Message("ZMD_PrintSizeIllegalMessage");
  // Tray 1 is known to hold Letter: the A4 job warns (SameSizeTray1); A4 loaded, no warning.
  Says("*Judge 53=Tray1HoldsOtherPaper: ZMD_dmDefaultSource == DMDEFAULTSOURCE_TRAY1 && ZMD_vdmTrayPaperTray1");
  Set(kTray1Paper, kPaperLetter);
  EXPECT_EQ(FirstAlert(kSource), printSize);
  Set(kTray1Paper, kPaperA4);
  EXPECT_EQ(FirstAlert(kSource), 0);
  // Automatic selection: no tray holds A3 (SameSizeAuto); Tray 3 does.
  Pick(kSource, "DMDEFAULTSOURCE_AUTO");
  Pick(kPaperSize, "DMPAPERSIZE_A3");
  EXPECT_EQ(FirstAlert(kSource), printSize);
  Set(kTray3Paper, kPaperA3);
  EXPECT_EQ(FirstAlert(kSource), 0);
  // Postcards are loaded in the bypass.
  Pick(kPaperSize, "DMPAPERSIZE_JPOST");
  EXPECT_EQ(FirstAlert(kPaperSize), Message("ZMD_PostcardMessage"));

  // Cover sheets from Tray 2 holding A4, the body from Tray 1 holding A4 the same way: fine;
  // Tray 2 with A5: SamePaperCoverSrcTray fails. Mark sheets likewise.
  Pick(kPaperSize, "DMPAPERSIZE_A4");
  Pick(kSource, "DMDEFAULTSOURCE_TRAY1");
  Set(kCoverOn, 1);
  Set(kCoverTray, kTrayCode2);
  Set(kTray2Paper, kPaperA4);
  EXPECT_EQ(FirstAlert(kCoverOn), 0);
  Set(kTray2Paper, kPaperA5);
  Says("*Judge 85=CoverPaperDiffers: ZMD_vdmFuncSelectCover && ZMD_vdmCoverInputTray && !ZMD_SamePaperCoverSrcTray");
  EXPECT_EQ(FirstAlert(kCoverOn), Message("ZMD_CoverTrayMessage"));
  Set(kMarkOn, 1);
  Set(kMarkTray, kTrayCode2);
  EXPECT_EQ(FirstAlert(kMarkOn), Message("ZMD_MarkTrayMessage"));
  Set(kMarkTray, kTrayCode1);
  EXPECT_EQ(FirstAlert(kMarkOn), 0);

  // Stapling with a FinMk2 finisher: A5 is a paper it cannot staple (FinMk3StapleSupportSize).
  Set(kFinMk2, 1);
  Set(kStapleOn, 1);
  Pick(kPaperSize, "DMPAPERSIZE_A5");
  EXPECT_EQ(FirstAlert(kStapleOn), printSize);
  // A4 loaded portrait in Tray 1, portrait document: the top-left staple needs the paper fed
  // the other way (FinMk3StapleTypeSupport), and the forced feed says landscape
  // (ForceFeedLand against FinMk3LandSet).
  Pick(kPaperSize, "DMPAPERSIZE_A4");
  Pick(kStapleType, "VDMSTAPLETYPE_S1");
  Set(kTray1Orient, 0);
  ASSERT_EQ(CondGetItemValue(context_, 735), 0u);
  EXPECT_EQ(FirstAlert(kStapleType), printSize);
  Set(kTray1Orient, 1);  // loaded landscape: served
  EXPECT_EQ(FirstAlert(kStapleType), 0);
  Pick(kStapleType, "VDMSTAPLETYPE_2T");  // dual top needs it portrait again
  EXPECT_EQ(CondGetItemValue(context_, 836), 0u);
  EXPECT_EQ(CondGetItemValue(context_, 835), 1u);
  EXPECT_EQ(FirstAlert(kStapleType), printSize);

  // Job types: the user, then the password, then its length.
  Pick(kPrnMethod, "VDMPRNMETHOD_SECURITY");
  EXPECT_EQ(FirstAlert(kPrnMethod), Message("ZMD_SecurityUserIdNullMessage"));
  SetText(kUserId, u"ANNA");
  EXPECT_EQ(FirstAlert(kPrnMethod), Message("ZMD_SecurityPasswordNullMessage"));
  SetText(kPassword, u"123");
  EXPECT_EQ(FirstAlert(kPrnMethod), Message("ZMD_SecurityPasswordLengthMessage"));
  SetText(kPassword, u"1234");
  EXPECT_EQ(FirstAlert(kPrnMethod), 0);
  Pick(kPrnMethod, "VDMPRNMETHOD_PROOF");
  Set(kCopies, 1);
  EXPECT_EQ(FirstAlert(kPrnMethod), Message("ZMD_JobTypeWarnMessage"));
}

TEST_F(ShippedConstraintTest, CoverAndMarkSheetsFromTheirDefaultTraysRaiseNoConflict) {
  Office();
  // The sheets' trays share the source list; their default is a tray, so that switching covers
  // or mark sheets on with the body's paper in it is no conflict.
  Set(kCoverOn, 1);
  Set(kMarkOn, 1);
  EXPECT_EQ(FirstAlert(kCoverOn), 0);
  EXPECT_EQ(FirstAlert(kMarkOn), 0);
  CondReapplyAll(context_);
  EXPECT_EQ(Get(kCoverOn), 1u);
  EXPECT_EQ(Get(kMarkOn), 1u);
}

TEST_F(ShippedConstraintTest, RulesFireInOrder) {
  Office();
  // PaperFeed: two rules share SourceRefusesPaper. A3 from Tray 1: the first moves the source to
  // automatic selection, the second runs again and finds the paper taken.
  Says("*Transact 2=PaperFeed: { {SourceRefusesPaper AutoTray} {SourceRefusesPaper FeedFromBypass} }");
  Pick(kPaperSize, "DMPAPERSIZE_A3");
  EXPECT_EQ(Rules(kPaperSize), 0);
  EXPECT_EQ(Get(kSource), V("DMDEFAULTSOURCE_AUTO"));
  // A user size from Tray 1: automatic selection does not take it either, so both fire.
  Pick(kSource, "DMDEFAULTSOURCE_TRAY1");
  Pick(kPaperSize, "DMPAPERSIZE_CUSTOM");
  EXPECT_EQ(Rules(kPaperSize), 0);
  EXPECT_EQ(Get(kSource), V("DMDEFAULTSOURCE_MANUAL"));

  // StapleFits: a paper the finisher cannot staple turns stapling off first, so the later rules
  // that collate and route stapled sets do not fire; on A4 they do.
  Says("{StapleWithoutStapler StapleOff} {StapleOnUnsupportedSize StapleOff} {StapleMiddleWithoutSaddle StapleOff}");
  Pick(kSource, "DMDEFAULTSOURCE_TRAY1");
  Set(kFinMk2, 1);
  Set(kStapleOn, 1);
  Pick(kPaperSize, "DMPAPERSIZE_A5");
  Pick(kOutputTray, "VDMOUTPUTTRAYID_FACEUP");
  Pick(kSortType, "VDMSORTTYPE_OFF");
  EXPECT_EQ(Rules(kStapleOn), 0);
  EXPECT_EQ(Get(kStapleOn), 0u);
  EXPECT_EQ(Get(kSortType), V("VDMSORTTYPE_OFF"));
  EXPECT_EQ(Get(kOutputTray), V("VDMOUTPUTTRAYID_FACEUP"));
  Set(kStapleOn, 1);
  Pick(kPaperSize, "DMPAPERSIZE_A4");
  EXPECT_EQ(Rules(kStapleOn), 0);
  EXPECT_EQ(Get(kStapleOn), 1u);
  EXPECT_EQ(Get(kSortOn), 1u);
  EXPECT_EQ(Get(kSortType), V("VDMSORTTYPE_SORT"));
  EXPECT_EQ(Get(kOutputTray), V("VDMOUTPUTTRAYID_FINISHERSHIFT"));
  // The middle position on a finisher without a saddle stapler goes off (read through the list
  // the print paper's orientation chooses: the landscape list when the document is landscape).
  Pick(kOrientation, "DMORIENTATION_LANDSCAPE");
  Set(kStapleType, 68);
  ASSERT_EQ(OptGetModelValueById(context_, kStapleType), 2731u);
  EXPECT_EQ(Rules(kStapleOn), 0);
  EXPECT_EQ(Get(kStapleOn), 0u);

  // JobTypeFits: stored print without the hard disk goes back to normal print before the rule
  // that asks for the document name could open the print-type dialog; with the disk it opens it
  // and the run ends there.
  Says("{JobStorageWithoutHdd NormalPrint} {SecureWithoutPassword AskPassword} {StoredWithoutName AskPassword}");
  const WORD printType = 1019;
  Pick(kPrnMethod, "VDMPRNMETHOD_STORED");
  EXPECT_EQ(Rules(kPrnMethod), 0);
  EXPECT_EQ(Get(kPrnMethod), V("VDMPRNMETHOD_NORMAL"));
  Set(kHdd, 1);
  Pick(kPrnMethod, "VDMPRNMETHOD_STORED");
  EXPECT_EQ(Rules(kPrnMethod), printType);
  SetText(kDocumentName, u"Minutes");
  EXPECT_EQ(Rules(kPrnMethod), 0);
  // vdmJOBPassword's PasswordFirst asks for the password while it is empty (its length is 0).
  Pick(kPrnMethod, "VDMPRNMETHOD_SECURITY");
  EXPECT_EQ(Rules(kPassword), printType);
  SetText(kPassword, u"5678");
  EXPECT_EQ(Rules(kPassword), 0);
}

TEST_F(ShippedConstraintTest, TheRepassBringsConflictingSettingsIntoLine) {
  Office();
  // DuplexFits: duplex on postcards goes off, dmDuplex to simplex.
  Pick(kPaperSize, "DMPAPERSIZE_JPOST");
  Pick(kSource, "DMDEFAULTSOURCE_MANUAL");
  Set(kDuplexOn, 1);
  Pick(kDuplex, "DMDUPLEX_VERTICAL");
  // StapleFits and PunchFits: staple and punch go off without a finisher.
  Set(kStapleOn, 1);
  Set(kPunchOn, 1);
  // NupAlone: n-up and zoom together: zoom goes off.
  Set(kNupOn, 1);
  Set(kScaleOn, 1);
  // TonerSaveFits: no toner saving at 1200 dpi (the pass derives item 42 from the quality).
  Set(kTonerSave, 1);
  Pick(kQuality, "DMPRINTQUALITY_1200");
  EXPECT_EQ(CondReapplyAll(context_), 0);
  EXPECT_EQ(Get(kDuplexOn), 0u);
  EXPECT_EQ(Get(kDuplex), V("DMDUPLEX_SIMPLEX"));
  EXPECT_EQ(Get(kStapleOn), 0u);
  EXPECT_EQ(Get(kPunchOn), 0u);
  EXPECT_EQ(Get(kScaleOn), 0u);
  EXPECT_EQ(Get(kNupOn), 1u);
  EXPECT_EQ(Get(kTonerSave), 0u);
  EXPECT_NE(DmGetStateFlags(&context_->settings->devmode) & kDmStateConstraintPassDone, 0u);

  // TrayFallback on dmDefaultSource's rule list: Tray 3 taken out, the source falls back to
  // automatic selection. MediaFits then moves labels to the bypass.
  Says("{ZMD_dmDefaultSource NULL NULL TrayValues SourcePaperAlert TrayFallback NULL}");
  Pick(kPaperSize, "DMPAPERSIZE_A4");
  Set(kTray3, 0);
  Pick(kSource, "DMDEFAULTSOURCE_TRAY3");
  CondReapplyAll(context_);
  EXPECT_EQ(Get(kSource), V("DMDEFAULTSOURCE_AUTO"));
  Pick(kMediaType, "DMMEDIATYPE_SPECIAL");
  CondReapplyAll(context_);
  EXPECT_EQ(Get(kSource), V("DMDEFAULTSOURCE_MANUAL"));

  // Settings without a conflict stay, and a second pass changes nothing.
  Pick(kMediaType, "DMMEDIATYPE_PLAIN");
  Pick(kSource, "DMDEFAULTSOURCE_TRAY1");
  Set(kDuplexOn, 1);
  Pick(kQuality, "DMPRINTQUALITY_600");
  CondReapplyAll(context_);
  EXPECT_EQ(Get(kDuplexOn), 1u);
  EXPECT_EQ(Get(kSource), V("DMDEFAULTSOURCE_TRAY1"));
  EXPECT_EQ(Get(kResolution), 600u);
  const std::vector<BYTE> once = Record();
  CondReapplyAll(context_);
  EXPECT_EQ(Record(), once);
}

TEST_F(ShippedConstraintTest, ATentativeRepassUndoneLeavesTheRecordByteIdentical) {
  Office();
  Set(kFinMk2, 1);
  Set(kDuplexOn, 1);
  CondReapplyAll(context_);
  for (SHORT i = 0; i < context_->itemTable->count; ++i) context_->itemTable->rows[i].changed = 0;
  context_->work->dirty = 0;
  CtxRaiseChangeMask(context_, 0x00020001);
  const std::vector<BYTE> before = Record();
  const DWORD mask = CtxGetChangeMask(context_);

  // A change that conflicts: A3 on Tray 1, transparencies with duplex on, stapling; the re-pass
  // moves the source, turns duplex off and routes the stapled sets.
  ASSERT_TRUE(DmHistoryPush(context_));
  Pick(kPaperSize, "DMPAPERSIZE_A3");
  Pick(kMediaType, "DMMEDIATYPE_TRANSPARENCY");
  Set(kStapleOn, 1);
  Pick(kOutputTray, "VDMOUTPUTTRAYID_UPPER");
  CtxRaiseChangeMask(context_, 0x4);
  CondReapplyAll(context_);
  ASSERT_EQ(Get(kSource), V("DMDEFAULTSOURCE_MANUAL"));
  ASSERT_EQ(Get(kDuplexOn), 0u);
  ASSERT_EQ(Get(kOutputTray), V("VDMOUTPUTTRAYID_FINISHERSHIFT"));
  const std::vector<BYTE> repassed = Record();

  ASSERT_TRUE(DmHistoryPop(context_, TRUE));
  EXPECT_EQ(Record(), before);
  EXPECT_EQ(CtxGetChangeMask(context_), mask);
  EXPECT_EQ(context_->work->dirty, 0u);
  for (SHORT i = 0; i < context_->itemTable->count; ++i) EXPECT_EQ(context_->itemTable->rows[i].changed, 0) << i;

  // The same change kept: the re-passed record stays.
  ASSERT_TRUE(DmHistoryPush(context_));
  Pick(kPaperSize, "DMPAPERSIZE_A3");
  Pick(kMediaType, "DMMEDIATYPE_TRANSPARENCY");
  Set(kStapleOn, 1);
  Pick(kOutputTray, "VDMOUTPUTTRAYID_UPPER");
  CtxRaiseChangeMask(context_, 0x4);
  CondReapplyAll(context_);
  ASSERT_TRUE(DmHistoryPop(context_, FALSE));
  EXPECT_EQ(Record(), repassed);
  EXPECT_EQ(DmHistoryDepth(context_), 0u);
}


// ---- The sheets' alerts and rules -------------------------------------------------------------

// The item's first alert whose Judge holds, as the property pages find it; message 0 when none.
DescAlertView HoldingAlert(DriverContext* context, const DescNode* node) {
  const ModelDescription* d = context->description;
  DescConditionsView view{};
  DescReadConditions(d, DescNodeConditions(d, node), &view);
  for (const DescAlert* entry = view.alerts; entry;) {
    DescAlertView alert{};
    DescReadAlert(d, entry, &alert);
    if (CondEvaluate(context, alert.program)) return alert;
    entry = alert.next;
  }
  return DescAlertView{};
}

constexpr WORD kRotateOn = 60, kRotateType = 211, kRasterMode = 183;
constexpr WORD kFontSubstitutionPage = 1009, kRotationDialog = 1012;
constexpr SHORT kIconStop = 0x10, kIconQuestion = 0x20, kIconExclamation = 0x30, kIconInformation = 0x40;
constexpr SHORT kOk = 0, kOkCancel = 1, kAbortRetryIgnore = 2, kYesNoCancel = 3, kYesNo = 4, kRetryCancel = 5;
constexpr SHORT kAtOnce = 0, kProperty = 1, kOkApply = 2, kDialog = 3;

TEST_F(ShippedConstraintTest, EachSheetAlertHoldsOnlyForItsConflictAndReadsBackAsWritten) {
  struct Case {
    const char* says;
    WORD item;
    std::function<void()> conflict;  // makes the alert hold
    std::function<void()> resolve;   // one change that ends it
    const char* message;
    SHORT icon, buttons, kind;
    bool action;
  };
  const Case cases[] = {
      {"{NupOnBooklet ZMD_PrintSizeIllegalMessage MB_ICONQUESTION MB_YESNO AlertAtOnce FixNup}", kNupOn,
       [this] { Set(kDuplexOn, 1), Set(kDuplexType, 17), Set(kNupOn, 1); },
       [this] { Set(kDuplexType, 3); }, "ZMD_PrintSizeIllegalMessage", kIconQuestion, kYesNo, kAtOnce, true},
      {"{NupOnBooklet ZMD_PrintSizeIllegalMessage MB_ICONEXCLAMATION MB_OKCANCEL AlertOkApply FixNup}", kDuplexType,
       [this] { Set(kDuplexOn, 1), Set(kNupOn, 1), Set(kDuplexType, 17); },
       [this] { Set(kNupOn, 0); }, "ZMD_PrintSizeIllegalMessage", kIconExclamation, kOkCancel, kOkApply, true},
      {"{FinishingToPlainBin ZMD_PrintSizeIllegalMessage MB_ICONSTOP MB_OK AlertDialog FixFinishing}", kOutputTray,
       [this] { Set(kStapleOn, 1), Pick(kOutputTray, "VDMOUTPUTTRAYID_UPPER"); },
       [this] { Pick(kOutputTray, "VDMOUTPUTTRAYID_FINISHERSHIFT"); }, "ZMD_PrintSizeIllegalMessage",
       kIconStop, kOk, kDialog, true},
      {"{FinishingToPlainBin ZMD_PrintSizeIllegalMessage MB_ICONSTOP MB_OK AlertDialog FixFinishing}", kOutputTray,
       [this] { Set(kPunchOn, 1), Pick(kOutputTray, "VDMOUTPUTTRAYID_FACEUP"); },
       [this] { Set(kPunchOn, 0); }, "ZMD_PrintSizeIllegalMessage", kIconStop, kOk, kDialog, true},
      {"{DuplexOnUnsuitableMedia ZMD_PrintSizeIllegalMessage MB_ICONSTOP MB_RETRYCANCEL AlertDialog NULL}",
       kMediaType, [this] { Set(kDuplexOn, 1), Pick(kMediaType, "DMMEDIATYPE_THICK"); },
       [this] { Set(kDuplexOn, 0); }, "ZMD_PrintSizeIllegalMessage", kIconStop, kRetryCancel, kDialog, false},
      {"{BypassMediaFromTray ZMD_PrintSizeIllegalMessage MB_ICONINFORMATION MB_OKCANCEL AlertProperty FixMediaFeed}",
       kMediaType, [this] { Pick(kMediaType, "DMMEDIATYPE_TRANSPARENCY"); },
       [this] { Pick(kSource, "DMDEFAULTSOURCE_MANUAL"); }, "ZMD_PrintSizeIllegalMessage", kIconInformation,
       kOkCancel, kProperty, true},
      {"{Tray1HoldsOtherPaper ZMD_PrintSizeIllegalMessage MB_ICONINFORMATION MB_OK AlertProperty NULL}", kTray1Paper,
       [this] { Set(kTray1Paper, kPaperLetter); }, [this] { Set(kTray1Paper, kPaperA4); },
       "ZMD_PrintSizeIllegalMessage", kIconInformation, kOk, kProperty, false},
      {"{Tray2HoldsOtherPaper ZMD_PrintSizeIllegalMessage MB_ICONINFORMATION MB_OK AlertProperty NULL}", kTray2Paper,
       [this] { Pick(kSource, "DMDEFAULTSOURCE_TRAY2"), Set(kTray2Paper, kPaperA5); },
       [this] { Pick(kSource, "DMDEFAULTSOURCE_TRAY1"); }, "ZMD_PrintSizeIllegalMessage", kIconInformation,
       kOk, kProperty, false},
      {"{JobStorageWithoutHdd ZMD_JobTypeWarnMessage MB_ICONEXCLAMATION MB_YESNOCANCEL AlertOkApply FixJobType}", kHdd,
       [this] { Pick(kPrnMethod, "VDMPRNMETHOD_STORED"), Set(kHdd, 0); }, [this] { Set(kHdd, 1); },
       "ZMD_JobTypeWarnMessage", kIconExclamation, kYesNoCancel, kOkApply, true},
      {"{JobStorageWithoutHdd ZMD_JobTypeWarnMessage MB_ICONEXCLAMATION MB_YESNOCANCEL AlertOkApply FixJobType}", kHdd,
       [this] { Pick(kPrnMethod, "VDMPRNMETHOD_PROOF"), Set(kHdd, 0); },
       [this] { Pick(kPrnMethod, "VDMPRNMETHOD_NORMAL"); }, "ZMD_JobTypeWarnMessage", kIconExclamation,
       kYesNoCancel, kOkApply, true},
      {"{SecureWithoutUserId ZMD_SecurityUserIdNullMessage MB_ICONSTOP MB_ABORTRETRYIGNORE AlertDialog NULL}", kUserId,
       [this] { Pick(kPrnMethod, "VDMPRNMETHOD_SECURITY"); }, [this] { SetText(kUserId, u"ANNA"); },
       "ZMD_SecurityUserIdNullMessage", kIconStop, kAbortRetryIgnore, kDialog, false},
      {"{StoredWithoutOwner ZMD_StoredOwnerNullMessage MB_ICONEXCLAMATION MB_OKCANCEL AlertProperty NULL}", kUserId,
       [this] { Pick(kPrnMethod, "VDMPRNMETHOD_STORED"); },
       [this] { Pick(kPrnMethod, "VDMPRNMETHOD_NORMAL"); }, "ZMD_StoredOwnerNullMessage", kIconExclamation,
       kOkCancel, kProperty, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.says);
    Says(c.says);
    // A fresh office set-up holds no conflic
    CtxDestroyEx(context_, kReleaseDestroy);
    context_ = CtxCreate(Open(), 0, 0);
    ASSERT_NE(context_, nullptr);
    Office();
    Set(kHdd, 1);
    Set(kTray1Paper, kPaperA4);
    ASSERT_EQ(HoldingAlert(context_, Node(c.item)).message, 0);
    c.conflict();
    const DescAlertView alert = HoldingAlert(context_, Node(c.item));
    EXPECT_EQ(alert.message, Message(c.message));
    EXPECT_EQ(alert.icon, c.icon);
    EXPECT_EQ(alert.buttons, c.buttons);
    EXPECT_EQ(alert.kind, c.kind);
    EXPECT_EQ(alert.alertAction != nullptr, c.action);
    c.resolve();
    EXPECT_EQ(HoldingAlert(context_, Node(c.item)).message, 0);
  }
}

TEST_F(ShippedConstraintTest, TheSheetAlertsTogetherUseEveryKindIconAndButtonSet) {
  const velm::test::ParsedDescription parsed = ParseDescription(text_);
  ASSERT_TRUE(parsed);
  std::set<LONG> icons, buttons, kinds;
  for (const auto& set : parsed->alertSets) {
    if (set.number < 101) continue;  // the sheets' own alerts
    for (const auto& e : set.entries) icons.insert(e.icon), buttons.insert(e.buttons), kinds.insert(e.kind);
  }
  EXPECT_EQ(icons, (std::set<LONG>{0x10, 0x20, 0x30, 0x40}));
  EXPECT_EQ(buttons, (std::set<LONG>{0, 1, 2, 3, 4, 5}));
  EXPECT_EQ(kinds, (std::set<LONG>{0, 1, 2, 3}));
}

TEST_F(ShippedConstraintTest, SwitchingRotationOnWithoutATypeOpensTheRotationDialog) {
  Says("*Judge 201=RotationWithoutType: ZMD_vdmFuncSelectRotate && (ZMD_vdmRotateType == VDMROTATETYPE_NONE)");
  Says("*Action 101=AskRotation: { {ZMD_IDD_DIALOG_ROTATION 0} }");
  EXPECT_EQ(Rules(kRotateOn), 0);
  Set(kRotateOn, 1);
  const std::vector<BYTE> before = Record();
  EXPECT_EQ(Rules(kRotateOn), kRotationDialog);
  EXPECT_EQ(Record(), before);  // the page is opened; nothing is set
  Set(kRotateType, 1);
  EXPECT_EQ(Rules(kRotateOn), 0);
  // The re-pass runs the rule too: it stops at the page and changes nothing.
  Set(kRotateType, 0);
  CondApplyAllRules(context_);
  EXPECT_EQ(Get(kRotateOn), 1u);
  EXPECT_EQ(Get(kRotateType), 0u);
}

TEST_F(ShippedConstraintTest, TheFontSubstitutionPageIsLeftOutOfRasterOutput) {
  Says("{ZMD_IDD_TTF RasterOutput NULL NULL NULL NULL NULL}");
  EXPECT_EQ(CondEvalEntry(kFontSubstitutionPage, 0, context_), 0);
  Set(kRasterMode, 1);
  EXPECT_EQ(CondEvalEntry(kFontSubstitutionPage, 0, context_), 1);
  Set(kRasterMode, 0);
  EXPECT_EQ(CondEvalEntry(kFontSubstitutionPage, 0, context_), 0);
  // No other page is excluded by the description.
  EXPECT_EQ(CondEvalEntry(kRotationDialog, 0, context_), -1);
  EXPECT_EQ(CondEvalEntry(1008, 0, context_), -1);
}

}  // namespace
