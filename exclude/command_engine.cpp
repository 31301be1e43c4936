#include "exclude/command_engine.h"

#include <cstring>

#include "data/item_ids.h"
#include "exclude/command_lines.h"
#include "settings/description/command_node_values.h"
#include "settings/constraints/condition_items.h"
#include "settings/constraints/eval.h"
#include "settings/description/access.h"
#include "settings/items/store.h"
#include "settings/context/memory.h"
#include "settings/constraints/option_availability.h"

namespace {

constexpr DWORD kChainLimit = 256;  // side-setting chains are short; a longer one is broken
constexpr char kForceFeedName[] = "FORCEFEED";

bool IsBindingRow(const ExcCommandRow* row) {
  return (row->flags & (kExcCommandLinked | kExcCommandBinding)) == (kExcCommandLinked | kExcCommandBinding);
}
bool IsBookletRow(const ExcCommandRow* row) {
  return (row->flags & (kExcCommandLinked | kExcCommandBooklet)) == (kExcCommandLinked | kExcCommandBooklet);
}
bool IsForceFeedRow(const ExcCommandRow* row) {
  return row->item == 0 && row->flags == (kExcCommandLinked | kExcCommandForceFeed);
}

bool SlotEnabled(const ExcSession* session, DWORD item) {
  return item >= 1 && item <= kExcSlotCount && session->enabled[item - 1];
}
DWORD SlotValue(const ExcSession* session, DWORD item) {
  return item >= 1 && item <= kExcSlotCount ? session->values[item - 1] : 0;
}

bool Equal(const char* a, const char* b) { return a && b && std::strcmp(a, b) == 0; }

// Each listed item whose slot is enabled holds the listed value.
bool SideSettingsAgree(const ExcSession* session, const CondNode* side) {
  DWORD steps = 0;
  for (; side && steps < kChainLimit; side = side->next, ++steps) {
    if (SlotEnabled(session, side->conditionId) && SlotValue(session, side->conditionId) != side->value) return false;
  }
  return side == nullptr;
}

void SetSideSettings(ExcSession* session, const CondNode* side, BOOL propagate) {
  DWORD steps = 0;
  for (; side && steps < kChainLimit; side = side->next, ++steps) ExcSetSlot(session, side->conditionId, side->value, propagate);
}

void RunItemRules(ExcSession* session, DWORD item) {
  if (item == 0 || item > kExcLastContextSlot) return;
  const DescNode* node = CmdFindCommandNode(session->context, static_cast<WORD>(item), 0);
  if (!node) node = DescGetNode(static_cast<WORD>(item), session->context);
  if (node) CondApplyNodeRules(node, session->context);
}

ItemTableRow* ItemRow(DriverContext* context, DWORD item) {
  return item && item <= 0xFFFF ? OptFindItem(context->itemTable, static_cast<WORD>(item)) : nullptr;
}

// The value row `text` names for `name`: the first whose condition holds, else the first.
const ExcValueRow* MatchValueRow(DriverContext* context, const ExcCommandRow* row, const char* name, const char* text) {
  if (!row->values) return nullptr;
  const ExcValueRow* first = nullptr;
  for (DWORD i = 0; i < row->values->count; ++i) {
    const ExcValueRow& value = row->values->rows[i];
    if (!Equal(value.text, text)) continue;
    if (!row->name && !Equal(value.commandName, name)) continue;
    if (CondEvalChain(context, value.condition)) return &value;
    if (!first) first = &value;
  }
  return first;
}

// The booklet family the session is in: its slot, else the family of item 102.
DWORD CurrentBooklet(ExcSession* session) {
  if (SlotEnabled(session, kExcSlotBooklet)) return SlotValue(session, kExcSlotBooklet);
  const int family = ExcBookletOfBinding(OptGetValue(session->context, kItemDuplexType));
  return family < 0 ? 0 : static_cast<DWORD>(family);
}

const ExcBookletFamily* FamilyOf(DWORD booklet) {
  DWORD count = 0;
  const ExcBookletFamily* families = ExcGetBookletFamilies(&count);
  for (DWORD i = 0; i < count; ++i)
    if (families[i].booklet == booklet) return &families[i];
  return nullptr;
}

// Model-node rows: the stored value of a value text, through the node.
bool ParseModelValue(DriverContext* context, const ExcCommandRow* row, const char* text, DWORD* model) {
  const DescNode* node = CmdFindCommandNode(context, static_cast<WORD>(row->item), static_cast<SHORT>(row->subId));
  ItemTableRow* item = ItemRow(context, row->item);
  if (!node || !item) return false;
  return CmdParseValue(context, item, node, CmdKindOfValueType(row->valueType), text, model) != FALSE;
}

// The node line of a model-node row for the stored value `stored`; 0 when it gives no text.
DWORD FormatModelLine(DriverContext* context, const ExcCommandRow* row, DWORD stored, char* out, DWORD capacity) {
  const DescNode* node = CmdFindCommandNode(context, static_cast<WORD>(row->item), static_cast<SHORT>(row->subId));
  ItemTableRow* item = ItemRow(context, row->item);
  if (!node || !item) return 0;
  return CmdFormatLine(context, item, node, CmdKindOfValueType(row->valueType),
                       OptRawToModelValue(context, item, stored), out, capacity);
}

// The text of the first value row that the enumeration writer takes for `slotValue`.
const ExcValueRow* WrittenValueRow(const ExcSession* session, const ExcCommandRow* row, DWORD slotValue) {
  if (!row->values) return nullptr;
  for (DWORD i = 0; i < row->values->count; ++i) {
    const ExcValueRow& value = row->values->rows[i];
    if ((value.value == slotValue || (value.flags & kExcValueNone)) && SideSettingsAgree(session, value.side))
      return &value;
  }
  return nullptr;
}

BOOL WriteEnumeration(ExcLineBuffer* buffer, const ExcSession* session, const ExcCommandRow* row, DWORD slotValue) {
  if (!SideSettingsAgree(session, row->side)) return TRUE;
  const ExcValueRow* value = WrittenValueRow(session, row, slotValue);
  const char* name = value ? ExcCommandName(row, value) : nullptr;
  if (!value || !value->text || !name) return TRUE;
  if (!ExcLineBufferAppendSetLine(buffer, name, value->text)) return FALSE;
  DWORD steps = 0;
  for (const ExcExtraLine* extra = value->extra; extra && steps < kChainLimit; extra = extra->next, ++steps) {
    if (extra->commandName && extra->text && !ExcLineBufferAppendSetLine(buffer, extra->commandName, extra->text))
      return FALSE;
  }
  return TRUE;
}

BOOL WriteModelValue(ExcLineBuffer* buffer, ExcSession* session, const ExcCommandRow* row, DWORD slotValue) {
  char line[kCmdValueTextBytes * 2];
  const DWORD length = FormatModelLine(session->context, row, slotValue, line, sizeof(line));
  // The block is read back line by line; a node whose texts do not make one whole SET line would
  // hide every line after it, so such a line is dropped.
  char name[kExcTokenBytes];
  char value[kExcTokenBytes];
  if (length == 0 || ExcParseSetLine(line, name, value) != static_cast<int>(length)) return TRUE;
  return ExcLineBufferAppend(buffer, line, length);
}

// The FORCEFEED text the force-feed tests choose for the current settings.
const char* ForceFeedText(DriverContext* context) {
  DWORD count = 0;
  const char* const* texts = ExcGetForceFeedTexts(&count);
  if (count < 3) return nullptr;
  if (CondForceFeedPort(context)) return texts[0];
  if (CondForceFeedLand(context)) return texts[1];
  return texts[2];
}

// The update line's name and value, or empty ones.
struct UpdateLine {
  char name[kExcTokenBytes] = {};
  char value[kExcTokenBytes] = {};
  bool IsForceFeed() const { return std::strcmp(name, kForceFeedName) == 0; }
};

UpdateLine ReadUpdate(const char* line) {
  UpdateLine update;
  if (line && ExcParseSetLine(line, update.name, update.value) <= 0) update = UpdateLine{};
  return update;
}

// The lines of `set` whose names the base sets to other values, except those the update asked
// for; and the base's own value where the update was refused.
BOOL CompareWithBase(const char* base, const char* set, const UpdateLine& update, ExcLineBuffer* changes) {
  char name[kExcTokenBytes];
  char value[kExcTokenBytes];
  char baseValue[kExcTokenBytes];
  for (const char* p = set;;) {
    const int used = ExcParseSetLine(p, name, value);
    if (used <= 0) return TRUE;
    if (ExcFindLineValue(base, name, baseValue)) {
      const bool asked = std::strcmp(update.name, name) == 0;
      const bool differs = std::strcmp(value, baseValue) != 0;
      const bool report = differs ? !(asked && std::strcmp(update.value, value) == 0)
                                  : asked && std::strcmp(update.value, value) != 0;
      if (report && !ExcLineBufferAppend(changes, p, static_cast<DWORD>(used))) return FALSE;
    }
    p += used;
  }
}

// The FORCEFEED line of a pass (see ExcBuildChanges): for an update of FORCEFEED the base's
// value when the update asked for another; otherwise, on the command set only, the value the
// force-feed tests choose.
BOOL ForceFeedPass(ExcSession* session, const UpdateLine& update, const char* baseValue, bool onCommandSet,
                   ExcLineBuffer* buffer) {
  if (update.IsForceFeed()) {
    if (std::strcmp(update.value, baseValue) == 0) return TRUE;
    return ExcLineBufferAppendSetLine(buffer, kForceFeedName, baseValue);
  }
  if (!onCommandSet) return TRUE;
  const char* text = ForceFeedText(session->context);
  return !text || ExcLineBufferAppendSetLine(buffer, kForceFeedName, text);
}

// The base with each line's value from the command set, else (for an update of a job command)
// the update's value or its own; other lines dropped.
BOOL RefreshBase(ExcSession* session, const char* set, const UpdateLine* update, ExcLineBuffer* out) {
  char name[kExcTokenBytes];
  char value[kExcTokenBytes];
  char newValue[kExcTokenBytes];
  for (const char* p = session->base;;) {
    const int used = ExcParseSetLine(p, name, value);
    if (used <= 0) break;
    p += used;
    const char* chosen = nullptr;
    if (ExcFindLineValue(set, name, newValue)) chosen = newValue;
    else if (update && ExcFindCommand(session, name, kExcAccessJob))
      chosen = std::strcmp(update->name, name) == 0 ? update->value : value;
    if (chosen && !ExcLineBufferAppendSetLine(out, name, chosen)) return FALSE;
  }
  return ExcLineBufferAppendNul(out);
}

// A copy of the buffer's text from the allocation wrapper, or null.
char* CopyText(const ExcLineBuffer& buffer) {
  char* copy = static_cast<char*>(SysAlloc(buffer.length));
  if (copy) std::memcpy(copy, buffer.text, buffer.length);
  return copy;
}

void Replace(char** text, DWORD* length, char* copy, DWORD copyLength) {
  SysFree(*text);
  *text = copy;
  *length = copyLength;
}

// What a trial changes, put back afterwards.
class SessionSnapshot {
 public:
  bool Take(ExcSession* session) {
    session_ = session;
    block_ = static_cast<BYTE*>(SysAlloc(kExcSlotCount * (1 + sizeof(DWORD)) + sizeof(SettingsRecord)));
    if (!block_) return false;
    std::memcpy(block_, session->enabled, kExcSlotCount);
    std::memcpy(block_ + kExcSlotCount, session->values, kExcSlotCount * sizeof(DWORD));
    std::memcpy(block_ + kExcSlotCount * (1 + sizeof(DWORD)), session->context->settings, sizeof(SettingsRecord));
    return true;
  }
  void Restore() {
    std::memcpy(session_->enabled, block_, kExcSlotCount);
    std::memcpy(session_->values, block_ + kExcSlotCount, kExcSlotCount * sizeof(DWORD));
    std::memcpy(session_->context->settings, block_ + kExcSlotCount * (1 + sizeof(DWORD)), sizeof(SettingsRecord));
  }
  ~SessionSnapshot() { SysFree(block_); }

