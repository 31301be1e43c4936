#include "settings/description/parser.h"

#include <algorithm>
#include <climits>
#include <iterator>
#include <new>
#include <string_view>

#include "settings/description/parser_internal.h"

namespace {

// A read-only view of a whole file.
class MappedFile {
 public:
  explicit MappedFile(LPCWSTR path) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    LARGE_INTEGER size{};
    // Windows cannot map an empty file; a larger file than the parser takes is refused here.
    if (!GetFileSizeEx(file, &size) || size.QuadPart <= 0 ||
        static_cast<unsigned long long>(size.QuadPart) > kDescMaxFileBytes) {
      CloseHandle(file);
      return;
    }
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    CloseHandle(file);
    if (!mapping) return;
    view_ = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    CloseHandle(mapping);  // the view keeps the mapping
    if (view_) size_ = static_cast<size_t>(size.QuadPart);
  }
  ~MappedFile() {
    if (view_) UnmapViewOfFile(view_);
  }
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  const void* data() const { return view_; }
  size_t size() const { return size_; }

 private:
  LPVOID view_ = nullptr;
  size_t size_ = 0;
};

// Up to 15 characters of `text`, widened through the ANSI code page and terminated.
void WidenVersion(std::string_view text, WCHAR version[16]) {
  // 15 characters take at most 30 bytes; whatever a cut there spoils lies past the 15th.
  const int bytes = static_cast<int>(std::min<size_t>(text.size(), 30));
  WCHAR wide[32] = {};
  const int units = bytes ? MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, wide, 32) : 0;
  const int kept = std::min(units > 0 ? units : 0, 15);
  for (int i = 0; i < 16; ++i) version[i] = i < kept ? wide[i] : 0;
}

}  // namespace

const DescParser::KeywordRow* DescParser::FindKeyword(std::string_view keyword) {
  // The statements outside UI blocks. A block's own option and default lines are recognised
  // by its item symbol before this table is searched.
  static const KeywordRow kRows[] = {
      {"FileVersion", &DescParser::FileVersion},     {"OpenUI", &DescParser::OpenUi},
      {"CloseUI", &DescParser::CloseUi},             {"NumericValue", &DescParser::NumericValue},
      {"StringValue", &DescParser::StringValue},     {"PageValue", &DescParser::PageValue},
      {"PageMMValue", &DescParser::PageMmValue},     {"SlotPaper", &DescParser::SlotPaper},
      {"OptionCommand", &DescParser::OptionCommand}, {"CommandGroup", &DescParser::CommandGroup},
      {"DeviceFonts", &DescParser::DeviceFonts},     {"FontCartridge", &DescParser::FontCartridge},
      {"TTFS", &DescParser::Ttfs},                   {"CommandString", &DescParser::CommandString},
      {"Judge", &DescParser::Judge},                 {"Item", &DescParser::Item},
      {"Action", &DescParser::Action},               {"Transact", &DescParser::Transact},
      {"AlertAction", &DescParser::AlertAction},     {"Alert", &DescParser::Alert},
      {"Exclusive", &DescParser::Exclusive},         {"UIResDLLName", &DescParser::UiResDllName},
      {"ExcDepDLLName", &DescParser::ExcDepDllName},
  };
  static_assert(std::size(kRows) == 23);
  // Descriptions repeat keywords in runs, so the last hit is tried first.
  if (lastRow_ >= 0 && keyword == kRows[lastRow_].keyword) return &kRows[lastRow_];
  for (size_t i = 0; i < std::size(kRows); ++i) {
    if (keyword == kRows[i].keyword) {
      lastRow_ = static_cast<int>(i);
      return &kRows[i];
    }
  }
  return nullptr;
}

bool DescParser::Run(DescReader reader) {
  for (;;) {
    DescIssue issue = DescIssue::kSyntax;
    switch (DescLexStatement(&reader, lead_, &statement_, &issue)) {
      case DescLex::kStatement:
        Dispatch();
        break;
      case DescLex::kMalformed:
        Report(issue, true);
        break;
      case DescLex::kOutOfMemory:
        return false;
      case DescLex::kEnd:
        if (open_) CloseBlock();  // a block left open still gets its default index
        return true;
    }
  }
}

