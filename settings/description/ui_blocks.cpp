// UI blocks (`*OpenUI` ... `*CloseUI`) with their option, default, range, string and command
// lines, and the statements that add data to one value of a list (paper, tray, font table).
#include <climits>

#include "settings/description/enumerations.h"
#include "settings/description/parser_internal.h"

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

// The first word of `text` (up to a blank or `stop`) and what follows it, trimmed.
std::string_view TakeWord(std::string_view* text, char stop = '\0') {
  *text = Trim(*text);
  size_t end = 0;
  while (end < text->size() && !IsSpace((*text)[end]) && (*text)[end] != stop) ++end;
  const std::string_view word = text->substr(0, end);
  *text = Trim(text->substr(end));
  return word;
}

// Blank-separated signed decimal numbers ("-?digits" each); the count read, or -1 when a word
// is not such a number or there are more than `max`.
int ReadNumbers(std::string_view text, LONG* out, int max) {
  int count = 0;
  for (std::string_view word = TakeWord(&text); !word.empty(); word = TakeWord(&text)) {
    const bool negative = word.front() == '-';
    LONG magnitude = 0;
    if (count == max || !DescDigitsValue(negative ? word.substr(1) : word, &magnitude)) return -1;
    out[count++] = negative ? -magnitude : magnitude;
  }
  return count;
}

bool FitsWord(LONG n) { return n >= SHRT_MIN && n <= 0xFFFF; }

// What a list entry costs the value budget, with everything it carries.
size_t WeightOf(const DescValueEntry& entry) {
  size_t weight = sizeof(DescValueEntry) + entry.text.size() + entry.papers.size() * sizeof(DescPaperRecord) +
                  entry.trayPapers.size() * sizeof(WORD);
  for (const DescFontPair& pair : entry.fontPairs) weight += sizeof(DescFontPair) + pair.first.size() + pair.second.size();
  return weight;
}

size_t WeightOf(const DescValueData& data) {
  size_t weight = sizeof(DescValueData) + data.boolean.trueText.size() + data.boolean.falseText.size();
  for (const DescValueEntry& entry : data.entries) weight += WeightOf(entry);
  return weight;
}

constexpr size_t kMaxListEntries = 1024;

}  // namespace

// ---- Symbols -------------------------------------------------------------------------------

bool DescParser::ModelValueOf(std::string_view symbol, WORD* value) {
  const ValueSymbolRow* row = DescFindValueSymbol(symbol);
  if (!row) return false;
  *value = static_cast<WORD>(row->modelValue);
  return true;
}

DescUiRecord* DescParser::RecordOfItem(WORD itemId) {
  return const_cast<DescUiRecord*>(DescFindParsedRecord(result_, itemId));
}

// ---- Records -------------------------------------------------------------------------------

DescValueData* DescParser::NewValueData(const DescValueData& from) {
  const size_t weight = WeightOf(from);
  if (weight > kDescMaxValueBytes - valueBytes_) return nullptr;
  result_->valueData.push_back(from);
  valueBytes_ += weight;
  return &result_->valueData.back();
}

DescUiRecord* DescParser::NewRecord(const DescUiRecord& from, DescValueData* values) {
  result_->records.push_back(from);
  DescUiRecord* record = &result_->records.back();
  record->values = values;
  // The slot keeps the item's first record; numbered copies are found through the list.
  const int slot = DescHeaderSlotOfItem(record->itemId);
  if (slot >= 0 && !result_->slots[slot]) result_->slots[slot] = record;
  return record;
}

bool DescParser::AddEntry(DescValueData* data, WORD value, bool hasText, const DescString& text) {
  for (const DescValueEntry& entry : data->entries) {
    if (entry.value == value) return Refuse(DescIssue::kDuplicateValue);
  }
  DescValueEntry entry;
  entry.value = value;
  entry.hasText = hasText;
  entry.text = text;
  const size_t weight = WeightOf(entry);
  if (data->entries.size() >= kMaxListEntries || weight > kDescMaxValueBytes - valueBytes_)
    return Refuse(DescIssue::kTooLarge);
  data->entries.push_back(std::move(entry));
  valueBytes_ += weight;
  return true;
}

