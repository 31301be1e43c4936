// A context without a printer whose model description is compiled from a description fragment,
// and programs written cell by cell.
#pragma once

#include <string>
#include <vector>

#include "settings/description/image_fixture.h"
#include "settings/items/store_fixture.h"
#include "settings/constraints/eval.h"

// A program as the image holds it: little-endian cells {kind, value}.
class RawProgram {
 public:
  RawProgram(const std::vector<DescCell>& cells) {
    for (const DescCell& cell : cells) {
      BYTE bytes[4];
      DescStoreU16(bytes, cell.kind);
      DescStoreU16(bytes + 2, cell.value);
      bytes_.insert(bytes_.end(), bytes, bytes + 4);
    }
  }
  const DescProgram* get() const { return reinterpret_cast<const DescProgram*>(bytes_.data()); }

 private:
  std::vector<BYTE> bytes_;
};

constexpr DescCell Item(WORD id) { return {kCellItem, id}; }
constexpr DescCell Const(WORD value) { return {kCellConstant, value}; }
constexpr DescCell Op(WORD op) { return {kCellOperator, op}; }
constexpr DescCell kEnd = {kCellOperator, kOpEnd};

class ConstraintContextTest : public ItemStoreTest {
 protected:
  // Compiles `text` (it must compile without remarks) and makes it the context's description.
  void Describe(const std::string& text) {
    std::string remarks;
    image_ = velm::test::CompileText(text, &remarks);
    ASSERT_TRUE(image_);
    EXPECT_EQ(remarks, "");
    context_->description = image_.get();
  }
  const ModelDescription* D() const { return image_.get(); }
  // The conditions block of item `id`'s record.
  DescConditionsView Conditions(WORD id) {
    DescConditionsView view{};
    DescReadConditions(D(), DescNodeConditions(D(), DescSlotNode(D(), id)), &view);
    return view;
  }
  // The result of `expression` as a Judge, read through the disabled program of dmCopies.
  LONG Evaluate(const std::string& expression) {
    Describe("*OpenUI *ZMD_dmCopies: Numeric\n*CloseUI\n*Judge 1=J: " + expression +
             "\n*Exclusive: { {ZMD_dmCopies J NULL NULL NULL NULL NULL} }\n");
    const DescProgram* program = Conditions(12).disabled;
    EXPECT_NE(program, nullptr) << expression;
    return program ? CondEvaluate(context_, program) : -12345;
  }
  void Set(WORD id, DWORD stored) { ASSERT_TRUE(OptSetValue(context_, id, stored)) << id; }
  DWORD Get(WORD id) { return OptGetValue(context_, id); }

  velm::test::Image image_;
};
