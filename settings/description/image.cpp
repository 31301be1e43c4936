#include "settings/description/image.h"

#include <bit>
#include <new>

#include "settings/context/global_allocator.h"
#include "settings/items/table.h"
#include "settings/description/judge_compiler.h"

// Wide texts are handed out in place: their stored UTF-16LE is the host's WCHAR.
static_assert(std::endian::native == std::endian::little);

// ---- Field offsets of the elements ---------------------------------------------------------

namespace {

// UI record.
constexpr DWORD kNodeNext = 0, kNodeKey = 4, kNodeNumber = 6, kNodeItemId = 8, kNodeType = 10,
                kNodeDefaultIndex = 12, kNodeBlockKind = 14, kNodeConditions = 16, kNodeValues = 20,
                kNodePrefix = 24, kNodeSuffix = 28;
// Value entry: the common part, then the part of its kind.
constexpr DWORD kValueNext = 0, kValueValue = 4, kValueKind = 6, kValueText = 8;
constexpr DWORD kValueMetricWidth = 12, kValueMetricLength = 16, kValuePapers = 20;  // page
constexpr DWORD kValueTrayCount = 12, kValueTrayArray = 16;                          // slot
constexpr DWORD kValuePairCount = 12, kValueFirstTexts = 16, kValueSecondTexts = 20; // font
// Paper record.
constexpr DWORD kPaperNext = 0, kPaperResolution = 4, kPaperOrientation = 6, kPaperConditionItem = 8,
                kPaperConditionValue = 10, kPaperLeft = 12;  // then top, width, length, a, b
// Blocks.
constexpr DWORD kRangeDefault = 12, kRangeMinimum = 16, kRangeMaximum = 20;
constexpr DWORD kBooleanDefault = 0, kBooleanTrue = 4, kBooleanFalse = 8;
// Conditions block.
constexpr DWORD kCondNext = 0, kCondKey = 4, kCondItemId = 6, kCondDisabled = 8, kCondHidden = 12,
                kCondValues = 16, kCondAlerts = 20, kCondRules = 24, kCondSecondRules = 28;
// Per-value entry, rule, action, alert action, alert.
constexpr DWORD kValueRowNext = 0, kValueRowValue = 4, kValueRowDisabled = 8, kValueRowHidden = 12;
constexpr DWORD kRuleNext = 0, kRuleProgram = 4, kRuleActions = 8;
constexpr DWORD kActionNext = 0, kActionTarget = 4, kActionTargetKind = 6, kActionValue = 8;
constexpr DWORD kAlertActionNext = 0, kAlertActionItem = 4, kAlertActionRules = 8;
constexpr DWORD kAlertNext = 0, kAlertProgram = 4, kAlertMessage = 8, kAlertIcon = 10, kAlertButtons = 12,
                kAlertKind = 14, kAlertAlertAction = 16;
// Templates.
constexpr DWORD kBranchProgram = 0, kBranchThen = 4, kBranchElse = 8;
constexpr DWORD kTemplateNext = 0, kTemplateKind = 4, kTemplateItem = 6, kTemplateNumber = 8, kTemplateOperand = 12;
// Font row.
constexpr DWORD kFontNumber = 0, kFontName = 4;

const BYTE* Bytes(const void* handle) { return static_cast<const BYTE*>(handle); }
WORD U16(const void* handle, DWORD at) { return DescLoadU16(Bytes(handle) + at); }
DWORD U32(const void* handle, DWORD at) { return DescLoadU32(Bytes(handle) + at); }
LONG S32(const void* handle, DWORD at) { return static_cast<LONG>(U32(handle, at)); }

// The element that `link` leads to when `bytes` of it lie inside the block, else null.
const BYTE* Follow(const ModelDescription* d, DWORD link, DWORD bytes) {
  if (!d || !d->bytes || (link & 0xF) != 1) return nullptr;
  const DWORD offset = link >> 4;
  if (offset < kDescFirstPartOffset || offset > d->size || bytes > d->size - offset) return nullptr;
  return d->bytes + offset;
}

template <class T>
const T* FollowAs(const ModelDescription* d, DWORD link, DWORD bytes) {
  return reinterpret_cast<const T*>(Follow(d, link, bytes));
}

// Texts: the checker has seen every one end inside the block.
const char* Text(const ModelDescription* d, DWORD link) { return FollowAs<char>(d, link, 1); }
const WCHAR* WideText(const ModelDescription* d, DWORD link) { return FollowAs<WCHAR>(d, link, 2); }

DWORD HeaderU32(const ModelDescription* d, DWORD at) {
  return d && d->bytes && d->size >= kDescFirstPartOffset ? DescLoadU32(d->bytes + at) : 0;
}

}  // namespace

