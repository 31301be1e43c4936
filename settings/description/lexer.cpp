#include "settings/description/lexer.h"

#include <array>
#include <climits>
#include <new>

namespace {

constexpr bool InRange(int c, int lo, int hi) { return c >= lo && c <= hi; }
constexpr bool IsLetter(int c) { return InRange(c, 'A', 'Z') || InRange(c, 'a', 'z'); }
constexpr bool IsNameExtra(int c) { return c == '@' || InRange(c, '[', '`'); }  // @ [ \ ] ^ _ `

constexpr std::array<BYTE, 256> BuildClassTable() {
  std::array<BYTE, 256> table{};
  for (int c = 0; c < 256; ++c) {
    BYTE bits = 0;
    if (InRange(c, '0', '9')) bits |= kCharDigit;
    if (InRange(c, 'A', 'F') || InRange(c, 'a', 'f')) bits |= kCharHexLetter;
    if (c == '\r' || c == '\n') bits |= kCharLineEnd;
    if (c == '\t' || c == ' ') bits |= kCharBlank;
    if (c == '\t' || c == ' ' || InRange(c, '!', '*') || InRange(c, '+', '/') || InRange(c, ';', '~'))
      bits |= kCharOption;
    // Every printable byte but the blank, `/` and `:`.
    if (InRange(c, '!', '~') && c != '/' && c != ':') bits |= kCharToken;
    if (IsLetter(c) || InRange(c, '0', '9') || IsNameExtra(c) || c == '/') bits |= kCharName;
    if (c == '\t' || c == ' ' || c == '\r' || c == '\n' || InRange(c, '"', '*') || c == ',' || c == '.' ||
        c == '/' || c == ':' || InRange(c, ';', '?') || InRange(c, '{', '}'))
      bits |= kCharDelimiter;
    table[c] = bits;
  }
  return table;
}

bool IsLineEnd(int c) { return c == '\r' || c == '\n'; }
bool IsBlank(int c) { return c == ' ' || c == '\t'; }
bool IsOperatorByte(int c) { return c == '=' || c == '!' || c == '&' || c == '|' || c == '>' || c == '<'; }

void SkipBlanks(DescReader* reader) {
  while (IsBlank(reader->Peek())) reader->Get();
}

// Appends the bytes of `cls` that follow; the caller checks for an empty token.
void ReadRun(DescReader* reader, BYTE cls, DescString* out) {
  while (DescCharIs(reader->Peek(), cls)) out->push_back(static_cast<char>(reader->Get()));
}

// The value up to its line end. Quotes, parentheses and braces carry it over line ends.
bool ReadValue(DescReader* reader, const DescLeadBytes& lead, DescString* value, DescIssue* issue) {
  bool quoted = false;
  long parens = 0;
  long braces = 0;
  for (;;) {
    const int c = reader->Peek();
    if (c < 0) {
      if (quoted || parens || braces) {
        *issue = DescIssue::kUnterminatedValue;
        return false;
      }
      return true;
    }
    if (IsLineEnd(c) && !quoted && !parens && !braces) return true;
    reader->Get();
    if (lead.lead[c]) {
      // The pair is copied as it stands: its trail byte may look like a quote or a bracket.
      value->push_back(static_cast<char>(c));
      const int trail = reader->Peek();
      if (trail >= 0 && !IsLineEnd(trail)) value->push_back(static_cast<char>(reader->Get()));
      continue;
    }
    if (quoted) {
      if (c == '(' || c == ')' || c == '{' || c == '}') {
        *issue = DescIssue::kBracketInQuotes;
        return false;
      }
      if (c == '"') {
        quoted = false;
      } else if (c == '%') {
        const int next = reader->Peek();
        if (next < 0 || IsLineEnd(next)) {
          *issue = DescIssue::kLineEndAfterPercent;
          return false;
        }
        value->push_back('%');
        value->push_back(static_cast<char>(reader->Get()));
        continue;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == '(') {
      ++parens;
    } else if (c == ')') {
      if (!parens) {
        *issue = DescIssue::kUnbalancedBracket;
        return false;
      }
      --parens;
    } else if (c == '{') {
      if (parens) {
        *issue = DescIssue::kUnbalancedBracket;
        return false;
      }
      ++braces;
    } else if (c == '}') {
      if (parens || !braces) {
        *issue = DescIssue::kUnbalancedBracket;
        return false;
      }
      --braces;
    }
    value->push_back(static_cast<char>(c));
  }
}

DescLex Malformed(DescReader* reader, DescIssue why, DescIssue* issue) {
  reader->SkipLine();
  *issue = why;
  return DescLex::kMalformed;
}

}  // namespace

const std::array<BYTE, 256> kDescCharClass = BuildClassTable();

bool StrIsDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (!DescCharIs(static_cast<BYTE>(c), kCharDigit)) return false;
  }
  return true;
}

