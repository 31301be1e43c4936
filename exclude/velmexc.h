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

/* The same functions as GetProcAddress hands them out. */
typedef int32_t (*VELMDrvCheckAPIVerProc)(const char* printerName);
typedef VELMAPICONTEXT (*VELMDrvEnableProc)(const char* printerName);
typedef int32_t (*VELMDrvDisableProc)(VELMAPICONTEXT context);
typedef int32_t (*VELMDrvGetDevmodeProc)(VELMAPICONTEXT context, uint32_t mode, void* devmode);

#ifdef __cplusplus
}
#endif

#endif /* VELMEXC_H */
