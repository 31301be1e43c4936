#include "core/profile_text.h"

#include "core/codepage.h"
#include "core/unicode.h"

namespace velm::platform {

namespace {

constexpr const char* kLineEnd = "\r\n";

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string_view Trim(std::u16string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::u16string_view StripQuotes(std::u16string_view value) {
  if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

std::string EncodeLine(std::u16string_view text) { return WideToAnsi(text) + kLineEnd; }

}  // namespace

ProfileText::ProfileText(std::string bytes) : bytes_(std::move(bytes)) { Parse(); }

void ProfileText::Parse() {
  lines_.clear();
  size_t pos = 0;
  while (pos < bytes_.size()) {
    Line line{};
    line.begin = pos;
    const size_t lf = bytes_.find('\n', pos);
    line.next = lf == std::string::npos ? bytes_.size() : lf + 1;
    line.end = lf == std::string::npos ? bytes_.size() : lf;
    if (line.end > line.begin && lf != std::string::npos && bytes_[line.end - 1] == '\r') --line.end;
    pos = line.next;

    // LF and CR are never trail bytes of a double-byte character, so a line decodes alone.
    const std::u16string text = AnsiToWide(std::string_view(bytes_).substr(line.begin, line.end - line.begin));
    const std::u16string_view trimmed = Trim(text);
    if (trimmed.empty()) {
      line.kind = Kind::kBlank;
    } else if (trimmed.front() == u'[') {
      line.kind = Kind::kHeader;
      const std::u16string_view inside = trimmed.substr(1);
      line.name = Trim(inside.substr(0, inside.find(u']')));
    } else if (trimmed.front() == u';') {
      line.kind = Kind::kComment;
    } else if (const size_t eq = trimmed.find(u'='); eq != std::u16string_view::npos) {
      line.kind = Kind::kEntry;
      line.name = Trim(trimmed.substr(0, eq));
      line.value = Trim(trimmed.substr(eq + 1));
      // '=', blanks and tabs are never trail bytes of a double-byte character, so the key's
      // bytes can be found without decoding.
      line.keyBegin = bytes_.find_first_not_of(" \t", line.begin);
      line.keyEnd = bytes_.find('=', line.keyBegin);
      while (line.keyEnd > line.keyBegin && (bytes_[line.keyEnd - 1] == ' ' || bytes_[line.keyEnd - 1] == '\t'))
        --line.keyEnd;
    } else {
      line.kind = Kind::kOther;
      line.value = trimmed;
    }
    lines_.push_back(std::move(line));
  }
}

std::vector<ProfileText::Span> ProfileText::Sections(std::u16string_view section) const {
  std::vector<Span> spans;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i].kind != Kind::kHeader || !EqualsNoCase(lines_[i].name, section)) continue;
    size_t end = i + 1;
    while (end < lines_.size() && lines_[end].kind != Kind::kHeader) ++end;
    spans.push_back({i, end});
  }
  return spans;
}

const ProfileText::Line* ProfileText::FindEntry(const Span& span, std::u16string_view key) const {
  for (size_t i = span.header + 1; i < span.end; ++i)
    if (lines_[i].kind == Kind::kEntry && EqualsNoCase(lines_[i].name, key)) return &lines_[i];
  return nullptr;
}

size_t ProfileText::SpanEndByte(const Span& span) const {
  return span.end < lines_.size() ? lines_[span.end].begin : bytes_.size();
}

std::vector<std::u16string> ProfileText::SectionNames() const {
  std::vector<std::u16string> names;
  for (const Line& line : lines_)
    if (line.kind == Kind::kHeader && !line.name.empty()) names.push_back(line.name);
  return names;
}

bool ProfileText::HasSection(std::u16string_view section) const { return !Sections(section).empty(); }

std::vector<std::u16string> ProfileText::KeyNames(std::u16string_view section) const {
  std::vector<std::u16string> names;
  const std::vector<Span> spans = Sections(section);
  if (spans.empty()) return names;
  for (size_t i = spans[0].header + 1; i < spans[0].end; ++i)
    if (lines_[i].kind == Kind::kEntry && !lines_[i].name.empty()) names.push_back(lines_[i].name);
  return names;
}