int StrHexDigitValue(int c) {
  if (InRange(c, '0', '9')) return c - '0';
  if (InRange(c, 'A', 'F')) return c - 'A' + 10;
  if (InRange(c, 'a', 'f')) return c - 'a' + 10;
  return -1;
}

bool StrReadSignedDecimal(std::string_view text, LONG* value, size_t* consumed) {
  long long magnitude = 0;
  bool negative = false;
  bool digits = false;
  size_t i = 0;
  for (; i < text.size(); ++i) {
    const int c = static_cast<BYTE>(text[i]);
    if (IsBlank(c) || c == '=') break;
    if (c == '-') {
      negative = true;
    } else if (InRange(c, '0', '9')) {
      digits = true;
      magnitude = magnitude * 10 + (c - '0');
      if (magnitude > static_cast<long long>(INT_MAX) + 1) return false;
    }
  }
  if (consumed) *consumed = i;
  if (!digits) return false;
  const long long signedValue = negative ? -magnitude : magnitude;
  if (signedValue > INT_MAX) return false;
  *value = static_cast<LONG>(signedValue);
  return true;
}

DescLeadBytes DescLeadBytes::FromCodePage() {
  DescLeadBytes table;
  CPINFO info{};
  if (!GetCPInfo(CP_ACP, &info)) return table;
  for (UINT i = 0; i + 1 < MAX_LEADBYTES && (info.LeadByte[i] || info.LeadByte[i + 1]); i += 2) {
    for (int c = info.LeadByte[i]; c <= info.LeadByte[i + 1]; ++c) table.lead[c] = true;
  }
  return table;
}

DescLeadBytes DescLeadBytes::DoubleByteTestPage() {
  DescLeadBytes table;
  for (int c = 0x81; c <= 0x9F; ++c) table.lead[c] = true;
  for (int c = 0xE0; c <= 0xFC; ++c) table.lead[c] = true;
  return table;
}

int DescReader::Get() {
  if (!left) return -1;
  const int c = *cursor++;
  --left;
  if (c == '\n' || (c == '\r' && Peek() != '\n')) ++line;
  return c;
}

void DescReader::SkipLine() {
  while (left && !IsLineEnd(*cursor)) Get();
}

void DescStatement::Clear() {
  keyword.clear();
  option.clear();
  translation.clear();
  value.clear();
  line = 0;
  hasOption = hasTranslation = keywordOnly = false;
}

DescLex DescLexStatement(DescReader* reader, const DescLeadBytes& lead, DescStatement* statement,
                         DescIssue* issue) {
  try {
    statement->Clear();
    for (;;) {
      const int c = reader->Get();
      if (c < 0) return DescLex::kEnd;
      if (IsLineEnd(c)) continue;
      if (c == '*' && reader->Peek() != '%') {
        statement->line = reader->line;
        break;
      }
      reader->SkipLine();  // a comment, or a line that does not begin with `*`
    }
    ReadRun(reader, kCharName, &statement->keyword);
    if (statement->keyword.empty()) return Malformed(reader, DescIssue::kNoKeyword, issue);
    const int afterKeyword = reader->Peek();
    if (afterKeyword < 0 || IsLineEnd(afterKeyword)) {
      statement->keywordOnly = true;
      return DescLex::kStatement;
    }
    SkipBlanks(reader);
    if (reader->Peek() != ':') {
      ReadRun(reader, kCharToken, &statement->option);
      if (statement->option.empty()) return Malformed(reader, DescIssue::kEmptyOption, issue);
      statement->hasOption = true;
      SkipBlanks(reader);
      if (reader->Peek() != ':') {
        ReadRun(reader, kCharToken, &statement->translation);
        statement->hasTranslation = !statement->translation.empty();
        SkipBlanks(reader);
        if (reader->Peek() != ':') return Malformed(reader, DescIssue::kMissingColon, issue);
      }
    }
    reader->Get();  // the colon
    SkipBlanks(reader);
    if (!ReadValue(reader, lead, &statement->value, issue)) {
      reader->SkipLine();
      return DescLex::kMalformed;
    }
    reader->SkipLine();
    return DescLex::kStatement;
  } catch (const std::bad_alloc&) {
    return DescLex::kOutOfMemory;
  }
}

