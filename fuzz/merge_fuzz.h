// The devmode merge under arbitrary input: the first four bytes are the merge flags
// (little-endian), the rest is the devmode handed to the merge, exactly as many bytes as there
// are. Shared by the fuzz target and the test that replays its corpus.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "settings/devmode/merge.h"
#include "settings/devmode/record_build.h"
#include "settings/items/settings_record.h"

namespace velm::fuzz {

// Puts `start` back as the context's record, merges one input into it and checks what every
// merge must leave: an answer of 1, a record that is this driver's own, this layout's frame and
// section bases, and the environment bytes the record keeps. "" when all held, else what broke.
inline std::string CheckMerge(DriverContext* context, const SettingsRecord& start, const uint8_t* data, size_t size) {
  if (size < 4) return {};
  *context->settings = start;
  DWORD flags = 0;
  std::memcpy(&flags, data, 4);
  // A block of exactly the devmode's size, so that a read past its end leaves the block.
  const std::vector<BYTE> devmode(data + 4, data + size);
  const auto* incoming = devmode.empty() ? nullptr : reinterpret_cast<const DEVMODEW*>(devmode.data());
  if (DmMergeBytes(context, incoming, devmode.size(), flags) != 1) return "the merge failed";
  const PrivateDevmode& record = context->settings->devmode;
  if (!DmHasOwnPrivatePart(&record)) return "the record is no longer this driver's own";
  if (DmLoadU16(record.bytes, kDmOffSize) != kDmPublicSize || DmLoadU16(record.bytes, kDmOffDriverExtra) != kDmPrivateSize)
    return "the record's sizes changed";
  if (DmLoadU16(record.bytes, kDmOffSectionBase) != 0 || DmLoadU16(record.bytes, kDmOffSectionBase + 2) != kDmSize ||
      DmLoadU16(record.bytes, kDmOffSectionBase + 4) != kDmSize + kDmConfigSize)
    return "a section base came from outside";
  for (size_t at : {1241, 1242, 1243, 1244, 1245, 1246, 1253, 1255, 1256}) {
    if (record.bytes[at] != start.devmode.bytes[at]) return "environment byte " + std::to_string(at) + " was replaced";
  }
  return {};
}

}  // namespace velm::fuzz
