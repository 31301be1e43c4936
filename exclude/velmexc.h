/* The application interface of the constraint-query library "velmexc.dll": what a program
 * that loads the library (LoadLibrary, then GetProcAddress by these names) may call.
 *
 * Printer names are ANSI text in the process code page. Every type crossing the interface has
 * a fixed width, except the context handle and the capability results, which are as wide as a
 * pointer. On 32-bit Windows the functions are stdcall; a 64-bit build has one convention. */
#ifndef VELMEXC_H
#define VELMEXC_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* An application context: one printer's settings, from VELMDrvEnable until VELMDrvDisable.
 * Opaque; one thread at a time may use it. */
typedef struct VelmApiContextTag* VELMAPICONTEXT;

/* Modes of VELMDrvGetDevmode. */
#define VELMAPI_DEVMODE_CURRENT 1         /* the printer's current settings */
#define VELMAPI_DEVMODE_DEFAULTS 2        /* the driver's defaults for the printer */
#define VELMAPI_DEVMODE_REDERIVED 4       /* the context's settings with the derived items redone */
#define VELMAPI_DEVMODE_BIDI 0x10         /* with 1 or 2: ask the device for its options first */

/* The interface level the machine grants: the key "VELMAPIVer" of section "VELMAPI" in the
 * settings INI, 3 when it is not set. 0 for a null or empty printer name (the kept level is
 * then left alone). The printer name is not otherwise looked at. */
int32_t VELMDrvCheckAPIVer(const char* printerName);

/* Opens an application context on the printer; null when the name is null, empty, longer than
 * 260 characters, or names no printer (the last error says why). No printer handle stays
 * open: each call that needs the printer opens it by name and closes it again. */
VELMAPICONTEXT VELMDrvEnable(const char* printerName);

/* Closes a context (null is accepted). Always 1. */
int32_t VELMDrvDisable(VELMAPICONTEXT context);

/* Builds the devmode of `mode` (1 or 17, 2 or 18, 4) in the context and copies it into
 * `devmode` when that is not null; the buffer must hold the size returned, so a caller asks
 * with a null buffer first. Returns the devmode size (1260), or -1 for a null context, an
 * unknown mode, a printer that can no longer be opened, a failed rebuild, or Windows 9x (whose
 * devmode layout the library does not build). The work is done even when the buffer is null:
 * the context keeps the settings it built. Job credentials that the credential service cannot
 * give are left as the settings had them. */
int32_t VELMDrvGetDevmode(VELMAPICONTEXT context, uint32_t mode, void* devmode);

/* ---- Status records -------------------------------------------------------------------------
 * A status record is a caller's buffer for one of the 35 status rows: a u32 record version
 * first, then the row's values in its own layout (32 bytes for most rows; 816 for row 1, 392 for
 * rows 10 and 26, 412 or 372 for row 16 in versions 2 and 1). Text fields are ANSI, each ending
 * with a NUL within its width: a field without one is refused. */

/* Fills `record` with row `row` (1..35) in `callerVersion` (0: the row's own; an older version
 * fills that version's layout). The record size (the size alone for a null record), or -1 for a
 * null context, an unknown row, a version newer than the row's, or a printer that cannot be
 * opened. */
int32_t VELMDrvGetStatus(VELMAPICONTEXT context, uint32_t row, void* record, uint32_t callerVersion);

/* Changes the settings of row `row` to the record's values. `bitmap` (32 bytes, or null) receives
 * the other rows the change disturbed: row r is bit 0x80 >> ((r - 1) & 7) of byte (r - 1) >> 3.
 * `mode` 1: the row's version is answered when the record is newer; 2: a newer record is not
 * set and the row's version answered; other modes set it and answer the row's version.
 * 0 done, the row's version, or -1: refused by the row's lock, its checks or the constraints,
 * with every setting, stored file and credential as before the call and the bitmap zero. */
int32_t VELMDrvSetStatus(VELMAPICONTEXT context, uint32_t row, const void* record, void* bitmap, uint32_t mode);

