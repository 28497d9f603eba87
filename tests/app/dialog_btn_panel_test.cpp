// The dialog button strip in a real dialog on a private X server: which
// buttons it makes and where, their texts, and what Enter, Escape and clicks do.
#include <gtest/gtest.h>

#include <QDialog>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <memory>

#include "app/common/dialog_btn_panel.h"
#include "app/common/language_list.h"
#include "app/shell/command_table.h"
#include "picture_checks.h"
#include "xvfb_qt_app.h"

namespace vexo {
namespace {

// A dialog with an edit field above the strip, shown and active.
class TBtnDialog {
 public:
  explicit TBtnDialog(TDlgBtnSet kinds, int width = 400) {
    auto* layout = new QVBoxLayout(&Dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    Edit = new QLineEdit(&Dialog);
    layout->addWidget(Edit);
    Panel = new TDialogBtnPanel(&Dialog);
    layout->addWidget(Panel);
    Panel->Setup(kinds, true, 8, [this](QPushButton* b) {
      Clicks.push_back(TDialogBtnPanel::KindOf(b));
      if (KeepOpen) Panel->KeepDialogOpen();
    });
    Dialog.resize(width, 120);
  }
  bool Show() {
    Dialog.open();
    Dialog.activateWindow();
    if (!QTest::qWaitForWindowActive(&Dialog)) return false;
    Edit->setFocus();
    return true;
  }
  QDialog Dialog;
  QLineEdit* Edit;
  TDialogBtnPanel* Panel;
  std::vector<int> Clicks;
  bool KeepOpen = false;
};

class DialogBtnPanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test::XvfbQtApp()) << "Xvfb did not start";
    LResList.LoadFile(VEXO_SOURCE_DIR "/resources/language/English.lrf");
    ASSERT_TRUE(LResList.IsLoaded());
  }
  void TearDown() override { LResList.Clear(); }
};

TEST_F(DialogBtnPanelTest, ButtonsComeInKindOrderWithEnglishTexts) {
  TDlgBtnSet all;
  all.set();
  TBtnDialog d(all, 2400);
  int lastX = -1;
  for (int kind = 0; kind < kDlgBtnKindCount; ++kind) {
    QPushButton* b = d.Panel->Button(kind);
    ASSERT_NE(b, nullptr) << kind;
    EXPECT_EQ(TDialogBtnPanel::KindOf(b), kind);
    EXPECT_FALSE(b->text().isEmpty());
    EXPECT_EQ(b->text(), LResList.ReadValue("A_DlgBtnPanel", DlgBtnRec(kind).Key, "?")) << kind;
    // Left group then right group, each in kind order.
    if (kind != bOK) {
      EXPECT_GT(b->x(), lastX) << kind;
    }
    lastX = b->x();
  }
  EXPECT_EQ(d.Panel->Button(bCancel)->text(), "&Cancel");
  EXPECT_EQ(d.Panel->DefaultButton(), d.Panel->Button(bOK));
  EXPECT_EQ(d.Panel->CancelButton(), d.Panel->Button(bClose));
}

TEST_F(DialogBtnPanelTest, MissingTextsFallBackAndATranslationReplacesThem) {
  QTemporaryDir dir;
  QFile lrf(dir.filePath("Test.lrf"));
  ASSERT_TRUE(lrf.open(QIODevice::WriteOnly));
  lrf.write("[a_dlgbtnpanel]\nbProceed=Weiter\nbHelp=\n");
  lrf.close();
  LResList.LoadFile(lrf.fileName());
  TBtnDialog d(DlgBtns({bProceed, bRetry, bDlgHelp}));
  EXPECT_EQ(d.Panel->Button(bProceed)->text(), "Weiter");
  EXPECT_EQ(d.Panel->Button(bRetry)->text(), "&Retry");
  EXPECT_EQ(d.Panel->Button(bDlgHelp)->text(), "");  // present but empty stays empty
  LResList.Clear();
  EXPECT_EQ(d.Panel->Caption(bProceed), "&Proceed");
}

struct TLayoutCase {
  const char* Name;
  std::vector<TDlgBtnKind> Kinds;
  int Width;
  std::vector<int> Lefts;  // in kind order
};

