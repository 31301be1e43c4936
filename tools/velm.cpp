// The velm command: sets up a machine root and drives the driver on it.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/machine_root.h"
#include "core/unicode.h"
#include "core/host_file.h"
#include "core/winerror.h"
#include "caps_command.h"
#include "job_decoder.h"
#include "job_render.h"
#include "machine_setup.h"
#include "print_command.h"
#include "query_command.h"
#include "sheet_command.h"
#include "settings/context/process_state.h"

namespace {

namespace fs = std::filesystem;

int Usage() {
  std::fprintf(stderr,
               "usage: velm setup [ROOT] [--modules DIR] [--data DIR]\n"
               "  make a machine root (default: $VELM_ROOT) with the driver and \"Velm Printer\";\n"
               "  modules default to ../modules beside this program, data to ../data\n"
               "usage: velm print [--printer NAME] [--set ITEM=VALUE ...] [PAGEFILE ...] -o JOB\n"
               "  print the pages (the built-in test page when none is given) on a printer of\n"
               "  $VELM_ROOT and write the job's bytes to JOB; ITEM is an item's number or name\n"
               "usage: velm dump JOBFILE [--pass-through] [--unfinished]\n"
               "  decode a job file into readable lines\n"
               "usage: velm render JOBFILE -o PREFIX [--dpi N] [--pass-through]\n"
               "  draw each page of a job file into PREFIX-1.png, PREFIX-2.png, ... at N dots per\n"
               "  inch (150 by default; never above the page's resolution)\n"
               "usage: velm query PRINTER [FILE|-] [--update LINE] [--values COMMAND ...]\n"
               "  apply the \"@PJL SET\" lines of FILE (standard input when absent or -) as a base on\n"
               "  a printer of $VELM_ROOT, optionally one update after it; print the lines the\n"
               "  driver changed and the acceptable values of each COMMAND\n"
               "usage: velm sheet --page ID [--printer NAME | --module PATH] -o FILE.png\n"
               "  draw dialog template ID of the printer's user-interface resource library (or of\n"
               "  the module, a Windows path or a host path inside $VELM_ROOT) into a PNG; a page\n"
               "  template is drawn as the one page of a property sheet; a tab page of a printer's\n"
               "  document or device sheet is drawn in front in that sheet, as its driver shows it\n"
               "usage: velm caps [--printer NAME] [INDEX ...]\n"
               "  ask a printer of $VELM_ROOT for its device capabilities (INDEX: a DC_ number or\n"
               "  name, such as 2 or DC_PAPERS; all of them when none is given), lists entry by entry\n");
  return 2;
}

fs::path ProgramDir() {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::current_path() : self.parent_path();
}

int Setup(int argc, char** argv) {
  std::string root;
  // The model's data beside the program when it is there, else the source tree's (an empty folder).
  velm::tools::InstallSources sources{ProgramDir() / ".." / "modules", {}};
  if (std::error_code ec; fs::is_directory(ProgramDir() / ".." / "data" / "model", ec))
    sources.dataDir = ProgramDir() / ".." / "data";
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if ((arg == "--modules" || arg == "--data") && i + 1 < argc) {
      (arg == "--modules" ? sources.moduleDir : sources.dataDir) = argv[++i];
    } else if (!arg.starts_with("--") && root.empty()) {
      root = arg;
    } else {
      return Usage();
    }
  }
  if (root.empty()) {
    const char* env = std::getenv("VELM_ROOT");
    root = env ? env : "";
  }
  if (root.empty()) {
    std::fprintf(stderr, "velm setup: name a root folder or set VELM_ROOT\n");
    return 2;
  }
  std::string error;
  velm::tools::InstallReport report;
  if (!velm::tools::SetupMachine(root, sources, &error, &report)) {
    std::fprintf(stderr, "velm setup: %s\n", error.c_str());
    return 1;
  }
  for (const std::u16string& file : report.installed)
    std::printf("installed %s\n", velm::platform::Utf16ToUtf8(file).c_str());
  for (const std::u16string& file : report.missing)
    std::printf("not built yet: %s\n", velm::platform::Utf16ToUtf8(file).c_str());
  std::printf("machine root ready: %s (printer \"%s\")\n", root.c_str(),
              velm::platform::Utf16ToUtf8(velm::tools::kDefaultPrinterName).c_str());
  return 0;
}