void DescParser::Dispatch() {
  refusal_ = DescIssue::kSyntax;
  bool accepted = false;
  try {
    accepted = Handle();
  } catch (const std::bad_alloc&) {
    refusal_ = DescIssue::kOutOfMemory;
  }
  if (!accepted) Report(refusal_, true);
}

bool DescParser::Handle() {
  const std::string_view keyword = statement_.keyword;
  if (open_) {
    if (keyword == openSymbol_) return OptionLine();
    if (keyword.substr(0, 7) == "Default" && keyword.substr(7) == openSymbol_) return DefaultLine();
  }
  if (const KeywordRow* row = FindKeyword(keyword)) return (this->*row->handler)();
  // An item's option or default line outside its block is worth telling apart from a typo.
  std::string_view symbol = keyword;
  if (symbol.substr(0, 7) == "Default") symbol.remove_prefix(7);
  return Refuse(DescFindItemSymbol(symbol) ? DescIssue::kOutsideBlock : DescIssue::kUnknownKeyword);
}

void DescParser::Report(DescIssue issue, bool dropped) noexcept {
  ++result_->issueCount;
  if (dropped) ++result_->droppedCount;
  if (issue == DescIssue::kOutOfMemory) ++result_->outOfMemoryCount;
  if (result_->issues.size() >= kDescMaxIssues) return;
  try {
    DescParseIssue entry;
    entry.line = statement_.line;
    entry.dropped = dropped;
    entry.issue = issue;
    entry.keyword.assign(statement_.keyword.data(), std::min<size_t>(statement_.keyword.size(), 40));
    result_->issues.push_back(std::move(entry));
  } catch (const std::bad_alloc&) {
    // The count stands; only the detail is lost.
  }
}

// ---- Header and list statements ------------------------------------------------------------

bool DescParser::FileVersion() {
  WidenVersion(statement_.value, result_->version);
  return true;
}

bool DescParser::ReadWideName(DescWideString* out, bool* has) {
  DescString text;
  if (!DescDecodeQuoted(statement_.value, lead_, &text)) return Refuse(DescIssue::kSyntax);
  text.resize(std::min(text.size(), text.find('\0')));
  if (text.size() > MAX_PATH - 1) return Refuse(DescIssue::kTooLarge);
  WCHAR wide[MAX_PATH] = {};
  const int units = text.empty() ? 0
                                 : MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide,
                                                       MAX_PATH - 1);
  if (!text.empty() && units <= 0) return Refuse(DescIssue::kSyntax);
  out->assign(wide, static_cast<size_t>(units));
  *has = true;
  return true;
}

bool DescParser::UiResDllName() { return ReadWideName(&result_->uiResDllName, &result_->hasUiResDllName); }

bool DescParser::ExcDepDllName() { return ReadWideName(&result_->excDepDllName, &result_->hasExcDepDllName); }

bool DescParser::CommandString() {
  DescCommandString entry;
  if (!statement_.hasOption || !StrReadSignedDecimal(statement_.option, &entry.number))
    return Refuse(DescIssue::kBadNumber);
  if (!DescDecodeQuoted(statement_.value, lead_, &entry.text)) return Refuse(DescIssue::kSyntax);
  result_->commandStrings.push_back(std::move(entry));
  return true;
}

// `IDList { {"<name>" <number>} ... }`. An entry that cannot be read ends the list.
bool DescParser::ReadFontList(DescVector<DescFont>* out, bool* has) {
  DescTokenizer tokens(statement_.value, lead_);
  if (!tokens.Next().Is(DescTokenKind::kName, "IDList") || tokens.Next().kind != DescTokenKind::kOpenBrace)
    return Refuse(DescIssue::kSyntax);
  DescVector<DescFont> fonts;
  for (;;) {
    DescToken token = tokens.Next();
    if (token.kind == DescTokenKind::kCloseBrace) break;
    DescFont font;
    const DescToken name = tokens.Next();
    const DescToken number = tokens.Next();
    const DescToken close = tokens.Next();
    if (token.kind != DescTokenKind::kOpenBrace || name.kind != DescTokenKind::kQuoted ||
        number.kind != DescTokenKind::kNumber || close.kind != DescTokenKind::kCloseBrace ||
        !DescDigitsValue(number.text, &font.number) || !DescDecodeQuoted(name.text, lead_, &font.name)) {
      Report(DescIssue::kListEndedEarly, false);
      break;
    }
    fonts.push_back(std::move(font));
  }
  if (*has) Report(DescIssue::kReplaced, false);
  *out = std::move(fonts);
  *has = true;
  return true;
}

