#include "settings/constraints/pjl_command_table.h"

#include "settings/constraints/command_code_data.h"

const ExcCommandTable* ExcGetCommandTable() {
  static const ExcCommandTable table = {kExcCommandRowCount, kExcCommandRows};
  return &table;
}

const DWORD* ExcGetRequiredCommands(DWORD* count) {
  if (count) *count = kExcRequiredCommandCount;
  return kExcRequiredCommands;
}

const ExcCommandAlias* ExcGetCommandAliases(DWORD* count) {
  if (count) *count = kExcCommandAliasCount;
  return kExcCommandAliases;
}

const char* const* ExcGetForceFeedTexts(DWORD* count) {
  if (count) *count = kExcForceFeedTextCount;
  return kExcForceFeedTexts;
}

const ExcBookletFamily* ExcGetBookletFamilies(DWORD* count) {
  if (count) *count = kExcBookletFamilyCount;
  return kExcBookletFamilies;
}

const ExcWaterMarkField* ExcGetWaterMarkFields(DWORD* count) {
  if (count) *count = kExcWaterMarkFieldCount;
  return kExcWaterMarkFields;
}

const char* ExcGetWaterMarkKeyword(DWORD n) { return n < 2 ? kExcWaterMarkKeyword[n] : nullptr; }
