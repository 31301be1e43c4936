#include "settings/constraints/eval.h"

#include "data/item_ids.h"
#include "settings/context/open_steps.h"
#include "settings/devmode/derived_items.h"
#include "settings/description/access.h"
#include "settings/items/store.h"
#include "settings/context/memory.h"
#include "settings/devmode/paper_geometry.h"
#include "settings/constraints/condition_items.h"
#include "settings/constraints/eval.h"

namespace {


constexpr LONG kQualityWithoutLimit = 600;  // at 600 dpi every paper fits
constexpr DWORD kDstDotsLimit = 30709;      // output paper: below this
constexpr ULONGLONG kSrcDotsLimit = 30708;  // scaled source paper: at most this
constexpr DWORD kScaleFitToPaper = 2;       // scale type that leaves the size as it is
constexpr DWORD kScaleSameBothWays = 1;     // scale type whose along scale is the across one
constexpr DWORD kNupKindPoster = 9;
constexpr DWORD kPosterBase = 0x8000;       // poster layouts: 0x8000 + pages a side
constexpr DWORD kPosterTwoPages = 0x8001;   // two pages: the shorter side doubles

// The record's custom-size bits: the devmode's own length and width make the paper.
constexpr DWORD kStateCustomSize = 0x4 | 0x8;

constexpr WORD kFirstListCondition = 443;
constexpr WORD kLastListCondition = 538;
constexpr WORD kListConditionToItem = kItemExtOutputDirection;

const ModelDescription* Description(const DriverContext* context) { return context ? context->description : nullptr; }

bool IsTextType(int type) {
  return type == kTypeAnsiAlt || type == kTypeWideAlt || type == kTypeAnsi || type == kTypeWide;
}

// The length in characters of a text item, 0 when no buffer can be had.
LONG TextLength(DriverContext* context, const ItemTableRow* row) {
  const DWORD capacity = static_cast<DWORD>(DescriptorLength(row->descriptor)) + 1;
  auto* buffer = static_cast<WCHAR*>(SysAlloc(capacity * sizeof(WCHAR)));
  if (!buffer) return 0;
  const DWORD length = OptGetString(context, row, buffer, capacity);
  SysFree(buffer);
  return static_cast<LONG>(length);
}

// The value an item cell pushes; false for an item the table does not know.
bool ItemOperand(DriverContext* context, WORD id, LONG* value) {
  const ItemTableRow* row = OptFindItem(context->itemTable, id);
  if (!row) return false;
  if (id >= kItemFirstComputed && id <= kItemLastComputed) {
    *value = static_cast<LONG>(CondGetItemValue(context, id));
  } else if (IsTextType(DescriptorType(row->descriptor))) {
    *value = TextLength(context, row);
  } else {
    *value = static_cast<LONG>(OptGetModelValue(context, row));
  }
  return true;
}

// One run's view of the context's stack: it pushes above the top it found and never pops below.
class StackRun {
 public:
  explicit StackRun(CondStack& stack) : stack_(stack), base_(stack.top) {}
  ~StackRun() { stack_.top = base_; }
  bool Usable() const { return base_ <= kCondStackEntries; }
  bool Push(LONG value) {
    if (stack_.top >= kCondStackEntries) return false;
    stack_.entries[stack_.top++] = value;
    return true;
  }
  bool Pop(LONG* value) {
    if (stack_.top <= base_) return false;
    *value = stack_.entries[--stack_.top];
    return true;
  }

 private:
  CondStack& stack_;
  const DWORD base_;
};

// A binary operator (kOpEqual..kOpLessEqual); the orderings compare unsigned.
LONG Binary(WORD op, LONG left, LONG right) {
  const DWORD l = static_cast<DWORD>(left), r = static_cast<DWORD>(right);
  switch (op) {
    case kOpEqual: return left == right;
    case kOpNotEqual: return left != right;
    case kOpAnd: return left != 0 && right != 0;
    case kOpOr: return left != 0 || right != 0;
    case kOpGreater: return l > r;
    case kOpLess: return l < r;
    case kOpGreaterEqual: return l >= r;
    default: return l <= r;
  }
}

// The disabled or hidden program of the node's conditions block (value 0) or of its entry for
// `value`; null when there is none.
const DescProgram* ConditionProgram(const DescNode* node, DWORD value, DriverContext* context, bool hidden) {
  const ModelDescription* d = Description(context);
  const DescConditions* block = DescNodeConditions(d, node);
  if (!block) return nullptr;
  DescConditionsView view{};
  DescReadConditions(d, block, &view);
  if (value == 0) return hidden ? view.hidden : view.disabled;
  for (const DescItemValue* entry = view.values; entry;) {
    DescItemValueView item{};
    DescReadItemValue(d, entry, &item);
    if (item.value == value) return hidden ? item.hidden : item.disabled;
    entry = item.next;
  }
  return nullptr;
}

}  // namespace

