// The text of one INI file as the profile functions read and edit it.
// Lines end with LF (a CR before it belongs to the ending); a line whose first non-blank
// character is '[' is a section header named by the text up to ']', a line starting with ';'
// is a comment, and a line holding '=' is an entry "key=value". Names and values are
// trimmed of blanks; names compare without regard to ASCII case; the first section of a
// name is the one read. Bytes are decoded in the machine's ANSI code page one line at a
// time, so an edit rewrites only the lines it touches and every other byte stays as it was.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velm::platform {

class ProfileText {
 public:
  explicit ProfileText(std::string bytes);
  const std::string& bytes() const { return bytes_; }

  // Every non-empty section name, in file order.
  std::vector<std::u16string> SectionNames() const;
  bool HasSection(std::u16string_view section) const;
  // The section's non-empty key names, in file order.
  std::vector<std::u16string> KeyNames(std::u16string_view section) const;
  // The section's content: "key=value" for each entry (quotes kept) and every other line
  // that is neither blank nor a comment, trimmed.
  std::vector<std::u16string> SectionLines(std::u16string_view section) const;
  // The entry's value with one pair of matching surrounding quotes (" or ') removed;
  // nullopt when the section or key is absent.
  std::optional<std::u16string> Value(std::u16string_view section, std::u16string_view key) const;

  // Edits; each returns whether the text changed. Names are given trimmed.
  // SetValue replaces the entry's line, else adds it after the section's last non-blank
  // line, else appends the section to the end of the file.
  bool SetValue(std::u16string_view section, std::u16string_view key, std::u16string_view value);
  // Removes every line of the key in the section.
  bool DeleteKey(std::u16string_view section, std::u16string_view key);
  // Removes every section of the name, each from its header up to the next header.
  bool DeleteSection(std::u16string_view section);
  // Replaces everything between the section's header and the next header with `lines`,
  // or appends the section when it is absent.
  void ReplaceSection(std::u16string_view section, const std::vector<std::u16string>& lines);

 private:
  enum class Kind { kBlank, kComment, kHeader, kEntry, kOther };
  struct Line {
    size_t begin;          // first byte
    size_t end;            // end of the text, before the line ending
    size_t next;           // first byte of the following line
    Kind kind;
    size_t keyBegin;       // an entry's key as it stands in the file, trimmed
    size_t keyEnd;
    std::u16string name;   // the section name of a header, the key of an entry
    std::u16string value;  // an entry's value; the trimmed text of any other line
  };
  struct Span {
    size_t header;  // index of the header line
    size_t end;     // index of the next header (or lines_.size())
  };

  void Parse();
  std::vector<Span> Sections(std::u16string_view section) const;
  const Line* FindEntry(const Span& span, std::u16string_view key) const;
  size_t SpanEndByte(const Span& span) const;
  void Splice(size_t from, size_t to, const std::string& text);
  void AppendSection(std::u16string_view section, const std::vector<std::u16string>& lines);

  std::string bytes_;
  std::vector<Line> lines_;
};

}  // namespace velm::platform
