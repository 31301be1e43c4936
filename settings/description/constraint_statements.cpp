// The constraint statements: Judge expressions and the Item, Action, Transact, AlertAction,
// Alert and Exclusive sets, with the names and references that tie them together.
#include <new>

#include "settings/description/enumerations.h"
#include "settings/description/parser_internal.h"

namespace {

// `name` as a C string in `buffer`; false when it does not fit.
template <size_t N>
bool ToCString(std::string_view name, char (&buffer)[N]) {
  if (name.size() >= N) return false;
  name.copy(buffer, name.size());
  buffer[name.size()] = '\0';
  return true;
}

const DescToken kNoToken{};

}  // namespace

// ---- References ----------------------------------------------------------------------------

DWORD DescRefTagOfKind(int kind) {
  static constexpr DWORD kTags[kRefKinds] = {kRefTagJudge,    kRefTagItem,        kRefTagAction,
                                             kRefTagTransact, kRefTagAlertAction, kRefTagAlert};
  return kind >= 0 && kind < kRefKinds ? kTags[kind] : kRefTagName;
}

DWORD DescClassifyReference(std::string_view token) {
  // AlertAction before Alert, or every AlertAction would read as an Alert.
  static constexpr struct {
    std::string_view prefix;
    DWORD tag;
  } kPrefixes[] = {
      {"Judge", kRefTagJudge},         {"Item", kRefTagItem},   {"Action", kRefTagAction},
      {"Transact", kRefTagTransact},   {"AlertAction", kRefTagAlertAction},
      {"Alert", kRefTagAlert},         {"NULL", 0},
  };
  for (const auto& p : kPrefixes) {
    if (token.substr(0, p.prefix.size()) != p.prefix) continue;
    const std::string_view rest = token.substr(p.prefix.size());
    if (p.tag == 0) return rest.empty() ? 0 : kRefTagName;
    // Only digits make a direct reference: "JudgeX" or "ActionOff" is a name.
    LONG number = 0;
    if (rest.size() > 5 || !DescDigitsValue(rest, &number) || number > 0xFFFF) return kRefTagName;
    return p.tag | static_cast<DWORD>(number);
  }
  return kRefTagName;
}

LONG DescParser::ResolveReference(std::string_view token, int kind) const {
  const DWORD reference = DescClassifyReference(token);
  if (reference == 0) return 0;
  if (reference == kRefTagName) {
    const auto found = names_[kind].find(token);
    return found != names_[kind].end() ? found->second.number : 0;
  }
  if ((reference & kRefTagMask) != DescRefTagOfKind(kind)) return 0;  // a reference of another kind
  return static_cast<LONG>(reference & 0xFFFF);
}

void DescParser::AddName(int kind, std::string_view name, LONG number, size_t index) noexcept {
  if (name.empty()) return;
  try {
    // The first statement keeps a name, so a name means one thing wherever it is used.
    if (!names_[kind].emplace(DescString(name), NameEntry{number, index}).second)
      Report(DescIssue::kDuplicateName, false);
  } catch (const std::bad_alloc&) {
    // The statement stands; only its name is lost, and statements using it are reported.
    Report(DescIssue::kOutOfMemory, false);
  }
}

// `<number>[=<Name>]` of a numbered statement's option.
bool DescParser::ReadNumberedOption(LONG* number, std::string_view* name) {
  *name = {};
  if (!statement_.hasOption) return Refuse(DescIssue::kNumberZero);
  const std::string_view option = statement_.option;
  size_t consumed = 0;
  if (!StrReadSignedDecimal(option, number, &consumed)) return Refuse(DescIssue::kBadNumber);
  // A statement numbered 0 could never be referred to: 0 means none.
  if (*number == 0) return Refuse(DescIssue::kNumberZero);
  if (consumed < option.size() && option[consumed] == '=') *name = option.substr(consumed + 1);
  return true;
}

// ---- Judge -----------------------------------------------------------------------------------

// A name in an expression: an item symbol, a value symbol, or an earlier Judge's name.
bool DescParser::AppendName(std::string_view name, DescVector<DescCell>* program) const {
  if (const ItemSymbolRow* item = DescFindItemSymbol(name)) {
    program->push_back({kCellItem, static_cast<WORD>(item->itemId)});
    return true;
  }
  if (const ValueSymbolRow* value = DescFindValueSymbol(name)) {
    program->push_back({kCellConstant, static_cast<WORD>(value->modelValue)});
    return true;
  }
  const auto found = names_[kRefKindJudge].find(name);
  if (found == names_[kRefKindJudge].end()) return false;
  const DescVector<DescCell>& cells = result_->judges[found->second.index].cells;
  // Each Judge is at most kJudgeMaxCells long; the compiler refuses a program that grows beyond.
  program->insert(program->end(), cells.begin(), cells.end() - 1);  // without its end cell
  return true;
}