bool DescParser::DeviceFonts() { return ReadFontList(&result_->deviceFonts, &result_->hasDeviceFonts); }

bool DescParser::FontCartridge() { return ReadFontList(&result_->fontCartridges, &result_->hasFontCartridges); }

// ---- Helpers shared by the statement files ---------------------------------------------------

namespace {

// Every name of a description is looked up in the symbol tables through their name order (a
// generated table), by binary search. Equal names keep table order, so the first row of a name
// is found, as a scan finds it.
template <class Row>
const Row* FindByName(const Row* rows, const int* order, int count, std::string_view name) {
  const int* end = order + count;
  const int* found = std::lower_bound(order, end, name, [rows](int row, std::string_view n) {
    return std::string_view(rows[row].name) < n;
  });
  return found != end && std::string_view(rows[*found].name) == name ? &rows[*found] : nullptr;
}

const ItemSymbolRow* FindItemSymbol(std::string_view name) {
  int count = 0;
  const int* order = OptGetItemSymbolsByName(&count);
  return FindByName(OptGetItemSymbols(nullptr), order, count, name);
}

const ValueSymbolRow* FindValueSymbol(std::string_view name) {
  int count = 0;
  const int* order = OptGetValueSymbolsByName(&count);
  return FindByName(OptGetValueSymbols(nullptr), order, count, name);
}

}  // namespace

const ItemSymbolRow* DescFindItemSymbol(std::string_view name) {
  const ItemSymbolRow* row = name.empty() ? nullptr : FindItemSymbol(name);
  return row && row->itemId > 0 ? row : nullptr;  // page names share the table with item id 0
}

const ValueSymbolRow* DescFindValueSymbol(std::string_view name) {
  const ValueSymbolRow* row = name.empty() ? nullptr : FindValueSymbol(name);
  return row && row->modelValue <= 0xFFFF ? row : nullptr;
}

bool DescDigitsValue(std::string_view digits, LONG* value) {
  if (!StrIsDigits(digits)) return false;
  long long n = 0;
  for (char c : digits) {
    n = n * 10 + (c - '0');
    if (n > INT_MAX) return false;
  }
  *value = static_cast<LONG>(n);
  return true;
}

// ---- The parse result ----------------------------------------------------------------------

const char* DescIssueText(DescIssue issue) {
  switch (issue) {
    case DescIssue::kNoKeyword: return "no keyword after '*'";
    case DescIssue::kEmptyOption: return "no option before ':' (a blank after a lone keyword?)";
    case DescIssue::kMissingColon: return "no ':' after the option and translation";
    case DescIssue::kBracketInQuotes: return "bracket inside quotes (write %( or <28>)";
    case DescIssue::kUnbalancedBracket: return "unbalanced bracket";
    case DescIssue::kLineEndAfterPercent: return "line end after '%' in quotes";
    case DescIssue::kUnterminatedValue: return "the file ends inside the value";
    case DescIssue::kUnknownKeyword: return "unknown keyword";
    case DescIssue::kOutsideBlock: return "option or default line outside its UI block";
    case DescIssue::kBlockAlreadyOpen: return "a UI block is already open";
    case DescIssue::kNoOpenBlock: return "no UI block is open";
    case DescIssue::kUnknownItemSymbol: return "unknown item symbol";
    case DescIssue::kUnknownValueSymbol: return "unknown value symbol";
    case DescIssue::kUnknownName: return "unknown name";
    case DescIssue::kUnknownEntry: return "the item's list has no such value";
    case DescIssue::kWrongUiType: return "not allowed for this UI type";
    case DescIssue::kDuplicateValue: return "value already in the list";
    case DescIssue::kBadNumber: return "bad number";
    case DescIssue::kNumberZero: return "number 0 cannot be referred to";
    case DescIssue::kResolutionZero: return "resolution 0";
    case DescIssue::kSyntax: return "syntax error in the value";
    case DescIssue::kIllFormedProgram: return "ill-formed Judge program";
    case DescIssue::kTooLarge: return "beyond the parser's bounds";
    case DescIssue::kUnresolvedReference: return "reference to nothing";
    case DescIssue::kOutOfMemory: return "out of memory";
    case DescIssue::kReplaced: return "replaces an earlier statement";
    case DescIssue::kEntriesMisaligned: return "inner braces do not match the entries";
    case DescIssue::kListEndedEarly: return "list ended at an unreadable entry";
    case DescIssue::kDuplicateName: return "name already given; the first keeps it";
  }
  return "unknown issue";
}