// ---- Stack ------------------------------------------------------------------------------------

int CondAllocStack(DriverContext* context) {
  if (!context || !context->work) return -1;
  if (context->work->condStack) return 0;
  context->work->condStack = static_cast<CondStack*>(SysAlloc(sizeof(CondStack)));
  return context->work->condStack ? 0 : -1;
}

void CondFreeStack(DriverContext* context) {
  if (!context || !context->work) return;
  SysFree(context->work->condStack);
  context->work->condStack = nullptr;
}

// ---- Programs -------------------------------------------------------------------------------

LONG CondEvaluate(DriverContext* context, const DescProgram* program) {
  if (!program || !context || !context->work || !context->work->condStack) return 0;
  StackRun stack(*context->work->condStack);
  if (!stack.Usable()) return 0;
  WORD lastItem = kItemNone;
  LONG lastValue = 0;
  // A loaded program ends with its end cell (the image check makes sure of it).
  for (DWORD index = 0;; ++index) {
    const DescCell cell = DescProgramCell(program, index);
    if (cell.kind == kCellItem) {
      if (lastItem == kItemNone || cell.value != lastItem) {
        if (!ItemOperand(context, cell.value, &lastValue)) return 0;
        lastItem = cell.value;
      }
      if (!stack.Push(lastValue)) return 0;
    } else if (cell.kind == kCellConstant) {
      if (!stack.Push(static_cast<SHORT>(cell.value))) return 0;
    } else if (cell.kind == kCellOperator) {
      LONG right = 0, left = 0;
      if (cell.value == kOpEnd) return stack.Pop(&right) ? right : 0;
      if (cell.value == kOpNot) {
        if (!stack.Pop(&right) || !stack.Push(right == 0)) return 0;
      } else if (cell.value >= kOpEqual && cell.value <= kOpLessEqual) {
        if (!stack.Pop(&right) || !stack.Pop(&left)) return 0;
        stack.Push(Binary(cell.value, left, right));  // two were popped: there is room
      }
    }
  }
}

BOOL CondIsDisabled(const DescNode* node, DWORD value, DriverContext* context) {
  const DescProgram* program = ConditionProgram(node, value, context, false);
  return program && CondEvaluate(context, program) != 0;
}

BOOL CondIsHidden(const DescNode* node, DWORD value, DriverContext* context) {
  const DescProgram* program = ConditionProgram(node, value, context, true);
  return program && CondEvaluate(context, program) != 0;
}

// ---- Rules ------------------------------------------------------------------------------------

WORD CondApplyRules(const DescRule* rules, DriverContext* context) {
  const ModelDescription* d = Description(context);
  if (!d) return 0;
  const DescProgram* previous = nullptr;
  bool previousFailed = false;
  for (const DescRule* rule = rules; rule;) {
    DescRuleView view{};
    DescReadRule(d, rule, &view);
    bool fires = true;
    if (view.program) {
      // The rule before ran the same program and nothing has changed since it gave 0.
      fires = !(view.program == previous && previousFailed) && CondEvaluate(context, view.program) != 0;
    }
    previous = view.program;
    previousFailed = view.program && !fires;
    if (fires) {
      for (const DescAction* action = view.actions; action;) {
        DescActionView act{};
        DescReadAction(d, action, &act);
        if (act.targetKind == kActionTargetPage) return act.target;
        OptSetModelValueById(context, act.target, static_cast<DWORD>(act.value));
        action = act.next;
      }
    }
    rule = view.next;
  }
  return 0;
}

WORD CondApplyNodeRules(const DescNode* node, DriverContext* context) {
  const ModelDescription* d = Description(context);
  const DescConditions* block = DescNodeConditions(d, node);
  if (!block) return 0;
  DescConditionsView view{};
  DescReadConditions(d, block, &view);
  return CondApplyRules(view.rules, context);
}

void CondApplyAllRules(DriverContext* context) {
  if (!Description(context) || !context->itemTable) return;
  const ItemTable& table = *context->itemTable;
  for (SHORT i = 0; i < table.count; ++i) {
    if (const DescNode* node = DescLookupNode(table.rows[i].id, context)) CondApplyNodeRules(node, context);
  }
}

// ---- Condition lists ----------------------------------------------------------------------------