bool DescParser::Judge() {
  DescJudge judge;
  std::string_view name;
  if (!ReadNumberedOption(&judge.number, &name)) return false;
  switch (DescCompileJudge(statement_.value, lead_, *this, &judge.cells)) {
    case JudgeResult::kOk: break;
    case JudgeResult::kUnknownName: return Refuse(DescIssue::kUnknownName);
    case JudgeResult::kSyntax: return Refuse(DescIssue::kSyntax);
    case JudgeResult::kNumberTooLarge: return Refuse(DescIssue::kBadNumber);
    case JudgeResult::kTooDeep:
    case JudgeResult::kTooLarge: return Refuse(DescIssue::kTooLarge);
    case JudgeResult::kIllFormed: return Refuse(DescIssue::kIllFormedProgram);
  }
  if (judge.cells.size() > kDescMaxJudgeCells - judgeCells_) return Refuse(DescIssue::kTooLarge);
  const size_t cells = judge.cells.size();
  const LONG number = judge.number;
  result_->judges.push_back(std::move(judge));
  judgeCells_ += cells;
  AddName(kRefKindJudge, name, number, result_->judges.size() - 1);
  return true;
}

// ---- Brace bodies ----------------------------------------------------------------------------

// The body's names and numbers fill entries of `fields` tokens each, whatever the inner braces
// say; braces only count depth, and the statement ends where the outer brace closes.
bool DescParser::ReadBody(int fields, DescCallback<bool(const DescToken*)> entry) {
  DescTokenizer tokens(statement_.value, lead_);
  if (tokens.Next().kind != DescTokenKind::kOpenBrace) return Refuse(DescIssue::kSyntax);
  DescToken group[8];
  int filled = 0;
  long depth = 1;
  bool misaligned = false;
  while (depth > 0) {
    const DescToken token = tokens.Next();
    switch (token.kind) {
      case DescTokenKind::kOpenBrace:
      case DescTokenKind::kCloseBrace:
        // An inner brace that cuts an entry means a missing or extra token shifted the rest.
        if (filled) misaligned = true;
        depth += token.kind == DescTokenKind::kOpenBrace ? 1 : -1;
        break;
      case DescTokenKind::kName:
      case DescTokenKind::kNumber:
        group[filled++] = token;
        if (filled == fields) {
          if (!entry(group)) return false;
          filled = 0;
        }
        break;
      default:
        return Refuse(DescIssue::kSyntax);
    }
  }
  if (filled) {
    for (int i = filled; i < fields; ++i) group[i] = kNoToken;
    if (!entry(group)) return false;
    misaligned = true;
  }
  if (misaligned) Report(DescIssue::kEntriesMisaligned, false);
  return true;
}

template <class Entry>
bool DescParser::ReadSet(int kind, DescVector<DescSet<Entry>>* sets, int fields,
                         DescCallback<Entry(const DescToken*)> convert) {
  DescSet<Entry> set;
  std::string_view name;
  if (!ReadNumberedOption(&set.number, &name)) return false;
  if (!ReadBody(fields, [&](const DescToken* tokens) {
        set.entries.push_back(convert(tokens));
        return true;
      }))
    return false;
  const LONG number = set.number;
  sets->push_back(std::move(set));
  AddName(kind, name, number, sets->size() - 1);
  return true;
}

namespace {

// A value field: a value symbol's model value or a number; 0 when neither.
WORD ValueOfToken(const DescToken& token) {
  LONG number = 0;
  if (token.kind == DescTokenKind::kNumber) return DescDigitsValue(token.text, &number) && number <= 0xFFFF ? WORD(number) : 0;
  const ValueSymbolRow* row = DescFindValueSymbol(token.text);
  return row ? static_cast<WORD>(row->modelValue) : 0;
}

WORD ItemOfToken(const DescToken& token) {
  const ItemSymbolRow* row = DescFindItemSymbol(token.text);
  return row ? static_cast<WORD>(row->itemId) : 0;
}

// The page or dialog a token names; null for any other name.
const PageTemplate* PageOfToken(const DescToken& token) {
  char name[128];
  return ToCString(token.text, name) ? OptFindPageByName(nullptr, name) : nullptr;
}

}  // namespace

// `*Item <n>[=<Name>]: { {<value> <disabled Judge> <hidden Judge>} ... }`.
bool DescParser::Item() {
  return ReadSet<DescItemEntry>(kRefKindItem, &result_->itemSets, 3, [this](const DescToken* t) {
    return DescItemEntry{ValueOfToken(t[0]), ResolveReference(t[1].text, kRefKindJudge),
                         ResolveReference(t[2].text, kRefKindJudge)};
  });
}

