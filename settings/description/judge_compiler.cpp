#include "settings/description/judge_compiler.h"

#include "settings/description/enumerations.h"

namespace {

class JudgeCompiler {
 public:
  JudgeCompiler(std::string_view expression, const DescLeadBytes& lead, const JudgeNameResolver& names,
                DescVector<DescCell>* program)
      : tokens_(expression, lead), names_(names), program_(program) {}

  // One sequence: term (operator term)*, up to the end of the value or, when nested, up to
  // its closing parenthesis. A term is any number of `!`, then a name, a number or a group.
  JudgeResult Sequence(int depth) {
    const bool nested = depth > 0;
    WORD pendingBinary = 0;
    size_t pendingNots = 0;
    bool expectOperand = true;
    for (;;) {
      const DescToken token = tokens_.Next();
      switch (token.kind) {
        case DescTokenKind::kName:
        case DescTokenKind::kNumber:
        case DescTokenKind::kOpenParen: {
          if (!expectOperand) return JudgeResult::kSyntax;
          JudgeResult result = Operand(token, depth);
          if (result != JudgeResult::kOk) return result;
          // The operand's own prefixes first, then the operator that waited for it.
          for (; pendingNots; --pendingNots) {
            if ((result = Emit({kCellOperator, kOpNot})) != JudgeResult::kOk) return result;
          }
          if (pendingBinary) {
            if ((result = Emit({kCellOperator, pendingBinary})) != JudgeResult::kOk) return result;
            pendingBinary = 0;
          }
          expectOperand = false;
          break;
        }
        case DescTokenKind::kOperator: {
          const WORD code = DescOperatorCode(token.text);
          if (code == 0) return JudgeResult::kSyntax;
          if (code == kOpNot) {
            if (!expectOperand) return JudgeResult::kSyntax;
            if (++pendingNots > kJudgeMaxCells) return JudgeResult::kTooLarge;
          } else {
            if (expectOperand) return JudgeResult::kSyntax;
            pendingBinary = code;
            expectOperand = true;
          }
          break;
        }
        case DescTokenKind::kCloseParen:
          return nested && !expectOperand ? JudgeResult::kOk : JudgeResult::kSyntax;
        case DescTokenKind::kEnd:
          return !nested && !expectOperand ? JudgeResult::kOk : JudgeResult::kSyntax;
        default:
          return JudgeResult::kSyntax;  // quotes, signs, braces, colons: no expression has them
      }
    }
  }

  JudgeResult Emit(DescCell cell) {
    if (program_->size() >= kJudgeMaxCells) return JudgeResult::kTooLarge;
    program_->push_back(cell);
    return JudgeResult::kOk;
  }

 private:
  JudgeResult Operand(const DescToken& token, int depth) {
    if (token.kind == DescTokenKind::kOpenParen) {
      if (depth >= kJudgeMaxDepth) return JudgeResult::kTooDeep;
      return Sequence(depth + 1);
    }
    if (token.kind == DescTokenKind::kNumber) {
      if (token.text.size() > 5) return JudgeResult::kNumberTooLarge;
      DWORD n = 0;
      for (char c : token.text) n = n * 10 + DWORD(c - '0');
      if (n > 0xFFFF) return JudgeResult::kNumberTooLarge;
      return Emit({kCellConstant, static_cast<WORD>(n)});
    }
    if (!names_.AppendName(token.text, program_)) return JudgeResult::kUnknownName;
    return program_->size() > kJudgeMaxCells ? JudgeResult::kTooLarge : JudgeResult::kOk;
  }

  DescTokenizer tokens_;
  const JudgeNameResolver& names_;
  DescVector<DescCell>* program_;
};

}  // namespace

WORD DescOperatorCode(std::string_view text) {
  LONG code = 0;
  return DescFindEnum(kDescOperatorNames, text, &code) ? static_cast<WORD>(code) : 0;
}

JudgeResult DescCompileJudge(std::string_view expression, const DescLeadBytes& lead,
                             const JudgeNameResolver& names, DescVector<DescCell>* program) {
  program->clear();
  JudgeCompiler compiler(expression, lead, names, program);
  JudgeResult result = compiler.Sequence(0);
  if (result == JudgeResult::kOk) result = compiler.Emit({kCellOperator, kOpEnd});
  if (result == JudgeResult::kOk && !DescCheckProgram(program->data(), program->size()))
    result = JudgeResult::kIllFormed;
  return result;
}

bool DescCheckProgram(const DescCell* cells, size_t count) {
  int live = 0;
  for (size_t i = 0; i < count; ++i) {
    const DescCell cell = cells[i];
    if (cell.kind == kCellItem || cell.kind == kCellConstant) {
      if (++live > kJudgeMaxLive) return false;
    } else if (cell.kind == kCellOperator && cell.value == kOpEnd) {
      return live == 1 && i + 1 == count;
    } else if (cell.kind == kCellOperator && cell.value == kOpNot) {
      if (live < 1) return false;
    } else if (cell.kind == kCellOperator && cell.value >= kOpEqual && cell.value <= kOpLessEqual) {
      if (live < 2) return false;
      --live;
    } else {
      return false;
    }
  }
  return false;  // no end cell
}
