// The interface library's side of the job-credential service: the eight credential items kept in
// step between the option store, the service (through the settings library's JcDispatch) and
// the printer's data, where each item has a name of its own (data/job_credential_names.txt,
// generated into "data/job_credential_names.h"). The passwords (kinds 3 and 8) have none:
// printer data is the printer's, readable by every user of it, so they stay in the devmode and
// the service. Masks are the service's (settings/services/job_credentials.h).
#pragma once

#include "win32.h"

struct UiContext;

// Masks the entry points use.
constexpr DWORD kJcBridgeMaskUserCode = 0x1;
constexpr DWORD kJcBridgeMaskSheet = 0x9E;       // owner, job password, user id, document name, stored password
constexpr DWORD kJcBridgeMaskIdentity = 0x700;   // signature, version text, language (interface 258 on)

// The option item of a credential kind: 0 and *item set, or 0x20000001 for any other kind.
DWORD JcBridgeItemOfKind(DWORD kind, WORD* item);

// Dispatcher calls: load the service and open a session; close and unload; read, write, and
// clear-then-write the masked items. The dispatcher's status (0: done).
DWORD JcBridgeOpen(UiContext* ui);
void JcBridgeClose(UiContext* ui);
DWORD JcBridgeReadOptions(UiContext* ui, DWORD mask);
DWORD JcBridgeWriteOptions(UiContext* ui, DWORD mask);
DWORD JcBridgeWriteTableOptions(UiContext* ui, DWORD mask);

// The masked items that have a printer-data name re-read from it (a value that is absent leaves
// its item as it was) or written to it. TRUE when every read or write succeeded.
BOOL JcBridgeRefreshOptions(UiContext* ui, DWORD mask);
BOOL JcBridgeStoreOptions(UiContext* ui, DWORD mask);
// The masked items emptied through the item store (item 244 takes its default).
void JcBridgeClearOptions(UiContext* ui, DWORD mask);
// One item re-read from its printer-data name: TRUE when read; FALSE for a kind without a name
// (the passwords, unknown kinds) or a value that is absent or does not fit.
BOOL JcBridgeReadOptionFileAlt(UiContext* ui, DWORD kind);

// Tells the service of an event (velm::jobcr::kNotify…) when a session is open: the service's
// answer, else 0.
DWORD JcBridgeNotify(UiContext* ui, DWORD code);
// Sends the display language (item 177) as the 8-byte language record with code 1: the
// service's answer; 0 without a session; ERROR_NOT_FOUND when item 177 names no language.
DWORD JcBridgeSendLanguage(UiContext* ui);
// The language record of `language` (a value of the language table) into `record` (8 bytes):
// FALSE when the table has no such language.
BOOL JcBridgeLanguageRecord(WORD language, BYTE* record);

// At installation and load: opens a session on the printer's name unless one is open. When that
// fails the service's one-shot refresh runs, and a user code in force (item 10002 set, item
// 10003 not empty) becomes item 216 and is written as kind 1. Then the items of mask 0x700 are
// written. Without a session those writes do nothing.
void JcBridgeSync(UiContext* ui);
