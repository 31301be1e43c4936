// The alerts of an item's conditions block: the first whose program holds, its message string,
// and its action, which runs only for an answer that accepts it.
#include "settings/constraints/alerts.h"

#include <string>

#include "data/item_ids.h"
#include "settings/constraints/eval_fixture.h"
#include "settings/items/store.h"

namespace {

constexpr WORD kPageRotation = 1012;

class AlertsTest : public ConstraintContextTest {
 protected:
  // dmCopies with three alerts: copies 2 (a property alert that fixes copies to 3), copies 2 or 4
  // (never reached for 2: the first holding alert wins), and one without a program after an
  // alert whose action opens the rotation dialog.
  void SetUp() override {
    ConstraintContextTest::SetUp();
    Describe(
        "*OpenUI *ZMD_dmCopies: Numeric\n*CloseUI\n"
        "*Judge 1=Two: ZMD_dmCopies == 2\n"
        "*Judge 2=TwoOrFour: (ZMD_dmCopies == 2) || (ZMD_dmCopies == 4)\n"
        "*Judge 3=Nine: ZMD_dmCopies == 9\n"
        "*Action 1=Three: { {ZMD_dmCopies 3} }\n"
        "*Action 2=Rotation: { {ZMD_dmCollate 1} {ZMD_IDD_DIALOG_ROTATION 0} {ZMD_dmDuplex 3} }\n"
        "*Transact 1=MakeThree: { {NULL Three} }\n"
        "*Transact 2=OpenRotation: { {NULL Rotation} }\n"
        "*AlertAction 1=FixCopies: { {ZMD_dmCopies MakeThree} }\n"
        "*AlertAction 2=AskRotation: { {ZMD_dmCollate OpenRotation} {ZMD_dmCopies MakeThree} }\n"
        "*Alert 1=CopiesAlert: {\n"
        "  {Two ZMD_ScaleIllegalMessage MB_ICONQUESTION MB_YESNO AlertProperty FixCopies}\n"
        "  {TwoOrFour ZMD_MarkMessage MB_ICONSTOP MB_OKCANCEL AlertDialog NULL}\n"
        "  {Nine ZMD_OverlayStampMessage MB_ICONEXCLAMATION MB_OK AlertOkApply AskRotation}\n"
        "  {NULL ZMD_MainteDelMessage MB_ICONINFORMATION MB_OK AlertAtOnce NULL}\n"
        "}\n"
        "*Exclusive: { {ZMD_dmCopies NULL NULL NULL CopiesAlert NULL NULL} }\n");
  }
  const DescNode* Copies() { return DescSlotNode(D(), kItemCopies); }
};

TEST_F(AlertsTest, TheFirstHoldingAlertIsFoundWithItsFields) {
  struct Case {
    DWORD copies;
    WORD message;
    UINT string;
    SHORT icon, buttons, kind;
  };
  const Case cases[] = {
      {2, 257, 235, MB_ICONQUESTION, MB_YESNO, kAlertProperty},          // the first of two that hold
      {4, 284, 10047, MB_ICONSTOP, MB_OKCANCEL, kAlertDialog},
      {9, 290, 10058, MB_ICONEXCLAMATION, MB_OK, kAlertOkApply},
      {5, 269, 10016, MB_ICONINFORMATION, MB_OK, kAlertAtOnce},                           // no program: always holds
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.copies);
    Set(kItemCopies, c.copies);
    DescAlertView alert{};
    ASSERT_TRUE(CondFindAlert(context_, Copies(), &alert));
    EXPECT_EQ(alert.message, c.message);
    EXPECT_EQ(CondAlertStringId(alert), c.string);
    EXPECT_EQ(alert.icon, c.icon);
    EXPECT_EQ(alert.buttons, c.buttons);
    EXPECT_EQ(alert.kind, c.kind);
  }
}

TEST_F(AlertsTest, NothingIsFoundWithoutNodeBlockOrDescription) {
  DescAlertView alert{};
  EXPECT_FALSE(CondFindAlert(context_, nullptr, &alert));
  EXPECT_FALSE(CondFindAlert(context_, DescSlotNode(D(), kItemCollate), &alert));  // no record
  context_->description = nullptr;
  EXPECT_FALSE(CondFindAlert(context_, Copies(), &alert));
}

TEST_F(AlertsTest, TheActionRunsOnlyForAnAcceptingAnswer) {
  Set(kItemCopies, 2);
  DescAlertView alert{};
  ASSERT_TRUE(CondFindAlert(context_, Copies(), &alert));
  for (int refusing : {IDCANCEL, IDNO, IDABORT, IDRETRY, IDIGNORE}) {
    EXPECT_EQ(CondRunAlertAction(context_, alert, refusing), 0);
    EXPECT_EQ(Get(kItemCopies), 2u) << refusing;
  }
  EXPECT_EQ(CondRunAlertAction(context_, alert, IDYES), 0);
  EXPECT_EQ(Get(kItemCopies), 3u);
  Set(kItemCopies, 2);
  EXPECT_EQ(CondRunAlertAction(context_, alert, IDOK), 0);
  EXPECT_EQ(Get(kItemCopies), 3u);
}

TEST_F(AlertsTest, ARuleNamingADialogEndsTheActionWithItsTarget) {
  Set(kItemCopies, 9);
  DescAlertView alert{};
  ASSERT_TRUE(CondFindAlert(context_, Copies(), &alert));
  EXPECT_EQ(CondRunAlertAction(context_, alert, IDOK), kPageRotation);
  EXPECT_EQ(Get(kItemCollate), 1u);  // the action before the dialog ran
  EXPECT_EQ(Get(kItemDuplex), 0u);   // the one after it did not
  EXPECT_EQ(Get(kItemCopies), 9u);   // nor the entries after it
  EXPECT_EQ(CondRunAlertAction(context_, alert, IDCANCEL), 0);
}
}  // namespace