DWORD DescValueEntryBytes(WORD blockKind) {
  switch (blockKind) {
    case kDescBlockList: return 12;
    case kDescBlockPageList: return 24;
    case kDescBlockSlotList: return 20;
    case kDescBlockFontList: return 24;
    default: return 0;
  }
}

// ---- Header --------------------------------------------------------------------------------

const WCHAR* DescImageVersion(const ModelDescription* d) {
  if (!d || !d->bytes || d->size < kDescFirstPartOffset) return WSTR("");
  return reinterpret_cast<const WCHAR*>(d->bytes + kDescOffVersion);
}

const DescNode* DescFirstNode(const ModelDescription* d) {
  return FollowAs<DescNode>(d, HeaderU32(d, kDescOffFirstNode), kDescNodeBytes);
}

const DescNode* DescSlotNode(const ModelDescription* d, WORD itemId) {
  const int slot = DescHeaderSlotOfItem(itemId);
  return slot < 0 ? nullptr : FollowAs<DescNode>(d, HeaderU32(d, DWORD(slot) * 4), kDescNodeBytes);
}

const WCHAR* DescUiResDllName(const ModelDescription* d) { return WideText(d, HeaderU32(d, kDescOffUiResDllName)); }

const WCHAR* DescExcDepDllName(const ModelDescription* d) { return WideText(d, HeaderU32(d, kDescOffExcDepDllName)); }

const DescBranch* DescCommandTree(const ModelDescription* d, int point) {
  const int at = DescCommandPointOffset(point);
  return at ? FollowAs<DescBranch>(d, HeaderU32(d, DWORD(at)), kDescBranchBytes) : nullptr;
}

const DescConditions* DescFirstConditions(const ModelDescription* d) {
  const DWORD offset = HeaderU32(d, kDescOffFirstConditions);
  return offset ? FollowAs<DescConditions>(d, DescLinkTo(offset), kDescConditionsBytes) : nullptr;
}

DWORD DescFontCount(const ModelDescription* d, bool cartridges) {
  return HeaderU32(d, cartridges ? kDescOffCartridgeCount : kDescOffDeviceFontCount);
}

BOOL DescFontEntry(const ModelDescription* d, bool cartridges, DWORD index, DWORD* number, const char** name) {
  const DWORD count = DescFontCount(d, cartridges);
  if (index >= count) return FALSE;
  const BYTE* rows = Follow(d, HeaderU32(d, cartridges ? kDescOffCartridges : kDescOffDeviceFonts),
                            count * kDescFontRowBytes);
  if (!rows) return FALSE;
  const BYTE* row = rows + index * kDescFontRowBytes;
  if (number) *number = DescLoadU32(row + kFontNumber);
  if (name) *name = Text(d, DescLoadU32(row + kFontName));
  return TRUE;
}

// ---- UI records ------------------------------------------------------------------------------

const DescNode* DescNextNode(const ModelDescription* d, const DescNode* node) {
  return node ? FollowAs<DescNode>(d, U32(node, kNodeNext), kDescNodeBytes) : nullptr;
}
WORD DescNodeKey(const DescNode* node) { return node ? U16(node, kNodeKey) : 0; }
SHORT DescNodeNumber(const DescNode* node) { return node ? static_cast<SHORT>(U16(node, kNodeNumber)) : 0; }
WORD DescNodeItemId(const DescNode* node) { return node ? U16(node, kNodeItemId) : 0; }
WORD DescNodeType(const DescNode* node) { return node ? U16(node, kNodeType) : 0; }
WORD DescNodeDefaultIndex(const DescNode* node) { return node ? U16(node, kNodeDefaultIndex) : 0; }
WORD DescNodeBlockKind(const DescNode* node) { return node ? U16(node, kNodeBlockKind) : WORD(kDescBlockNone); }

const DescConditions* DescNodeConditions(const ModelDescription* d, const DescNode* node) {
  return node ? FollowAs<DescConditions>(d, U32(node, kNodeConditions), kDescConditionsBytes) : nullptr;
}

