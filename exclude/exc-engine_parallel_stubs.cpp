// Temporary: removed when the parallel branches merge.
#include "exclude/watermark_lines.h"
#include "settings/command_node_values.h"

CmdValueKind CmdKindOfValueType(DWORD valueType) {
  switch (valueType) {
    case 0x1: return kCmdKindName;
    case 0x4: return kCmdKindOnOff;
    case 0x8: return kCmdKindNumber;
    case 0x10: return kCmdKindString;
    default: return kCmdKindNone;
  }
}
const DescNode* CmdFindCommandNode(DriverContext*, WORD, SHORT) { return nullptr; }
void CmdNodeTexts(DriverContext*, const DescNode*, const char** prefix, const char** suffix) {
  *prefix = "";
  *suffix = "";
}
DWORD CmdFormatValue(DriverContext*, const ItemTableRow*, const DescNode*, CmdValueKind, DWORD, char* out, DWORD) {
  if (out) out[0] = 0;
  return 0;
}
DWORD CmdFormatLine(DriverContext*, const ItemTableRow*, const DescNode*, CmdValueKind, DWORD, char* out, DWORD) {
  if (out) out[0] = 0;
  return 0;
}
BOOL CmdParseValue(DriverContext*, const ItemTableRow*, const DescNode*, CmdValueKind, const char*, DWORD* value) {
  *value = 0;
  return FALSE;
}
BOOL CmdNodeRange(DriverContext*, const DescNode*, LONG*, LONG*, LONG*) { return FALSE; }
BOOL CmdNodeOnOffTexts(DriverContext*, const DescNode*, const char**, const char**) { return FALSE; }
BOOL CmdNodeEntry(DriverContext*, const DescNode*, DWORD, const char**, DWORD*) { return FALSE; }
int ExcBuildWaterMarkLines(ExcLineBuffer* buffer, DriverContext* context, int) { return buffer && context ? 0 : -1; }
