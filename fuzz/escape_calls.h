// Escapes as an application may send them, from arbitrary bytes. An input is a run of DrvEscape
// calls, each {u8 escape choice, u8 output bytes, u8 input bytes n, n input bytes} (a cut tail
// is sent as far as it goes). The calls go to page 1 of a locked job whose page 2 follows a
// device reset, so that the job settings they store reach the PJL of the continued job. The
// job must print and decode, every answer must be one an escape gives, and every PJL line must
// stay one line: "@PJL" at its start, no control bytes, its double quotes paired.
// Shared by the fuzz target and the test that replays its corpus.
#pragma once

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "eng/print_host.h"
#include "job_decoder.h"
#include "print_command.h"
#include "spool/spool_store.h"

namespace velm::fuzz {

// The escapes the driver answers, two it does not, and 0.
constexpr uint32_t kFuzzEscapes[] = {8,   17,  19,  20,  42,  111, 112, 113, 114, 115, 116, 117, 118,
                                     119, 120, 121, 122, 123, 124, 125, 126, 140, 141, 0,   4096};
// A locked job on a small page in raster mode, where a device reset carries the job settings:
// its job-start lines carry the user id and the password.
const std::vector<tools::ItemAssignment> kEscapeJobItems = {
    {"6", "0"}, {"47", "400"}, {"46", "300"}, {"222", "1"}, {"vdmRasterMode", "1"}};

// The page description of the calls in `data`.
inline std::string EscapePages(const uint8_t* data, size_t size) {
  std::string pages;
  size_t at = 0;
  while (at + 3 <= size) {
    const uint32_t escape = kFuzzEscapes[data[at] % (sizeof kFuzzEscapes / sizeof kFuzzEscapes[0])];
    const unsigned out = data[at + 1];
    size_t n = data[at + 2];
    at += 3;
    if (n > size - at) n = size - at;
    std::string hex;
    char digits[3];
    for (size_t i = 0; i < n; ++i) {
      std::snprintf(digits, sizeof digits, "%02X", data[at + i]);
      hex += digits;
    }
    at += n;
    pages += "escape " + std::to_string(escape) + (hex.empty() ? "" : " " + hex) + " out=" + std::to_string(out) +
             "\n";
  }
  return pages + "fill 0 0 5 5 red\nreset\npage\nfill 0 0 5 5 blue\n";
}

// "" when a PJL text's lines are whole lines, else the first line that is not.
inline std::string BrokenPjlLine(const std::string& text) {
  constexpr char kUel[] = "\x1b%-12345X";
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind(kUel, 0) == 0) line.erase(0, sizeof kUel - 1);
    if (line.empty()) continue;
    size_t quotes = 0;
    bool control = false;
    for (unsigned char c : line) {
      quotes += c == '"';
      control = control || c < 0x20;
    }
    if (line.rfind("@PJL", 0) != 0 || control || quotes % 2) return line;
  }
  return {};
}

// "" when the job of the calls in `data` is sound, else what is wrong with it.
inline std::string CheckEscapeJob(HANDLE printer, const uint8_t* data, size_t size) {
  platform::PrintJob job;
  std::string error;
  if (!tools::BuildJobDevmode(printer, kEscapeJobItems, &job.devmode, &error)) return "no devmode: " + error;
  job.printer = printer;
  job.pages = EscapePages(data, size);
  const platform::PrintResult result = platform::RunPrintJob(job);
  if (!result.ok) return "the job failed: " + result.message;
  for (const std::string& call : result.calls) {
    if (call.rfind("DrvEscape ", 0) != 0) continue;
    const size_t arrow = call.find(" -> ");
    const long answer = std::strtol(call.c_str() + arrow + 4, nullptr, 10);
    if (answer != 0 && answer != 1 && answer != -1 && answer != 999) return "an answer out of its set: " + call;
  }
  std::ifstream in(platform::SpoolJobFile(result.spoolJob), std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  const std::string jobBytes = bytes.str();
  jobdump::Job decoded;
  if (!jobdump::DecodeJob(reinterpret_cast<const uint8_t*>(jobBytes.data()), jobBytes.size(), {}, &decoded, &error))
    return "the job does not decode: " + error;
  for (const jobdump::Packet& packet : decoded.packets) {
    if (packet.type == 0 || packet.text.find("@PJL") == std::string::npos) continue;  // raw runs, binary bodies
    const std::string broken = BrokenPjlLine(packet.text);
    if (!broken.empty()) return "a PJL line broken by escape text: " + broken;
  }
  return {};
}

}  // namespace velm::fuzz
