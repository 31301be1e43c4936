#include "settings/devmode/environment.h"

#include "data/item_ids.h"
#include "settings/items/store.h"
#include "settings/persistence/options.h"
#include "settings/services/platform_tests.h"
#include "settings/services/spooler_info.h"

namespace {


bool IsEnvironmentItem(WORD item) { return item >= kEnvCallSrc && item <= kEnvAdmin; }

BYTE Flag(bool on) { return on ? 1 : 0; }

}  // namespace

void DmSetEnvironment(DriverContext* context) {
  if (!context || !context->settings) return;
  const bool forcedAdmin = context->work && (context->work->kindFlags & kKindForceAdmin);
  const struct {
    WORD item;
    BYTE value;
  } bytes[] = {
      {kEnvCallSrc, 1},
      {kEnvOsKind, SysIsNt5OrLater() ? kOsKindNt5 : kOsKindNt4},
      {kEnvTse, Flag(SysIsTerminalServer(context->printer))},
      {kEnvAdmin, Flag(forcedAdmin || SysIsAdministrator())},
      {kEnvBatchInst, 1},
      {kEnvPrintLog, 0},
      {kEnvBiDirect, 0},
      {kEnvNoPermission, 0},
      {kEnvPresentUiMode, Flag(OptGetValue(context, kItemUIModeChange) != 0)},
      {kEnvBidiSupport, Flag(PrnIsBidiEnabled(context))},
      {kEnvServerClientMode, Flag(PrnIsOnServer(context))},
      {kEnvUserCodeFix, Flag(OptGetValue(context, kItemLogCodeUse) != 0)},
      {kEnvUserCodeGet, 0},
      {kEnvJbInstalled, 0},
      {kEnvPropertyType, 0},
      {kEnvUserCodeDll, 0},
  };
  for (const auto& byte : bytes) DmSetEnvironmentByte(context, byte.item, byte.value);
}

BOOL DmSetEnvironmentByte(DriverContext* context, WORD item, BYTE value) {
  if (!IsEnvironmentItem(item)) return FALSE;
  return OptSetValue(context, item, value);
}

BYTE DmGetEnvironmentByte(DriverContext* context, WORD item) {
  return IsEnvironmentItem(item) ? static_cast<BYTE>(OptGetValue(context, item)) : 0;
}

void DmResetJobActions(DriverContext* context, BOOL store) {
  if (!context || !context->settings || !SysIsTerminalServer(context->printer)) return;
  for (WORD item = kItemFirstAction; item <= kItemLastAction; ++item) OptSetValue(context, item, 0);
  if (store) CfgSaveActionGroup(context);
}
