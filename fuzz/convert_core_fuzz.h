// The devmode conversion core under arbitrary input: byte 0 chooses the mode (CDM_CONVERT,
// CDM_CONVERT351, CDM_DRIVER_DEFAULT or another), bytes 1..2 the caller's byte count, bytes 3..4
// the output devmode's claimed dmSize and 5..6 its dmDriverExtra, the rest is the input devmode
// (zero-filled up to what its own size fields claim, as a caller's buffer holds them). The output
// buffer is exactly the caller's byte count long, so a read or write past it is caught. Shared by
// the fuzz target and the test that replays its corpus.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "ui2k/entry/devmode_convert.h"

namespace velm::fuzz {

inline std::string CheckConvertCore(const uint8_t* data, size_t size) {
  if (size < 7) return "";
  const DWORD modes[] = {CDM_CONVERT, CDM_CONVERT351, CDM_DRIVER_DEFAULT, 0, 8};
  const DWORD mode = modes[data[0] % 5];
  const LONG given = static_cast<LONG>(data[1] | (data[2] << 8)) % 4096;
  std::vector<uint8_t> in(data + 7, data + size);
  if (in.size() >= 72) {
    const size_t claimed = static_cast<size_t>(in[68] | (in[69] << 8)) + (in[70] | (in[71] << 8));
    if (claimed > in.size()) in.resize(claimed, 0);
  }
  const bool noInput = in.size() < 72;
  std::vector<uint8_t> out(static_cast<size_t>(given));
  if (out.size() >= 72) {
    out[68] = data[3], out[69] = data[4];
    out[70] = data[5], out[71] = data[6];
  }
  LONG needed = given;
  const int result = DmConvertCore(u"Velm Printer", noInput ? nullptr : reinterpret_cast<const DEVMODEW*>(in.data()),
                                   out.empty() ? nullptr : reinterpret_cast<DEVMODEW*>(out.data()), &needed, mode);
  if (result < 0 || result > 2) return "a result other than 0, 1 or 2";
  if (result == kConvertDone && needed > given) return "done with more bytes than the caller gave";
  if (result == kConvertFailed && needed != given && needed != kConvert351Needed && needed != kConvertDefaultNeeded)
    return "a failure that reports a size of its own making";
  return "";
}

}  // namespace velm::fuzz
