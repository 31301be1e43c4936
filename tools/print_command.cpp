#include "print_command.h"

#include <charconv>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "core/host_file.h"
#include "core/unicode.h"
#include "core/winerror.h"
#include "eng/print_host.h"
#include "settings/context/driver_context.h"
#include "settings/context/memory.h"
#include "settings/description/completeness.h"
#include "settings/items/store.h"
#include "settings/services/spooler_info.h"
#include "spool/spool_store.h"
#include "spool/winspool.h"

namespace velm::tools {
namespace fs = std::filesystem;
using platform::Utf16ToUtf8;
using platform::Utf8ToUtf16;

namespace {

bool Fail(std::string* error, const std::string& message) {
  if (error) *error = message;
  return false;
}

bool ParseNumber(const std::string& text, DWORD* value) {
  std::string_view digits = text;
  bool negative = false;
  if (!digits.empty() && digits.front() == '-') {
    negative = true;
    digits.remove_prefix(1);
  }
  int base = 10;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    base = 16;
    digits.remove_prefix(2);
  }
  uint64_t number = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number, base);
  if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() || number > 0xFFFFFFFFu)
    return false;
  *value = negative ? static_cast<DWORD>(0u - number) : static_cast<DWORD>(number);
  return true;
}

// The row of an item named by identifier or by name, in the context's own table.
ItemTableRow* FindRow(DriverContext* context, const std::string& item) {
  DWORD id = 0;
  if (ParseNumber(item, &id)) return id <= 0xFFFF ? OptFindItem(context->itemTable, static_cast<WORD>(id)) : nullptr;
  const std::u16string name = Utf8ToUtf16(item);
  ItemTable* table = context->itemTable;
  for (SHORT i = 0; i < table->count; ++i) {
    ItemTableRow& row = table->rows[i];
    if (row.name && platform::EqualsNoCase(std::u16string_view(row.name), name)) return &row;
  }
  return nullptr;
}

// The dmFields bit of each public field that has one.
DWORD FieldBit(WORD id) {
  static constexpr struct {
    WORD id;
    DWORD bit;
  } kBits[] = {
      {7, DM_ORIENTATION},     {8, DM_PAPERSIZE},      {9, DM_PAPERLENGTH},   {10, DM_PAPERWIDTH},
      {11, DM_SCALE},          {12, DM_COPIES},        {13, DM_DEFAULTSOURCE}, {14, DM_PRINTQUALITY},
      {15, DM_COLOR},          {16, DM_DUPLEX},        {17, DM_YRESOLUTION},  {18, DM_TTOPTION},
      {19, DM_COLLATE},        {20, DM_FORMNAME},      {21, DM_LOGPIXELS},    {22, DM_BITSPERPEL},
      {23, DM_PELSWIDTH},      {24, DM_PELSHEIGHT},    {25, DM_DISPLAYFLAGS}, {26, DM_DISPLAYFREQUENCY},
      {27, DM_ICMMETHOD},      {28, DM_ICMINTENT},     {29, DM_MEDIATYPE},    {30, DM_DITHERTYPE},
      {33, DM_PANNINGWIDTH},   {34, DM_PANNINGHEIGHT},
  };
  for (const auto& entry : kBits)
    if (entry.id == id) return entry.bit;
  return 0;
}

bool Assign(DriverContext* context, const ItemAssignment& assignment, std::string* error) {
  ItemTableRow* row = FindRow(context, assignment.item);
  if (!row) return Fail(error, "no item \"" + assignment.item + "\"");
  const std::string name = std::to_string(row->id);
  if (DescriptorSection(row->descriptor) != kSectionDevmode)
    return Fail(error, "item " + name + " is not part of the devmode, so a job cannot carry it");
  const int type = DescriptorType(row->descriptor);
  BOOL written = FALSE;
  if (type == kTypeAnsi || type == kTypeAnsiAlt || type == kTypeWide || type == kTypeWideAlt) {
    written = OptSetString(context, row, Utf8ToUtf16(assignment.value).c_str());
  } else if (IsByteType(type)) {
    return Fail(error, "item " + name + " holds raw bytes, which --set does not write");
  } else {
    DWORD value = 0;
    if (!ParseNumber(assignment.value, &value))
      return Fail(error, "item " + name + " takes a number, not \"" + assignment.value + "\"");
    written = OptSetValue(context, row->id, value);
  }
  if (!written) return Fail(error, "item " + name + " could not be written");
  if (const DWORD bit = FieldBit(row->id)) OptSetValue(context, kItemFields, OptGetValue(context, kItemFields) | bit);
  return true;
}