int DescHeaderSlotOfItem(WORD itemId) {
  if (itemId >= 1 && itemId <= kItemLastPrivate) return 9 + itemId;
  if (itemId >= kItemFirstConfig && itemId <= kItemLastConfig) return itemId - 9285;
  if (itemId >= kItemFirstHeader && itemId <= 947) return 9 + itemId + 277;
  return -1;
}

int DescCommandPointOffset(int point) {
  switch (point) {
    case kPointJobStart: return 4944;
    case kPointJobEnd: return 4948;
    case kPointDocReset: return 4952;
    case kPointPageStart: return 4956;
    case kPointPageEnd: return 4960;
    default: return 0;
  }
}

const DescUiRecord* DescFindParsedRecord(const DescParseResult* result, WORD itemId) {
  if (!result || itemId == kItemNone) return nullptr;
  const int slot = DescHeaderSlotOfItem(itemId);
  if (slot >= 0) return result->slots[slot];
  for (const DescUiRecord& record : result->records) {
    if (record.itemId == itemId) return &record;
  }
  return nullptr;
}

LONG DescParsedDefaultValue(const DescParseResult* result, WORD itemId) {
  const DescUiRecord* record = DescFindParsedRecord(result, itemId);
  if (!record || !record->values) return 0;
  const DescValueData& data = *record->values;
  switch (DescUiKind(record->type) & 0xFF) {
    case kUiPickOne:
      if (record->defaultPending) return record->defaultIndex;  // its block is still open
      return record->defaultIndex < data.entries.size() ? data.entries[record->defaultIndex].value : 0;
    case kUiBoolean:
      return data.hasBoolean ? data.boolean.defaultValue : 0;
    case kUiNumeric:
      return data.hasRange ? data.range.defaultValue : 0;
    case kUiString:
      return data.hasString ? data.string.defaultValue : 0;
    default:
      return 0;
  }
}

// ---- Entry points ----------------------------------------------------------------------------

DescParseResult* DescParseText(const void* text, size_t size, const DescLeadBytes* lead) {
  if ((!text && size) || size > kDescMaxFileBytes) return nullptr;
  DescLeadBytes codePage;
  if (!lead) {
    codePage = DescLeadBytes::FromCodePage();
    lead = &codePage;
  }
  void* block = GlobalAlloc(GMEM_FIXED, sizeof(DescParseResult));
  if (!block) return nullptr;
  DescParseResult* result = nullptr;
  try {
    result = new (block) DescParseResult();
  } catch (const std::bad_alloc&) {
    GlobalFree(block);
    return nullptr;
  }
  bool complete = false;
  try {
    DescParser parser(result, *lead);
    complete = parser.Run(DescReader(text, size));
  } catch (const std::bad_alloc&) {
    complete = false;
  }
  if (!complete) {
    DescFreeParseResult(result);
    return nullptr;
  }
  return result;
}

DescParseResult* DescParseFile(LPCWSTR path) {
  if (!path) return nullptr;
  const MappedFile file(path);
  if (!file.data()) return nullptr;
  return DescParseText(file.data(), file.size());
}

void DescFreeParseResult(DescParseResult* result) {
  if (!result) return;
  result->~DescParseResult();
  GlobalFree(result);
}

BOOL DescReadFileVersion(LPCWSTR path, WCHAR version[16]) {
  if (!version) return TRUE;
  for (int i = 0; i < 16; ++i) version[i] = 0;
  if (!path) return TRUE;
  const MappedFile file(path);
  if (!file.data()) return TRUE;
  const DescLeadBytes lead = DescLeadBytes::FromCodePage();
  DescReader reader(file.data(), file.size());
  DescStatement statement;
  for (;;) {
    DescIssue issue;
    const DescLex lexed = DescLexStatement(&reader, lead, &statement, &issue);
    if (lexed == DescLex::kEnd || lexed == DescLex::kOutOfMemory) return TRUE;
    if (lexed == DescLex::kStatement && statement.keyword == "FileVersion") {
      WidenVersion(statement.value, version);
      return TRUE;
    }
  }
}
