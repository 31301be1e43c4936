// The display language: the two language letters of the printer's help file name, the language
// table that maps them to a language value, and the code of the language item (177) that names
// the language section of the settings INI.
//
// The help language and the item's language usually agree (new settings take item 177 from the
// help language), but only the item's code names INI sections.
#pragma once

#include "data/item_ids.h"
#include "settings/context/driver_context.h"
#include "win32.h"

// The language of a name whose letters are not in the table, or of a printer without a help file.
constexpr WORD kDefaultLanguageValue = 1;
inline constexpr WCHAR kDefaultLanguageCode[] = WSTR("us");


// The printer data value "HelpFileName" into `buffer` of `capacity` characters; its length, or
// 0 (and "") when the printer has none or it does not fit.
DWORD CfgReadHelpFileName(HANDLE printer, WCHAR* buffer, DWORD capacity);

// The language letters of a help file name are the two characters immediately before the last
// '.' of its file name ("abcfr.chm" gives "fr"); the table maps them without regard to case.
// The language value (1 when the name has no letters the table knows) and its table code ("us"
// then). The code is static text.
WORD CfgLanguageIdFromFileName(const WCHAR* fileName);
const WCHAR* CfgLanguageCodeFromFileName(const WCHAR* fileName);

// The same for the help file of the context's printer.
WORD CfgHelpLanguageId(DriverContext* context);
const WCHAR* CfgHelpLanguageCode(DriverContext* context);

// The table code of the value of item 177, "us" when the table has no such value.
const WCHAR* CfgLanguageCodeOfItem(DriverContext* context);

// The language identifier parts of language value `value`: the primary language and the
// sub-language (0 when the table gives none). FALSE, and both 0, for a value not in the table.
BOOL ResFindLanguage(WORD value, WORD* primaryLanguage, WORD* subLanguage);
// Whether `value` is a value of the language table.
BOOL ResIsLanguageValue(DWORD value);
