// The user code a job carries, from three places: the user's own entry (items 10002 in use and
// 10003 the code), the values a print server publishes in printer data, and a user-code provider
// library another product registers under HKEY_LOCAL_MACHINE
// "Software\QUIRN\qnucode\Providers", value "ProviderDLL" (REG_SZ, the library's path).
// Everything here runs only while the model's user-code switch is on.
//
// Printer data: "DllUserCodeUse" (1 byte: a provider code is in use), "ServerUse" (1 byte: the
// server publishes a user code), "UserCodeUse" (1 byte, item 10002), "UserCode" (up to 9 bytes
// ANSI, item 10003).
#pragma once

#include "win32.h"

struct UiContext;

// The user's own code, kept aside while a provider's code stands in items 10003 and 10273.
struct UcKept {
  BYTE providerInUse;  // 1: the items hold the provider's code
  WCHAR own[9];
};

// Provider results.
constexpr DWORD kUcProviderCode = 0;    // the provider handed out a code
constexpr DWORD kUcProviderNoCode = 1;  // the provider has no code for the client
constexpr DWORD kUcNoProvider = 2;      // none registered, or it could not be loaded, bound or asked

// Asks the registered provider for the client's code. With a code: the user's own code is put
// aside, items 10003 and 10273 take the provider's (cut to 8 characters) and item 10002 = 1; with
// none: item 10002 = 0. Either way the user code is then saved to "qndef.ini" unless the printer
// is a connection. The provider is closed and unloaded before the return; with no provider
// nothing changes.
DWORD UcQueryProvider(UiContext* ui);

// With the switch on: asks the provider; the mode bytes vdmUserCodeGet and vdmUserCodeDLL and the
// printer's "DllUserCodeUse" become 1 while a provider code is in use, else 0.
void UcInitOptionStates(UiContext* ui);

// With the switch on: a connection printer whose "ServerUse" is set takes items 10002 and 10003
// from "UserCodeUse" and "UserCode"; any other printer loads the user-code settings of
// "qndef.ini".
void UcLoadServerUserCode(UiContext* ui);

// With the switch on: saves the user code to "qndef.ini"; while a provider's code is in use that
// is the provider's code, and the user's own code is then put back into item 10003.
void UcStoreUserCode(UiContext* ui);
