// Constraint-query sessions over the installed printer, called in this process so that a test
// can look into the session's slots and set items of its context between calls.
#pragma once

#include <string>
#include <vector>

#include "api_fixture.h"
#include "exclude/command_engine.h"
#include "exclude/exc_session.h"
#include "exclude/velmexc.h"
#include "settings/description/command_node_values.h"

namespace velm::test {

// The four commands every base needs, at values the shipped model accepts as they stand.
inline const std::string kRequiredLines =
    "@PJL SET APLPAGESIZE = A4 \r\n"
    "@PJL SET APLPAGELAYOUT = PORTRAIT \r\n"
    "@PJL SET PAPER = SAME \r\n"
    "@PJL SET TRAY = ALL \r\n";

inline std::string SetLine(const std::string& name, const std::string& value) {
  return "@PJL SET " + name + " = " + value + " \r\n";
}

// The entries of a NUL-separated list that ends with one more NUL.
inline std::vector<std::string> SplitList(const std::string& bytes) {
  std::vector<std::string> entries;
  size_t at = 0;
  while (at < bytes.size() && bytes[at] != 0) {
    const size_t end = bytes.find('\0', at);
    entries.push_back(bytes.substr(at, end - at));
    at = end + 1;
  }
  return entries;
}

class ExcTest : public ApiTest {
 protected:
  void TearDown() override {
    for (EXCSESSION s : sessions_) ExcFreeExclusive(s);
    ApiTest::TearDown();
  }
  EXCSESSION Session() {
    EXCSESSION s = ExcGetExclusive(kPrinter);
    EXPECT_NE(s, nullptr);
    if (s) sessions_.push_back(s);
    return s;
  }
  void Close(EXCSESSION s) {
    std::erase(sessions_, s);
    ExcFreeExclusive(s);
  }

  // A text export's result and text (the needed size first, then a buffer of that size).
  template <class Call>
  static std::string Fetch(Call call, int32_t* result = nullptr) {
    uint32_t needed = 0xFFFF;
    int32_t first = call(0, nullptr, &needed);
    if (needed == 0) {
      if (result) *result = first;
      return {};
    }
    std::string text(needed, '\x7F');
    const int32_t second = call(needed, text.data(), &needed);
    if (result) *result = second;
    return text;
  }
  static std::string Base(EXCSESSION s) {
    return Fetch([&](uint32_t n, char* b, uint32_t* p) { return ExcGetCommandBase(s, n, b, p); });
  }
  static std::string Changes(EXCSESSION s) {
    return Fetch([&](uint32_t n, char* b, uint32_t* p) { return ExcGetCommandChange(s, n, b, p); });
  }
  static std::vector<std::string> Values(EXCSESSION s, const char* command, int acceptable) {
    return SplitList(Fetch([&](uint32_t n, char* b, uint32_t* p) { return ExcGetCommandValue(s, command, acceptable, n, b, p); }));
  }
  static std::vector<std::string> Options(EXCSESSION s, const char* command) {
    return SplitList(Fetch([&](uint32_t n, char* b, uint32_t* p) { return ExcGetPrinterOption(s, command, n, b, p); }));
  }
  static std::string Value(EXCSESSION s, const char* command) {
    std::string text = Fetch([&](uint32_t n, char* b, uint32_t* p) { return ExcGetPrinterValue(s, command, n, b, p); });
    return text.empty() ? text : text.substr(0, text.size() - 1);
  }
  // Applies a base; its result, and the change list it left (fetched, so it is gone).
  static int32_t ApplyBase(EXCSESSION s, const std::string& block, std::string* changes = nullptr) {
    uint32_t size = 0xFFFF;
    const int32_t result = ExcSetCommandBase(s, block.c_str(), &size);
    EXPECT_EQ(size, s->changeLength);
    const std::string list = Changes(s);
    if (changes) *changes = list.empty() ? list : list.substr(0, list.size() - 1);
    return result;
  }
  static int32_t Update(EXCSESSION s, const std::string& line, std::string* changes = nullptr) {
    uint32_t size = 0xFFFF;
    const int32_t result = ExcUpdateCommand(s, line.c_str(), &size);
    EXPECT_EQ(size, s->changeLength);
    const std::string list = Changes(s);
    if (changes) *changes = list.empty() ? list : list.substr(0, list.size() - 1);
    return result;
  }
  static DWORD Item(EXCSESSION s, WORD id) { return OptGetValue(s->context, id); }
  static void SetItem(EXCSESSION s, WORD id, DWORD value) { ASSERT_TRUE(OptSetValue(s->context, id, value)) << id; }

  std::vector<EXCSESSION> sessions_;
};

}  // namespace velm::test