std::vector<std::u16string> ProfileText::SectionLines(std::u16string_view section) const {
  std::vector<std::u16string> out;
  const std::vector<Span> spans = Sections(section);
  if (spans.empty()) return out;
  for (size_t i = spans[0].header + 1; i < spans[0].end; ++i) {
    const Line& line = lines_[i];
    if (line.kind == Kind::kEntry) out.push_back(line.name + u"=" + line.value);
    else if (line.kind == Kind::kOther) out.push_back(line.value);
  }
  return out;
}

std::optional<std::u16string> ProfileText::Value(std::u16string_view section, std::u16string_view key) const {
  const std::vector<Span> spans = Sections(section);
  if (spans.empty()) return std::nullopt;
  const Line* entry = FindEntry(spans[0], key);
  if (!entry) return std::nullopt;
  return std::u16string(StripQuotes(entry->value));
}

void ProfileText::Splice(size_t from, size_t to, const std::string& text) {
  bytes_.replace(from, to - from, text);
  Parse();
}

void ProfileText::AppendSection(std::u16string_view section, const std::vector<std::u16string>& lines) {
  std::string text;
  if (!bytes_.empty() && bytes_.back() != '\n') text += kLineEnd;
  text += EncodeLine(u"[" + std::u16string(section) + u"]");
  for (const std::u16string& line : lines) text += EncodeLine(line);
  Splice(bytes_.size(), bytes_.size(), text);
}

bool ProfileText::SetValue(std::u16string_view section, std::u16string_view key, std::u16string_view value) {
  const std::vector<Span> spans = Sections(section);
  if (spans.empty()) {
    AppendSection(section, {std::u16string(key) + u"=" + std::u16string(value)});
    return true;
  }
  if (const Line* entry = FindEntry(spans[0], key)) {
    // The key keeps the bytes it has in the file; the line keeps its own ending.
    const std::string text =
        bytes_.substr(entry->keyBegin, entry->keyEnd - entry->keyBegin) + "=" + WideToAnsi(value);
    if (bytes_.compare(entry->begin, entry->end - entry->begin, text) == 0) return false;
    Splice(entry->begin, entry->end, text);
    return true;
  }
  size_t last = spans[0].header;
  for (size_t i = spans[0].header + 1; i < spans[0].end; ++i)
    if (lines_[i].kind != Kind::kBlank) last = i;
  const Line& after = lines_[last];
  std::string text = after.next == after.end ? kLineEnd : "";  // the last line of a file may lack its ending
  text += EncodeLine(std::u16string(key) + u"=" + std::u16string(value));
  Splice(after.next, after.next, text);
  return true;
}

bool ProfileText::DeleteKey(std::u16string_view section, std::u16string_view key) {
  const std::vector<Span> spans = Sections(section);
  if (spans.empty()) return false;
  bool changed = false;
  for (size_t i = spans[0].end; i-- > spans[0].header + 1;) {
    const Line& line = lines_[i];
    if (line.kind != Kind::kEntry || !EqualsNoCase(line.name, key)) continue;
    bytes_.erase(line.begin, line.next - line.begin);  // later lines first, so offsets stay valid
    changed = true;
  }
  if (changed) Parse();
  return changed;
}

bool ProfileText::DeleteSection(std::u16string_view section) {
  const std::vector<Span> spans = Sections(section);
  for (size_t i = spans.size(); i-- > 0;) {
    const size_t from = lines_[spans[i].header].begin;
    bytes_.erase(from, SpanEndByte(spans[i]) - from);
  }
  if (!spans.empty()) Parse();
  return !spans.empty();
}

void ProfileText::ReplaceSection(std::u16string_view section, const std::vector<std::u16string>& lines) {
  const std::vector<Span> spans = Sections(section);
  if (spans.empty()) {
    AppendSection(section, lines);
    return;
  }
  const Line& header = lines_[spans[0].header];
  std::string text = header.next == header.end ? kLineEnd : "";
  for (const std::u16string& line : lines) text += EncodeLine(line);
  Splice(header.next, SpanEndByte(spans[0]), text);
}

}  // namespace velm::platform