// Prints pages through the driver into a job file.
int Print(int argc, char** argv) {
  velm::tools::PrintOptions options;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    velm::tools::ItemAssignment assignment;
    if (arg == "--printer" && i + 1 < argc) {
      options.printer = velm::platform::Utf8ToUtf16(argv[++i]);
    } else if (arg == "--set" && i + 1 < argc) {
      if (!velm::tools::ParseItemAssignment(argv[++i], &assignment)) return Usage();
      options.settings.push_back(assignment);
    } else if (arg == "-o" && i + 1 < argc) {
      options.output = argv[++i];
    } else if (!arg.starts_with("-")) {
      options.pageFiles.push_back(arg);
    } else {
      return Usage();
    }
  }
  if (options.output.empty()) return Usage();
  if (velm::platform::MachineRoot().empty()) {
    std::fprintf(stderr, "velm print: set VELM_ROOT to a machine root made by velm setup\n");
    return 2;
  }
  // The devmode is built through the settings library of this process.
  SysLibraryAttach(nullptr);
  std::string error;
  velm::tools::PrintReport report;
  const bool printed = velm::tools::PrintToJobFile(options, &report, &error);
  SysLibraryDetach();
  if (!printed) {
    std::fprintf(stderr, "velm print: %s\n", error.c_str());
    return 1;
  }
  std::printf("printed %zu page(s) as spooler job %u: %zu bytes in %s\n", report.pages,
              static_cast<unsigned>(report.spoolJob), report.bytes, options.output.string().c_str());
  return 0;
}

// Reads a job file of at most 1 GiB; false with the reason on stderr.
bool ReadJobFile(const char* command, const char* path, std::string* bytes) {
  constexpr size_t kMaxJobBytes = size_t{1} << 30;
  std::FILE* file = std::fopen(path, "rb");
  if (!file) {
    std::fprintf(stderr, "velm %s: cannot open %s\n", command, path);
    return false;
  }
  char buffer[65536];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof(buffer), file)) > 0 && bytes->size() <= kMaxJobBytes) bytes->append(buffer, got);
  const bool readError = std::ferror(file);
  std::fclose(file);
  if (readError || bytes->size() > kMaxJobBytes) {
    std::fprintf(stderr, "velm %s: %s: %s\n", command, path, readError ? "read error" : "larger than 1 GiB");
    return false;
  }
  return true;
}

// Prints a job file as readable lines; a damaged job ends with the reason and exit code 1.
int Dump(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: velm dump JOBFILE [--pass-through] [--unfinished]\n");
    return 2;
  }
  velm::jobdump::Options options;
  for (int i = 3; i < argc; ++i) {
    const std::string flag = argv[i];
    if (flag == "--pass-through") {
      options.passThrough = true;
    } else if (flag == "--unfinished") {
      options.allowUnfinished = true;
    } else {
      std::fprintf(stderr, "velm dump: unknown option %s\n", argv[i]);
      return 2;
    }
  }
  std::string bytes;
  if (!ReadJobFile("dump", argv[2], &bytes)) return 1;
  velm::jobdump::Job job;
  std::string error;
  const bool ok = velm::jobdump::DecodeJob(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), options,
                                           &job, &error);
  std::fputs(velm::jobdump::RenderJob(job).c_str(), stdout);
  if (ok) return 0;
  std::fprintf(stderr, "velm dump: %s: damaged job: %s\n", argv[2], error.c_str());
  return 1;
}

// Draws each page of a job file into PREFIX-N.png; a damaged job, or anything that could not be
// drawn, is told on stderr and ends with exit code 1.
int Render(int argc, char** argv) {
  if (argc < 3 || std::string(argv[2]).starts_with("-")) return Usage();
  std::string prefix;
  unsigned long dpi = 150;
  velm::jobdump::Options options;
  for (int i = 3; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-o" && i + 1 < argc) {
      prefix = argv[++i];
    } else if (arg == "--dpi" && i + 1 < argc) {
      char* end = nullptr;
      dpi = std::strtoul(argv[++i], &end, 10);
      if (*end != 0 || dpi == 0 || dpi > 0xFFFF) {
        std::fprintf(stderr, "velm render: --dpi takes a resolution 1..65535\n");
        return 2;
      }
    } else if (arg == "--pass-through") {
      options.passThrough = true;
    } else {
      return Usage();
    }
  }
  if (prefix.empty()) return Usage();
  std::string bytes;
  if (!ReadJobFile("render", argv[2], &bytes)) return 1;
  velm::jobdump::Job job;
  std::string damage;
  const bool decoded = velm::jobdump::DecodeJob(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), options,
                                                &job, &damage);
  // A damaged job is drawn as far as it was decoded.
  const velm::jobrender::Rendering rendering = velm::jobrender::DrawJob(job);
  bool ok = decoded && rendering.problems.empty();
  for (size_t i = 0; i < rendering.pages.size(); ++i) {
    const velm::jobrender::Canvas& page = rendering.pages[i];
    const std::string file = prefix + "-" + std::to_string(i + 1) + ".png";
    const std::vector<uint8_t> png = velm::jobrender::PagePng(page, static_cast<uint32_t>(dpi));
    if (png.empty() || velm::platform::ReplaceWholeFile(file, std::string(png.begin(), png.end())) != ERROR_SUCCESS) {
      std::fprintf(stderr, "velm render: cannot write %s\n", file.c_str());
      ok = false;
      continue;
    }
    std::printf("page %zu: %d x %d pixels at %u dpi drawn in %s (%zu bytes)\n", i + 1, page.width, page.height,
                static_cast<unsigned>(page.xres), file.c_str(), png.size());
  }
  if (rendering.pages.empty()) std::printf("no page drawn\n");
  if (!decoded) std::fprintf(stderr, "velm render: %s: damaged job: %s\n", argv[2], damage.c_str());
  for (const std::string& problem : rendering.problems) std::fprintf(stderr, "velm render: not drawn: %s\n", problem.c_str());
  return ok ? 0 : 1;
}

