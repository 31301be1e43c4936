// The library's own INI text engine: a whole file held in memory, read from a moving cursor,
// and a section's new text built in one buffer and written back in one rewrite.
//
// Text is 8-bit in the ANSI code page. Lines end with CR LF; a lone LF also ends a line, and a
// value ends at CR, LF or NUL. Section and key names compare without regard to ASCII case, one
// character at a time (a double-byte character compares exactly). Nothing is trimmed: a header
// is '[' at the very start of a line, the name and ']' at once ("[ A ]" is not "A", "[A]x" is);
// a key matches only when '=' follows it at once ("key =1" is not "key").
//
// The engine and the system's profile functions read the same files. The two agree on every
// file this library writes, because both writers keep to what both readers read alike: names
// without blanks at either end and without line breaks, '=' or brackets where they would change
// the structure, and values without line breaks, blanks at either end or enclosing quotes
// (IniNormalizeValue).
#pragma once

#include "win32.h"

constexpr DWORD kIniMaxNameChars = 260;           // section and key names, without the NUL
constexpr DWORD kIniMaxFileBytes = 16u << 20;     // larger files are refused, not read in part
constexpr DWORD kIniSectionTextStartBytes = 0x8000;

// ---- Whole files ---------------------------------------------------------------------------

// Reads the whole file at a drive path ("X:...") into a zeroed block one byte longer than the
// file, so that the text ends with a NUL. The file is opened with OPEN_ALWAYS, so an absent
// file is created empty. Null on failure (a path that is not a drive path, a file that cannot
// be read or is over kIniMaxFileBytes, no memory); the last error says why. `bytes`, when
// given, receives the file's length.
char* IniLoadFile(const WCHAR* path, DWORD* bytes = nullptr);
// Frees a block of IniLoadFile (null is ignored); 1.
BOOL IniFreeFile(char* text);

// ---- Reading -------------------------------------------------------------------------------

// The first character of the line after the header of `section`, searching `text` from the
// top; null when there is no such header (or either argument is null).
const char* IniFindSection(const WCHAR* section, const char* text);

// The same over `length` bytes of `text`, where a NUL is an ordinary byte. On success `start`
// is the offset of the header line and `span` the bytes of the section: its header and every
// following line up to, not including, the next line that begins with '[' (or the end).
BOOL IniFindSectionSpan(const WCHAR* section, const char* text, DWORD length, DWORD* start, DWORD* span);

// Reads `key` of the section that begins at `sectionText` (as IniFindSection returned it),
// searching from `*cursor` (a byte offset into the section) to the section's end and then,
// once, from its first line back to where it started. A found value is widened into
// `destination` (at most capacity-1 characters and a NUL), `*cursor` moves to the line after
// it, and the answer is the characters copied. An absent key answers -1 with "" in
// `destination`; `*cursor` is then 0 when the search began at the section's end, else as it
// was. The cursor must come from an earlier read of the same text, or be 0.
LONG IniLookupString(const WCHAR* key, WCHAR* destination, DWORD capacity, const char* sectionText, LONG* cursor);

// IniLookupString with a default: an absent key, or no text at all, copies `defaultValue`
// (at most capacity-1 characters) and answers its length. So "key=" answers 0 and an absent
// key the default's length; callers that must tell the two apart use IniLookupString.
DWORD IniGetString(const WCHAR* key, const WCHAR* defaultValue, WCHAR* destination, DWORD capacity,
                   const char* sectionText, LONG* cursor);

// The value's first ten characters as a number (_wtoi) when the key has a non-empty value,
// else `defaultValue`.
INT IniGetInt(const WCHAR* key, INT defaultValue, const char* sectionText, LONG* cursor);

// ---- Writing -------------------------------------------------------------------------------

// A section's new text. Start with a zeroed value; the appends allocate and grow the buffer,
// so no entry is ever cut or dropped for want of room. `bytes` always ends with a NUL after
// `length` bytes once anything was appended. Free with IniFreeSectionText.
struct IniSectionText {
  char* bytes;
  DWORD length;    // the write offset
  DWORD capacity;
};
void IniFreeSectionText(IniSectionText* text);