// `*OpenUI *<item symbol> [<number>]: <type>[|<flag type>]` or `... : Identity *<item symbol>`.
bool DescParser::OpenUi() {
  if (open_) return Refuse(DescIssue::kBlockAlreadyOpen);
  const std::string_view option = statement_.option;
  if (!statement_.hasOption || option.front() != '*') return Refuse(DescIssue::kSyntax);
  const ItemSymbolRow* symbol = DescFindItemSymbol(option.substr(1));
  if (!symbol) return Refuse(DescIssue::kUnknownItemSymbol);
  DescString name(option.substr(1));

  DescUiRecord record;
  record.key = static_cast<WORD>(symbol->key);
  record.itemId = static_cast<WORD>(symbol->itemId);
  DescValueData* values = nullptr;
  LONG number = 0;
  if (statement_.hasTranslation && (!StrReadSignedDecimal(statement_.translation, &number) || number < SHRT_MIN ||
                                    number > SHRT_MAX))
    return Refuse(DescIssue::kBadNumber);
  const DescUiRecord* base = statement_.hasTranslation ? RecordOfItem(record.itemId) : nullptr;
  if (base) {
    // A numbered copy: the item's record with a list of its own.
    record = *base;
    record.number = static_cast<SHORT>(number);
    record.inherited = true;
    record.inheritedIndex = base->defaultIndex;
    record.defaultPending = false;
    // The copy's texts cost what they copy, like its list.
    if (!Spend(base->commandPrefix.size() + base->commandSuffix.size())) return false;
    values = NewValueData(*base->values);
  } else {
    std::string_view value = statement_.value;
    const std::string_view typeName = TakeWord(&value, '|');
    record.number = static_cast<SHORT>(number);
    if (typeName == "Identity") {
      // Shares the referenced item's list or block, flags and default.
      if (value.empty() || value.front() != '*') return Refuse(DescIssue::kSyntax);
      value.remove_prefix(1);
      const ItemSymbolRow* other = DescFindItemSymbol(TakeWord(&value));
      if (!other) return Refuse(DescIssue::kUnknownItemSymbol);
      DescUiRecord* referenced = RecordOfItem(static_cast<WORD>(other->itemId));
      if (!referenced) return Refuse(DescIssue::kUnresolvedReference);
      record.number = other->key;
      record.type = static_cast<WORD>(kUiIdentity | referenced->type);
      record.defaultIndex = referenced->defaultIndex;
      record.inherited = true;
      record.inheritedIndex = referenced->defaultIndex;
      values = referenced->values;
    } else {
      LONG type = DescEnumValue(kDescUiTypeNames, typeName);
      if (!value.empty() && value.front() == '|') {
        value.remove_prefix(1);
        type |= DescEnumValue(kDescUiTypeNames, TakeWord(&value));
      }
      record.type = static_cast<WORD>(type);
      values = NewValueData(DescValueData{});
    }
  }
  if (!values) return Refuse(DescIssue::kTooLarge);
  openSymbol_ = std::move(name);
  open_ = NewRecord(record, values);
  return true;
}

bool DescParser::CloseUi() {
  if (!open_) return Refuse(DescIssue::kNoOpenBlock);
  CloseBlock();
  return true;
}

// A list's default value becomes the index of its entry. A copy or Identity record keeps the
// index it came with unless its own default line named a value.
void DescParser::CloseBlock() {
  DescUiRecord* record = open_;
  if (DescIsListType(record->type)) {
    const DescVector<DescValueEntry>& entries = record->values->entries;
    bool found = false;
    WORD index = 0;
    if (record->defaultPending || !record->inherited) {
      for (size_t i = 0; i < entries.size() && !found; ++i) {
        if (entries[i].value == record->defaultIndex) {
          index = static_cast<WORD>(i);
          found = true;
        }
      }
    }
    if (!found && record->inherited && record->inheritedIndex < entries.size()) index = record->inheritedIndex;
    record->defaultIndex = index;
  }
  record->defaultPending = false;
  open_ = nullptr;
  openSymbol_.clear();
}

