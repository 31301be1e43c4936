#include "settings/description/enumerations.h"

namespace {

constexpr DescEnumRow kBoolean[] = {{"True", 1}, {"False", 0}};
constexpr DescEnumRow kUiType[] = {
    {"PickOne", 0x1},     {"PickMany", 0x2},  {"Boolean", 0x4},  {"Numeric", 0x8},
    {"String", 0x10},     {"PickPage", 0x101}, {"PickSlot", 0x201}, {"FontTbl", 0x401},
    {"Identity", 0x1000}, {"TypeUnknown", 0x2000},
};
constexpr DescEnumRow kStringClass[] = {
    {"MultiByte", 0x1}, {"ASCII", 0x2}, {"Numeric", 0x4}, {"Capital", 0x8}, {"Small", 0x10},
};
constexpr DescEnumRow kShowFlags[] = {{"Password", 0x100}, {"ShowCapital", 0x200}, {"ShowSmall", 0x400}};
constexpr DescEnumRow kClause[] = {{"Command", 1}, {"Type", 2}};
constexpr DescEnumRow kCommandType[] = {{"GroupType", 1}, {"StringType", 2}, {"FontType", 4}};
constexpr DescEnumRow kCommandPoint[] = {
    {"JobStart", 1}, {"JobEnd", 2}, {"PageStart", 3}, {"PageEnd", 4}, {"DocReset", 5},
};
constexpr DescEnumRow kOperator[] = {
    {"==", 1}, {"!=", 2}, {"&&", 3}, {"||", 4}, {"!", 5}, {">", 6}, {"<", 7}, {">=", 8}, {"<=", 9},
};
constexpr DescEnumRow kIcon[] = {
    {"MB_ICONEXCLAMATION", 0x30}, {"MB_ICONINFORMATION", 0x40}, {"MB_ICONQUESTION", 0x20}, {"MB_ICONSTOP", 0x10},
};
constexpr DescEnumRow kButtons[] = {
    {"MB_ABORTRETRYIGNORE", 2}, {"MB_OK", 0}, {"MB_OKCANCEL", 1}, {"MB_RETRYCANCEL", 5},
    {"MB_YESNO", 4},            {"MB_YESNOCANCEL", 3},
};
constexpr DescEnumRow kAlertKind[] = {
    {"AlertAtOnce", 0}, {"AlertProperty", 1}, {"AlertOkApply", 2}, {"AlertDialog", 3},
};

template <size_t N>
constexpr DescEnumTable Table(const DescEnumRow (&rows)[N], LONG unknown) {
  return {rows, static_cast<int>(N), unknown};
}

}  // namespace

const DescEnumTable kDescBooleanNames = Table(kBoolean, 0);
const DescEnumTable kDescUiTypeNames = Table(kUiType, 0);
const DescEnumTable kDescStringClassNames = Table(kStringClass, 1);
const DescEnumTable kDescShowFlagNames = Table(kShowFlags, 1);
const DescEnumTable kDescClauseNames = Table(kClause, 0);
const DescEnumTable kDescCommandTypeNames = Table(kCommandType, 0);
const DescEnumTable kDescCommandPointNames = Table(kCommandPoint, 0);
const DescEnumTable kDescOperatorNames = Table(kOperator, 0);
const DescEnumTable kDescIconNames = Table(kIcon, -1);
const DescEnumTable kDescButtonNames = Table(kButtons, -1);
const DescEnumTable kDescAlertKindNames = Table(kAlertKind, -1);

bool DescFindEnum(const DescEnumTable& table, std::string_view name, LONG* value) {
  for (int i = 0; i < table.count; ++i) {
    if (name == table.rows[i].name) {
      *value = table.rows[i].value;
      return true;
    }
  }
  return false;
}

LONG DescEnumValue(const DescEnumTable& table, std::string_view name) {
  LONG value = table.unknown;
  DescFindEnum(table, name, &value);
  return value;
}
