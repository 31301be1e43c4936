// The named constants of the model description file: the small tables that turn a word of a
// statement into its number.
#pragma once

#include <string_view>

#include "win32.h"

struct DescEnumRow {
  const char* name;
  LONG value;
};

struct DescEnumTable {
  const DescEnumRow* rows;
  int count;
  LONG unknown;  // what an unknown name gives
};

extern const DescEnumTable kDescBooleanNames;       // True 1, False 0
extern const DescEnumTable kDescUiTypeNames;        // PickOne .. TypeUnknown; unknown 0
extern const DescEnumTable kDescStringClassNames;   // MultiByte .. Small; unknown 1
extern const DescEnumTable kDescShowFlagNames;      // Password, ShowCapital, ShowSmall; unknown 1
extern const DescEnumTable kDescClauseNames;        // Command 1, Type 2
extern const DescEnumTable kDescCommandTypeNames;   // GroupType 1, StringType 2, FontType 4
extern const DescEnumTable kDescCommandPointNames;  // JobStart 1 .. DocReset 5
extern const DescEnumTable kDescOperatorNames;      // == 1 .. <= 9
extern const DescEnumTable kDescIconNames;          // MB_ICON...; unknown -1
extern const DescEnumTable kDescButtonNames;        // MB_...; unknown -1
extern const DescEnumTable kDescAlertKindNames;     // AlertAtOnce 0 .. AlertDialog 3; unknown -1

// Exact match of `name` in `table`: true and *value set when found.
bool DescFindEnum(const DescEnumTable& table, std::string_view name, LONG* value);
// The value of `name`, or the table's unknown value.
LONG DescEnumValue(const DescEnumTable& table, std::string_view name);
