// The model description file's lexer: the byte classes, the statement reader, quoted-text
// decoding and the tokens of values (Judge expressions, brace bodies, command trees).
//
// A statement is a line that begins with `*` (`*%` lines are comments):
//     *Keyword [Option [Translation]]: Value
// The value runs to the end of the line, or across lines while it is inside double quotes,
// parentheses or braces. Everything reads from a bounded view; nothing reads past its end.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "settings/description/parse_result.h"
#include "win32.h"

// ---- Byte classes ------------------------------------------------------------------------

constexpr BYTE kCharDigit = 0x80;
constexpr BYTE kCharHexLetter = 0x40;
constexpr BYTE kCharLineEnd = 0x20;
constexpr BYTE kCharBlank = 0x10;
constexpr BYTE kCharOption = 0x08;     // not used by the lexer
constexpr BYTE kCharToken = 0x04;      // option and translation tokens
constexpr BYTE kCharName = 0x02;       // keywords and names
constexpr BYTE kCharDelimiter = 0x01;

extern const std::array<BYTE, 256> kDescCharClass;

inline bool DescCharIs(int c, BYTE cls) { return c >= 0 && c < 256 && (kDescCharClass[c] & cls) != 0; }

// Whether every byte of `text` is a decimal digit (false for empty text).
bool StrIsDigits(std::string_view text);
// The value of a hexadecimal digit, or -1.
int StrHexDigitValue(int c);
// The statement-number reader: decimal digits; a `-` anywhere makes the number negative; other
// bytes are passed over; reading stops at the end, a blank or `=`. False when there is no digit
// or the number leaves the 32-bit range. `consumed` (optional) receives the bytes read.
bool StrReadSignedDecimal(std::string_view text, LONG* value, size_t* consumed = nullptr);

// ---- Lead bytes of the ANSI code page ------------------------------------------------------

// Which bytes open a double-byte character. Taken once per parse from the code page.
struct DescLeadBytes {
  bool lead[256] = {};
  // Whether text[i] opens a pair with text[i + 1]. A line end never ends a pair: in a broken
  // pair it stays a line end, so one bad byte cannot swallow the next statement.
  bool OpensPair(std::string_view text, size_t i) const {
    return lead[static_cast<BYTE>(text[i])] && i + 1 < text.size() && text[i + 1] != '\r' && text[i + 1] != '\n';
  }
  static DescLeadBytes FromCodePage();           // the ANSI code page of the machine
  static DescLeadBytes DoubleByteTestPage();     // 0x81..0x9F and 0xE0..0xFC
};

// ---- Statements --------------------------------------------------------------------------

// A bounded view of the file with the line count of the cursor.
struct DescReader {
  const BYTE* cursor = nullptr;
  size_t left = 0;
  DWORD line = 1;

  DescReader() = default;
  DescReader(const void* bytes, size_t size) : cursor(static_cast<const BYTE*>(bytes)), left(size) {}
  int Peek() const { return left ? *cursor : -1; }
  int Get();
  void SkipLine();    // up to (not over) the next line end
};

// The four statement buffers.
struct DescStatement {
  DescString keyword;
  DescString option;
  DescString translation;
  DescString value;
  DWORD line = 0;
  bool hasOption = false;
  bool hasTranslation = false;
  bool keywordOnly = false;  // the line ended right after the keyword
  void Clear();
};

enum class DescLex : int {
  kStatement = 0,
  kEnd = 1,
  kMalformed = 3,
  kOutOfMemory = 4,
};

// Reads the next statement. kMalformed leaves in *issue why and in statement->keyword what
// was read of the keyword; the rest of that line has been skipped.
DescLex DescLexStatement(DescReader* reader, const DescLeadBytes& lead, DescStatement* statement,
                         DescIssue* issue);

// ---- Quoted text -------------------------------------------------------------------------

// Decodes the quoted text that starts at the first `"` of `text`: line ends are dropped, `%x`
// gives x, `<...>` gives a byte for each pair of hex digits (other bytes skipped). False when
// `text` has no quote or the quote is not closed. `rest` (optional) receives what follows the
// closing quote.
bool DescDecodeQuoted(std::string_view text, const DescLeadBytes& lead, DescString* out,
                      std::string_view* rest = nullptr);

// ---- Value tokens ------------------------------------------------------------------------

enum class DescTokenKind : int {
  kEnd,
  kName,        // a run of name bytes that is not all digits
  kNumber,      // a run of digits
  kOperator,    // a run of = ! & | > <
  kOpenParen,
  kCloseParen,
  kOpenBrace,
  kCloseBrace,
  kColon,
  kQuoted,      // "..." including the quotes; decode with DescDecodeQuoted
  kOther,       // any other byte (a double-byte character counts as one)
};

struct DescToken {
  DescTokenKind kind = DescTokenKind::kEnd;
  std::string_view text;
  bool Is(DescTokenKind k, std::string_view t) const { return kind == k && text == t; }
};

// Reads tokens from a value; blanks and line ends separate them. Copyable, so a reader can
// look ahead and come back.
class DescTokenizer {
 public:
  DescTokenizer(std::string_view text, const DescLeadBytes& lead) : text_(text), lead_(&lead) {}
  DescToken Next();
  DescToken Peek() const {
    DescTokenizer copy = *this;
    return copy.Next();
  }
  // What is left after the last token.
  std::string_view Rest() const { return text_.substr(pos_); }

 private:
  std::string_view text_;
  size_t pos_ = 0;
  const DescLeadBytes* lead_;
};