bool DescDecodeQuoted(std::string_view text, const DescLeadBytes& lead, DescString* out,
                      std::string_view* rest) {
  const size_t open = text.find('"');
  if (open == std::string_view::npos) return false;
  out->clear();
  bool hex = false;
  int nibble = -1;
  for (size_t i = open + 1; i < text.size(); ++i) {
    const int c = static_cast<BYTE>(text[i]);
    if (c == '"') {
      if (rest) *rest = text.substr(i + 1);
      return true;
    }
    if (lead.OpensPair(text, i)) {
      if (!hex) out->append(text.substr(i, 2));
      ++i;
      continue;
    }
    if (IsLineEnd(c)) continue;
    if (c == '%') {
      // The lexer copied the escaped byte as a pair; it ends neither the text nor hex mode.
      if (i + 1 < text.size()) {
        if (!hex) out->push_back(text[i + 1]);
        ++i;
      }
      continue;
    }
    if (hex) {
      if (c == '>') {
        hex = false;
        nibble = -1;
      } else if (const int digit = StrHexDigitValue(c); digit >= 0) {
        if (nibble < 0) {
          nibble = digit;
        } else {
          out->push_back(static_cast<char>(nibble * 16 + digit));
          nibble = -1;
        }
      }
      continue;
    }
    if (c == '<') {
      hex = true;
      continue;
    }
    out->push_back(static_cast<char>(c));
  }
  return false;
}

DescToken DescTokenizer::Next() {
  while (pos_ < text_.size() && (IsBlank(static_cast<BYTE>(text_[pos_])) || IsLineEnd(static_cast<BYTE>(text_[pos_]))))
    ++pos_;
  if (pos_ >= text_.size()) return {DescTokenKind::kEnd, {}};
  const size_t start = pos_;
  const int c = static_cast<BYTE>(text_[pos_]);
  auto take = [&](DescTokenKind kind) { return DescToken{kind, text_.substr(start, pos_ - start)}; };
  if (DescCharIs(c, kCharName)) {
    while (pos_ < text_.size() && DescCharIs(static_cast<BYTE>(text_[pos_]), kCharName)) ++pos_;
    const DescToken token = take(DescTokenKind::kName);
    return StrIsDigits(token.text) ? DescToken{DescTokenKind::kNumber, token.text} : token;
  }
  if (IsOperatorByte(c)) {
    while (pos_ < text_.size() && IsOperatorByte(static_cast<BYTE>(text_[pos_]))) ++pos_;
    return take(DescTokenKind::kOperator);
  }
  ++pos_;
  switch (c) {
    case '(': return take(DescTokenKind::kOpenParen);
    case ')': return take(DescTokenKind::kCloseParen);
    case '{': return take(DescTokenKind::kOpenBrace);
    case '}': return take(DescTokenKind::kCloseBrace);
    case ':': return take(DescTokenKind::kColon);
    default: break;
  }
  if (c == '"') {
    // To the closing quote, past escapes and double-byte pairs as the lexer passed them.
    while (pos_ < text_.size()) {
      const int b = static_cast<BYTE>(text_[pos_]);
      if (b == '"') {
        ++pos_;
        return take(DescTokenKind::kQuoted);
      }
      pos_ += (b == '%' && pos_ + 1 < text_.size()) || lead_->OpensPair(text_, pos_) ? 2 : 1;
    }
    return take(DescTokenKind::kOther);  // an open quote is not a token
  }
  if (lead_->OpensPair(text_, start)) ++pos_;
  return take(DescTokenKind::kOther);
}