 private:
  ExcSession* session_ = nullptr;
  BYTE* block_ = nullptr;
};

// The stored value an item keeps when `stored` is written and the constraints run, on a copy.
bool ConstrainedValue(ExcSession* session, DWORD item, DWORD stored, DWORD* kept) {
  SessionSnapshot snapshot;
  if (!snapshot.Take(session)) return false;
  OptSetValue(session->context, static_cast<WORD>(item), stored);
  CondReapplyAll(session->context);
  *kept = OptGetValue(session->context, static_cast<WORD>(item));
  snapshot.Restore();
  return true;
}

BOOL AppendIfAcceptable(ExcSession* session, const ExcCommandRow* row, const ExcValueRow* value, DWORD model,
                        const char* text, BOOL acceptableOnly, ExcLineBuffer* list) {
  if (!text || !text[0]) return TRUE;
  if (acceptableOnly && !ExcTryValue(session, row, value, model, text)) return TRUE;
  return ExcLineBufferAppendListEntry(list, text);
}

BOOL ListModelNode(ExcSession* session, const ExcCommandRow* row, BOOL acceptableOnly, ExcLineBuffer* list) {
  DriverContext* context = session->context;
  const DescNode* node = CmdFindCommandNode(context, static_cast<WORD>(row->item), static_cast<SHORT>(row->subId));
  ItemTableRow* item = ItemRow(context, row->item);
  if (!node || !item) return TRUE;
  switch (row->valueType) {
    case kExcTypeEnumeration: {
      const char* text = nullptr;
      DWORD model = 0;
      for (DWORD i = 0; CmdNodeEntry(context, node, i, &text, &model); ++i)
        if (!AppendIfAcceptable(session, row, nullptr, model, text, acceptableOnly, list)) return FALSE;
      return TRUE;
    }
    case kExcTypeOnOff: {
      const char* off = nullptr;
      const char* on = nullptr;
      if (!CmdNodeOnOffTexts(context, node, &off, &on)) return TRUE;
      return AppendIfAcceptable(session, row, nullptr, 0, off, acceptableOnly, list) &&
             AppendIfAcceptable(session, row, nullptr, 1, on, acceptableOnly, list);
    }
    case kExcTypeNumeric: {
      if (acceptableOnly && row->range && !CondEvalChain(context, row->range->condition)) return TRUE;
      LONG bounds[3] = {};
      if (!CmdNodeRange(context, node, &bounds[0], &bounds[1], &bounds[2])) return TRUE;
      for (int i = 0; i < 3; ++i) {
        DWORD stored = OptModelToRawValue(context, item, static_cast<DWORD>(bounds[i]));
        if (acceptableOnly && i < 2 && !ConstrainedValue(session, row->item, stored, &stored)) return FALSE;
        char text[kCmdValueTextBytes];
        if (CmdFormatValue(context, item, node, kCmdKindNumber, OptRawToModelValue(context, item, stored), text,
                           sizeof(text)) &&
            !ExcLineBufferAppendListEntry(list, text))
          return FALSE;
      }
      return TRUE;
    }
    default: return TRUE;
  }
}

BOOL ListTableValues(ExcSession* session, const ExcCommandRow* row, const char* name, BOOL acceptableOnly,
                     ExcLineBuffer* list) {
  if (!row->values) return TRUE;
  for (DWORD i = 0; i < row->values->count; ++i) {
    const ExcValueRow& value = row->values->rows[i];
    if (!row->name && !Equal(value.commandName, name)) continue;
    const bool conditional = (value.flags & kExcValueConditional) != 0;
    if (acceptableOnly) {
      if (conditional && !value.condition) continue;
      if (!ExcTryValue(session, row, &value, 0, value.text)) continue;
    } else {
      // Value conditions name items directly; they are walked as chains for every access kind.
      if (conditional) continue;
      if ((row->access & kExcAccessPrinterOption) && !CondEvalChain(session->context, value.condition)) continue;
    }
    if (value.text && !ExcLineBufferAppendListEntry(list, value.text)) return FALSE;
  }
  return TRUE;
}

BOOL ListForceFeed(ExcSession* session, BOOL acceptableOnly, ExcLineBuffer* list) {
  DWORD count = 0;
  const char* const* texts = ExcGetForceFeedTexts(&count);
  const char* chosen = ForceFeedText(session->context);
  for (DWORD i = 0; i < count; ++i) {
    if (acceptableOnly && !Equal(texts[i], chosen)) continue;
    if (!ExcLineBufferAppendListEntry(list, texts[i])) return FALSE;
  }
  return TRUE;
}

}  // namespace

