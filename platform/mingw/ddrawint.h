// The DirectDraw driver types that mingw-w64's winddi.h names but the toolchain does not ship.
// winddi.h uses them only in the signatures of the DirectDraw entries (EngDxIoctl, DrvGetDirectDrawInfo,
// DrvEnableDirectDraw, DrvDeriveSurface, EngLockDirectDrawSurface and their kin), which a printer
// driver never implements or calls, so they are declared, as documented, without their members.
#pragma once

typedef struct _DD_SURFACE_LOCAL DD_SURFACE_LOCAL, *PDD_SURFACE_LOCAL;
typedef struct _DD_DIRECTDRAW_GLOBAL DD_DIRECTDRAW_GLOBAL, *PDD_DIRECTDRAW_GLOBAL;
typedef struct _DD_CALLBACKS DD_CALLBACKS, *PDD_CALLBACKS;
typedef struct _DD_SURFACECALLBACKS DD_SURFACECALLBACKS, *PDD_SURFACECALLBACKS;
typedef struct _DD_PALETTECALLBACKS DD_PALETTECALLBACKS, *PDD_PALETTECALLBACKS;
typedef struct _DD_HALINFO DD_HALINFO, *PDD_HALINFO;
typedef struct _VIDEOMEMORY VIDEOMEMORY, *LPVIDEOMEMORY;