const DescValue* DescNodeFirstValue(const ModelDescription* d, const DescNode* node) {
  const WORD kind = DescNodeBlockKind(node);
  if (!DescIsListBlock(kind)) return nullptr;
  return FollowAs<DescValue>(d, U32(node, kNodeValues), DescValueEntryBytes(kind));
}

BOOL DescNodeRange(const ModelDescription* d, const DescNode* node, DescRange* range) {
  if (DescNodeBlockKind(node) != kDescBlockRange) return FALSE;
  const BYTE* block = Follow(d, U32(node, kNodeValues), kDescRangeBytes);
  if (!block || !range) return block != nullptr;
  range->n0 = DescLoadU16(block);
  range->n1 = DescLoadU16(block + 2);
  range->n2 = DescLoadU16(block + 4);
  range->n3 = DescLoadU16(block + 6);
  range->n4 = DescLoadU16(block + 8);
  range->n5 = DescLoadU16(block + 10);
  range->defaultValue = static_cast<LONG>(DescLoadU32(block + kRangeDefault));
  range->minimum = static_cast<LONG>(DescLoadU32(block + kRangeMinimum));
  range->maximum = static_cast<LONG>(DescLoadU32(block + kRangeMaximum));
  return TRUE;
}

BOOL DescNodeString(const ModelDescription* d, const DescNode* node, DescStringBlock* string) {
  if (DescNodeBlockKind(node) != kDescBlockString) return FALSE;
  const BYTE* block = Follow(d, U32(node, kNodeValues), kDescStringBytes);
  if (!block || !string) return block != nullptr;
  string->defaultValue = DescLoadU16(block);
  string->length = DescLoadU16(block + 2);
  string->stringClass = DescLoadU16(block + 4);
  string->showFlags = DescLoadU16(block + 6);
  return TRUE;
}

BOOL DescNodeBoolean(const ModelDescription* d, const DescNode* node, DescBooleanView* view) {
  if (DescNodeBlockKind(node) != kDescBlockBoolean) return FALSE;
  const BYTE* block = Follow(d, U32(node, kNodeValues), kDescBooleanBytes);
  if (!block || !view) return block != nullptr;
  view->defaultValue = static_cast<LONG>(DescLoadU32(block + kBooleanDefault));
  view->trueText = Text(d, DescLoadU32(block + kBooleanTrue));
  view->falseText = Text(d, DescLoadU32(block + kBooleanFalse));
  return TRUE;
}

BOOL DescNodeCommand(const ModelDescription* d, const DescNode* node, const char** prefix, const char** suffix) {
  const char* before = node ? Text(d, U32(node, kNodePrefix)) : nullptr;
  const char* after = node ? Text(d, U32(node, kNodeSuffix)) : nullptr;
  if (prefix) *prefix = before;
  if (suffix) *suffix = after;
  return before || after;
}

// ---- Value entries ---------------------------------------------------------------------------

const DescValue* DescNextValue(const ModelDescription* d, const DescValue* value) {
  return value ? FollowAs<DescValue>(d, U32(value, kValueNext), DescValueEntryBytes(U16(value, kValueKind)))
               : nullptr;
}
WORD DescValueValue(const DescValue* value) { return value ? U16(value, kValueValue) : 0; }
WORD DescValueKind(const DescValue* value) { return value ? U16(value, kValueKind) : WORD(kDescBlockNone); }

const char* DescValueText(const ModelDescription* d, const DescValue* value) {
  return value ? Text(d, U32(value, kValueText)) : nullptr;
}

BOOL DescValueMetric(const DescValue* value, LONG* width, LONG* length) {
  const bool page = DescValueKind(value) == kDescBlockPageList;
  const LONG w = page ? S32(value, kValueMetricWidth) : 0;
  const LONG l = page ? S32(value, kValueMetricLength) : 0;
  if (width) *width = w;
  if (length) *length = l;
  return w > 0 && l > 0;
}

const DescPaper* DescValueFirstPaper(const ModelDescription* d, const DescValue* value) {
  if (DescValueKind(value) != kDescBlockPageList) return nullptr;
  return FollowAs<DescPaper>(d, U32(value, kValuePapers), kDescPaperBytes);
}

const DescPaper* DescNextPaper(const ModelDescription* d, const DescPaper* paper) {
  return paper ? FollowAs<DescPaper>(d, U32(paper, kPaperNext), kDescPaperBytes) : nullptr;
}