/* ---- Capability records ---------------------------------------------------------------------
 * What a program may put into the status records. VELMDrvGetCaps(context, capability, buffer):
 *   0           the supported-status-row bitmap (32 bytes, bits as VELMDrvSetStatus's) into
 *               `buffer` when it is not null; 32
 *   1..56       the capability row: a count of entries written into `buffer` (a null buffer asks
 *               for the count alone, so that the caller can size it), a switch 0/1, a value, or
 *               -1. Id lists are u32 entries; name lists 24-byte (source trays) or 64-byte ANSI
 *               entries, each NUL-terminated; rows 13, 14, 20 and 21 write two u16 into a 4-byte
 *               buffer and answer them packed as second << 16 | first
 *   0x80000001  the all-capabilities record (below), or 0
 *   0x80000002  gives back the record passed as `buffer` (null accepted); 1
 * -1 for a null context; 0 for any other capability.
 *
 * The all-capabilities record: 316 bytes, little-endian, in one block that also holds every list
 * it names. Each list field holds the list's byte offset from the record's start (0: no list),
 * so that the layout is the same for 32-bit and 64-bit programs; a list is at
 * (const uint8_t*)record + offset. Offset 0: the bitmap's offset (32 bytes). A "pair" is a u32
 * count followed by a list offset; the other fields are a row's u32 result or two u16.
 *   4 row 1 | 8 ids, 16 names (24 bytes): source trays | 24 ids, 32 names: media types |
 *   40 ids, 48 names: output trays | 56 row 8 | 60 row 9 | 64 ids, 72 names, 80 sizes (u32
 *   width, length in 0.1 mm): papers | 88 u16 largest custom width, length | 92 u16 smallest |
 *   96 ids, 104 names: output papers | 112 row 17 | 116 job types | 124 row 19 |
 *   128 u16 largest scale across, along | 132 u16 smallest | 136..144 rows 22..24 |
 *   148..164 rows 25..29 | 168 watermark kinds | 176 row 31 | 180 watermark numbers |
 *   188 watermark names | 196..212 rows 34..38 | 216, 224, 232 sort, staple, punch values |
 *   240..248 rows 42..44 | 252 emulations | 260 row 46 | 264 print areas | 272..292 rows 48..53 |
 *   296 resolution ids | 304 row 55 | 308 mark-paper values. */
intptr_t VELMDrvGetCaps(VELMAPICONTEXT context, uint32_t capability, void* buffer);

/* The same functions as GetProcAddress hands them out. */
typedef int32_t (*VELMDrvCheckAPIVerProc)(const char* printerName);
typedef VELMAPICONTEXT (*VELMDrvEnableProc)(const char* printerName);
typedef int32_t (*VELMDrvDisableProc)(VELMAPICONTEXT context);
typedef int32_t (*VELMDrvGetDevmodeProc)(VELMAPICONTEXT context, uint32_t mode, void* devmode);
typedef int32_t (*VELMDrvGetStatusProc)(VELMAPICONTEXT context, uint32_t row, void* record, uint32_t callerVersion);
typedef intptr_t (*VELMDrvGetCapsProc)(VELMAPICONTEXT context, uint32_t capability, void* buffer);
typedef int32_t (*VELMDrvSetStatusProc)(VELMAPICONTEXT context, uint32_t row, const void* record, void* bitmap,
                                        uint32_t mode);

/* ---- The constraint-query interface --------------------------------------------------------
 * Which "@PJL SET" settings the driver accepts for a printer and what it changes in consequence.
 * Text is ANSI in the process code page. Results: 0 done; 1 the buffer is too small (the needed
 * size, counting every NUL, goes to the size pointer) or, for the command functions, a change
 * list is waiting; -1 a null session or a failure; -2 no data. Every size pointer may be null. */

/* A query session: one printer's settings, from ExcGetExclusive until ExcFreeExclusive. Opaque;
 * one thread at a time may use it. */
typedef struct ExcSession* EXCSESSION;

/* The path of the printer's settings INI: the per-user settings folder on a terminal server,
 * else the shared one. Needed size = length + 1 (0 for an empty path). -1 when the printer cannot
 * be opened or the path cannot be built. */
int32_t ExcGetIniFileName(const char* printerName, uint32_t size, char* buffer, uint32_t* needed);