// ---- Lookup ---------------------------------------------------------------------------------

const char* ExcCommandName(const ExcCommandRow* row, const ExcValueRow* value) {
  if (row->name) return row->name;
  return value ? value->commandName : nullptr;
}

const ExcCommandRow* ExcFindCommand(ExcSession* session, const char* name, DWORD access) {
  if (!session || !session->context || !name) return nullptr;
  const ExcCommandTable* table = ExcGetCommandTable();
  for (DWORD i = 0; i < table->count; ++i) {
    const ExcCommandRow& row = table->rows[i];
    bool named = Equal(row.name, name);
    for (DWORD v = 0; !named && !row.name && row.values && v < row.values->count; ++v)
      named = Equal(row.values->rows[v].commandName, name);
    if (!named) continue;
    if (!(row.access & access)) return nullptr;
    if ((row.access & kExcAccessPrinterOption) && row.condition && !CondEvalList(session->context, row.condition))
      return nullptr;
    return &row;
  }
  return nullptr;
}

const ExcCommandRow* ExcFindCommandByItem(DriverContext* context, DWORD item, DWORD access) {
  return CondFindCommand(context, item, access);
}

DWORD ExcAliasOf(DWORD item) {
  DWORD count = 0;
  const ExcCommandAlias* aliases = ExcGetCommandAliases(&count);
  for (DWORD i = 0; i < count; ++i)
    if (aliases[i].item == item) return aliases[i].commandItem;
  return 0;
}