void DescReadPaper(const DescPaper* paper, DescPaperRecord* record) {
  if (!paper || !record) return;
  record->resolution = U16(paper, kPaperResolution);
  record->orientation = U16(paper, kPaperOrientation);
  record->conditionItem = U16(paper, kPaperConditionItem);
  record->conditionValue = U16(paper, kPaperConditionValue);
  LONG* fields[] = {&record->left, &record->top, &record->width, &record->length, &record->a, &record->b};
  for (DWORD i = 0; i < 6; ++i) *fields[i] = S32(paper, kPaperLeft + 4 * i);
}

DWORD DescValueTrayCount(const DescValue* value) {
  return DescValueKind(value) == kDescBlockSlotList ? U32(value, kValueTrayCount) : 0;
}

WORD DescValueTrayPaper(const ModelDescription* d, const DescValue* value, DWORD index) {
  const DWORD count = DescValueTrayCount(value);
  if (index >= count) return 0;
  const BYTE* papers = Follow(d, U32(value, kValueTrayArray), count * 2);
  return papers ? DescLoadU16(papers + 2 * index) : 0;
}

DWORD DescValueFontPairCount(const DescValue* value) {
  return DescValueKind(value) == kDescBlockFontList ? U32(value, kValuePairCount) : 0;
}

BOOL DescValueFontPair(const ModelDescription* d, const DescValue* value, DWORD index, const char** first,
                       const char** second) {
  const DWORD count = DescValueFontPairCount(value);
  if (index >= count) return FALSE;
  const BYTE* firsts = Follow(d, U32(value, kValueFirstTexts), count * 4);
  const BYTE* seconds = Follow(d, U32(value, kValueSecondTexts), count * 4);
  if (!firsts || !seconds) return FALSE;
  if (first) *first = Text(d, DescLoadU32(firsts + 4 * index));
  if (second) *second = Text(d, DescLoadU32(seconds + 4 * index));
  return TRUE;
}

// ---- Constraints -----------------------------------------------------------------------------

void DescReadConditions(const ModelDescription* d, const DescConditions* block, DescConditionsView* view) {
  if (!view) return;
  *view = {};
  if (!block) return;
  view->next = FollowAs<DescConditions>(d, U32(block, kCondNext), kDescConditionsBytes);
  view->key = U16(block, kCondKey);
  view->itemId = U16(block, kCondItemId);
  view->disabled = FollowAs<DescProgram>(d, U32(block, kCondDisabled), 4);
  view->hidden = FollowAs<DescProgram>(d, U32(block, kCondHidden), 4);
  view->values = FollowAs<DescItemValue>(d, U32(block, kCondValues), kDescItemValueBytes);
  view->alerts = FollowAs<DescAlert>(d, U32(block, kCondAlerts), kDescAlertBytes);
  view->rules = FollowAs<DescRule>(d, U32(block, kCondRules), kDescRuleBytes);
  view->secondRules = FollowAs<DescRule>(d, U32(block, kCondSecondRules), kDescRuleBytes);
}

void DescReadItemValue(const ModelDescription* d, const DescItemValue* entry, DescItemValueView* view) {
  if (!view) return;
  *view = {};
  if (!entry) return;
  view->next = FollowAs<DescItemValue>(d, U32(entry, kValueRowNext), kDescItemValueBytes);
  view->value = U16(entry, kValueRowValue);
  view->disabled = FollowAs<DescProgram>(d, U32(entry, kValueRowDisabled), 4);
  view->hidden = FollowAs<DescProgram>(d, U32(entry, kValueRowHidden), 4);
}

void DescReadRule(const ModelDescription* d, const DescRule* rule, DescRuleView* view) {
  if (!view) return;
  *view = {};
  if (!rule) return;
  view->next = FollowAs<DescRule>(d, U32(rule, kRuleNext), kDescRuleBytes);
  view->program = FollowAs<DescProgram>(d, U32(rule, kRuleProgram), 4);
  view->actions = FollowAs<DescAction>(d, U32(rule, kRuleActions), kDescActionBytes);
}

void DescReadAction(const ModelDescription* d, const DescAction* action, DescActionView* view) {
  if (!view) return;
  *view = {};
  if (!action) return;
  view->next = FollowAs<DescAction>(d, U32(action, kActionNext), kDescActionBytes);
  view->target = U16(action, kActionTarget);
  view->targetKind = U16(action, kActionTargetKind);
  view->value = S32(action, kActionValue);
}