// Appends "[" section "]" CR LF; an empty name appends nothing. FALSE for null arguments, for
// a name no reader could find again (ERROR_INVALID_PARAMETER: longer than kIniMaxNameChars,
// blanks at either end, a line break, ']', or '[' other than the lead of the marked form of
// IniMakeSectionName) and when memory runs out (the text then
// stays as it was).
BOOL IniAppendSection(IniSectionText* text, const WCHAR* section);
// Appends key "=" value CR LF, the value passed through IniNormalizeValue; an empty key
// appends nothing. FALSE as IniAppendSection, for a key that is too long, has blanks at
// either end, holds '=' or a line break, or begins with '[' or ';'.
BOOL IniAppendEntry(IniSectionText* text, const WCHAR* key, const WCHAR* value);

// The form of a value that both readers read back unchanged: line breaks become blanks, then
// blanks at either end and a pair of matching enclosing quotes (" or ') are removed until
// neither is left. Works in place; returns `value`.
WCHAR* IniNormalizeValue(WCHAR* value);
// Whether a section (key = false) or key (key = true) name may be written (see above).
BOOL IniIsWritableName(const WCHAR* name, BOOL key);

// How a rewrite composes the new file from the old text: old[0, preamble) (what stands before
// the first section header), the new section, then old[preamble, keepEnd), then
// old[resumeAt, oldLength). Without an old section of that name, keepEnd = resumeAt =
// oldLength. `preambleSeparator` asks for CR LF after a preamble whose last line has no line
// end; `separator` asks for CR LF after a new text that does not end with a line break but is
// followed by old text.
struct IniRewritePlan {
  DWORD preamble;
  BOOL preambleSeparator;
  DWORD keepEnd;
  DWORD resumeAt;
  BOOL separator;
};
IniRewritePlan IniPlanRewrite(const WCHAR* section, const char* oldText, DWORD oldLength, const char* newText,
                              DWORD newLength);

// Replaces the section of `path` (a drive path) with `length` bytes of `newText`, which move to
// the top of the sections (text before the first section stays before it); every byte before
// and after the old section's span is kept as it was. The whole rewrite holds the settings
// mutex. The system's profile cache for the file is flushed first. The new content is written
// to a temporary file in the same folder ("<file>.~<8 hex digits>.TMP"), made durable and
// renamed over the old file, so readers see the old file or the new one and a failure anywhere
// leaves the old file as it was; a successful rewrite removes the temporary files that failed
// rewrites of the same file left behind. An
// absent file counts as empty; a file that exists but cannot be read, is too large (before or
// after the rewrite) or cannot be replaced is left alone, and so is every file when the new text holds a NUL (which would
// end the text for the readers). TRUE when the file was rewritten; else FALSE with the last error.
BOOL IniReplaceSection(const WCHAR* path, const WCHAR* section, const char* newText, DWORD length);

// The section name of printer (or list) name `name` into out[capacity]. A name whose every
// character converts exactly to the ANSI code page keeps the form it always had: the name with
// '[' and ']' replaced by ',' (IniMakeSafeSectionName). Any other name gets the marked form,
// which no name of the first kind can give, since that form never holds '[': a leading '[',
// then the name with every character that does not convert exactly, and every '%', '[' and
// ']', written as '%' and the four hex digits of its UTF-16 unit ("Lab 中" gives "[Lab %4E2D",
// headed "[[Lab %4E2D]" in the file). FALSE with ERROR_INVALID_NAME when the form does not fit
// (capacity counts the NUL).
constexpr WCHAR kIniMarkedSectionLead = WCH('[');
BOOL IniMakeSectionName(const WCHAR* name, WCHAR* out, DWORD capacity);

// Replaces every '[' and ']' of `name` by ',' in place, so that a printer name can name a
// section. On the 9x platform a character whose low byte is a double-byte lead byte makes the
// next character be passed over, as that platform's names are laid out. Returns `name`.
WCHAR* IniMakeSafeSectionName(WCHAR* name);
