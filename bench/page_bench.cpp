// Printed pages as a user gets them: each iteration runs `velm print` as a process of its own
// (set-up, context opens, the print host, the driver and the job file all counted), so the
// figures include every fixed cost a process pays. Measured: wall time per job and the job
// process's peak resident memory (counter peak_MB, the largest over the iterations) and its
// processor time, user and system (counter cpu_ms, the mean), which a busy machine disturbs less.
//
// Cases: a raster page holding one full-page 24-bit image copied at its size, the same page
// from a 1240 x 1754 image stretched over it, images of 1/4, 1/2 and the whole page area (time
// should grow with the area), ten full-image pages (peak memory should be that of one), and the
// built-in test page after 1 and after 1,000 earlier jobs on the printer.
//
// VELM_BENCH_BASELINE=/path/to/other/bin/velm adds the same cases run with that program on a
// machine root it sets up itself, so an older build can be measured in the same run.
// See bench/README.md for the figures and the peer's.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Outcome {
  double seconds = 0;
  double peakMb = 0;
  double cpuMs = 0;
  bool ok = false;
};

// Runs the program with VELM_ROOT set to root; its wall time and peak resident memory.
Outcome Run(const std::vector<std::string>& args, const fs::path& root) {
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (std::string_view(*e).substr(0, 10) != "VELM_ROOT=") env.emplace_back(*e);
  env.push_back("VELM_ROOT=" + root.string());
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  Outcome outcome;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return outcome;
  }
  int status = 0;
  rusage usage{};
  while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  outcome.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
  const auto ms = [](const timeval& t) { return t.tv_sec * 1e3 + t.tv_usec / 1e3; };
  outcome.cpuMs = ms(usage.ru_utime) + ms(usage.ru_stime);
  outcome.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  posix_spawn_file_actions_destroy(&actions);
  return outcome;
}

// A machine root set up by one velm program, with the page files the cases print.
struct Machine {
  std::string velm;
  fs::path root;
  fs::path folder;