// Draws one dialog of a printer's resource library into a PNG.
int Sheet(int argc, char** argv) {
  velm::tools::SheetOptions options;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--page" && i + 1 < argc) {
      char* end = nullptr;
      const unsigned long page = std::strtoul(argv[++i], &end, 0);
      if (*end != 0 || page == 0 || page > 0xFFFF) {
        std::fprintf(stderr, "velm sheet: --page takes a template number 1..65535\n");
        return 2;
      }
      options.page = static_cast<WORD>(page);
    } else if (arg == "--printer" && i + 1 < argc) {
      options.printer = velm::platform::Utf8ToUtf16(argv[++i]);
    } else if (arg == "--module" && i + 1 < argc) {
      options.module = argv[++i];
    } else if (arg == "-o" && i + 1 < argc) {
      options.output = argv[++i];
    } else {
      return Usage();
    }
  }
  if (options.page == 0 || options.output.empty()) return Usage();
  if (velm::platform::MachineRoot().empty()) {
    std::fprintf(stderr, "velm sheet: set VELM_ROOT to a machine root made by velm setup\n");
    return 2;
  }
  SysLibraryAttach(nullptr);
  std::string error;
  velm::tools::SheetReport report;
  const bool saved = velm::tools::SaveSheetPicture(options, &report, &error);
  SysLibraryDetach();
  if (!saved) {
    std::fprintf(stderr, "velm sheet: %s\n", error.c_str());
    return 1;
  }
  std::printf("%s %u of %s: %d x %d pixels in %s\n", report.page ? "page" : "dialog", static_cast<unsigned>(options.page),
              velm::platform::Utf16ToUtf8(report.module).c_str(), report.width, report.height,
              options.output.string().c_str());
  return 0;
}

}  // namespace

// Runs a constraint query through the installed query library.
int Query(int argc, char** argv) {
  if (argc < 3 || std::string(argv[2]).starts_with("-")) return Usage();
  velm::tools::QueryOptions options;
  options.printer = argv[2];
  std::string input;
  for (int i = 3; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--values" && i + 1 < argc) {
      options.values.push_back(argv[++i]);
    } else if (arg == "--update" && i + 1 < argc) {
      options.update = argv[++i];
    } else if ((arg == "-" || !arg.starts_with("-")) && input.empty()) {
      input = arg;
    } else {
      return Usage();
    }
  }
  if (velm::platform::MachineRoot().empty()) {
    std::fprintf(stderr, "velm query: set VELM_ROOT to a machine root made by velm setup\n");
    return 2;
  }
  constexpr size_t kMaxInputBytes = 1 << 20;
  std::FILE* file = input.empty() || input == "-" ? stdin : std::fopen(input.c_str(), "rb");
  if (!file) {
    std::fprintf(stderr, "velm query: cannot open %s\n", input.c_str());
    return 1;
  }
  char buffer[65536];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof(buffer), file)) > 0 && options.text.size() <= kMaxInputBytes)
    options.text.append(buffer, got);
  const bool readError = std::ferror(file);
  if (file != stdin) std::fclose(file);
  if (readError || options.text.size() > kMaxInputBytes) {
    std::fprintf(stderr, "velm query: %s\n", readError ? "read error" : "the input is larger than 1 MiB");
    return 1;
  }
  std::string out;
  std::string error;
  const bool ran = velm::tools::RunQuery(options, &out, &error);
  std::fputs(out.c_str(), stdout);
  if (!ran) {
    std::fprintf(stderr, "velm query: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

// Prints the printer's answers to device-capability queries.
int Caps(int argc, char** argv) {
  velm::tools::CapsOptions options;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    WORD index = 0;
    if (arg == "--printer" && i + 1 < argc) {
      options.printer = velm::platform::Utf8ToUtf16(argv[++i]);
    } else if (velm::tools::ParseCapsIndex(arg, &index)) {
      options.indexes.push_back(index);
    } else {
      return Usage();
    }
  }
  if (velm::platform::MachineRoot().empty()) {
    std::fprintf(stderr, "velm caps: set VELM_ROOT to a machine root made by velm setup\n");
    return 2;
  }
  std::string out;
  std::string error;
  if (!velm::tools::RunCaps(options, &out, &error)) {
    std::fprintf(stderr, "velm caps: %s\n", error.c_str());
    return 1;
  }
  std::fputs(out.c_str(), stdout);
  return 0;
}

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string command = argv[1];
  if (command == "setup") return Setup(argc, argv);
  if (command == "dump") return Dump(argc, argv);
  if (command == "render") return Render(argc, argv);
  if (command == "print") return Print(argc, argv);
  if (command == "query") return Query(argc, argv);
  if (command == "sheet") return Sheet(argc, argv);
  if (command == "caps") return Caps(argc, argv);
  return Usage();
}