// ---- Lines inside a block --------------------------------------------------------------------

// `*<item> <value symbol>: "<text>"` for lists, `*<item> True|<other>: "<text>"` for the rest,
// and `*<item>: IDList { {<value symbol> "<text>"} ... }` or `IDList { <value symbol> ... }`.
bool DescParser::OptionLine() {
  DescValueData* data = open_->values;
  if (!statement_.hasOption) {
    if (!DescIsListType(open_->type)) return Refuse(DescIssue::kWrongUiType);
    struct Pending {
      WORD value;
      bool hasText;
      DescString text;
    };
    DescVector<Pending> pending;
    DescTokenizer tokens(statement_.value, lead_);
    if (!tokens.Next().Is(DescTokenKind::kName, "IDList") || tokens.Next().kind != DescTokenKind::kOpenBrace)
      return Refuse(DescIssue::kSyntax);
    for (DescToken token = tokens.Next(); token.kind != DescTokenKind::kCloseBrace; token = tokens.Next()) {
      Pending entry{0, false, {}};
      const bool grouped = token.kind == DescTokenKind::kOpenBrace;
      if (grouped) token = tokens.Next();
      if (token.kind != DescTokenKind::kName) return Refuse(DescIssue::kSyntax);
      if (!ModelValueOf(token.text, &entry.value)) return Refuse(DescIssue::kUnknownValueSymbol);
      if (grouped) {
        token = tokens.Next();
        if (token.kind == DescTokenKind::kQuoted) {
          entry.hasText = DescDecodeQuoted(token.text, lead_, &entry.text);
          token = tokens.Next();
        }
        if (token.kind != DescTokenKind::kCloseBrace) return Refuse(DescIssue::kSyntax);
      }
      pending.push_back(std::move(entry));
    }
    if (tokens.Next().kind != DescTokenKind::kEnd) return Refuse(DescIssue::kSyntax);
    for (const Pending& entry : pending) {
      if (AddEntry(data, entry.value, entry.hasText, entry.text)) continue;
      if (refusal_ != DescIssue::kDuplicateValue) return false;
      Report(DescIssue::kDuplicateValue, false);  // the rest of the list stands
    }
    return true;
  }

  DescString text;
  const std::string_view value = Trim(statement_.value);
  const bool hasText = DescDecodeQuoted(value, lead_, &text);
  if (!hasText && !value.empty()) return Refuse(DescIssue::kSyntax);  // text must be quoted
  if (DescIsListType(open_->type)) {
    WORD model = 0;
    if (!ModelValueOf(statement_.option, &model)) return Refuse(DescIssue::kUnknownValueSymbol);
    return AddEntry(data, model, hasText, text);
  }
  DescBoolBlock& block = data->boolean;
  if (statement_.option == "True") {
    block.trueText = std::move(text);
    block.hasTrueText = hasText;
  } else {
    block.falseText = std::move(text);
    block.hasFalseText = hasText;
  }
  data->hasBoolean = true;
  return true;
}

// `*Default<item>: <value symbol | True | False>`.
bool DescParser::DefaultLine() {
  const std::string_view value = Trim(statement_.value);
  DescValueData* data = open_->values;
  WORD model = 0;
  if (DescIsListType(open_->type)) {
    if (!ModelValueOf(value, &model)) return Refuse(DescIssue::kUnknownValueSymbol);
    open_->defaultIndex = model;  // an index once the block closes
    open_->defaultPending = true;
    return true;
  }
  if (DescUiKind(open_->type) == kUiBoolean) {
    data->boolean.defaultValue = DescEnumValue(kDescBooleanNames, value);
    data->hasBoolean = true;
    return true;
  }
  if (open_->type & kUiString) {
    if (!ModelValueOf(value, &model)) return Refuse(DescIssue::kUnknownValueSymbol);
    data->string.defaultValue = model;
    data->hasString = true;
    return true;
  }
  return Refuse(DescIssue::kWrongUiType);
}