BOOL ExcIsCommandAvailable(ExcSession* session, const ExcCommandRow* row) {
  if (!session || !row) return FALSE;
  if (row->item == 0) return (row->flags & kExcCommandLinked) ? TRUE : FALSE;
  if (!SlotEnabled(session, row->item)) return FALSE;
  DWORD steps = 0;
  for (const CondNode* side = row->side; side; side = side->next) {
    if (++steps > kChainLimit || !SlotEnabled(session, side->conditionId)) return FALSE;
  }
  return TRUE;
}

BOOL ExcIsValueAcceptable(DriverContext* context, const ExcCommandRow*, const ExcValueRow* value) {
  if (!value || (value->flags & kExcValueHidden)) return FALSE;
  if ((value->flags & kExcValueConditional) && !value->condition) return FALSE;
  return CondEvalChain(context, value->condition);
}

// ---- Booklet families -------------------------------------------------------------------------

int ExcBookletOfBinding(DWORD code) {
  DWORD count = 0;
  const ExcBookletFamily* families = ExcGetBookletFamilies(&count);
  for (DWORD i = 0; i < count; ++i)
    if (code >= families[i].bindingBase && code <= families[i].bindingBase + 2) return static_cast<int>(families[i].booklet);
  return -1;
}

DWORD ExcRecodeBinding(DWORD code, DWORD booklet) {
  const int from = ExcBookletOfBinding(code);
  const ExcBookletFamily* own = from < 0 ? nullptr : FamilyOf(static_cast<DWORD>(from));
  const ExcBookletFamily* target = FamilyOf(booklet);
  if (!own || !target) return code;
  return target->bindingBase + (code - own->bindingBase);
}