  explicit Machine(std::string program) : velm(std::move(program)) {
    std::string pattern = (fs::temp_directory_path() / "velm-page-bench-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) std::abort();
    folder = pattern;
    root = folder / "root";
    if (!Run({velm, "setup", root.string()}, folder).ok) {
      std::fprintf(stderr, "%s setup failed\n", velm.c_str());
      std::abort();
    }
  }
  ~Machine() {
    std::error_code ec;
    fs::remove_all(folder, ec);
  }

  fs::path PageFile(const std::string& name, const std::string& text) const {
    const fs::path file = folder / name;
    if (!fs::exists(file)) std::ofstream(file) << text;
    return file;
  }

  Outcome Print(const std::vector<std::string>& options) const {
    std::vector<std::string> args{velm, "print"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back("-o");
    args.push_back((folder / "job.bin").string());
    return Run(args, root);
  }
};

std::map<std::string, Machine*>& Machines() {
  static std::map<std::string, Machine*> machines;
  return machines;
}

// The machine of a program; `purpose` names a machine of its own (a printer with a history).
Machine& MachineOf(const std::string& velm, const std::string& purpose = {}) {
  Machine*& machine = Machines()[velm + "\n" + purpose];
  if (!machine) machine = new Machine(velm);
  return *machine;
}

// The printable area of A4 at 600 dpi that the driver's geometry leaves.
constexpr int kPageWidth = 4760, kPageHeight = 6816;

std::string Image(int width, int height, int sourceWidth, int sourceHeight) {
  return "image 0 0 " + std::to_string(width) + " " + std::to_string(height) + " " + std::to_string(sourceWidth) +
         " " + std::to_string(sourceHeight) + " bpp=24 fill=gradient\n";
}

void Report(benchmark::State& state, const std::vector<Outcome>& outcomes) {
  double peak = 0, cpu = 0;
  for (const Outcome& o : outcomes) {
    peak = std::max(peak, o.peakMb);
    cpu += o.cpuMs;
  }
  state.counters["peak_MB"] = peak;
  state.counters["cpu_ms"] = outcomes.empty() ? 0 : cpu / static_cast<double>(outcomes.size());
}

// Prints `options` once per iteration on the machine.
void PrintJob(benchmark::State& state, const Machine& machine, const std::vector<std::string>& options) {
  std::vector<Outcome> outcomes;
  for (auto _ : state) {
    const Outcome outcome = machine.Print(options);
    if (!outcome.ok) {
      state.SkipWithError("velm print failed");
      return;
    }
    state.SetIterationTime(outcome.seconds);
    outcomes.push_back(outcome);
  }
  Report(state, outcomes);
}

std::vector<std::string> RasterPages(const Machine& machine, const std::string& name, const std::string& text) {
  return {"--set", "vdmRasterMode=1", machine.PageFile(name, text).string()};
}

void FullPageImage(benchmark::State& state, const std::string& velm) {
  const Machine& machine = MachineOf(velm);
  PrintJob(state, machine, RasterPages(machine, "full.txt", Image(kPageWidth, kPageHeight, kPageWidth, kPageHeight)));
}

void StretchedImage(benchmark::State& state, const std::string& velm) {
  const Machine& machine = MachineOf(velm);
  PrintJob(state, machine, RasterPages(machine, "stretched.txt", Image(kPageWidth, kPageHeight, 1240, 1754)));
}

// A copied image of state.range(0) quarters of the page's area (same aspect).
void ImageArea(benchmark::State& state, const std::string& velm) {
  const Machine& machine = MachineOf(velm);
  const double side = std::sqrt(static_cast<double>(state.range(0)) / 4.0);
  const int w = static_cast<int>(kPageWidth * side), h = static_cast<int>(kPageHeight * side);
  PrintJob(state, machine,
           RasterPages(machine, "area" + std::to_string(state.range(0)) + ".txt", Image(w, h, w, h)));
}

void TenImagePages(benchmark::State& state, const std::string& velm) {
  const Machine& machine = MachineOf(velm);
  std::string text;
  for (int page = 0; page < 10; ++page) text += (page ? "page\n" : "") + Image(kPageWidth, kPageHeight, kPageWidth, kPageHeight);
  PrintJob(state, machine, RasterPages(machine, "ten.txt", text));
}

void TestPage(benchmark::State& state, const std::string& velm) { PrintJob(state, MachineOf(velm), {}); }

// The test page on a printer that printed state.range(0) jobs before (made outside the timing,
// once per program).
void TestPageAfterJobs(benchmark::State& state, const std::string& velm) {
  static std::map<std::string, int64_t> printed;
  const Machine& machine = MachineOf(velm);
  for (int64_t& done = printed[velm]; done < state.range(0); ++done) {
    if (!machine.Print({}).ok) {
      state.SkipWithError("velm print failed");
      return;
    }
  }
  PrintJob(state, machine, {});
}

void Register(const std::string& prefix, const std::string& velm) {
  const auto add = [&](const std::string& name, void (*run)(benchmark::State&, const std::string&)) {
    return benchmark::RegisterBenchmark((prefix + name).c_str(), run, velm)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  };
  add("RasterFullPageImage", FullPageImage)->Iterations(5);
  add("RasterStretchedImage", StretchedImage)->Iterations(5);
  add("RasterImageArea", ImageArea)->Arg(1)->Arg(2)->Arg(4)->Iterations(3);
  add("RasterTenImagePages", TenImagePages)->Iterations(2);
  add("TestPage", TestPage)->Iterations(30);
  add("TestPageAfterJobs", TestPageAfterJobs)->Arg(1)->Arg(1000)->Iterations(30);
}

}  // namespace

int main(int argc, char** argv) {
  Register("", VELM_PROGRAM);
  if (const char* baseline = std::getenv("VELM_BENCH_BASELINE")) Register("baseline/", baseline);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  for (auto& [velm, machine] : Machines()) delete machine;
  return 0;
}
