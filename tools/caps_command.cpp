#include "caps_command.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>

#include "core/unicode.h"
#include "core/winerror.h"
#include "spool/winspool.h"
#include "ui/wingdi.h"

namespace velm::tools {
namespace {

// How an index's answer is laid out in the output buffer.
enum class Shape {
  kValue,     // the answer alone
  kExtent,    // the answer packs length << 16 | width
  kWords,     // count WORDs
  kPoints,    // count (x, y) LONG pairs
  kNames,     // count names of `chars` characters
  kDwords,    // count DWORDs
  kText,      // one text of `chars` characters beside the answer
};

struct IndexRow {
  WORD index;
  const char* name;
  Shape shape;
  size_t chars;
};

constexpr IndexRow kIndexes[] = {
    {DC_FIELDS, "DC_FIELDS", Shape::kValue, 0},
    {DC_PAPERS, "DC_PAPERS", Shape::kWords, 0},
    {DC_PAPERSIZE, "DC_PAPERSIZE", Shape::kPoints, 0},
    {DC_MINEXTENT, "DC_MINEXTENT", Shape::kExtent, 0},
    {DC_MAXEXTENT, "DC_MAXEXTENT", Shape::kExtent, 0},
    {DC_BINS, "DC_BINS", Shape::kWords, 0},
    {DC_DUPLEX, "DC_DUPLEX", Shape::kValue, 0},
    {DC_SIZE, "DC_SIZE", Shape::kValue, 0},
    {DC_EXTRA, "DC_EXTRA", Shape::kValue, 0},
    {DC_VERSION, "DC_VERSION", Shape::kValue, 0},
    {DC_DRIVER, "DC_DRIVER", Shape::kValue, 0},
    {DC_BINNAMES, "DC_BINNAMES", Shape::kNames, 24},
    {DC_ENUMRESOLUTIONS, "DC_ENUMRESOLUTIONS", Shape::kPoints, 0},
    {DC_FILEDEPENDENCIES, "DC_FILEDEPENDENCIES", Shape::kValue, 0},
    {DC_TRUETYPE, "DC_TRUETYPE", Shape::kValue, 0},
    {DC_PAPERNAMES, "DC_PAPERNAMES", Shape::kNames, 64},
    {DC_ORIENTATION, "DC_ORIENTATION", Shape::kValue, 0},
    {DC_COPIES, "DC_COPIES", Shape::kValue, 0},
    {DC_BINADJUST, "DC_BINADJUST", Shape::kValue, 0},
    {DC_EMF_COMPLIANT, "DC_EMF_COMPLIANT", Shape::kValue, 0},
    {DC_DATATYPE_PRODUCED, "DC_DATATYPE_PRODUCED", Shape::kValue, 0},
    {DC_COLLATE, "DC_COLLATE", Shape::kValue, 0},
    {DC_MANUFACTURER, "DC_MANUFACTURER", Shape::kValue, 0},
    {DC_MODEL, "DC_MODEL", Shape::kValue, 0},
    {DC_PERSONALITY, "DC_PERSONALITY", Shape::kText, 32},
    {DC_PRINTRATE, "DC_PRINTRATE", Shape::kValue, 0},
    {DC_PRINTRATEUNIT, "DC_PRINTRATEUNIT", Shape::kValue, 0},
    {DC_PRINTERMEM, "DC_PRINTERMEM", Shape::kValue, 0},
    {DC_MEDIAREADY, "DC_MEDIAREADY", Shape::kNames, 64},
    {DC_STAPLE, "DC_STAPLE", Shape::kValue, 0},
    {DC_PRINTRATEPPM, "DC_PRINTRATEPPM", Shape::kValue, 0},
    {DC_COLORDEVICE, "DC_COLORDEVICE", Shape::kValue, 0},
    {DC_NUP, "DC_NUP", Shape::kDwords, 0},
};

const IndexRow* FindRow(WORD index) {
  for (const IndexRow& row : kIndexes)
    if (row.index == index) return &row;
  return nullptr;
}

size_t EntryBytes(const IndexRow& row) {
  switch (row.shape) {
    case Shape::kWords: return sizeof(WORD);
    case Shape::kPoints: return 2 * sizeof(LONG);
    case Shape::kNames: return row.chars * sizeof(WCHAR);
    case Shape::kDwords: return sizeof(DWORD);
    default: return 0;
  }
}

std::string Text(const WCHAR* field, size_t chars) {
  const size_t length = std::find(field, field + chars, WCHAR{0}) - field;
  return platform::Utf16ToUtf8(std::u16string_view(field, length));
}

void Answer(const CapsOptions& options, WORD index, std::string* out) {
  const IndexRow* row = FindRow(index);
  const std::string name = row ? row->name : "index " + std::to_string(index);
  const LPCWSTR printer = options.printer.c_str();
  const int count = DeviceCapabilitiesW(printer, nullptr, index, nullptr, nullptr);
  *out += name + " (" + std::to_string(index) + "): " + std::to_string(count);
  if (!row || count < 0 || row->shape == Shape::kValue) {
    *out += "\n";
    return;
  }
  if (row->shape == Shape::kExtent) {
    const auto packed = static_cast<DWORD>(count);
    *out += " (width " + std::to_string(packed & 0xFFFF) + ", length " + std::to_string(packed >> 16) + ")\n";
    return;
  }
  // Count first, then a buffer of that size filled; the text answer has one field of its own.
  const size_t entries = row->shape == Shape::kText ? 1 : static_cast<size_t>(count);
  const size_t entryBytes = row->shape == Shape::kText ? row->chars * sizeof(WCHAR) : EntryBytes(*row);
  std::vector<BYTE> buffer(std::max<size_t>(entries * entryBytes, 1));
  const int filled = DeviceCapabilitiesW(printer, nullptr, index, reinterpret_cast<LPWSTR>(buffer.data()), nullptr);
  if (filled != count) {
    *out += " (filled: " + std::to_string(filled) + ")\n";
    return;
  }
  if (row->shape == Shape::kText) {
    *out += " \"" + Text(reinterpret_cast<const WCHAR*>(buffer.data()), row->chars) + "\"\n";
    return;
  }
  *out += "\n";
  for (size_t i = 0; i < entries; ++i) {
    const BYTE* entry = buffer.data() + i * entryBytes;
    std::string line = "  [" + std::to_string(i) + "] ";
    if (row->shape == Shape::kWords) {
      WORD value;
      std::memcpy(&value, entry, sizeof value);
      line += std::to_string(value);
    } else if (row->shape == Shape::kDwords) {
      DWORD value;
      std::memcpy(&value, entry, sizeof value);
      line += std::to_string(value);
    } else if (row->shape == Shape::kPoints) {
      LONG xy[2];
      std::memcpy(xy, entry, sizeof xy);
      line += std::to_string(xy[0]) + " x " + std::to_string(xy[1]);
    } else {
      std::vector<WCHAR> field(row->chars);
      std::memcpy(field.data(), entry, entryBytes);
      line += "\"" + Text(field.data(), row->chars) + "\"";
    }
    *out += line + "\n";
  }
}

}  // namespace

bool ParseCapsIndex(const std::string& text, WORD* index) {
  if (text.empty()) return false;
  if (std::isdigit(static_cast<unsigned char>(text[0]))) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 0);
    if (*end != 0 || value > 0xFFFF) return false;
    *index = static_cast<WORD>(value);
    return true;
  }
  std::string upper;
  for (char c : text) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (!upper.starts_with("DC_")) upper = "DC_" + upper;
  for (const IndexRow& row : kIndexes) {
    if (upper == row.name) {
      *index = row.index;
      return true;
    }
  }
  return false;
}

bool RunCaps(const CapsOptions& options, std::string* out, std::string* error) {
  HANDLE printer = nullptr;
  if (!OpenPrinterW(const_cast<LPWSTR>(options.printer.c_str()), &printer, nullptr)) {
    if (error) *error = "cannot open printer \"" + platform::Utf16ToUtf8(options.printer) + "\" (error " +
                        std::to_string(GetLastError()) + ")";
    return false;
  }
  ClosePrinter(printer);
  std::vector<WORD> indexes = options.indexes;
  if (indexes.empty())
    for (const IndexRow& row : kIndexes) indexes.push_back(row.index);
  for (WORD index : indexes) Answer(options, index, out);
  return true;
}

}  // namespace velm::tools