/* The printer's current devmode in the ANSI layout (1196 bytes). The needed size is reported
 * first, whatever follows; a null or short buffer gives 1, a mode other than 1 gives -1. */
int32_t ExcGetDriverDevmode(const char* printerName, int32_t mode, uint32_t size, void* buffer, uint32_t* needed);

/* Opens a session on the printer; null when it cannot be opened. */
EXCSESSION ExcGetExclusive(const char* printerName);
/* Ends a session; null is ignored. */
void ExcFreeExclusive(EXCSESSION session);

/* The acceptable values of a printer-option command, each NUL-terminated, then one more NUL.
 * 0 with size 0 when the command is unknown or accepts nothing. */
int32_t ExcGetPrinterOption(EXCSESSION session, const char* command, uint32_t size, char* buffer, uint32_t* needed);
/* The current value of a printer-value command as text with its NUL; size 0 when there is
 * nothing to report. The text is written only when it fits. */
int32_t ExcGetPrinterValue(EXCSESSION session, const char* command, uint32_t size, char* buffer, uint32_t* needed);
/* The "@PJL SET" lines of every stored watermark of a kind: 0 text, any other value image. */
int32_t ExcGetWaterMarkList(EXCSESSION session, int32_t kind, uint32_t size, char* buffer, uint32_t* needed);

/* Applies a block of "@PJL SET" lines to the printer's stored settings as the session's base.
 * 0 nothing changed; 1 the driver changed lines of the base (the change list's size reported);
 * -1 a malformed line or a failure; -2 a null or empty block, or one without the paper size,
 * orientation, output paper or tray. */
int32_t ExcSetCommandBase(EXCSESSION session, const char* block, uint32_t* changeSize);
/* The base as the driver now holds it. */
int32_t ExcGetCommandBase(EXCSESSION session, uint32_t size, char* buffer, uint32_t* needed);
/* Applies one "@PJL SET" line over the base. 0 nothing to report (also a null line or an
 * unknown or unavailable command); 1 a change list is waiting; -1 a malformed line or a failure. */
int32_t ExcUpdateCommand(EXCSESSION session, const char* line, uint32_t* changeSize);
/* The waiting change list; it is handed out once. */
int32_t ExcGetCommandChange(EXCSESSION session, uint32_t size, char* buffer, uint32_t* needed);
/* The values of a job command, each NUL-terminated, then one more NUL; with `acceptableOnly`
 * only those that change nothing else of the base. */
int32_t ExcGetCommandValue(EXCSESSION session, const char* command, int32_t acceptableOnly, uint32_t size,
                           char* buffer, uint32_t* needed);

typedef int32_t (*ExcGetIniFileNameProc)(const char*, uint32_t, char*, uint32_t*);
typedef int32_t (*ExcGetDriverDevmodeProc)(const char*, int32_t, uint32_t, void*, uint32_t*);
typedef EXCSESSION (*ExcGetExclusiveProc)(const char*);
typedef void (*ExcFreeExclusiveProc)(EXCSESSION);
typedef int32_t (*ExcGetPrinterOptionProc)(EXCSESSION, const char*, uint32_t, char*, uint32_t*);
typedef int32_t (*ExcGetPrinterValueProc)(EXCSESSION, const char*, uint32_t, char*, uint32_t*);
typedef int32_t (*ExcGetWaterMarkListProc)(EXCSESSION, int32_t, uint32_t, char*, uint32_t*);
typedef int32_t (*ExcSetCommandBaseProc)(EXCSESSION, const char*, uint32_t*);
typedef int32_t (*ExcGetCommandBaseProc)(EXCSESSION, uint32_t, char*, uint32_t*);
typedef int32_t (*ExcUpdateCommandProc)(EXCSESSION, const char*, uint32_t*);
typedef int32_t (*ExcGetCommandChangeProc)(EXCSESSION, uint32_t, char*, uint32_t*);
typedef int32_t (*ExcGetCommandValueProc)(EXCSESSION, const char*, int32_t, uint32_t, char*, uint32_t*);

#ifdef __cplusplus
}
#endif

#endif /* VELMEXC_H */
