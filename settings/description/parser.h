// The model description parser: reads a model description file (its grammar is described in
// data/model/README.md) into a DescParseResult for the description compiler.
//
// A statement that cannot be read, or that the parser refuses (an unknown symbol, a second
// `*OpenUI` before `*CloseUI`, an ill-formed Judge, ...), is skipped and the parse goes on; the
// result lists every such statement with its line and the reason (DescParseResult::issues).
// Only running out of memory in the lexer, or a file that cannot be read, gives no result.
#pragma once

#include <cstddef>

#include "settings/description/lexer.h"
#include "settings/description/parse_result.h"
#include "win32.h"

// Parses the description file at `path` (a Windows path). Null when the file cannot be opened
// or mapped (an empty file cannot be mapped), is larger than 64 MiB, or memory runs out.
// The caller frees the result with DescFreeParseResult.
DescParseResult* DescParseFile(LPCWSTR path);

// Parses description text already in memory, with the lead bytes of `lead` (the machine's ANSI
// code page when null). The same result and failures as DescParseFile, but an empty text gives
// an empty result.
DescParseResult* DescParseText(const void* text, size_t size, const DescLeadBytes* lead = nullptr);

// Frees a parse result and everything it holds. Null is ignored.
void DescFreeParseResult(DescParseResult* result);

// Copies up to 15 characters of the file's `*FileVersion` value, widened and terminated, into
// `version`. Always succeeds; `version` is empty when the file or the statement is missing.
BOOL DescReadFileVersion(LPCWSTR path, WCHAR version[16]);
