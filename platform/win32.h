// The one header through which driver code reaches the system. On Windows it is the system's
// own headers; here it is the stand-in's. Both give the Win32 names, WCHAR, and:
//   WSTR("text")  a wide string literal (L"text" on Windows, u"text" here)
//   WCH('c')      a wide character literal
//   WString, WStringView  wide text in the standard library's terms
//   DRIVER_EXPORT  what a library's exported function is declared with (extern "C", and visible
//                 to the version script here; the .def file names the exports on Windows)
#pragma once

#ifdef _WIN32

#include <windows.h>
#include <winspool.h>
#include <winddi.h>
#include <icm.h>
#include <prsht.h>
#include <compstui.h>
#include <commdlg.h>
#include <shlobj.h>
#include <winddiui.h>
#include <winsplp.h>
#ifdef __MINGW32__
#include <winddiui_wdk.h>
#endif
#define STRSAFE_NO_DEPRECATE
#include <strsafe.h>

#define WSTR(text) L##text
#define WCH(c) L##c
#define DRIVER_EXPORT extern "C"

#else

#include "core/wintypes.h"
#include "core/winerror.h"
#include "core/devmode.h"
#include "core/handles.h"
#include "core/memory.h"
#include "core/strings.h"
#include "core/codepage.h"
#include "core/files.h"
#include "core/profile.h"
#include "core/registry.h"
#include "core/modules.h"
#include "core/resources.h"
#include "core/sync.h"
#include "core/system.h"
#include "spool/winspool.h"
#include "eng/winddi.h"
#include "ui/winuser.h"
#include "ui/controls.h"
#include "ui/wingdi.h"
#include "ui/prsht.h"
#include "ui/compstui.h"
#include "ui/commdlg.h"
#include "ui/controls.h"  // the standard controls' styles and messages, as windows.h has them
#include "spool/winddiui.h"

#define WSTR(text) u##text
#define WCH(c) u##c
#define DRIVER_EXPORT extern "C" __attribute__((visibility("default")))

#endif

#include <string>
#include <string_view>

using WString = std::basic_string<WCHAR>;
using WStringView = std::basic_string_view<WCHAR>;
