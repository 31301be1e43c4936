// Constraint evaluation: the model description's condition programs run against a context's
// current settings, and what is built on them: disabled and hidden items and values, rules and
// their actions, condition lists, the resolution fit and the full re-pass.
//
// A program is a list of 4-byte cells (DescCell) ended by {3, 10}. Kind 1 pushes the model value
// of an item, kind 2 a constant (sign-extended from 16 bits), kind 3 applies an operator; other
// kinds are skipped. Operators pop the right operand, then the left: 1 ==, 2 !=, 3 &&, 4 ||,
// 5 ! (one operand), 6 >, 7 <, 8 >=, 9 <= (6..9 compare unsigned, so -1 is above every other
// value), 10 ends the program with the top of the stack. Other operator numbers are skipped.
//
// The stack is the context's (CondAllocStack and CondFreeStack, the open and close steps declared
// in context/open_steps.h). Evaluations nest: reading a computed item can run value checks that
// evaluate programs of their own, so each run works above the entries of the run that called it.
#pragma once

#include "settings/constraints/condition_node.h"
#include "settings/description/image.h"
#include "settings/context/driver_context.h"
#include "win32.h"

// The evaluation stack: 256 entries above which no run pushes, with the top index of the
// innermost run. Owned by the context's work area.
constexpr DWORD kCondStackEntries = 256;
struct CondStack {
  LONG entries[kCondStackEntries];
  DWORD top;
};

// ---- Programs -------------------------------------------------------------------------------

// Runs `program` on the context's settings and gives the value it ends with; 0 when there is no
// program, no stack, an item the table does not know, or a run that would push past the stack's
// end or pop an empty one. Items 731..858 are computed (CondGetItemValue); text items (types 7,
// 8, 10, 11) give their length in characters; any other item its model value. An item cell for
// the item of the run's previous item cell pushes the value read then, without reading again.
LONG CondEvaluate(DriverContext* context, const DescProgram* program);

// Whether the item of `node` (value 0) or its model value `value` is disabled, or hidden, under
// the current settings: the program of the item's conditions block, or of the block's entry for
// that value. FALSE without a block, entry or program. Value 0 always means the item itself, so
// a value 0 (an "off") cannot have a program of its own.
BOOL CondIsDisabled(const DescNode* node, DWORD value, DriverContext* context);
BOOL CondIsHidden(const DescNode* node, DWORD value, DriverContext* context);

// ---- Rules ------------------------------------------------------------------------------------

// Runs `rules` in order. A rule without a program fires; a rule with the same program as the rule
// before, when that one gave 0, is skipped without running it again; any other rule fires when
// its program gives non-zero. A firing rule's actions run in order: one that targets a page or
// dialog ends the whole run and answers its target; any other writes its value into its item as
// a model value. 0 when the list ends.
WORD CondApplyRules(const DescRule* rules, DriverContext* context);
// The rules of the conditions block of `node`; 0 without a block.
WORD CondApplyNodeRules(const DescNode* node, DriverContext* context);
// The rules of every item's record, in item-table order. A run that ends at a page action ends
// that item's rules only.
void CondApplyAllRules(DriverContext* context);

// ---- Condition lists ----------------------------------------------------------------------------

// A list longer than this is taken as broken (a loop) and does not hold.
constexpr DWORD kCondListMaxTerms = 4096;

// Walks a condition chain against the current settings; TRUE when it holds. A term matches when
// its item's stored value equals the term's value. The walk starts true and is taken literally:
// a term that matches skips the terms after it whose flags are 0 or kCondNodeAlternative (unless
// it carries kCondNodeAlternative itself: so a term with flags 0 is an alternative too) and holds
// when none is left. A term that does not match skips the kCondNodeAlternative terms after it and
// fails when none is left or the next one has other flags (kCondNodeLink starts a group that must
// hold as well); else the walk goes on false. The end answers the walk's state; an empty chain
// holds. In the condition-id form terms outside 443..538 are passed over.
BOOL CondWalkChain(DriverContext* context, const CondNode* chain, CondChainForm form);
// A condition list of condition ids: CondWalkChain in that form, 1 or 0.
int CondEvalList(DriverContext* context, const CondNode* list);

// ---- Resolution fit and re-pass -----------------------------------------------------------------

// Whether the page fits what the printer can image at its resolution; also the value of
// computed item 843 (`asCondition` TRUE). Re-derives the resolution items (as a condition from
// item 42, else from the public print quality), the source-paper items (from the custom length
// and width when not as a condition and the record's state flags carry both custom-size bits
// 0x4 and 0x8, else from the paper size) and the output-paper items. Then TRUE when the print
// quality is 600; else the output paper (items 52, 51) must stay below 30709 dots and the source
// paper (items 45, 44), scaled by the zoom or the poster layout, at most 30708. FALSE without a
// record.
BOOL DmCheckResolutionFit(DriverContext* context, BOOL asCondition);

// The full re-pass that brings the settings into line: a failing fit sets the print quality to
// 600; the state flag kDmStateConstraintPassDone is set; the resolution, source-paper and
// output-paper items are derived again; then every item's rules run. 0.
int CondReapplyAll(DriverContext* context);