void DescReadAlertAction(const ModelDescription* d, const DescAlertAction* entry, DescAlertActionView* view) {
  if (!view) return;
  *view = {};
  if (!entry) return;
  view->next = FollowAs<DescAlertAction>(d, U32(entry, kAlertActionNext), kDescAlertActionBytes);
  view->itemId = U16(entry, kAlertActionItem);
  view->rules = FollowAs<DescRule>(d, U32(entry, kAlertActionRules), kDescRuleBytes);
}

void DescReadAlert(const ModelDescription* d, const DescAlert* alert, DescAlertView* view) {
  if (!view) return;
  *view = {};
  if (!alert) return;
  view->next = FollowAs<DescAlert>(d, U32(alert, kAlertNext), kDescAlertBytes);
  view->program = FollowAs<DescProgram>(d, U32(alert, kAlertProgram), 4);
  view->message = U16(alert, kAlertMessage);
  view->icon = static_cast<SHORT>(U16(alert, kAlertIcon));
  view->buttons = static_cast<SHORT>(U16(alert, kAlertButtons));
  view->kind = static_cast<SHORT>(U16(alert, kAlertKind));
  view->alertAction = FollowAs<DescAlertAction>(d, U32(alert, kAlertAlertAction), kDescAlertActionBytes);
}

DescCell DescProgramCell(const DescProgram* program, DWORD index) {
  if (!program) return {kCellOperator, kOpEnd};
  return {U16(program, 4 * index), U16(program, 4 * index + 2)};
}

// ---- Templates -------------------------------------------------------------------------------

void DescReadBranch(const ModelDescription* d, const DescBranch* branch, DescBranchView* view) {
  if (!view) return;
  *view = {};
  if (!branch) return;
  view->program = FollowAs<DescProgram>(d, U32(branch, kBranchProgram), 4);
  view->thenList = FollowAs<DescTemplateNode>(d, U32(branch, kBranchThen), kDescTemplateNodeBytes);
  view->elseList = FollowAs<DescTemplateNode>(d, U32(branch, kBranchElse), kDescTemplateNodeBytes);
}

void DescReadTemplateNode(const ModelDescription* d, const DescTemplateNode* node, DescTemplateNodeView* view) {
  if (!view) return;
  *view = {};
  if (!node) return;
  view->next = FollowAs<DescTemplateNode>(d, U32(node, kTemplateNext), kDescTemplateNodeBytes);
  view->kind = U16(node, kTemplateKind);
  view->itemId = U16(node, kTemplateItem);
  view->number = static_cast<SHORT>(U16(node, kTemplateNumber));
  const DWORD operand = U32(node, kTemplateOperand);
  if (view->kind == kCommandString) {
    if (const BYTE* literal = Follow(d, operand, 4)) {
      view->textLength = DescLoadU32(literal);
      view->text = reinterpret_cast<const char*>(literal + 4);
    }
  } else if (view->kind == kCommandConditional) {
    view->branch = FollowAs<DescBranch>(d, operand, kDescBranchBytes);
  }
}

// ---- Hashes --------------------------------------------------------------------------------------

namespace {

constexpr ULONGLONG kFnvBasis = 0xCBF29CE484222325ull;
constexpr ULONGLONG kFnvPrime = 0x100000001B3ull;

struct Fnv {
  ULONGLONG h = kFnvBasis;
  void Byte(BYTE b) { h = (h ^ b) * kFnvPrime; }
  void Word(ULONGLONG v, int bytes) {
    for (int i = 0; i < bytes; ++i) Byte(BYTE(v >> (8 * i)));
  }
  void Name(const char* text) {
    for (; text && *text; ++text) Byte(BYTE(*text));
    Byte(0);
  }
};

}  // namespace

