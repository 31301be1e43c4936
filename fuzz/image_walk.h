// Walks everything a reader can reach in a description block that passed DescValidateImage,
// through the readers themselves: every header root, record, value, paper record, tray and font
// array, text, conditions block, rule, action, alert, program and template. A block that passed
// the checks must let every walk end; each walk here carries a bound, and reaching one means the
// checks let a loop through. The fuzz target and the corpus replay test both use it.
#pragma once

#include <cstring>

#include "settings/description/image.h"

namespace velm::fuzz {

class ImageWalk {
 public:
  explicit ImageWalk(const ModelDescription* d) : d_(d) {}

  // False when a walk ran into its bound.
  bool Run() {
    Text(DescImageVersion(d_));
    Text(DescUiResDllName(d_));
    Text(DescExcDepDllName(d_));
    for (const bool cartridges : {false, true}) {
      const DWORD count = DescFontCount(d_, cartridges);
      for (DWORD i = 0; i < count && Step(); ++i) {
        DWORD number = 0;
        const char* name = nullptr;
        DescFontEntry(d_, cartridges, i, &number, &name);
        Text(name);
      }
    }
    for (int point = kPointJobStart; point <= kPointDocReset; ++point) Branch(DescCommandTree(d_, point), 0);
    for (const DescNode* node = DescFirstNode(d_); node && Step(); node = DescNextNode(d_, node)) Node(node);
    for (WORD id = 1; id <= 10277 && Step(); id = id == 947 ? 10001 : WORD(id + 1)) {
      if (const DescNode* node = DescSlotNode(d_, id); node && DescNodeItemId(node) != id) return false;
    }
    for (const DescConditions* block = DescFirstConditions(d_); block && Step();) block = Conditions(block);
    return ok_;
  }

  size_t sum() const { return sum_; }

 private:
  bool Step() {
    if (++steps_ > kMaxSteps) ok_ = false;
    return ok_;
  }
  void Text(const char* text) {
    if (text) sum_ += std::strlen(text);
  }
  void Text(const WCHAR* text) {
    for (; text && *text && Step(); ++text) ++sum_;
  }
  void Program(const DescProgram* program) {
    if (!program) return;
    for (DWORD i = 0; Step(); ++i) {
      const DescCell cell = DescProgramCell(program, i);
      sum_ += cell.value;
      if (cell == DescCell{kCellOperator, kOpEnd}) return;
    }
  }

  void Node(const DescNode* node) {
    sum_ += DescNodeKey(node) + DescNodeNumber(node) + DescNodeItemId(node) + DescNodeType(node) +
            DescNodeDefaultIndex(node);
    const char* prefix = nullptr;
    const char* suffix = nullptr;
    DescNodeCommand(d_, node, &prefix, &suffix);
    Text(prefix);
    Text(suffix);
    DescRange range{};
    DescStringBlock string{};
    DescBooleanView boolean{};
    if (DescNodeRange(d_, node, &range)) sum_ += range.maximum;
    if (DescNodeString(d_, node, &string)) sum_ += string.length;
    if (DescNodeBoolean(d_, node, &boolean)) {
      Text(boolean.trueText);
      Text(boolean.falseText);
    }
    if (const DescConditions* block = DescNodeConditions(d_, node)) Conditions(block);
    for (const DescValue* value = DescNodeFirstValue(d_, node); value && Step(); value = DescNextValue(d_, value)) {
      sum_ += DescValueValue(value);
      Text(DescValueText(d_, value));
      LONG width = 0, length = 0;
      DescValueMetric(value, &width, &length);
      for (const DescPaper* paper = DescValueFirstPaper(d_, value); paper && Step(); paper = DescNextPaper(d_, paper)) {
        DescPaperRecord record{};
        DescReadPaper(paper, &record);
        sum_ += record.resolution + record.width;
      }
      for (DWORD i = 0; i < DescValueTrayCount(value) && Step(); ++i) sum_ += DescValueTrayPaper(d_, value, i);
      for (DWORD i = 0; i < DescValueFontPairCount(value) && Step(); ++i) {
        const char* first = nullptr;
        const char* second = nullptr;
        DescValueFontPair(d_, value, i, &first, &second);
        Text(first);
        Text(second);
      }
    }
  }

  // One conditions block and all it leads to; answers the next block.
  const DescConditions* Conditions(const DescConditions* block) {
    DescConditionsView view{};
    DescReadConditions(d_, block, &view);
    Program(view.disabled);
    Program(view.hidden);
    for (const DescItemValue* entry = view.values; entry && Step();) {
      DescItemValueView item{};
      DescReadItemValue(d_, entry, &item);
      Program(item.disabled);
      Program(item.hidden);
      entry = item.next;
    }
    Rules(view.rules);
    Rules(view.secondRules);
    for (const DescAlert* alert = view.alerts; alert && Step();) {
      DescAlertView a{};
      DescReadAlert(d_, alert, &a);
      Program(a.program);
      for (const DescAlertAction* action = a.alertAction; action && Step();) {
        DescAlertActionView aa{};
        DescReadAlertAction(d_, action, &aa);
        Rules(aa.rules);
        action = aa.next;
      }
      alert = a.next;
    }
    return view.next;
  }

  void Rules(const DescRule* rule) {
    while (rule && Step()) {
      DescRuleView view{};
      DescReadRule(d_, rule, &view);
      Program(view.program);
      for (const DescAction* action = view.actions; action && Step();) {
        DescActionView a{};
        DescReadAction(d_, action, &a);
        sum_ += a.target + DWORD(a.value);
        action = a.next;
      }
      rule = view.next;
    }
  }

  void Branch(const DescBranch* branch, int depth) {
    if (!branch) return;
    if (depth > kMaxDepth) {
      ok_ = false;
      return;
    }
    DescBranchView view{};
    DescReadBranch(d_, branch, &view);
    Program(view.program);
    for (const DescTemplateNode* list : {view.thenList, view.elseList}) {
      for (const DescTemplateNode* node = list; node && Step();) {
        DescTemplateNodeView n{};
        DescReadTemplateNode(d_, node, &n);
        if (n.text) sum_ += std::strlen(n.text) + n.textLength;
        Branch(n.branch, depth + 1);
        node = n.next;
      }
    }
  }

  static constexpr size_t kMaxSteps = size_t(1) << 26;
  static constexpr int kMaxDepth = 100;
  const ModelDescription* d_;
  size_t steps_ = 0;
  size_t sum_ = 0;
  bool ok_ = true;
};

// Validates `size` bytes as a block and, when they pass, walks it. False only when a block
// that passed let a walk run into its bound.
inline bool ImageHolds(const BYTE* bytes, DWORD size) {
  if (!DescValidateImage(bytes, size)) return true;
  ModelDescription d{const_cast<BYTE*>(bytes), size};
  return ImageWalk(&d).Run();
}

}  // namespace velm::fuzz
