// The steps of opening and closing a driver context that other parts of the settings library
// own. CtxCreateEx and the destroy path in context/driver_context.cpp call them, in the order written
// down there, through the table below; the functions named here are that table's entries.
//
// Each close step must accept a context whose open step never ran (a failed open destroys what
// it built so far), and a context without a work area.
//   model description (compiler and cached image): DescLoad, DescRelease
//   constraint evaluation: CondAllocStack, CondFreeStack
//   settings record construction: DmBuildForContext, DmCopyDeviceConfig
//   option persistence: CfgLoadOnOpen, CfgFreeFontBlobs
//   user lists: LstPresetSlots
//   resource strings: ResFreeDlls
#pragma once

#include "settings/context/driver_context.h"
#include "win32.h"

// Loads the model description of the printer driver's data file into context->description
// (description/cache.h). FALSE when it cannot be had; the open then ends.
BOOL DescLoad(DriverContext* context);
// Lets go of the context's description (the image itself stays loaded for the process).
void DescRelease(DriverContext* context);

// Allocates the constraint evaluation stack; -1 on failure, which ends the open.
int CondAllocStack(DriverContext* context);
void CondFreeStack(DriverContext* context);

// Builds context->settings for `kind` from the printer's devmode or the model defaults
// (devmode/record_build.h). The open hands it the record allocated, zeroed, with the private header and
// section bases written. FALSE ends the open.
BOOL DmBuildForContext(DriverContext* context, int kind);
// Copies the device-configuration fields of section 2 onto their mirror in the private devmode.
void DmCopyDeviceConfig(DriverContext* context);

// Loads the printer's stored settings (printer data and settings INI) into the record; kind 0.
// 0 when they could not be read (no memory); the open then ends.
int CfgLoadOnOpen(DriverContext* context);
// Frees the font blocks that the record holds (items 10005, 10007, 10009) and clears them.
void CfgFreeFontBlobs(DriverContext* context);

// The preset slots of the work area: op 0 forgets them, op 3 frees them (the other operations
// save and restore presets by key).
constexpr int kPresetSlotsForget = 0;
constexpr int kPresetSlotsFree = 3;
int LstPresetSlots(DriverContext* context, const WCHAR* key, int op);

// Frees the context's resource libraries and clears their handles.
void ResFreeDlls(DriverContext* context);

// The table the context code calls the steps through; tests put their own in to watch or fail
// a step.
struct ContextOpenSteps {
  BOOL (*descLoad)(DriverContext*);
  void (*descRelease)(DriverContext*);
  int (*condAllocStack)(DriverContext*);
  void (*condFreeStack)(DriverContext*);
  BOOL (*dmBuildForContext)(DriverContext*, int kind);
  void (*dmCopyDeviceConfig)(DriverContext*);
  int (*cfgLoadOnOpen)(DriverContext*);
  void (*cfgFreeFontBlobs)(DriverContext*);
  int (*lstPresetSlots)(DriverContext*, const WCHAR* key, int op);
  void (*resFreeDlls)(DriverContext*);
};

// The library's own steps: the functions above.
extern const ContextOpenSteps kContextOpenSteps;
// The steps in force.
const ContextOpenSteps& CtxOpenSteps();
// Puts `steps` in force (null: the library's own). Only while no context is open or cached.
void CtxSetOpenSteps(const ContextOpenSteps* steps);