ULONGLONG DescSymbolTablesHash() {
  static const ULONGLONG hash = [] {
    Fnv fnv;
    fnv.Word(kDescLayoutVersion, 4);
    int count = 0;
    const ItemSymbolRow* items = OptGetItemSymbols(&count);
    for (int i = 0; i < count; ++i) {
      fnv.Word(WORD(items[i].itemId), 2);
      fnv.Word(WORD(items[i].key), 2);
      fnv.Name(items[i].name);
    }
    const ValueSymbolRow* values = OptGetValueSymbols(&count);
    for (int i = 0; i < count; ++i) {
      fnv.Word(WORD(values[i].itemId), 2);
      fnv.Word(values[i].value, 4);
      fnv.Word(values[i].modelValue, 4);
      fnv.Name(values[i].name);
    }
    // Action targets name pages, alerts name messages.
    if (const PageTable* pages = OptGetStaticPageTable()) {
      for (SHORT i = 0; i < pages->count; ++i) {
        fnv.Word(pages->rows[i].id, 2);
        fnv.Name(pages->rows[i].name);
      }
    }
    for (int i = 0; i < OptGetMessageCount(); ++i) {
      const MessageRow* message = OptGetMessageRow(i);
      fnv.Word(message->id, 2);
      fnv.Name(message->name);
    }
    return fnv.h;
  }();
  return hash;
}

ULONGLONG DescImageChecksum(const BYTE* bytes, DWORD size) {
  // Four bytes a step: the cache is checked on every first load in a process.
  ULONGLONG h = kFnvBasis;
  for (DWORD at = 0; at + 4 <= size; at += 4) {
    const bool checksum = at >= kDescOffStampChecksum && at < kDescOffStampChecksum + 8;
    h = (h ^ (checksum ? 0 : DescLoadU32(bytes + at))) * kFnvPrime;
  }
  for (DWORD at = size & ~DWORD(3); at < size; ++at) h = (h ^ bytes[at]) * kFnvPrime;
  return h;
}

// ---- Checking a block -----------------------------------------------------------------------------

namespace {

// The deepest template: the top branch and the parser's 32 nested conditionals, with room.
constexpr DWORD kMaxBranchDepth = 64;

class ImageChecker {
 public:
  ImageChecker(const BYTE* bytes, DWORD size) : bytes_(bytes), size_(size) {}

  bool Run() {
    if (!Header()) return false;
    while (!work_.empty()) {
      const Work work = work_.back();
      work_.pop_back();
      if (!Element(work)) return false;
    }
    return true;
  }

 private:
  enum Kind : BYTE {
    kNone,
    kNode,
    kValue,
    kPaper,
    kRange,
    kString,
    kBoolean,
    kText,
    kWideText,
    kConditions,
    kItemValue,
    kRule,
    kAction,
    kAlertAction,
    kAlert,
    kProgram,
    kBranch,
    kTemplateNode,
    kLiteral,
    kFontRows,
    kTrayArray,
    kTextArray,
  };
  struct Work {
    Kind kind;
    DWORD offset;
    DWORD extra;  // value entries: their list kind; branches and template nodes: depth; arrays: count
  };

  DWORD At(DWORD offset, DWORD field) const { return DescLoadU32(bytes_ + offset + field); }
  WORD At16(DWORD offset, DWORD field) const { return DescLoadU16(bytes_ + offset + field); }
  bool Fits(DWORD offset, ULONGLONG bytes) const { return offset <= size_ && bytes <= size_ - offset; }

  // Queues the element a link field leads to. `after`: the element must lie beyond it (lists
  // and templates run forward only, so every walk ends). Elements of templates are never
  // shared; any other element reached again is checked once.
  bool Link(DWORD link, Kind kind, DWORD extra = 0, DWORD after = 0) {
    if (link == 0) return true;
    if ((link & 0xF) != 1) return false;
    const DWORD offset = link >> 4;
    if (offset < kDescFirstPartOffset || offset >= size_ || offset % 4 || (after && offset <= after)) return false;
    BYTE& seen = seen_[offset / 4];
    if (seen != kNone) return seen == kind && kind != kBranch && kind != kTemplateNode;
    seen = kind;
    work_.push_back({kind, offset, extra});
    return true;
  }