// ---- Slots and applying -------------------------------------------------------------------------

void ExcRecordSlot(ExcSession* session, DWORD item, DWORD value) {
  if (item < 1 || item > kExcSlotCount) return;
  session->enabled[item - 1] = 1;
  session->values[item - 1] = value;
}

void ExcSetSlot(ExcSession* session, DWORD item, DWORD value, BOOL propagate) {
  if (item < 1 || item > kExcSlotCount) return;
  if (propagate && SlotEnabled(session, item) && SlotValue(session, item) == value) return;
  ExcRecordSlot(session, item, value);
  if (item <= kExcLastContextSlot) OptSetValue(session->context, static_cast<WORD>(item), value);
  if (!propagate) return;
  RunItemRules(session, item);
  ExcRefreshSlots(session);
}

void ExcRefreshSlots(ExcSession* session) {
  for (DWORD item = 1; item <= kExcLastContextSlot; ++item)
    if (session->enabled[item - 1]) session->values[item - 1] = OptGetValue(session->context, static_cast<WORD>(item));
  if (SlotEnabled(session, kExcSlotBooklet) && SlotEnabled(session, kItemDuplexType)) {
    const int family = ExcBookletOfBinding(SlotValue(session, kItemDuplexType));
    if (family >= 0) session->values[kExcSlotBooklet - 1] = static_cast<DWORD>(family);
  }
}

