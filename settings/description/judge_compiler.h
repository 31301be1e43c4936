// The Judge compiler: an infix condition of the model description turned into a postfix
// program of 4-byte cells, which the constraint evaluator runs.
//
// There is no precedence. Operators apply left to right as they come, so
//     A == B && C == D      means  ((A == B) && C) == D
// and a description groups with parentheses: (A == B) && (C == D). A parenthesised group is an
// operand like a name. `!` is a prefix and applies to the operand that follows it. Names are
// item symbols, value symbols or the names of earlier Judges (whose cells are copied in);
// numbers are decimal constants up to 65535.
#pragma once

#include <cstddef>
#include <string_view>

#include "settings/description/lexer.h"
#include "settings/description/parse_result.h"

// What a name in an expression stands for.
class JudgeNameResolver {
 public:
  virtual ~JudgeNameResolver() = default;
  // Appends the cells of `name` (without an end cell) to `program`; false for an unknown name.
  virtual bool AppendName(std::string_view name, DescVector<DescCell>* program) const = 0;
};

enum class JudgeResult : int {
  kOk,
  kUnknownName,
  kSyntax,          // a byte, operator or order that no expression has
  kNumberTooLarge,  // a constant above 65535
  kTooDeep,         // parentheses nested beyond kJudgeMaxDepth
  kTooLarge,        // more than kJudgeMaxCells cells
  kIllFormed,       // the program check refused it
};

constexpr int kJudgeMaxDepth = 32;
constexpr size_t kJudgeMaxCells = 4096;
// The evaluator's stack holds 256 entries; a program never keeps more than this many alive.
constexpr int kJudgeMaxLive = 127;

// Compiles `expression` into `program` (cleared first), ended by {3, 10}. On failure the
// program's contents are unspecified. Throws std::bad_alloc when memory runs out.
JudgeResult DescCompileJudge(std::string_view expression, const DescLeadBytes& lead,
                             const JudgeNameResolver& names, DescVector<DescCell>* program);

// The program check: counting from 0, an item or constant cell adds one (more than
// kJudgeMaxLive is too many), `!` needs one, every other operator needs two and removes one,
// and exactly one is left at the end cell, which is the last cell.
bool DescCheckProgram(const DescCell* cells, size_t count);

// The code of an operator ("==" 1 ... "<=" 9), or 0 for an unknown run.
WORD DescOperatorCode(std::string_view text);
