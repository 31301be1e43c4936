// What a model description must hold before the driver can print with it: its version, the
// job-control template of every job point (with every command string and item command the
// templates write) and a default paper with a paper record. A description that lacks any of these is refused when it
// is compiled, so that the driver behaves as with no description rather than printing a job
// without its job-control lines.
#pragma once

#include "settings/description/parse_result.h"
#include "win32.h"

// The parts a description can lack, one bit each.
enum DescNeed : DWORD {
  kDescNeedVersion = 0x1,           // `*FileVersion`
  kDescNeedJobStart = 0x2,          // the template of a job point (absent or empty), by point:
  kDescNeedJobEnd = 0x4,            //   kDescNeedJobStart << (point - 1)
  kDescNeedPageStart = 0x8,
  kDescNeedPageEnd = 0x10,
  kDescNeedDocReset = 0x20,
  kDescNeedCommand = 0x40,          // a template writes a command string or item command the file lacks
  kDescNeedDefaultPaper = 0x80,     // the paper item's default entry with a paper record
};

// The parts `result` lacks; 0 when it has all of them.
DWORD DescMissingParts(const DescParseResult* result);

// The missing parts named for a reader ("version, PageStart template"), into `out` (`capacity`
// bytes with the NUL; cut short when it does not fit). The length written.
DWORD DescDescribeMissing(DWORD missing, char* out, DWORD capacity);

// Parses the description at `path` and gives the parts it lacks in *missing. FALSE (and
// *missing 0) when the file cannot be read or parsed at all.
BOOL DescCheckFile(LPCWSTR path, DWORD* missing);
