// A command stream bound to a capturing output and a counting allocator, as the device state
// binds it, for the stream and record tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "gr2k/command_stream.h"
#include "gr2k/velm_records.h"
#include "job_decoder.h"

namespace velm::test {

// The output library's write function: keeps every byte and the size of every call; can refuse
// or shorten one call.
struct CapturedOutput {
  std::vector<uint8_t> bytes;
  std::vector<DWORD> calls;
  size_t failCall = SIZE_MAX;   // this call (0-based) answers FALSE
  size_t shortCall = SIZE_MAX;  // this call takes one byte less than offered

  static BOOL WINAPI Write(HANDLE output, LPVOID data, DWORD count, LPDWORD written) {
    auto* self = static_cast<CapturedOutput*>(output);
    const size_t call = self->calls.size();
    self->calls.push_back(count);
    if (call == self->failCall) {
      *written = 0;
      return FALSE;
    }
    const DWORD taken = call == self->shortCall && count ? count - 1 : count;
    const auto* at = static_cast<const uint8_t*>(data);
    self->bytes.insert(self->bytes.end(), at, at + taken);
    *written = taken;
    return TRUE;
  }
};

// The owner's allocation list: counts live blocks and sizes; allocations from the nth on can fail.
struct CountingAllocator {
  std::set<void*> live;
  std::vector<SIZE_T> sizes;
  size_t failFrom = SIZE_MAX;  // 0-based index of the first allocation that fails

  static void* Alloc(void* context, SIZE_T bytes) {
    auto* self = static_cast<CountingAllocator*>(context);
    const size_t index = self->sizes.size();
    self->sizes.push_back(bytes);
    if (index >= self->failFrom) return nullptr;
    void* block = ::operator new(bytes);
    self->live.insert(block);
    return block;
  }
  static void Free(void* context, void* block) {
    auto* self = static_cast<CountingAllocator*>(context);
    if (self->live.erase(block)) ::operator delete(block);
  }
  ~CountingAllocator() {
    for (void* block : live) ::operator delete(block);
  }
};

class StreamHarness {
 public:
  StreamHarness() : stream_(std::make_unique<CommandStream>()) {
    std::memset(stream_.get(), 0, sizeof(CommandStream));
    stream_->owner = {&allocator, &CountingAllocator::Alloc, &CountingAllocator::Free, &flags, &pageCounter, FALSE};
    stream_->outputModule = reinterpret_cast<HMODULE>(&output);  // any non-null module
    stream_->outputHandle = &output;
    stream_->writeCallback = &CapturedOutput::Write;
    StrmReset(stream_.get());
  }

  CommandStream* stream() { return stream_.get(); }

  // Flushes and decodes what was sent as records only (data packets concatenated).
  std::vector<jobdump::Record> FlushedRecords(std::string* error = nullptr) {
    StrmFlush(stream());
    std::vector<uint8_t> run;
    for (size_t at = 0; at + 8 <= output.bytes.size();) {
      const uint32_t length = output.bytes[at + 4] | (output.bytes[at + 5] << 8) | (output.bytes[at + 6] << 16) |
                              (uint32_t{output.bytes[at + 7]} << 24);
      if (output.bytes[at] == 0xF5) run.insert(run.end(), output.bytes.begin() + at + 8, output.bytes.begin() + at + 8 + length);
      at += 8 + length;
    }
    std::vector<jobdump::Record> records;
    std::string problem;
    if (!jobdump::DecodeRecords(run.data(), run.size(), &records, &problem) && error) *error = problem;
    return records;
  }

  // The bytes of the one record reserved from here on, as the stream holds them.
  static std::vector<uint8_t> Bytes(const BYTE* record, size_t n) { return std::vector<uint8_t>(record, record + n); }

  DWORD flags = 0;
  DWORD pageCounter = 1;
  CapturedOutput output;
  CountingAllocator allocator;

 private:
  std::unique_ptr<CommandStream> stream_;
};

inline constexpr RecordSettings kColourSettings{0, FALSE, 0, FALSE, TRUE, 2};

}  // namespace velm::test
