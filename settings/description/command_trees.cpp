// `*CommandGroup`: the job-control template of a job point, as a tree of command nodes.
//
//     *CommandGroup: JobStart {
//       Type: StringType 1
//       Command: DuplexOn { Type: GroupType ZMD_vdmFuncSelectDuplex } ElseIf: Other { ... } Else { ... }
//     }
#include <climits>

#include "settings/description/enumerations.h"
#include "settings/description/parser_internal.h"

namespace {

bool IsWord(const DescToken& token, std::string_view word) { return token.Is(DescTokenKind::kName, word); }

}  // namespace

bool DescParser::CommandGroup() {
  DescTokenizer tokens(statement_.value, lead_);
  const DescToken pointName = tokens.Next();
  LONG point = 0;
  if (pointName.kind != DescTokenKind::kName || !DescFindEnum(kDescCommandPointNames, pointName.text, &point))
    return Refuse(DescIssue::kSyntax);
  if (tokens.Next().kind != DescTokenKind::kOpenBrace) return Refuse(DescIssue::kSyntax);
  DescCommandList tree;
  if (!ReadClauses(&tokens, &tree, 0)) return false;
  if (tokens.Next().kind != DescTokenKind::kEnd) return Refuse(DescIssue::kSyntax);
  if (result_->hasCommandTree[point]) Report(DescIssue::kReplaced, false);
  result_->commandTrees[point] = std::move(tree);
  result_->hasCommandTree[point] = true;
  return true;
}

// Clauses up to the closing brace of their body: `Type: <kind> ...` and `Command: ...`.
bool DescParser::ReadClauses(DescTokenizer* tokens, DescCommandList* list, int depth) {
  for (;;) {
    const DescToken word = tokens->Next();
    if (word.kind == DescTokenKind::kCloseBrace) return true;
    LONG clause = 0;
    if (word.kind != DescTokenKind::kName || !DescFindEnum(kDescClauseNames, word.text, &clause) ||
        tokens->Next().kind != DescTokenKind::kColon)
      return Refuse(DescIssue::kSyntax);
    DescCommandNode node;
    if (clause == 1) {
      if (!ReadConditional(tokens, &node, depth)) return false;
      list->push_back(std::move(node));
      continue;
    }
    const DescToken kindName = tokens->Next();
    LONG kind = 0;
    if (kindName.kind != DescTokenKind::kName || !DescFindEnum(kDescCommandTypeNames, kindName.text, &kind))
      return Refuse(DescIssue::kSyntax);
    node.kind = static_cast<WORD>(kind);
    if (kind == kCommandGroup) {
      // An item symbol and, optionally, the signed number of its UI record.
      const DescToken item = tokens->Next();
      if (item.kind != DescTokenKind::kName) return Refuse(DescIssue::kSyntax);
      const ItemSymbolRow* symbol = DescFindItemSymbol(item.text);
      if (!symbol) return Refuse(DescIssue::kUnknownItemSymbol);
      node.itemId = static_cast<WORD>(symbol->itemId);
      DescToken next = tokens->Peek();
      const bool negative = next.Is(DescTokenKind::kOther, "-");
      if (negative) {
        tokens->Next();
        next = tokens->Peek();
        if (next.kind != DescTokenKind::kNumber) return Refuse(DescIssue::kBadNumber);
      }
      if (next.kind == DescTokenKind::kNumber) {
        tokens->Next();
        LONG number = 0;
        if (!DescDigitsValue(next.text, &number) || number > SHRT_MAX) return Refuse(DescIssue::kBadNumber);
        node.number = static_cast<SHORT>(negative ? -number : number);
      }
    } else if (kind == kCommandString) {
      const DescToken number = tokens->Next();
      if (number.kind != DescTokenKind::kNumber || !DescDigitsValue(number.text, &node.stringNumber))
        return Refuse(DescIssue::kBadNumber);
      if (node.stringNumber == 0) return Refuse(DescIssue::kNumberZero);
    }
    list->push_back(std::move(node));
  }
}

// `Command: <Judge> { ... }` with any number of `ElseIf: <Judge> { ... }` and an optional
// `Else { ... }`; each ElseIf is a conditional node in the else list of the one before.
bool DescParser::ReadConditional(DescTokenizer* tokens, DescCommandNode* node, int depth) {
  DescCommandNode* current = node;
  for (;; ++depth) {
    // An ElseIf nests like a Command, and counts against the same bound.
    if (depth >= kDescMaxTreeDepth) return Refuse(DescIssue::kTooLarge);
    const DescToken reference = tokens->Next();
    if (reference.kind != DescTokenKind::kName) return Refuse(DescIssue::kSyntax);
    current->kind = kCommandConditional;
    // A reference to nothing would make the branch unconditional: refused, not guessed.
    current->judge = ResolveReference(reference.text, kRefKindJudge);
    if (current->judge == 0) return Refuse(DescIssue::kUnresolvedReference);
    if (tokens->Next().kind != DescTokenKind::kOpenBrace) return Refuse(DescIssue::kSyntax);
    if (!ReadClauses(tokens, &current->thenList, depth + 1)) return false;
    const DescToken next = tokens->Peek();
    if (IsWord(next, "Else")) {
      tokens->Next();
      if (tokens->Next().kind != DescTokenKind::kOpenBrace) return Refuse(DescIssue::kSyntax);
      return ReadClauses(tokens, &current->elseList, depth + 1);
    }
    if (!IsWord(next, "ElseIf")) return true;
    tokens->Next();
    if (tokens->Next().kind != DescTokenKind::kColon) return Refuse(DescIssue::kSyntax);
    current->elseList.emplace_back();
    current = &current->elseList.back();
  }
}
