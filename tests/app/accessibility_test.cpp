// What a screen reader meets: the main window with its page and panels, the
// options dialog and the playlist dialog, read through Qt's accessibility
// interfaces. Every control a user can work has a name; the position bar
// tells its value and range; every menu command can be reached by keyboard.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <memory>
#include <set>

#include "app/browser/shl_ctrl_panel.h"
#include "app/player/av_control_panel.h"
#include "app/player/av_panel.h"
#include "app/player/track_bar.h"
#include "app/playlist/playlist_dialog.h"
#include "app/settings/opt_dialog.h"
#include "app/shell/main_form.h"
#include "app/shell/player_page.h"
#include "engine/media/media_lib.h"
#include "platform/video_system.h"
#include "settings_sandbox.h"
#include "tests/support/test_media.h"
#include "xvfb_qt_app.h"

namespace vexo {
namespace {

const std::set<QAccessible::Role> kInteractive = {
    QAccessible::PushButton,   QAccessible::CheckBox,       QAccessible::RadioButton,
    QAccessible::EditableText, QAccessible::ComboBox,       QAccessible::Slider,
    QAccessible::SpinBox,      QAccessible::Tree,           QAccessible::Table,
    QAccessible::List,         QAccessible::PageTabList,    QAccessible::PageTab,
    QAccessible::MenuBar,      QAccessible::PopupMenu,      QAccessible::MenuItem,
    QAccessible::ButtonMenu,   QAccessible::ButtonDropDown, QAccessible::ToolBar};

QString Describe(QAccessibleInterface* iface) {
  QObject* object = iface->object();
  QString where;
  for (QObject* o = object; o; o = o->parent())
    where.prepend(QString("/%1(%2)").arg(o->metaObject()->className(), o->objectName()));
  return QString("role %1 at %2 (description \"%3\")")
      .arg(int(iface->role()))
      .arg(where, iface->text(QAccessible::Description));
}

// Walks the tree below `root` and lists the interactive controls without a name.
void CollectUnnamed(QAccessibleInterface* iface, QStringList& unnamed, int depth = 0) {
  if (!iface || depth > 40) return;
  if (kInteractive.count(iface->role()) && iface->text(QAccessible::Name).trimmed().isEmpty())
    unnamed << Describe(iface);
  // The cells of views are named by their data, and a drop-down list's
  // pop-up belongs to the drop-down: the view and the box are what count.
  if (iface->role() == QAccessible::Tree || iface->role() == QAccessible::Table ||
      iface->role() == QAccessible::List || iface->role() == QAccessible::ComboBox)
    return;
  for (int i = 0; i < iface->childCount(); ++i) CollectUnnamed(iface->child(i), unnamed, depth + 1);
}

QStringList UnnamedBelow(QObject* root) {
  QStringList unnamed;
  CollectUnnamed(QAccessible::queryAccessibleInterface(root), unnamed);
  // Menus hang outside the widget tree until they open.
  for (QMenu* menu : root->findChildren<QMenu*>())
    CollectUnnamed(QAccessible::queryAccessibleInterface(menu), unnamed);
  return unnamed;
}

class AccessibilityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test::XvfbQtApp()) << "Xvfb did not start";
    Sandbox = std::make_unique<test::TSettingsSandbox>();
    test::LoadMediaLib();
  }
  void TearDown() override {
    Form.reset();
    Sandbox.reset();
  }
  void StartMainWindow() {
    Form = std::make_unique<TPLMainForm>();
    ASSERT_TRUE(Form->Created());
    Form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
  }

  std::unique_ptr<test::TSettingsSandbox> Sandbox;
  TDesktopVideoSystem Video;
  std::unique_ptr<TPLMainForm> Form;
};

TEST_F(AccessibilityTest, EveryControlOfTheMainWindowHasAName) {
  StartMainWindow();
  const QStringList unnamed = UnnamedBelow(Form.get());
  EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join('\n').toStdString();
  // A control that shows only a picture says what it is, and its hint says more.
  QAccessibleInterface* play =
      QAccessible::queryAccessibleInterface(Form->Page()->BrowserCtrlPanel()->PlayButton());
  EXPECT_EQ(play->text(QAccessible::Name), "Play selection");
  EXPECT_EQ(play->text(QAccessible::Description), "Play the selected files and folders");
}

TEST_F(AccessibilityTest, EveryControlOfTheOptionsDialogHasAName) {
  TOptions options(Sandbox->ProgramDir());
  options.LoadSave(false);
  TOptDialog dialog(options);
  dialog.Init(0);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  for (int page = 0; page < dialog.Pages->count(); ++page) {
    dialog.Pages->setCurrentIndex(page);
    QTest::qWait(20);
    const QStringList unnamed = UnnamedBelow(&dialog);
    EXPECT_TRUE(unnamed.isEmpty()) << "page " << page << "\n" << unnamed.join('\n').toStdString();
  }
}

TEST_F(AccessibilityTest, EveryControlOfThePlaylistDialogHasAName) {
  TOptions options(Sandbox->ProgramDir());
  TPlaylistDialog dialog(nullptr, options);
  dialog.Setup({1, 1, 1000}, [](TPlaylistDialog&) {});
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  const QStringList unnamed = UnnamedBelow(&dialog);
  EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join('\n').toStdString();
}

TEST_F(AccessibilityTest, ThePositionBarTellsItsValueAndRange) {
  StartMainWindow();
  TAVPanel* panel = Form->Page()->VideoPanel();
  panel->PlayFile(QString::fromStdString(test::MediaPath("h264_320x240.mp4")), vmRaster);
  TCTrackBar* bar = panel->ControlPanel()->PositionBar();
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(bar);
  ASSERT_NE(iface, nullptr);
  EXPECT_EQ(iface->role(), QAccessible::Slider);
  EXPECT_FALSE(iface->text(QAccessible::Name).isEmpty());
  QAccessibleValueInterface* value = iface->valueInterface();
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(value->minimumValue().toInt(), 0);
  EXPECT_EQ(value->maximumValue().toInt(), bar->Max());
  EXPECT_GT(bar->Max(), 0);
  // A screen reader moves the bar through the same interface, as a click
  // there does: the player goes there and waits.
  value->setCurrentValue(1000);
  EXPECT_NEAR(bar->Position(), 1000, 80);
  EXPECT_EQ(value->currentValue().toInt(), bar->Position());
  EXPECT_NEAR(panel->Player()->FramePos() * 40, 1000, 80);
  EXPECT_EQ(panel->Player()->State(), psPaused);
}

// Each menu opens by its mnemonic (Alt and the letter), and each of its
// commands has a letter of its own there or a shortcut key.
TEST_F(AccessibilityTest, EveryMenuCommandCanBeReachedByKeyboard) {
  StartMainWindow();
  QStringList unreachable;
  for (QAction* top : Form->menuBar()->actions()) {
    if (!top->isVisible()) continue;
    if (!top->text().contains('&')) unreachable << "menu " + top->text();
    if (!top->menu()) continue;
    for (QAction* item : top->menu()->actions()) {
      if (item->isSeparator() || !item->isVisible()) continue;
      if (!item->text().contains('&') && item->shortcut().isEmpty())
        unreachable << top->text() + " > " + item->text();
    }
  }
  EXPECT_TRUE(unreachable.isEmpty()) << unreachable.join('\n').toStdString();
}

}  // namespace
}  // namespace vexo