BOOL CondWalkChain(DriverContext* context, const CondNode* chain, CondChainForm form) {
  DWORD visited = 0;
  bool broken = false;
  // The next term the walk reads, passing over ids that name no item of the form.
  auto next = [&](const CondNode* term) -> const CondNode* {
    for (term = term->next; term; term = term->next) {
      if (++visited >= kCondListMaxTerms) {
        broken = true;
        return nullptr;
      }
      if (form == kCondChainItems ||
          (term->conditionId >= kFirstListCondition && term->conditionId <= kLastListCondition))
        return term;
    }
    return nullptr;
  };
  auto item = [form](const CondNode* term) -> DWORD {
    return form == kCondChainItems ? term->conditionId : term->conditionId - kListConditionToItem;
  };
  const CondNode* term = chain;
  if (term && form == kCondChainConditionIds &&
      (term->conditionId < kFirstListCondition || term->conditionId > kLastListCondition))
    term = next(term);
  bool holds = true;
  while (term) {
    const DWORD id = item(term);
    const bool matches = (id <= 0xFFFF ? OptGetValue(context, static_cast<WORD>(id)) : 0) == term->value;
    const bool alternative = (term->flags & kCondNodeAlternative) != 0;
    term = next(term);
    if (matches) {
      if (!alternative) {
        while (term && (term->flags == 0 || (term->flags & kCondNodeAlternative))) term = next(term);
        if (!term) return broken ? FALSE : TRUE;
      }
      holds = true;
    } else {
      while (term && (term->flags & kCondNodeAlternative)) term = next(term);
      if (!term || term->flags != 0) return FALSE;
      holds = false;
    }
  }
  return broken ? FALSE : holds;
}

int CondEvalList(DriverContext* context, const CondNode* list) {
  return CondWalkChain(context, list, kCondChainConditionIds) ? 1 : 0;
}

// ---- Resolution fit and re-pass -----------------------------------------------------------------

BOOL DmCheckResolutionFit(DriverContext* context, BOOL asCondition) {
  if (!context || !context->settings) return FALSE;
  PrivateDevmode* devmode = &context->settings->devmode;
  if (asCondition) {
    DmSyncResolutionFromItems(context);
  } else {
    DmSyncResolutionFromPublic(context);
  }
  if (!asCondition && (DmGetStateFlags(devmode) & kStateCustomSize) == kStateCustomSize) {
    DmDeriveSrcPaperCustom(context);
  } else {
    DmDeriveSrcPaper(context, OptGetValue(context, kItemPaperSize), kItemPaperSize);
  }
  DmDeriveDstPaper(context, OptGetValue(context, kItemOutPaperSize), kItemOutPaperSize);

  if (static_cast<LONG>(OptGetValue(context, kItemPrintQuality)) == kQualityWithoutLimit) return TRUE;
  if (OptGetValue(context, kItemDstPaperWidthDot) >= kDstDotsLimit ||
      OptGetValue(context, kItemDstPaperLengthDot) >= kDstDotsLimit)
    return FALSE;
  // 64 bits: no product of stored values wraps back into range.
  ULONGLONG width = OptGetValue(context, kItemSrcPaperWidthDot);
  ULONGLONG length = OptGetValue(context, kItemSrcPaperLengthDot);
  const DWORD scaleType = OptGetValue(context, kItemScaleType);
  const DWORD nupType = OptGetValue(context, kItemNUPType);
  if (OptGetValue(context, kItemFuncSelectScale) != 0 && scaleType != kScaleFitToPaper) {
    const ULONGLONG across = OptGetValue(context, kItemScaleH);
    const ULONGLONG along = scaleType == kScaleSameBothWays ? across : OptGetValue(context, kItemScaleV);
    width = width * across / 100;
    length = length * along / 100;
  } else if (OptGetValue(context, kItemFuncSelectNup) != 0 && OptGetValue(context, kItemNUPPOSTKind) == kNupKindPoster &&
             nupType > kPosterBase) {
    if (nupType == kPosterTwoPages) {
      if (width < length) {
        width *= 2;
      } else {
        length *= 2;
      }
    } else {
      width *= nupType - kPosterBase;
      length *= nupType - kPosterBase;
    }
  }
  return width <= kSrcDotsLimit && length <= kSrcDotsLimit;
}

int CondReapplyAll(DriverContext* context) {
  if (!context || !context->settings) return 0;
  PrivateDevmode* devmode = &context->settings->devmode;
  if (!DmCheckResolutionFit(context, FALSE)) OptSetValue(context, kItemPrintQuality, kQualityWithoutLimit);
  DmSetStateFlags(devmode, DmGetStateFlags(devmode) | kDmStateConstraintPassDone);
  DmSyncResolutionFromPublic(context);
  DmDeriveSrcPaper(context, OptGetValue(context, kItemPaperSize), kItemPaperSize);
  DmDeriveDstPaper(context, OptGetValue(context, kItemOutPaperSize), kItemOutPaperSize);
  CondApplyAllRules(context);
  return 0;
}
