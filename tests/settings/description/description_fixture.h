// Helpers of the description parser tests: parse text and look at the result.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "settings/description/parser.h"

namespace velm::test {

struct FreeParseResult {
  void operator()(DescParseResult* result) const { DescFreeParseResult(result); }
};
using ParsedDescription = std::unique_ptr<DescParseResult, FreeParseResult>;

// Parses `text` with no double-byte characters (or with the test page's when `doubleByte`).
inline ParsedDescription ParseDescription(std::string_view text, bool doubleByte = false) {
  static const DescLeadBytes kSingle{};
  static const DescLeadBytes kDouble = DescLeadBytes::DoubleByteTestPage();
  return ParsedDescription(DescParseText(text.data(), text.size(), doubleByte ? &kDouble : &kSingle));
}

inline std::string Text(const DescString& text) { return std::string(text.data(), text.size()); }

// The issues of a result as "line: issue keyword" lines, for readable failures.
inline std::string IssueList(const DescParseResult& result) {
  std::string out;
  for (const DescParseIssue& issue : result.issues) {
    out += std::to_string(issue.line) + ": " + DescIssueText(issue.issue) + " [" + Text(issue.keyword) + "]" +
           (issue.dropped ? " dropped\n" : "\n");
  }
  return out;
}

inline std::vector<DescIssue> IssueKinds(const DescParseResult& result) {
  std::vector<DescIssue> kinds;
  for (const DescParseIssue& issue : result.issues) kinds.push_back(issue.issue);
  return kinds;
}

inline std::vector<DescCell> Cells(const DescJudge& judge) { return {judge.cells.begin(), judge.cells.end()}; }

}  // namespace velm::test