// `*Action <n>[=<Name>]: { {<item symbol | page name> <number | Default | value symbol>} ... }`.
bool DescParser::Action() {
  return ReadSet<DescActionEntry>(kRefKindAction, &result_->actionSets, 2, [this](const DescToken* t) {
    DescActionEntry entry{0, kActionTargetItem, 0};
    if (const PageTemplate* page = PageOfToken(t[0])) {
      entry.target = page->id;
      entry.targetKind = kActionTargetPage;
    } else {
      entry.target = ItemOfToken(t[0]);
    }
    LONG number = 0;
    if (t[1].kind == DescTokenKind::kNumber) {
      entry.value = DescDigitsValue(t[1].text, &number) ? number : 0;
    } else if (t[1].text == "Default") {
      entry.value = entry.targetKind == kActionTargetItem ? DescParsedDefaultValue(result_, entry.target) : 0;
    } else {
      entry.value = ValueOfToken(t[1]);
    }
    return entry;
  });
}

// `*Transact <n>[=<Name>]: { {<Judge | NULL> <Action>} ... }`. A rule whose Judge names nothing
// is dropped: with no program it would fire on every run. Only `NULL` makes a rule that always
// fires.
bool DescParser::Transact() {
  DescVector<bool> unresolved;
  if (!ReadSet<DescTransactEntry>(kRefKindTransact, &result_->transactSets, 2, [&](const DescToken* t) {
        const LONG judge = ResolveReference(t[0].text, kRefKindJudge);
        unresolved.push_back(judge == 0 && DescClassifyReference(t[0].text) != 0);
        return DescTransactEntry{judge, ResolveReference(t[1].text, kRefKindAction)};
      }))
    return false;
  DescVector<DescTransactEntry>& entries = result_->transactSets.back().entries;
  for (size_t i = unresolved.size(); i-- > 0;) {
    if (!unresolved[i]) continue;
    entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(i));
    Report(DescIssue::kUnresolvedReference, false);
  }
  return true;
}

// `*AlertAction <n>[=<Name>]: { {<item symbol> <Transact>} ... }`.
bool DescParser::AlertAction() {
  return ReadSet<DescAlertActionEntry>(kRefKindAlertAction, &result_->alertActionSets, 2,
                                       [this](const DescToken* t) {
                                         return DescAlertActionEntry{ItemOfToken(t[0]),
                                                                     ResolveReference(t[1].text, kRefKindTransact)};
                                       });
}

// `*Alert <n>[=<Name>]: { {<Judge> <message> <icon> <buttons> <alert kind> <AlertAction>} ... }`.
bool DescParser::Alert() {
  return ReadSet<DescAlertEntry>(kRefKindAlert, &result_->alertSets, 6, [this](const DescToken* t) {
    char name[128];
    const MessageRow* message = ToCString(t[1].text, name) ? OptFindMessageByName(name) : nullptr;
    return DescAlertEntry{ResolveReference(t[0].text, kRefKindJudge),
                          message ? message->id : WORD(0),
                          DescEnumValue(kDescIconNames, t[2].text),
                          DescEnumValue(kDescButtonNames, t[3].text),
                          DescEnumValue(kDescAlertKindNames, t[4].text),
                          ResolveReference(t[5].text, kRefKindAlertAction)};
  });
}

// `*Exclusive: { {<item symbol | page name> <disabled Judge> <hidden Judge> <Item> <Alert>
// <Transact> <Transact>} ... }`: each entry is the conditions block of its item. A page's block
// has no item and is keyed by the page id: its disabled Judge leaves the page out of its sheet.
bool DescParser::Exclusive() {
  DescVector<DescExclusiveEntry> entries;
  if (!ReadBody(7, [&](const DescToken* t) {
        const ItemSymbolRow* item = DescFindItemSymbol(t[0].text);
        const PageTemplate* page = item ? nullptr : PageOfToken(t[0]);
        entries.push_back({item ? static_cast<WORD>(item->itemId) : WORD(0),
                           item ? static_cast<WORD>(item->key) : page ? page->id : WORD(0),
                           ResolveReference(t[1].text, kRefKindJudge), ResolveReference(t[2].text, kRefKindJudge),
                           ResolveReference(t[3].text, kRefKindItem), ResolveReference(t[4].text, kRefKindAlert),
                           ResolveReference(t[5].text, kRefKindTransact),
                           ResolveReference(t[6].text, kRefKindTransact)});
        return true;
      }))
    return false;
  result_->exclusives.insert(result_->exclusives.end(), entries.begin(), entries.end());
  return true;
}