void ExcApplyCommand(ExcSession* session, const ExcCommandRow* row, const char* name, const char* valueText,
                     BOOL propagate) {
  if (!session || !session->context || !row || !valueText) return;
  DriverContext* context = session->context;
  SetSideSettings(session, row->side, propagate);
  if (row->item == 0) return;  // FORCEFEED: the force-feed tests decide

  if (row->flags & kExcCommandModelNode) {
    DWORD model = 0;
    ItemTableRow* item = ItemRow(context, row->item);
    if (!item || row->item > kExcLastContextSlot || !ParseModelValue(context, row, valueText, &model)) return;
    const bool held = SlotEnabled(session, row->item);
    const DWORD before = SlotValue(session, row->item);
    OptSetModelValue(context, item, model);
    const DWORD stored = OptReadRaw(context, item);
    ExcRecordSlot(session, row->item, stored);
    if (propagate && (!held || before != stored)) RunItemRules(session, row->item);
    return;
  }

  const ExcValueRow* value = MatchValueRow(context, row, name, valueText);
  if (!value) return;
  SetSideSettings(session, value->side, propagate);
  if (value->flags & kExcValueNone) {
    if (row->item <= kExcLastContextSlot) ExcRecordSlot(session, row->item, OptGetValue(context, static_cast<WORD>(row->item)));
    return;
  }
  DWORD set = value->value;
  if (IsBindingRow(row)) {
    set = ExcRecodeBinding(value->value, CurrentBooklet(session));
  } else if (IsBookletRow(row)) {
    ExcSetSlot(session, kExcSlotBooklet, value->value, propagate);
    if (SlotEnabled(session, kItemDuplexType))
      ExcSetSlot(session, kItemDuplexType, ExcRecodeBinding(OptGetValue(context, kItemDuplexType), value->value), propagate);
  }
  ExcSetSlot(session, row->item, set, propagate);
}

// ---- Building and comparing -----------------------------------------------------------------------

BOOL ExcBuildCommandSet(ExcLineBuffer* buffer, ExcSession* session) {
  const ExcCommandTable* table = ExcGetCommandTable();
  // One mark per command row: a row serves one slot and its alias.
  BYTE* done = static_cast<BYTE*>(SysAlloc(table->count));
  if (!done) return FALSE;
  BOOL written = TRUE;
  for (DWORD item = 1; item <= kExcSlotCount; ++item) {
    if (!session->enabled[item - 1]) continue;
    DWORD source = item;
    const ExcCommandRow* row = ExcFindCommandByItem(session->context, item, kExcAccessJob);
    if (!row) {
      source = ExcAliasOf(item);
      row = source ? ExcFindCommandByItem(session->context, source, kExcAccessJob) : nullptr;
    }
    if (!row) continue;
    const size_t index = static_cast<size_t>(row - table->rows);
    if (index >= table->count || done[index]) continue;
    done[index] = 1;
    const DWORD value = SlotValue(session, source);
    written = (row->flags & kExcCommandModelNode) ? WriteModelValue(buffer, session, row, value)
                                                  : WriteEnumeration(buffer, session, row, value);
    if (!written) break;
  }
  SysFree(done);
  return written && ExcLineBufferAppendNul(buffer);
}

