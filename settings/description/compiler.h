// The description compiler: a parse result turned into the block of description/image.h.
//
// References between statements are numbers in the parse result; here each becomes a link to the
// element it names (the first statement of that kind with that number). A reference that names
// nothing is added to the result's issues (line 0) and handled so that it can do no harm:
//   - a rule (`*Transact` entry) whose Judge names nothing is dropped, so that it never fires
//     unconditionally; `NULL` stays a rule that always fires;
//   - a job-control template whose Judge names nothing is dropped whole, as the parser does with
//     one whose Judge name is unknown;
//   - any other reference (a disabled or hidden program, a set, an action list) links nothing.
// An `*Exclusive` entry of an unknown item gives no conditions block.
#pragma once

#include "settings/description/image.h"
#include "settings/description/parse_result.h"
#include "win32.h"

// What the stamp records of the description file: a cache file is used only while these agree.
struct DescSourceStamp {
  ULONGLONG size;
  ULONGLONG lastWrite;  // FILETIME as one number
};

// Compiles `result` into a new description whose block carries `source` in its stamp, the
// symbol-table hash of this build and the block's checksum. Null when memory runs out or the
// block would pass kDescMaxImageBytes. Free it with DescFreeImage.
ModelDescription* DescBuildImage(DescParseResult* result, const DescSourceStamp& source);

// A description over `bytes` (a GlobalAlloc'ed block of `size` bytes, which it takes over), or
// null (the block then freed) when memory runs out.
ModelDescription* DescAdoptImage(BYTE* bytes, DWORD size);
// Frees a description and its block. Null is ignored.
void DescFreeImage(ModelDescription* description);
