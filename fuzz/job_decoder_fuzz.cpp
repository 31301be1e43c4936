// Feeds arbitrary bytes to the job decoder, framed and as a pass-through job, prints what it read
// and draws its pages: damage must be refused or reported with a message, never crash or read
// out of bounds.
#include <cstddef>
#include <cstdint>
#include <string>

#include "job_decoder.h"
#include "job_render.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  velm::jobdump::Job job;
  std::string error;
  velm::jobdump::DecodeJob(data, size, {}, &job, &error);
  velm::jobdump::RenderJob(job);
  velm::jobrender::DrawJob(job);
  velm::jobdump::Options loose;
  loose.passThrough = true;
  loose.allowUnfinished = true;
  velm::jobdump::DecodeJob(data, size, loose, &job, &error);
  velm::jobdump::RenderJob(job);
  velm::jobrender::DrawJob(job);
  return 0;
}
