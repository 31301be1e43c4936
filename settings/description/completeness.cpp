#include "settings/description/completeness.h"

#include <cstring>

#include "data/item_ids.h"
#include "settings/description/parser.h"

namespace {


bool HasString(const DescParseResult* result, LONG number) {
  for (const DescCommandString& text : result->commandStrings)
    if (text.number == number) return true;
  return false;
}

bool HasItemCommand(const DescParseResult* result, WORD itemId) {
  for (const DescUiRecord& record : result->records)
    if (record.itemId == itemId && record.hasCommand) return true;
  return false;
}

// Whether every command string and item command the nodes write (at any depth) is in the file.
bool CommandsDefined(const DescParseResult* result, const DescCommandList& nodes) {
  for (const DescCommandNode& node : nodes) {
    if (node.kind == kCommandString && !HasString(result, node.stringNumber)) return false;
    if (node.kind == kCommandGroup && !HasItemCommand(result, node.itemId)) return false;
    if (!CommandsDefined(result, node.thenList) || !CommandsDefined(result, node.elseList)) return false;
  }
  return true;
}

bool HasDefaultPaper(const DescParseResult* result) {
  const DescUiRecord* record = DescFindParsedRecord(result, kItemPaperSize);
  if (!record || !record->values || !DescIsListType(record->type)) return false;
  const auto& entries = record->values->entries;
  return record->defaultIndex < entries.size() && !entries[record->defaultIndex].papers.empty();
}

struct NeedName {
  DWORD need;
  const char* name;
};
constexpr NeedName kNeedNames[] = {
    {kDescNeedVersion, "version"},
    {kDescNeedJobStart, "JobStart template"},
    {kDescNeedJobEnd, "JobEnd template"},
    {kDescNeedPageStart, "PageStart template"},
    {kDescNeedPageEnd, "PageEnd template"},
    {kDescNeedDocReset, "DocReset template"},
    {kDescNeedCommand, "a command its templates write"},
    {kDescNeedDefaultPaper, "default paper with a paper record"},
};

}  // namespace

DWORD DescMissingParts(const DescParseResult* result) {
  if (!result) return ~DWORD{0};
  DWORD missing = result->version[0] == 0 ? DWORD{kDescNeedVersion} : 0;
  for (int point = kPointJobStart; point < kDescCommandPoints; ++point) {
    const DescCommandList& tree = result->commandTrees[point];
    if (!result->hasCommandTree[point] || tree.empty()) missing |= DWORD{kDescNeedJobStart} << (point - 1);
    else if (!CommandsDefined(result, tree)) missing |= kDescNeedCommand;
  }
  if (!HasDefaultPaper(result)) missing |= kDescNeedDefaultPaper;
  return missing;
}

DWORD DescDescribeMissing(DWORD missing, char* out, DWORD capacity) {
  if (!out || capacity == 0) return 0;
  DWORD length = 0;
  out[0] = '\0';
  for (const NeedName& row : kNeedNames) {
    if (!(missing & row.need)) continue;
    const char* separator = length ? ", " : "";
    const size_t add = std::strlen(separator) + std::strlen(row.name);
    if (length + add >= capacity) break;
    std::memcpy(out + length, separator, std::strlen(separator));
    std::memcpy(out + length + std::strlen(separator), row.name, std::strlen(row.name));
    length += static_cast<DWORD>(add);
    out[length] = '\0';
  }
  return length;
}

BOOL DescCheckFile(LPCWSTR path, DWORD* missing) {
  if (missing) *missing = 0;
  DescParseResult* result = path ? DescParseFile(path) : nullptr;
  if (!result) return FALSE;
  if (missing) *missing = DescMissingParts(result);
  DescFreeParseResult(result);
  return TRUE;
}