// Why the printer's settings cannot be opened, when its model description is the reason.
std::string SettingsRefusal(HANDLE printer) {
  auto* info = static_cast<DRIVER_INFO_2W*>(PrnGetDriverInfo(printer, 2));
  const std::u16string path = info && info->pDataFile ? info->pDataFile : u"";
  SysFree(info);
  DWORD missing = 0;
  if (path.empty()) return "the printer's driver names no model description";
  if (!DescCheckFile(path.c_str(), &missing))
    return "the model description " + Utf16ToUtf8(path) + " is refused: it lacks everything (empty or unreadable)";
  if (missing == 0) return "cannot open the printer's settings";
  char parts[256];
  DescDescribeMissing(missing, parts, sizeof parts);
  return "the model description " + Utf16ToUtf8(path) + " is refused: it lacks " + parts;
}

std::u16string PrinterName(HANDLE printer) {
  DWORD needed = 0;
  GetPrinterW(printer, 2, nullptr, 0, &needed);
  std::vector<BYTE> buffer(needed);
  if (needed == 0 || !GetPrinterW(printer, 2, buffer.data(), needed, &needed)) return {};
  const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
  return info->pPrinterName ? std::u16string(info->pPrinterName) : std::u16string();
}

bool ReadFile(const fs::path& file, std::string* text) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  std::ostringstream out;
  out << in.rdbuf();
  *text = out.str();
  return !in.bad();
}

}  // namespace

bool ParseItemAssignment(const std::string& text, ItemAssignment* assignment) {
  const size_t equals = text.find('=');
  if (equals == std::string::npos || equals == 0) return false;
  *assignment = {text.substr(0, equals), text.substr(equals + 1)};
  return true;
}

bool BuildJobDevmode(HANDLE printer, const std::vector<ItemAssignment>& settings, std::vector<BYTE>* devmode,
                     std::string* error) {
  DriverContext* context = CtxCreateEx(printer, 0, kKindModelDefaults, 0, 0, nullptr);
  if (!context || !context->settings) {
    CtxDestroyEx(context, kReleaseDestroy);
    return Fail(error, SettingsRefusal(printer));
  }
  bool ok = Assign(context, {"1", Utf16ToUtf8(PrinterName(printer))}, error);
  for (const ItemAssignment& assignment : settings) ok = ok && Assign(context, assignment, error);
  if (ok) {
    const BYTE* bytes = context->settings->devmode.bytes;
    devmode->assign(bytes, bytes + sizeof(PrivateDevmode));
  }
  CtxDestroyEx(context, kReleaseDestroy);
  return ok;
}

bool PrintToJobFile(const PrintOptions& options, PrintReport* report, std::string* error) {
  PrintReport local;
  PrintReport& out = report ? *report : local;
  if (options.output.empty()) return Fail(error, "no job file named");
  platform::PrintJob job;
  // The files' pages follow each other: each file starts a page of its own.
  for (const fs::path& file : options.pageFiles) {
    std::string text;
    if (!ReadFile(file, &text)) return Fail(error, "cannot read " + file.string());
    if (&file != &options.pageFiles.front()) job.pages += "\npage\n";
    job.pages += text;
  }
  job.documentName = options.pageFiles.empty() ? u"Test page" : Utf8ToUtf16(options.pageFiles.front().filename().string());

  HANDLE printer = nullptr;
  PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ACCESS_USE};
  if (!OpenPrinterW(const_cast<LPWSTR>(options.printer.c_str()), &printer, &defaults))
    return Fail(error, "cannot open printer \"" + Utf16ToUtf8(options.printer) + "\" (error " +
                           std::to_string(GetLastError()) + ")");
  bool ok = BuildJobDevmode(printer, options.settings, &job.devmode, error);
  if (ok) {
    job.printer = printer;
    const platform::PrintResult result = platform::RunPrintJob(job);
    out.pages = result.pages;
    out.spoolJob = result.spoolJob;
    if (!result.ok) {
      ok = Fail(error, "the job failed: " + result.message + " (error " + std::to_string(result.error) + ")");
    } else {
      const fs::path spooled = platform::SpoolJobFile(result.spoolJob);
      std::error_code ec;
      const uintmax_t size = fs::file_size(spooled, ec);
      if (ec) {
        ok = Fail(error, "the spooler holds no bytes for job " + std::to_string(result.spoolJob));
      } else if (platform::ReplaceFileWithCopy(options.output, spooled) != ERROR_SUCCESS) {
        ok = Fail(error, "cannot write " + options.output.string());
      } else {
        out.bytes = static_cast<size_t>(size);
      }
    }
  }
  ClosePrinter(printer);
  return ok;
}

}  // namespace velm::tools
