#include "settings/persistence/driver_ini.h"

#include "settings/persistence/profile_wrappers.h"
#include "settings/persistence/paths.h"
#include "settings/services/spooler_info.h"

const WCHAR* CfgReadModelName(DriverContext* context) {
  if (!context || !context->work) return nullptr;
  WCHAR* name = context->work->modelName;
  name[0] = 0;
  const WCHAR* ini = PathGetApiIni(context);
  const WCHAR* driver = ini ? PrnGetDriverName(context) : nullptr;
  if (!driver || !driver[0]) return nullptr;
  IniProfileGetString(WSTR("Models"), driver, WSTR(""), name, kModelNameChars, ini);
  return name[0] ? name : nullptr;
}
