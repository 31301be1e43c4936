#include "exclude/watermark_lines.h"

#include <cstring>

#include "data/item_ids.h"
#include "settings/description/command_node_values.h"
#include "settings/items/store.h"
#include "settings/constraints/pjl_command_table.h"

namespace {


bool Applies(const ExcWaterMarkField& field, int kind) {
  return (field.kinds & kExcWaterMarkKindMask) != 0 || field.kinds == DWORD(kind);
}

// A field's line. The value carries its own quotes (a string), so the node's quote next to it
// is dropped on either side. 1 written, 0 nothing to write, -1 memory short.
int FieldLine(ExcLineBuffer* buffer, DriverContext* context, const ExcWaterMarkField& field, DWORD* value) {
  const ItemTableRow* row = OptFindItem(context->itemTable, WORD(field.item));
  const DescNode* node = row ? CmdFindCommandNode(context, WORD(field.item), 0) : nullptr;
  if (!node) return 0;
  *value = OptGetModelValue(context, row);
  char text[kCmdValueTextBytes];
  const DWORD n = CmdFormatValue(context, row, node, CmdKindOfValueType(field.valueType), *value, text, sizeof text);
  if (n == 0) return 0;
  const char *prefix = nullptr, *suffix = nullptr;
  CmdNodeTexts(context, node, &prefix, &suffix);
  size_t p = std::strlen(prefix);
  if (p && prefix[p - 1] == '"') --p;
  if (*suffix == '"') ++suffix;
  const DWORD start = buffer->length;
  if (p > kExcLineBufferMaxBytes || !ExcLineBufferAppend(buffer, prefix, DWORD(p)) ||
      !ExcLineBufferAppend(buffer, text, n) || !ExcLineBufferAppendString(buffer, suffix)) {
    ExcLineBufferTruncate(buffer, start);
    return -1;
  }
  return 1;
}

}  // namespace

int ExcBuildWaterMarkLines(ExcLineBuffer* buffer, DriverContext* context, int kind) {
  if (!buffer || !context || !context->itemTable) return -1;
  const DWORD start = buffer->length;
  DWORD count = 0;
  const ExcWaterMarkField* fields = ExcGetWaterMarkFields(&count);
  DWORD skip = 0;
  for (DWORD i = 0; i < count; ++i) {
    if (skip) {
      --skip;
      continue;
    }
    const ExcWaterMarkField& field = fields[i];
    if (!Applies(field, kind)) continue;
    DWORD value = 0;
    int written = 0;
    if (field.valueType == kExcTypeKeywordPair) {
      written = ExcLineBufferAppendSetLine(buffer, ExcGetWaterMarkKeyword(0), ExcGetWaterMarkKeyword(1)) ? 1 : -1;
    } else {
      written = FieldLine(buffer, context, field, &value);
    }
    if (written < 0) {
      ExcLineBufferTruncate(buffer, start);
      return -1;
    }
    if (written && field.skip && !(field.item == kItemWmPage && value != 0)) skip = field.skip;
  }
  if (buffer->length > start && !ExcLineBufferAppendNul(buffer)) {
    ExcLineBufferTruncate(buffer, start);
    return -1;
  }
  return 0;
}
