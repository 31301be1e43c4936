// The output library: the outside component through which every byte of a job leaves. It is
// loaded from the driver's folder for each document and its entry points are looked up by name
// when they are called; a missing one is skipped, and without "DrvSplWritePrinter" every write
// is dropped and counts as done.
#pragma once

#include "win32.h"

struct RenderPdev;

// Entry points, in the standard calling convention of exports. The start of a document answers
// the 32-bit output handle every later call gets.
using OutStartDocFn = DWORD(WINAPI*)(HANDLE printer, DWORD jobId);
using OutHandleFn = void(WINAPI*)(HANDLE output);
constexpr char kOutWritePrinter[] = "DrvSplWritePrinter";
constexpr char kOutStartDocEx[] = "DrvSplStartDocEx";
constexpr char kOutStartDoc[] = "DrvSplStartDoc";
constexpr char kOutStartPage[] = "DrvSplStartPage";
constexpr char kOutEndPage[] = "DrvSplEndPage";
constexpr char kOutEndDoc[] = "DrvSplEndDoc";
constexpr char kOutClose[] = "DrvSplClose";

constexpr DWORD kOutMaxDriverPathChars = 240;

// The output library's path: the folder of the printer's driver (its DRIVER_INFO_2 path, at
// most 240 characters, up to the last backslash), a backslash and the model's output library
// name. The folder is added to PATH (once) so that the library finds its own dependencies.
// FALSE when the driver path cannot be had or is too long, or the model names no library.
BOOL OutBuildLibraryPath(RenderPdev* pdev, WCHAR* path, DWORD capacity);

// Loads the library, binds its write function into the PDEV's stream and starts the document
// (DrvSplStartDocEx, else DrvSplStartDoc, with the printer handle and job id). FALSE when the
// library cannot be found or loaded.
BOOL OutBind(RenderPdev* pdev);
// Calls one of the entry points that take the output handle, when the library has it.
void OutCall(RenderPdev* pdev, const char* entry);
// Ends the document in the library (DrvSplEndDoc, DrvSplClose) and unloads it; the module
// handle stays when FreeLibrary fails. Nothing when no library is bound.
void OutRelease(RenderPdev* pdev);