void PrintTo(const TLayoutCase& c, std::ostream* os) {
  *os << c.Name;
}

class DialogBtnLayoutTest : public DialogBtnPanelTest,
                            public ::testing::WithParamInterface<TLayoutCase> {};

TEST_P(DialogBtnLayoutTest, ButtonsSitWhereTheRulesPutThem) {
  const TLayoutCase& c = GetParam();
  TDlgBtnSet kinds;
  for (TDlgBtnKind kind : c.Kinds) kinds.set(kind);
  TBtnDialog d(kinds, c.Width);
  ASSERT_TRUE(d.Show());
  ASSERT_EQ(d.Panel->width(), c.Width);
  for (size_t i = 0; i < c.Kinds.size(); ++i) {
    QPushButton* b = d.Panel->Button(c.Kinds[i]);
    EXPECT_EQ(b->geometry(), QRect(c.Lefts[i], 12, 90, 28)) << DlgBtnRec(c.Kinds[i]).Key;
  }
  // A wider dialog moves the right group along and leaves the left one.
  d.Dialog.resize(c.Width + 100, 120);
  QTest::qWait(0);
  for (size_t i = 0; i < c.Kinds.size(); ++i) {
    const bool left = c.Kinds[i] <= bDefault;
    EXPECT_EQ(d.Panel->Button(c.Kinds[i])->x(), c.Lefts[i] + (left ? 0 : 100));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DialogBtnLayoutTest,
    ::testing::Values(TLayoutCase{"OkCancelHelp", {bOK, bCancel, bDlgHelp}, 400, {114, 208, 302}},
                      TLayoutCase{"DefaultsOnTheLeft",
                                  {bDefault, bOK, bCancel, bDlgHelp},
                                  400,
                                  {8, 114, 208, 302}},
                      // 4 pixels between Back and Next, 20 between Next and Cancel.
                      TLayoutCase{"WizardGap", {bBack, bNext, bCancel}, 500, {198, 292, 402}},
                      TLayoutCase{"TwoLeftOneRight", {bAdd, bDelete, bClose}, 300, {8, 102, 202}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(DialogBtnPanelTest, EnterPressesTheDefaultAndEscapeTheCancelButton) {
  TBtnDialog d(DlgBtns({bOK, bCancel, bDlgHelp}));
  ASSERT_TRUE(d.Show());
  QTest::keyClick(d.Edit, Qt::Key_Return);
  EXPECT_EQ(d.Clicks, std::vector<int>{bOK});
  EXPECT_EQ(d.Dialog.result(), QDialog::Accepted);
  EXPECT_FALSE(d.Dialog.isVisible());

  ASSERT_TRUE(d.Show());
  d.Clicks.clear();
  QTest::keyClick(d.Edit, Qt::Key_Escape);
  EXPECT_EQ(d.Clicks, std::vector<int>{bCancel});
  EXPECT_EQ(d.Dialog.result(), QDialog::Rejected);
  EXPECT_FALSE(d.Dialog.isVisible());
}

TEST_F(DialogBtnPanelTest, WithoutRolesEnterAndEscapeDoNothing) {
  TBtnDialog d(DlgBtns({bDlgHelp}));
  EXPECT_EQ(d.Panel->DefaultButton(), nullptr);
  EXPECT_EQ(d.Panel->CancelButton(), nullptr);
  ASSERT_TRUE(d.Show());
  QTest::keyClick(d.Edit, Qt::Key_Return);
  QTest::keyClick(d.Edit, Qt::Key_Escape);
  EXPECT_TRUE(d.Clicks.empty());
  EXPECT_TRUE(d.Dialog.isVisible());
}

TEST_F(DialogBtnPanelTest, TheFirstConfirmingKindIsTheDefault) {
  TBtnDialog wizard(DlgBtns({bBack, bNext, bFinish, bCancel}));
  EXPECT_EQ(wizard.Panel->DefaultButton(), wizard.Panel->Button(bNext));
  TBtnDialog closeOnly(DlgBtns({bClose, bDlgHelp}));
  EXPECT_EQ(closeOnly.Panel->DefaultButton(), closeOnly.Panel->Button(bClose));
  EXPECT_EQ(closeOnly.Panel->CancelButton(), closeOnly.Panel->Button(bClose));
}

TEST_F(DialogBtnPanelTest, ClicksReachTheHandlerAndOnlyClosingKindsClose) {
  TBtnDialog d(DlgBtns({bDefault, bOK, bCancel, bDlgHelp}));
  ASSERT_TRUE(d.Show());
  QTest::mouseClick(d.Panel->Button(bDlgHelp), Qt::LeftButton);
  QTest::mouseClick(d.Panel->Button(bDefault), Qt::LeftButton);
  EXPECT_EQ(d.Clicks, (std::vector<int>{bDlgHelp, bDefault}));
  EXPECT_TRUE(d.Dialog.isVisible());
  // The handler can refuse to close, for example on an invalid value.
  d.KeepOpen = true;
  QTest::mouseClick(d.Panel->Button(bOK), Qt::LeftButton);
  EXPECT_TRUE(d.Dialog.isVisible());
  d.KeepOpen = false;
  QTest::mouseClick(d.Panel->Button(bOK), Qt::LeftButton);
  EXPECT_FALSE(d.Dialog.isVisible());
  EXPECT_EQ(d.Dialog.result(), QDialog::Accepted);
}

TEST_F(DialogBtnPanelTest, EnablingWinsOverDisablingAndOthersKeepTheirState) {
  TBtnDialog d(DlgBtns({bAdd, bEdit, bDelete, bClose}));
  d.Panel->Button(bEdit)->setEnabled(false);
  d.Panel->EnableButtons(DlgBtns({bAdd}), DlgBtns({bAdd, bDelete}));
  EXPECT_TRUE(d.Panel->Button(bAdd)->isEnabled());
  EXPECT_FALSE(d.Panel->Button(bEdit)->isEnabled());
  EXPECT_FALSE(d.Panel->Button(bDelete)->isEnabled());
  EXPECT_TRUE(d.Panel->Button(bClose)->isEnabled());
  // A disabled cancel button ignores Escape.
  d.Panel->EnableButtons({}, DlgBtns({bClose}));
  ASSERT_TRUE(d.Show());
  QTest::keyClick(d.Edit, Qt::Key_Escape);
  EXPECT_TRUE(d.Clicks.empty());
  EXPECT_TRUE(d.Dialog.isVisible());
}

// The panel as a person sees it: its buttons in one row, each with its text,
// inside the dialog, apart and drawn. The picture is kept for a look.
TEST_F(DialogBtnPanelTest, TheButtonsStandInOneRowWithTheirTextsAndAreSavedAsAPicture) {
  TBtnDialog d(DlgBtns({bDefault, bOK, bCancel, bDlgHelp}), 460);
  ASSERT_TRUE(d.Show());
  QTest::qWait(50);
  const QImage shot = d.Dialog.grab().toImage();
  std::vector<const QWidget*> buttons;
  for (int kind : {bDefault, bOK, bCancel, bDlgHelp}) {
    QPushButton* button = d.Panel->Button(kind);
    ASSERT_NE(button, nullptr) << kind;
    EXPECT_TRUE(button->isVisible()) << kind;
    EXPECT_FALSE(button->text().isEmpty()) << kind;
    EXPECT_EQ(test::PlaceIn(&d.Dialog, button).top(),
              test::PlaceIn(&d.Dialog, buttons.empty() ? button : buttons[0]).top())
        << kind;
    buttons.push_back(button);
  }
  test::ExpectLaidOut(&d.Dialog, buttons, shot);
  EXPECT_TRUE(shot.save(VEXO_BIN_DIR "/../dialog_btn_panel.png"));
}

}  // namespace
}  // namespace vexo

namespace vexo {
namespace {

// The Help button kind and the tool bar's Help command can be named in one
// file, and both keep the language key "bHelp".
TEST(DialogBtnKinds, HelpButtonAndHelpCommandLiveTogether) {
  EXPECT_STREQ(DlgBtnRec(bDlgHelp).Key, "bHelp");
  EXPECT_STREQ(PlayerCommandTable().Rows[mHelp_Contents].BarName, "bHelp");
}

}  // namespace
}  // namespace vexo
