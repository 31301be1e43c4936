// The description parser's state and its statement handlers, shared by the files that
// implement them (description/parser.cpp, description/ui_blocks.cpp,
// description/constraint_statements.cpp, description/command_trees.cpp). Nothing outside them includes it.
#pragma once

#include <map>
#include <string_view>
#include <type_traits>
#include <utility>

#include "settings/description/lexer.h"
#include "settings/description/parse_result.h"
#include "settings/items/table.h"
#include "settings/description/judge_compiler.h"

// Bounds on what one description may make the parser hold. Copies (numbered UI records,
// inlined Judges) are the only way a line can cost more than its own bytes; these bound them.
constexpr size_t kDescMaxFileBytes = size_t(64) << 20;
constexpr size_t kDescMaxValueBytes = size_t(64) << 20;
constexpr size_t kDescMaxJudgeCells = size_t(1) << 20;
constexpr int kDescMaxTreeDepth = 32;
constexpr size_t kDescMaxIssues = 256;

// Kinds of numbered statements and their reference tags.
enum DescRefKind : int {
  kRefKindJudge = 0,
  kRefKindItem = 1,
  kRefKindAction = 2,
  kRefKindTransact = 3,
  kRefKindAlertAction = 4,
  kRefKindAlert = 5,
  kRefKinds = 6,
};
constexpr DWORD kRefTagJudge = 0x10000;
constexpr DWORD kRefTagItem = 0x20000;
constexpr DWORD kRefTagAction = 0x30000;
constexpr DWORD kRefTagTransact = 0x40000;
constexpr DWORD kRefTagAlert = 0x50000;
constexpr DWORD kRefTagAlertAction = 0x60000;
constexpr DWORD kRefTagName = 0x70000;
constexpr DWORD kRefTagMask = 0xF0000;

// Classifies a reference token: tag | number for a direct reference (a prefix followed by
// digits only, the number at most 65535), 0 for "NULL", kRefTagName for anything else.
DWORD DescClassifyReference(std::string_view token);
DWORD DescRefTagOfKind(int kind);

// Item and value symbols by name (not NUL-terminated). An item symbol names an item (the
// table's page names do not); a value symbol's model value fits in 16 bits.
const ItemSymbolRow* DescFindItemSymbol(std::string_view name);
const ValueSymbolRow* DescFindValueSymbol(std::string_view name);

// The value of a run of decimal digits; false for anything else or above 2^31 - 1.
bool DescDigitsValue(std::string_view digits, LONG* value);

// A callable passed down for the length of one call, without the allocation a std::function
// may make.
template <class Signature>
class DescCallback;
template <class R, class... Args>
class DescCallback<R(Args...)> {
 public:
  template <class F, class = std::enable_if_t<!std::is_same_v<std::decay_t<F>, DescCallback>>>
  DescCallback(F&& f)  // implicit, so that a lambda passes as it is
      : object_(const_cast<void*>(static_cast<const void*>(&f))),
        call_([](void* object, Args... args) -> R {
          return (*static_cast<std::remove_reference_t<F>*>(object))(std::forward<Args>(args)...);
        }) {}
  R operator()(Args... args) const { return call_(object_, std::forward<Args>(args)...); }

 private:
  void* object_;
  R (*call_)(void*, Args...);
};

class DescParser : private JudgeNameResolver {
 public:
  DescParser(DescParseResult* result, const DescLeadBytes& lead) : result_(result), lead_(lead) {}

  // Reads every statement of `reader`. False when the lexer ran out of memory.
  bool Run(DescReader reader);

  using Handler = bool (DescParser::*)();
  struct KeywordRow {
    const char* keyword;
    Handler handler;
  };

 private:
  struct NameEntry {
    LONG number;
    size_t index;  // position in its statement list
  };
  using NameMap = std::map<DescString, NameEntry, std::less<>,
                           GlobalAllocator<std::pair<const DescString, NameEntry>>>;

  void Dispatch();
  bool Handle();
  const KeywordRow* FindKeyword(std::string_view keyword);
  // Records an issue of the current statement; never throws.
  void Report(DescIssue issue, bool dropped) noexcept;
  bool Refuse(DescIssue issue) {
    refusal_ = issue;
    return false;
  }

  // description/parser.cpp: header and list statements.
  bool FileVersion();
  bool UiResDllName();
  bool ExcDepDllName();
  bool CommandString();
  bool DeviceFonts();
  bool FontCartridge();
  bool ReadWideName(DescWideString* out, bool* has);
  bool ReadFontList(DescVector<DescFont>* out, bool* has);

  // description/ui_blocks.cpp
  bool OpenUi();
  bool CloseUi();
  bool OptionLine();
  bool DefaultLine();
  bool NumericValue();
  bool StringValue();
  bool OptionCommand();
  bool PageValue();
  bool PageMmValue();
  bool SlotPaper();
  bool Ttfs();
  void CloseBlock();
  DescUiRecord* RecordOfItem(WORD itemId);
  DescUiRecord* NewRecord(const DescUiRecord& from, DescValueData* values);
  // A new value list and blocks (a copy of `from`), or null beyond the value budget.
  DescValueData* NewValueData(const DescValueData& from);
  // Appends an entry; refuses a value the list holds already, and a list beyond its bounds.
  bool AddEntry(DescValueData* data, WORD value, bool hasText, const DescString& text);
  // Takes `bytes` from the value budget; refuses when it is spent.
  bool Spend(size_t bytes);
  // The list entry that a per-value statement names: the entry of the symbol's model value in
  // the list of the symbol's item, which must be of `uiKind`. Null (and refused) otherwise.
  DescValueEntry* FindValueEntry(std::string_view symbol, WORD uiKind);
  bool ModelValueOf(std::string_view symbol, WORD* value);

  // description/constraint_statements.cpp
  bool Judge();
  bool Item();
  bool Action();
  bool Transact();
  bool AlertAction();
  bool Alert();
  bool Exclusive();
  bool ReadNumberedOption(LONG* number, std::string_view* name);
  // Gives `name` to statement `number` at `index` of its list; never throws.
  void AddName(int kind, std::string_view name, LONG number, size_t index) noexcept;
  LONG ResolveReference(std::string_view token, int kind) const;
  bool AppendName(std::string_view name, DescVector<DescCell>* program) const override;
  // Reads a brace body in groups of `fields` tokens, calling `entry` for each group (the
  // last group may be short: its missing tokens are empty).
  bool ReadBody(int fields, DescCallback<bool(const DescToken*)> entry);
  template <class Entry>
  bool ReadSet(int kind, DescVector<DescSet<Entry>>* sets, int fields,
               DescCallback<Entry(const DescToken*)> convert);

  // description/command_trees.cpp
  bool CommandGroup();
  bool ReadClauses(DescTokenizer* tokens, DescCommandList* list, int depth);
  bool ReadConditional(DescTokenizer* tokens, DescCommandNode* node, int depth);

  DescParseResult* result_;
  const DescLeadBytes& lead_;
  DescStatement statement_;
  DescIssue refusal_ = DescIssue::kSyntax;
  int lastRow_ = -1;
  DescUiRecord* open_ = nullptr;
  DescString openSymbol_;
  NameMap names_[kRefKinds];
  size_t valueBytes_ = 0;
  size_t judgeCells_ = 0;
};