int ExcBuildChanges(ExcSession* session, const char* updateLine) {
  // Without a base there is nothing to compare with (an update of FORCEFEED reaches here even
  // before any base was applied).
  if (!session->base || session->baseLength == 0) return kExcDone;
  const UpdateLine update = ReadUpdate(updateLine);
  CondReapplyAll(session->context);
  ExcRefreshSlots(session);

  char baseForceFeed[kExcTokenBytes];
  const bool forceFeed = (SlotEnabled(session, kItemFuncSelectStaple) || SlotEnabled(session, kItemFuncSelectPunch)) &&
                         ExcFindLineValue(session->base, kForceFeedName, baseForceFeed);
  ExcLineBuffer set{};
  ExcLineBuffer changes{};
  ExcLineBuffer base{};
  int result = kExcFailed;
  if (ExcLineBufferInit(&set) && ExcLineBufferInit(&changes) && ExcLineBufferInit(&base) &&
      ExcBuildCommandSet(&set, session)) {
    bool built = true;
    if (forceFeed) {
      ExcLineBufferTruncate(&set, set.length - 1);  // the line takes the place of the final NUL
      built = ForceFeedPass(session, update, baseForceFeed, true, &set) && ExcLineBufferAppendNul(&set);
    }
    built = built && CompareWithBase(session->base, set.text, update, &changes);
    if (built && forceFeed) built = ForceFeedPass(session, update, baseForceFeed, false, &changes);
    const bool refresh = !update.IsForceFeed();
    if (built && refresh) built = RefreshBase(session, set.text, updateLine ? &update : nullptr, &base);
    if (built && changes.length > 0) built = ExcLineBufferAppendNul(&changes);
    // Both copies are made before either replaces the session's, so a failure keeps both.
    char* newChanges = built && changes.length > 0 ? CopyText(changes) : nullptr;
    char* newBase = built && refresh ? CopyText(base) : nullptr;
    if (built && (changes.length == 0 || newChanges) && (!refresh || newBase)) {
      if (newChanges) Replace(&session->changes, &session->changeLength, newChanges, changes.length);
      if (newBase) Replace(&session->base, &session->baseLength, newBase, base.length);
      result = newChanges ? kExcMore : kExcDone;
    } else {
      SysFree(newChanges);
      SysFree(newBase);
    }
  }
  ExcLineBufferFree(&set);
  ExcLineBufferFree(&changes);
  ExcLineBufferFree(&base);
  return result;
}

