// Loading model descriptions: the process-wide list of loaded descriptions, the cache file
// beside each description file, and compiling when the cache cannot be used.
//
// A description is loaded once per process for each description file (keyed by its full path,
// compared without case) and shared by every context until the library is unloaded. Reading the
// cache file and compiling run under the global settings mutex, so one process at a time builds
// a cache file; the file is written to a temporary file and renamed, so a reader never sees half
// of one. A description already in the list is handed out without taking the mutex.
//
// The cache file (the description's path with the extension of its file name replaced by
// "BCS") is used only when it passes every check: it is not older than the description, its
// size is the block's, its stamp names this build's symbol tables and the description's current
// size and last-write time, its checksum holds, every link lies inside it, and its version text
// (the description's `*FileVersion`, as the stamp ties the block to the file) equals the model
// defaults' description version.
// A cache file that fails is deleted and the description compiled again. A description whose
// version differs from the model defaults' is compiled on every first load and never cached.
// Failing to write the cache file leaves the compiled description in use.
#pragma once

#include "settings/description/image.h"
#include "settings/context/driver_context.h"
#include "win32.h"

// DescLoad and DescRelease, the context's open and close steps, are declared in
// context/open_steps.h: the description named by the printer driver's data file.

// Where a description came from.
enum class DescOrigin : int {
  kNone,         // nothing could be loaded
  kProcessList,  // loaded before in this process
  kCacheFile,
  kCompiled,
};

// The description of the file at `path` (a Windows path): from the process list, else from its
// cache file, else compiled, and then kept in the list. `context` supplies the model defaults
// and whether its caller holds the settings mutex already (kind flag 0x100); null means the
// static defaults and taking the mutex. The description belongs to the process: nothing writes
// through it. Null when the file cannot be read or memory runs out.
ModelDescription* DescLoadFile(LPCWSTR path, const DriverContext* context, DescOrigin* origin = nullptr);

// Parses and compiles the description at `path` and, when `mayWrite` and the image's version
// equals the model defaults' description version, writes its cache file. Not kept in the list;
// the caller frees it with DescFreeImage. Null when the file cannot be read or parsed, when
// memory ran out for any of its statements, or when it lacks what a job needs
// (description/completeness.h; the last error is then ERROR_INVALID_DATA).
ModelDescription* DescCompile(const DriverContext* context, LPCWSTR path, BOOL mayWrite);

// The cache file's path into `buffer` (capacity in characters): `path` with everything after the
// last '.' of its file name replaced by "BCS", or with ".BCS" appended when the name has no
// '.'. A '.' in a folder name is left alone. FALSE (and "") when the result does not fit.
BOOL DescCacheFileName(LPCWSTR path, LPWSTR buffer, DWORD capacity);

// Frees every loaded description and empties the list: the library's process detach.
void DescFreeAll();
// How many descriptions the process holds.
DWORD DescLoadedCount();