  bool Header() {
    if (size_ < kDescFirstPartOffset || size_ > kDescMaxImageBytes || size_ % 4) return false;
    if (DescLoadU32(bytes_ + kDescOffImageSize) != size_) return false;
    if (DescLoadU32(bytes_ + kDescOffStampMagic) != kDescStampMagic ||
        DescLoadU32(bytes_ + kDescOffStampLayout) != kDescLayoutVersion)
      return false;
    bool terminated = false;
    for (DWORD i = 0; i < 16 && !terminated; ++i) terminated = DescLoadU16(bytes_ + kDescOffVersion + 2 * i) == 0;
    if (!terminated) return false;
    seen_.assign(size_ / 4, kNone);
    if (!Link(DescLoadU32(bytes_ + kDescOffFirstNode), kNode)) return false;
    for (DWORD slot = kDescOffFirstNode / 4 + 1; slot < kDescOffUiResDllName / 4; ++slot) {
      const DWORD link = DescLoadU32(bytes_ + 4 * slot);
      if (!link) continue;
      if (!Link(link, kNode) || !Fits(link >> 4, kDescNodeBytes)) return false;
      // A slot holds a record of its own item.
      if (DescHeaderSlotOfItem(At16(link >> 4, kNodeItemId)) != int(slot)) return false;
    }
    if (!Link(DescLoadU32(bytes_ + kDescOffUiResDllName), kWideText) ||
        !Link(DescLoadU32(bytes_ + kDescOffExcDepDllName), kWideText))
      return false;
    for (int point = kPointJobStart; point <= kPointDocReset; ++point) {
      if (!Link(DescLoadU32(bytes_ + DescCommandPointOffset(point)), kBranch, 1)) return false;
    }
    for (DWORD at : {kDescOffDeviceFontCount, kDescOffCartridgeCount}) {
      const DWORD count = DescLoadU32(bytes_ + at);
      const DWORD link = DescLoadU32(bytes_ + at + 4);
      if ((count != 0) != (link != 0) || !Link(link, kFontRows, count)) return false;
    }
    const DWORD conditions = DescLoadU32(bytes_ + kDescOffFirstConditions);
    return conditions < (DWORD(1) << 28) && Link(DescLinkTo(conditions), kConditions);
  }

