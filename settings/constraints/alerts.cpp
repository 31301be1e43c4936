#include "settings/constraints/alerts.h"

#include "settings/constraints/eval.h"
#include "settings/items/table.h"

BOOL CondFindAlert(DriverContext* context, const DescNode* node, DescAlertView* alert) {
  if (!context || !context->description || !node || !alert) return FALSE;
  const ModelDescription* d = context->description;
  const DescConditions* block = DescNodeConditions(d, node);
  if (!block) return FALSE;
  DescConditionsView conditions{};
  DescReadConditions(d, block, &conditions);
  DWORD seen = 0;
  for (const DescAlert* entry = conditions.alerts; entry && seen < kCondAlertMaxEntries; ++seen) {
    DescAlertView view{};
    DescReadAlert(d, entry, &view);
    if (!view.program || CondEvaluate(context, view.program) != 0) {
      *alert = view;
      return TRUE;
    }
    entry = view.next;
  }
  return FALSE;
}

BOOL CondAlertAnswerAccepts(int answer) { return answer == IDOK || answer == IDYES; }

WORD CondRunAlertAction(DriverContext* context, const DescAlertView& alert, int answer) {
  if (!context || !context->description || !CondAlertAnswerAccepts(answer)) return 0;
  DWORD seen = 0;
  for (const DescAlertAction* entry = alert.alertAction; entry && seen < kCondAlertMaxEntries; ++seen) {
    DescAlertActionView view{};
    DescReadAlertAction(context->description, entry, &view);
    if (const WORD target = CondApplyRules(view.rules, context)) return target;
    entry = view.next;
  }
  return 0;
}

UINT CondAlertStringId(const DescAlertView& alert) {
  for (int n = 0; n < OptGetMessageCount(); ++n)
    if (const MessageRow* row = OptGetMessageRow(n); row && row->id == alert.message) return row->stringId;
  return 0;
}