BOOL ExcTryValue(ExcSession* session, const ExcCommandRow* row, const ExcValueRow* value, DWORD modelValue,
                 const char* valueText) {
  if (!session || !session->context || !session->base || !row || !valueText) return FALSE;
  DriverContext* context = session->context;
  if (value && !ExcIsValueAcceptable(context, row, value)) return FALSE;
  SessionSnapshot snapshot;
  if (!snapshot.Take(session)) return FALSE;

  char expected[kCmdValueTextBytes * 2] = {};
  ItemTableRow* item = ItemRow(context, row->item);
  bool ready = true;
  if (value) {
    const char* name = ExcCommandName(row, value);
    if (!(value->flags & kExcValueNone) && row->item) {
      DWORD set = value->value;
      if (IsBookletRow(row) && SlotEnabled(session, kItemDuplexType))
        ExcSetSlot(session, kItemDuplexType, ExcRecodeBinding(OptGetValue(context, kItemDuplexType), value->value), FALSE);
      ExcSetSlot(session, row->item, set, FALSE);
    }
    SetSideSettings(session, row->side, FALSE);
    SetSideSettings(session, value->side, FALSE);
    ready = name && std::strlen(name) + std::strlen(valueText) + 16 < sizeof(expected);
    if (ready) {
      std::strcat(std::strcat(std::strcat(std::strcat(std::strcpy(expected, "@PJL SET "), name), " = "), valueText), " \r\n");
    }
  } else if (item && row->item <= kExcLastContextSlot) {
    OptSetModelValue(context, item, modelValue);
    ExcRecordSlot(session, row->item, OptReadRaw(context, item));
    const DescNode* node = CmdFindCommandNode(context, static_cast<WORD>(row->item), static_cast<SHORT>(row->subId));
    const char* prefix = "";
    const char* suffix = "";
    CmdNodeTexts(context, node, &prefix, &suffix);
    ready = std::strlen(prefix) + std::strlen(valueText) + std::strlen(suffix) < sizeof(expected);
    if (ready) std::strcat(std::strcat(std::strcpy(expected, prefix), valueText), suffix);
  } else {
    ready = false;
  }

  bool acceptable = false;
  if (ready) {
    CondReapplyAll(context);
    ExcRefreshSlots(session);
    ExcLineBuffer set{};
    ExcLineBuffer changes{};
    if (ExcLineBufferInit(&set) && ExcLineBufferInit(&changes) && ExcBuildCommandSet(&set, session) &&
        CompareWithBase(session->base, set.text, ReadUpdate(expected), &changes)) {
      acceptable = changes.length == 0;
    }
    ExcLineBufferFree(&set);
    ExcLineBufferFree(&changes);
  }
  snapshot.Restore();
  return acceptable ? TRUE : FALSE;
}

DWORD ExcFormatPrinterValue(const ExcCommandRow* row, DriverContext* context, DWORD size, char* buffer) {
  if (!row || !context || !CondEvalChain(context, row->side)) return 0;
  char text[kCmdValueTextBytes] = {};
  ItemTableRow* item = ItemRow(context, row->item);
  if (!item) return 0;
  if (row->flags & kExcCommandModelNode) {
    const DescNode* node = CmdFindCommandNode(context, static_cast<WORD>(row->item), static_cast<SHORT>(row->subId));
    if (!node || !CmdFormatValue(context, item, node, CmdKindOfValueType(row->valueType),
                                 OptGetModelValue(context, item), text, sizeof(text)))
      return 0;
  } else if (row->values) {
    const DWORD stored = OptReadRaw(context, item);
    const ExcValueRow* found = nullptr;
    for (DWORD i = 0; !found && i < row->values->count; ++i)
      if (row->values->rows[i].value == stored) found = &row->values->rows[i];
    for (DWORD i = 0; !found && i < row->values->count; ++i)
      if (row->values->rows[i].flags & kExcValueNone) found = &row->values->rows[i];
    if (!found || !found->text || std::strlen(found->text) >= sizeof(text)) return 0;
    std::strcpy(text, found->text);
  }
  const DWORD length = static_cast<DWORD>(std::strlen(text));
  if (length == 0) return 0;
  if (buffer && size > length) std::memcpy(buffer, text, length + 1);
  return length + 1;
}

BOOL ExcListCommandValues(ExcSession* session, const ExcCommandRow* row, const char* name, BOOL acceptableOnly,
                          ExcLineBuffer* list) {
  BOOL listed = TRUE;
  if (IsForceFeedRow(row)) listed = ListForceFeed(session, acceptableOnly, list);
  else if (row->flags & kExcCommandModelNode) listed = ListModelNode(session, row, acceptableOnly, list);
  else if (row->valueType == kExcTypeEnumeration || row->valueType == kExcTypeOnOff)
    listed = ListTableValues(session, row, name, acceptableOnly, list);
  if (!listed) return FALSE;
  return list->length == 0 || ExcLineBufferAppendNul(list);
}
