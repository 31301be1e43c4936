// What every parse result must hold, whatever the input: the description compiler relies on
// it. The fuzz target and the corpus replay test both check it.
#pragma once

#include "settings/description/parse_result.h"
#include "settings/description/judge_compiler.h"

namespace velm::fuzz {

inline bool TreeHolds(const DescCommandList& list, int depth) {
  if (depth > 64) return false;
  for (const DescCommandNode& node : list) {
    if (node.kind < kCommandGroup || node.kind > kCommandFont) return false;
    if (node.kind == kCommandConditional && node.judge == 0) return false;
    if (node.kind == kCommandString && node.stringNumber == 0) return false;
    if (node.kind != kCommandConditional && (!node.thenList.empty() || !node.elseList.empty())) return false;
    if (!TreeHolds(node.thenList, depth + 1) || !TreeHolds(node.elseList, depth + 1)) return false;
  }
  return true;
}

inline bool ResultHolds(const DescParseResult& result) {
  for (const DescJudge& judge : result.judges) {
    if (judge.number == 0 || judge.cells.size() > kJudgeMaxCells) return false;
    if (!DescCheckProgram(judge.cells.data(), judge.cells.size())) return false;
  }
  for (const DescUiRecord& record : result.records) {
    if (!record.values || record.defaultPending) return false;
    const size_t entries = record.values->entries.size();
    if (DescIsListType(record.type) && entries && record.defaultIndex >= entries) return false;
    const int slot = DescHeaderSlotOfItem(record.itemId);
    if (slot >= 0 && (!result.slots[slot] || result.slots[slot]->itemId != record.itemId)) return false;
    for (const DescValueEntry& entry : record.values->entries) {
      for (const DescPaperRecord& paper : entry.papers) {
        if (paper.resolution == 0) return false;
      }
    }
  }
  for (int point = 0; point < kDescCommandPoints; ++point) {
    if (!TreeHolds(result.commandTrees[point], 0)) return false;
  }
  return result.issues.size() <= result.issueCount && result.droppedCount <= result.issueCount;
}

}  // namespace velm::fuzz