// `*NumericValue: [<n0>] "<n1> <default> <minimum> <maximum> [<n2> <n3> <n4> [<n5>]]"`.
bool DescParser::NumericValue() {
  if (!open_) return Refuse(DescIssue::kNoOpenBlock);
  const std::string_view value = statement_.value;
  const size_t quote = value.find('"');
  if (quote == std::string_view::npos) return Refuse(DescIssue::kSyntax);
  DescRange range;
  LONG n0 = 0;
  const int before = ReadNumbers(value.substr(0, quote), &n0, 1);
  if (before < 0 || !FitsWord(n0)) return Refuse(DescIssue::kBadNumber);
  DescString inner;
  std::string_view rest;
  if (!DescDecodeQuoted(value, lead_, &inner, &rest) || !Trim(rest).empty()) return Refuse(DescIssue::kSyntax);
  LONG n[8] = {};
  const int count = ReadNumbers(inner, n, 8);
  if (count < 4) return Refuse(DescIssue::kBadNumber);
  for (int i : {0, 4, 5, 6, 7}) {
    if (!FitsWord(n[i])) return Refuse(DescIssue::kBadNumber);
  }
  range.n0 = static_cast<WORD>(n0);
  range.n1 = static_cast<WORD>(n[0]);
  range.defaultValue = n[1];
  range.minimum = n[2];
  range.maximum = n[3];
  range.n2 = static_cast<WORD>(n[4]);
  range.n3 = static_cast<WORD>(n[5]);
  range.n4 = static_cast<WORD>(n[6]);
  range.n5 = static_cast<WORD>(n[7]);
  open_->values->range = range;
  open_->values->hasRange = true;
  return true;
}

// `*StringValue: <length> <string class> | <show flag>`.
bool DescParser::StringValue() {
  if (!open_) return Refuse(DescIssue::kNoOpenBlock);
  std::string_view value = statement_.value;
  LONG length = 0;
  if (!DescDigitsValue(TakeWord(&value), &length) || length > 0xFFFF) return Refuse(DescIssue::kBadNumber);
  const std::string_view className = TakeWord(&value, '|');
  if (className.empty()) return Refuse(DescIssue::kSyntax);
  DescStringBlock& block = open_->values->string;
  block.length = static_cast<WORD>(length);
  block.stringClass = static_cast<WORD>(DescEnumValue(kDescStringClassNames, className));
  block.showFlags = 0;
  if (!value.empty() && value.front() == '|') {
    value.remove_prefix(1);
    block.showFlags = static_cast<WORD>(DescEnumValue(kDescShowFlagNames, TakeWord(&value)));
  }
  open_->values->hasString = true;
  return true;
}

// `*OptionCommand: { "<prefix>" "<suffix>" }`.
bool DescParser::OptionCommand() {
  if (!open_) return Refuse(DescIssue::kNoOpenBlock);
  DescTokenizer tokens(statement_.value, lead_);
  const DescToken open = tokens.Next();
  const DescToken prefix = tokens.Next();
  const DescToken suffix = tokens.Next();
  const DescToken close = tokens.Next();
  if (open.kind != DescTokenKind::kOpenBrace || prefix.kind != DescTokenKind::kQuoted ||
      suffix.kind != DescTokenKind::kQuoted || close.kind != DescTokenKind::kCloseBrace ||
      tokens.Next().kind != DescTokenKind::kEnd)
    return Refuse(DescIssue::kSyntax);
  DescString prefixText, suffixText;
  if (!DescDecodeQuoted(prefix.text, lead_, &prefixText) || !DescDecodeQuoted(suffix.text, lead_, &suffixText))
    return Refuse(DescIssue::kSyntax);
  open_->commandPrefix = std::move(prefixText);
  open_->commandSuffix = std::move(suffixText);
  open_->hasCommand = true;
  return true;
}