  bool Element(const Work& w) {
    const DWORD o = w.offset;
    switch (w.kind) {
      case kNode: {
        if (!Fits(o, kDescNodeBytes)) return false;
        const WORD block = At16(o, kNodeBlockKind);
        const DWORD values = At(o, kNodeValues);
        bool valuesOk = false;
        switch (block) {
          case kDescBlockNone: valuesOk = values == 0; break;
          case kDescBlockRange: valuesOk = Link(values, kRange); break;
          case kDescBlockString: valuesOk = Link(values, kString); break;
          case kDescBlockBoolean: valuesOk = Link(values, kBoolean); break;
          default: valuesOk = DescIsListBlock(block) && Link(values, kValue, block); break;
        }
        return valuesOk && Link(At(o, kNodeNext), kNode, 0, o) && Link(At(o, kNodeConditions), kConditions) &&
               Link(At(o, kNodePrefix), kText) && Link(At(o, kNodeSuffix), kText);
      }
      case kValue: {
        if (!Fits(o, 8)) return false;
        const WORD kind = At16(o, kValueKind);
        if (kind != w.extra || !Fits(o, DescValueEntryBytes(kind))) return false;
        if (!Link(At(o, kValueNext), kValue, kind, o) || !Link(At(o, kValueText), kText)) return false;
        if (kind == kDescBlockPageList) return Link(At(o, kValuePapers), kPaper);
        if (kind == kDescBlockSlotList) return Array(At(o, kValueTrayCount), At(o, kValueTrayArray), kTrayArray);
        if (kind == kDescBlockFontList) {
          const DWORD count = At(o, kValuePairCount);
          return Array(count, At(o, kValueFirstTexts), kTextArray) && Array(count, At(o, kValueSecondTexts), kTextArray);
        }
        return true;
      }
      case kPaper: return Fits(o, kDescPaperBytes) && Link(At(o, kPaperNext), kPaper, 0, o);
      case kRange: return Fits(o, kDescRangeBytes);
      case kString: return Fits(o, kDescStringBytes);
      case kBoolean:
        return Fits(o, kDescBooleanBytes) && Link(At(o, kBooleanTrue), kText) && Link(At(o, kBooleanFalse), kText);
      case kText:
        for (DWORD at = o; at < size_; ++at) {
          if (bytes_[at] == 0) return true;
        }
        return false;
      case kWideText:
        for (DWORD at = o; at + 2 <= size_; at += 2) {
          if (DescLoadU16(bytes_ + at) == 0) return true;
        }
        return false;
      case kConditions:
        return Fits(o, kDescConditionsBytes) && Link(At(o, kCondNext), kConditions, 0, o) &&
               Link(At(o, kCondDisabled), kProgram) && Link(At(o, kCondHidden), kProgram) &&
               Link(At(o, kCondValues), kItemValue) && Link(At(o, kCondAlerts), kAlert) &&
               Link(At(o, kCondRules), kRule) && Link(At(o, kCondSecondRules), kRule);
      case kItemValue:
        return Fits(o, kDescItemValueBytes) && Link(At(o, kValueRowNext), kItemValue, 0, o) &&
               Link(At(o, kValueRowDisabled), kProgram) && Link(At(o, kValueRowHidden), kProgram);
      case kRule:
        return Fits(o, kDescRuleBytes) && Link(At(o, kRuleNext), kRule, 0, o) && Link(At(o, kRuleProgram), kProgram) &&
               Link(At(o, kRuleActions), kAction);
      case kAction: return Fits(o, kDescActionBytes) && Link(At(o, kActionNext), kAction, 0, o);
      case kAlertAction:
        return Fits(o, kDescAlertActionBytes) && Link(At(o, kAlertActionNext), kAlertAction, 0, o) &&
               Link(At(o, kAlertActionRules), kRule);
      case kAlert:
        return Fits(o, kDescAlertBytes) && Link(At(o, kAlertNext), kAlert, 0, o) &&
               Link(At(o, kAlertProgram), kProgram) && Link(At(o, kAlertAlertAction), kAlertAction);
      case kProgram: return Program(o);
      case kBranch:
        return w.extra <= kMaxBranchDepth && Fits(o, kDescBranchBytes) && Link(At(o, kBranchProgram), kProgram) &&
               Link(At(o, kBranchThen), kTemplateNode, w.extra, o) && Link(At(o, kBranchElse), kTemplateNode, w.extra, o);
      case kTemplateNode: {
        if (!Fits(o, kDescTemplateNodeBytes) || !Link(At(o, kTemplateNext), kTemplateNode, w.extra, o)) return false;
        const DWORD operand = At(o, kTemplateOperand);
        switch (At16(o, kTemplateKind)) {
          case kCommandGroup:
          case kCommandFont: return operand == 0;
          case kCommandString: return Link(operand, kLiteral);
          case kCommandConditional: return operand != 0 && Link(operand, kBranch, w.extra + 1, o);
          default: return false;
        }
      }
      case kLiteral: {
        if (!Fits(o, 4)) return false;
        const DWORD length = At(o, 0);
        return length >= 1 && Fits(o + 4, length) && bytes_[o + 4 + length - 1] == 0;
      }
      case kFontRows:
        if (!Fits(o, ULONGLONG(w.extra) * kDescFontRowBytes)) return false;
        for (DWORD i = 0; i < w.extra; ++i) {
          if (!Link(At(o, i * kDescFontRowBytes + kFontName), kText)) return false;
        }
        return true;
      case kTrayArray: return Fits(o, ULONGLONG(w.extra) * 2);
      case kTextArray:
        if (!Fits(o, ULONGLONG(w.extra) * 4)) return false;
        for (DWORD i = 0; i < w.extra; ++i) {
          if (!Link(At(o, 4 * i), kText)) return false;
        }
        return true;
      default: return false;
    }
  }

  // A count with its array: both or neither.
  bool Array(DWORD count, DWORD link, Kind kind) { return (count != 0) == (link != 0) && Link(link, kind, count); }

  // Cells up to the first end cell, which must come within a Judge's bound and pass the program
  // check, so that an evaluator never leaves the program or its stack.
  bool Program(DWORD o) {
    cells_.clear();
    for (DWORD at = o; at + 4 <= size_ && cells_.size() < kJudgeMaxCells; at += 4) {
      cells_.push_back({DescLoadU16(bytes_ + at), DescLoadU16(bytes_ + at + 2)});
      if (cells_.back() == DescCell{kCellOperator, kOpEnd}) return DescCheckProgram(cells_.data(), cells_.size());
    }
    return false;
  }

  const BYTE* bytes_;
  DWORD size_;
  DescVector<BYTE> seen_;
  DescVector<Work> work_;
  DescVector<DescCell> cells_;
};

}  // namespace

BOOL DescValidateImage(const BYTE* bytes, DWORD size) {
  if (!bytes) return FALSE;
  try {
    ImageChecker checker(bytes, size);
    return checker.Run() ? TRUE : FALSE;
  } catch (const std::bad_alloc&) {
    return FALSE;
  }
}
