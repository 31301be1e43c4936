// The constant tables that the table generator writes from data/pjl_commands.txt and
// data/bidi_device_codes.txt. Only constraints/pjl_command_table.cpp and devmode/model_hooks.cpp read these names;
// everyone else goes through the accessors of constraints/pjl_command_table.h and devmode/model_hooks.h.
#pragma once

#include "settings/devmode/model_hooks.h"
#include "settings/constraints/pjl_command_table.h"

// ---- The PJL command table and its lists ----------------------------------------------------

extern const ExcCommandRow kExcCommandRows[];
extern const DWORD kExcCommandRowCount;
extern const DWORD kExcRequiredCommands[];
extern const DWORD kExcRequiredCommandCount;
extern const ExcCommandAlias kExcCommandAliases[];
extern const DWORD kExcCommandAliasCount;
extern const char* const kExcForceFeedTexts[];
extern const DWORD kExcForceFeedTextCount;
extern const ExcBookletFamily kExcBookletFamilies[];
extern const DWORD kExcBookletFamilyCount;
extern const ExcWaterMarkField kExcWaterMarkFields[];
extern const DWORD kExcWaterMarkFieldCount;
extern const char* const kExcWaterMarkKeyword[2];

// ---- Device codes ---------------------------------------------------------------------------

// Each table ends with its zero row.
extern const BidiOptionCodeRow kBidiOptionCodes[];
extern const BidiTranslationRow* const kBidiTrayTables[kBidiTrayGroupCount];
extern const BidiTranslationRow kBidiTrayValues[];
extern const BidiTranslationRow kBidiPapers[];
extern const BidiTranslationRow kBidiPapersSecond[];
extern const BidiTranslationRow kBidiMedia[];

extern const DWORD kBidiGroupedCodes[];
extern const DWORD kBidiGroupedCodeCount;

// When `item` is reported with `code`, `target` := `value`.
struct BidiOptionSideEffect {
  DWORD item;
  DWORD code;
  DWORD target;
  DWORD value;
};
extern const BidiOptionSideEffect kBidiOptionSideEffects[];
extern const DWORD kBidiOptionSideEffectCount;