// ---- Per-value statements --------------------------------------------------------------------

DescValueEntry* DescParser::FindValueEntry(std::string_view symbol, WORD uiKind) {
  const ValueSymbolRow* row = DescFindValueSymbol(symbol);
  if (!row) {
    Refuse(DescIssue::kUnknownValueSymbol);
    return nullptr;
  }
  DescUiRecord* record = RecordOfItem(static_cast<WORD>(row->itemId));
  if (!record) {
    Refuse(DescIssue::kUnknownEntry);
    return nullptr;
  }
  if (DescUiKind(record->type) != uiKind) {
    Refuse(DescIssue::kWrongUiType);
    return nullptr;
  }
  for (DescValueEntry& entry : record->values->entries) {
    if (entry.value == row->modelValue) return &entry;
  }
  Refuse(DescIssue::kUnknownEntry);
  return nullptr;
}

bool DescParser::Spend(size_t bytes) {
  if (bytes > kDescMaxValueBytes - valueBytes_) return Refuse(DescIssue::kTooLarge);
  valueBytes_ += bytes;
  return true;
}

// `*PageMMValue <paper>: "<width> <length>"` in 0.1 mm.
bool DescParser::PageMmValue() {
  DescValueEntry* entry = FindValueEntry(statement_.option, kUiPickPage);
  if (!entry) return false;
  DescString text;
  std::string_view rest;
  if (!DescDecodeQuoted(statement_.value, lead_, &text, &rest) || !Trim(rest).empty())
    return Refuse(DescIssue::kSyntax);
  LONG size[2] = {};
  if (ReadNumbers(text, size, 2) != 2 || size[0] <= 0 || size[1] <= 0) return Refuse(DescIssue::kBadNumber);
  entry->metricWidth = size[0];
  entry->metricLength = size[1];
  entry->hasMetric = true;
  return true;
}

// `*PageValue <paper>: <resolution> <orientation> [<item symbol> <value>] "<left> <top> <width>
// <length> [<a> <b>]"`.
bool DescParser::PageValue() {
  DescValueEntry* entry = FindValueEntry(statement_.option, kUiPickPage);
  if (!entry) return false;
  DescTokenizer tokens(statement_.value, lead_);
  DescPaperRecord paper{};
  DescToken token = tokens.Next();
  LONG resolution = 0;
  WORD model = 0;
  if (token.kind == DescTokenKind::kNumber) {
    if (!DescDigitsValue(token.text, &resolution) || resolution > 0xFFFF) return Refuse(DescIssue::kBadNumber);
  } else if (token.kind == DescTokenKind::kName) {
    if (!ModelValueOf(token.text, &model)) return Refuse(DescIssue::kUnknownValueSymbol);
    resolution = model;
  } else {
    return Refuse(DescIssue::kSyntax);
  }
  if (resolution == 0) return Refuse(DescIssue::kResolutionZero);
  paper.resolution = static_cast<WORD>(resolution);
  token = tokens.Next();
  if (token.kind != DescTokenKind::kName) return Refuse(DescIssue::kSyntax);
  if (!ModelValueOf(token.text, &paper.orientation)) return Refuse(DescIssue::kUnknownValueSymbol);
  token = tokens.Next();
  if (token.kind == DescTokenKind::kName) {
    const ItemSymbolRow* item = DescFindItemSymbol(token.text);
    if (!item) return Refuse(DescIssue::kUnknownItemSymbol);
    paper.conditionItem = static_cast<WORD>(item->itemId);
    token = tokens.Next();
    if (token.kind != DescTokenKind::kName) return Refuse(DescIssue::kSyntax);
    LONG truth = 0;
    if (DescFindEnum(kDescBooleanNames, token.text, &truth)) {
      paper.conditionValue = static_cast<WORD>(truth);
    } else if (!ModelValueOf(token.text, &paper.conditionValue)) {
      return Refuse(DescIssue::kUnknownValueSymbol);
    }
    token = tokens.Next();
  }
  DescString numbers;
  if (token.kind != DescTokenKind::kQuoted || !DescDecodeQuoted(token.text, lead_, &numbers) ||
      tokens.Next().kind != DescTokenKind::kEnd)
    return Refuse(DescIssue::kSyntax);
  LONG n[6] = {};
  const int count = ReadNumbers(numbers, n, 6);
  if (count != 4 && count != 6) return Refuse(DescIssue::kBadNumber);
  paper.left = n[0];
  paper.top = n[1];
  paper.width = n[2];
  paper.length = n[3];
  paper.a = n[4];
  paper.b = n[5];
  if (!Spend(sizeof paper)) return false;
  entry->papers.push_back(paper);
  return true;
}

// `*SlotPaper <tray>: { <paper> ... }`: one unknown paper drops the list.
bool DescParser::SlotPaper() {
  DescValueEntry* entry = FindValueEntry(statement_.option, kUiPickSlot);
  if (!entry) return false;
  DescTokenizer tokens(statement_.value, lead_);
  if (tokens.Next().kind != DescTokenKind::kOpenBrace) return Refuse(DescIssue::kSyntax);
  DescVector<WORD> papers;
  for (DescToken token = tokens.Next(); token.kind != DescTokenKind::kCloseBrace; token = tokens.Next()) {
    WORD model = 0;
    if (token.kind != DescTokenKind::kName) return Refuse(DescIssue::kSyntax);
    if (!ModelValueOf(token.text, &model)) return Refuse(DescIssue::kUnknownValueSymbol);
    papers.push_back(model);
  }
  if (tokens.Next().kind != DescTokenKind::kEnd) return Refuse(DescIssue::kSyntax);
  if (!Spend(papers.size() * sizeof(WORD))) return false;
  if (entry->hasTrayPapers) Report(DescIssue::kReplaced, false);
  entry->trayPapers = std::move(papers);
  entry->hasTrayPapers = true;
  return true;
}

// `*TTFS <font table value>: IDList { {"<TrueType face>" "<device face>"} ... }`. A pair that
// cannot be read ends the list.
bool DescParser::Ttfs() {
  DescValueEntry* entry = FindValueEntry(statement_.option, kUiFontTbl);
  if (!entry) return false;
  DescTokenizer tokens(statement_.value, lead_);
  if (!tokens.Next().Is(DescTokenKind::kName, "IDList") || tokens.Next().kind != DescTokenKind::kOpenBrace)
    return Refuse(DescIssue::kSyntax);
  DescVector<DescFontPair> pairs;
  size_t weight = 0;
  for (DescToken token = tokens.Next(); token.kind != DescTokenKind::kCloseBrace; token = tokens.Next()) {
    const DescToken first = tokens.Next();
    const DescToken second = tokens.Next();
    const DescToken close = tokens.Next();
    DescFontPair pair;
    if (token.kind != DescTokenKind::kOpenBrace || first.kind != DescTokenKind::kQuoted ||
        second.kind != DescTokenKind::kQuoted || close.kind != DescTokenKind::kCloseBrace ||
        !DescDecodeQuoted(first.text, lead_, &pair.first) || !DescDecodeQuoted(second.text, lead_, &pair.second)) {
      Report(DescIssue::kListEndedEarly, false);
      break;
    }
    weight += sizeof pair + pair.first.size() + pair.second.size();
    pairs.push_back(std::move(pair));
  }
  if (!Spend(weight)) return false;
  if (entry->hasFontPairs) Report(DescIssue::kReplaced, false);
  entry->fontPairs = std::move(pairs);
  entry->hasFontPairs = true;
  return true;
}
