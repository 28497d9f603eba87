// The player page in its main window on a private X server: what the user
// sees of the browser, the playlist strip and the information strip around
// the options dialog, playlists from the browser and from files, and the
// keys the window hands to the page.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QCursor>
#include <QGuiApplication>
#include <QImage>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

#include "app/browser/shell_panel.h"
#include "app/browser/shl_ctrl_panel.h"
#include "app/common/dialog_btn_panel.h"
#include "app/common/program_environment.h"
#include "app/player/page_list.h"
#include "app/player/player_widget.h"
#include "app/player/tick_bar.h"
#include "app/playlist/playlist_dialog.h"
#include "app/settings/opt_dialog.h"
#include "app/shell/mirra_ad_panel.h"
#include "event_wait.h"
#include "page_test_rig.h"
#include "qt_test_app.h"

namespace vexo {
namespace {

void MakeFolders(test::TPageDesktop& desktop) {
  const QString home = desktop.HomePath();
  QDir().mkpath(home + "/clips/inner");
  desktop.Copy("numbered_mpeg4.avi", home + "/clips/a_numbered.avi");
  desktop.Copy("mpeg4_mp3.avi", home + "/clips/b_clip.avi");
  desktop.Copy("photo_640x480.jpg", home + "/clips/c_photo.jpg");
  desktop.Copy("photo_100x75.jpg", home + "/clips/inner/e_photo.jpg");
  // Links as a user puts them under Home: to a folder, to a file, to nothing,
  // and one back to where it lies.
  QDir().mkpath(home + "/links");
  QFile::link(home + "/clips", home + "/links/clips");
  QFile::link(home + "/clips/b_clip.avi", home + "/links/b_linked.avi");
  QFile::link(home + "/nothing.avi", home + "/links/c_broken.avi");
  QFile::link(home + "/links", home + "/links/self");
}

class TDesktop : public test::TPageDesktop {
 public:
  TDesktop() : TPageDesktop("page_shell_test", MakeFolders) {}
  QString Clips() const { return HomePath() + "/clips"; }
  QString Links() const { return HomePath() + "/links"; }
};

TDesktop* const desktop = test::AddDesktopApp<TDesktop>();

class PageShellTest : public ::testing::Test, public test::TPageRig<TPlayerPage> {
 protected:
  void SetUp() override { BuildStandard(*desktop); }
  void TearDown() override { Destroy(); }

  // Runs a command that shows the options dialog, flips the sort order on
  // its browser page (so the browser is read again) and confirms.
  void ChangeSortOrderInOptions() {
    bool seen = false;
    test::TModalAnswer answer([&](QWidget* modal) {
      auto* dialog = qobject_cast<TOptDialog*>(modal);
      if (!dialog) return;
      seen = true;
      auto* sort = qobject_cast<QComboBox*>(dialog->OptionControl(oSortType));
      sort->setCurrentIndex(1 - sort->currentIndex());
      dialog->BtnPanel->Button(bOK)->click();
    });
    Execute(mtViewSett);
    ASSERT_TRUE(seen);
  }
};

// After the options dialog, the selected file is shown again with the new
// settings and the folders that were open stay open.
TEST_F(PageShellTest, TheOptionsDialogLeavesTheBrowserAndThePictureInPlace) {
  TShellNode* clips = Select(desktop->Clips());
  ASSERT_TRUE(clips);
  Expand(clips);
  TShellNode* inner = Locate(desktop->Clips() + "/inner");
  ASSERT_TRUE(inner);
  Expand(inner);
  const QString photo = desktop->Clips() + "/c_photo.jpg";
  ASSERT_TRUE(Select(photo));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Player().State() == psStopped; }));
  const int handled = Handled;

  ChangeSortOrderInOptions();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Handled > handled && !Grid().Restoring(); }, 10000));
  EXPECT_EQ(SelectedFile(), photo);
  EXPECT_EQ(OpenFile(), photo);
  EXPECT_TRUE(Player().IsOpen());
  EXPECT_FALSE(Page->VideoPanel()->ControlPanel()->CaptionLabel()->text().isEmpty());
  EXPECT_TRUE(Grid().IsExpanded(Locate(desktop->Clips())));
  EXPECT_TRUE(Grid().IsExpanded(Locate(desktop->Clips() + "/inner")));
  Options->GetOption(oSortType).SetInt(0);
}

// Playlists built from the browser show a tick per file and name the item
// under the play position, with the playlist dialog and without.
class ListTicksTest : public ::testing::WithParamInterface<bool>, public PageShellTest {};

TEST_P(ListTicksTest, AFolderPlaylistShowsTicksAndItems) {
  const bool withDialog = GetParam();
  ASSERT_TRUE(Select(desktop->Clips()));
  Options->GetOption(oPlayFolders).SetBool(true);
  Options->GetOption(oPlaySubfolders).SetBool(false);
  Options->GetOption(oPlayShowPLDlg).SetBool(withDialog);
  std::unique_ptr<test::TModalAnswer> answer;
  if (withDialog)
    answer = std::make_unique<test::TModalAnswer>([&](QWidget*) {
      if (!Page->PlayListDialog()) return;
      for (QPushButton* button : Page->PlayListDialog()->findChildren<QPushButton*>())
        if (button->text() == "&Go ahead") button->click();
    });
  Execute(mFile_CreatePL);
  if (answer) {
    EXPECT_TRUE(answer->Seen());
  }
  ASSERT_TRUE(QTest::qWaitFor([&] { return Player().FileCount() == 3; }, 20000));
  TAVControlPanel& strip = *Page->VideoPanel()->ControlPanel();
  EXPECT_EQ(strip.TickBar()->Marks().size(), 4u);
  Player().SetState(psPlaying);
  ASSERT_TRUE(QTest::qWaitFor([&] { return strip.ItemIndex() == 0; }, 5000));
  EXPECT_TRUE(strip.CaptionLabel()->text().startsWith("Item 1 of 3: "))
      << strip.CaptionLabel()->text().toStdString();
  Player().SetState(psStopped);
}

INSTANTIATE_TEST_SUITE_P(Ways, ListTicksTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "WithDialog" : "Directly"; });

// The play button under the browser plays the selection; a single file has
// the player's own Play.
TEST_F(PageShellTest, ThePlayButtonPlaysTheSelection) {
  ASSERT_TRUE(Select(desktop->Clips() + "/b_clip.avi"));
  QToolButton* play = Page->BrowserCtrlPanel()->PlayButton();
  EXPECT_FALSE(play->isEnabled());
  ASSERT_TRUE(Select(desktop->Clips()));
  ASSERT_TRUE(play->isEnabled());
  Options->GetOption(oPlayFolders).SetBool(true);
  Options->GetOption(oPlaySubfolders).SetBool(false);
  QTest::mouseClick(play, Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Player().State() == psPlaying; }, 20000));
  EXPECT_EQ(Page->CurrentList().Count(), 3);
  Player().SetState(psStopped);
  // The menu command builds the list and leaves it on its first picture.
  ASSERT_TRUE(Select(desktop->Clips()));
  Execute(mFile_CreatePL);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Player().FileCount() == 3; }, 20000));
  EXPECT_EQ(Player().State(), psStopped);
}

// An opened playlist file replaces the selection in the information strip
// and the status bar as well.
TEST_F(PageShellTest, APlaylistFileReplacesWhatTheStripSaysOfTheSelection) {
  ASSERT_TRUE(Select(desktop->Clips() + "/c_photo.jpg"));
  TShlCtrlPanel& strip = *Page->BrowserCtrlPanel();
  ASSERT_EQ(strip.CaptionLabel(0)->text(), "Picture size:");
  ASSERT_EQ(strip.ValueLabel(0)->text(), "640 x 480");
  const QString asx = desktop->HomePath() + "/two.asx";
  TAVPlayList two;
  two.Add((desktop->Clips() + "/a_numbered.avi").toStdString());
  two.Add((desktop->Clips() + "/b_clip.avi").toStdString());
  two.SaveToFile(asx.toStdString());
  // The status bar names each file as it opens.
  QStringList opening;
  auto progress = Player().OnOpenProgress;
  Player().OnOpenProgress = [&, progress](int32_t index) {
    if (progress) progress(index);
    opening << Status->Text(TBasePage::kStatusTextPanel);
  };
  const QString before = Status->Text(TBasePage::kStatusTextPanel);
  Page->OpenPlayListFile(asx);
  Player().OnOpenProgress = progress;
  ASSERT_EQ(Player().FileCount(), 2);
  EXPECT_EQ(opening, (QStringList{"Opening: a_numbered.avi", "Opening: b_clip.avi"}));
  EXPECT_EQ(strip.CaptionLabel(0)->text(), "Frame size:");
  EXPECT_NE(strip.ValueLabel(0)->text(), "640 x 480");
  EXPECT_FALSE(strip.PlayButton()->isEnabled());
  EXPECT_EQ(Status->Text(1), "");
  EXPECT_EQ(Status->Text(2), "");
  EXPECT_NE(Status->Text(TBasePage::kStatusTextPanel), before);
}

// The window hands the keys to the page whatever has the focus: in the tree,
// Home goes to the start of the file and Left and Right step through the
// folder's files; Up and Down still move through the tree.
TEST_F(PageShellTest, TheTreeGetsOnlyTheKeysThePlayerLeaves) {
  TShellNode* clips = Select(desktop->Clips());
  ASSERT_TRUE(clips);
  Expand(clips);
  const QString clip = desktop->Clips() + "/b_clip.avi";
  ASSERT_TRUE(Select(clip));
  Grid().setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Grid().hasFocus(); }));
  const auto settled = [&] { return QTest::qWaitFor([&] { return !Page->SelectionPending(); }); };
  QTest::keyClick(&Grid(), Qt::Key_Home);
  ASSERT_TRUE(settled());
  EXPECT_EQ(SelectedFile(), clip);
  EXPECT_EQ(OpenFile(), clip);
  QTest::keyClick(&Grid(), Qt::Key_Left);
  ASSERT_TRUE(settled());
  EXPECT_EQ(SelectedFile(), desktop->Clips() + "/a_numbered.avi");
  EXPECT_EQ(OpenFile(), desktop->Clips() + "/a_numbered.avi");
  QTest::keyClick(&Grid(), Qt::Key_Right);
  ASSERT_TRUE(settled());
  EXPECT_EQ(OpenFile(), clip);
  QTest::keyClick(&Grid(), Qt::Key_Down);
  ASSERT_TRUE(settled());
  EXPECT_EQ(SelectedFile(), desktop->Clips() + "/c_photo.jpg");
}

// Reading folders without the playlist dialog shows the busy cursor and what
// is searched and collected, and then the status as it was.
TEST_F(PageShellTest, ReadingFoldersShowsTheBusyCursorAndProgress) {
  ASSERT_TRUE(Select(desktop->Clips()));
  const QString before = Status->Text(TBasePage::kStatusTextPanel);
  QStringList texts;
  bool busy = false;
  auto item = Grid().Model().OnEnumItem;
  Grid().Model().OnEnumItem = [&, item](TShellNode* node, bool& abort) {
    item(node, abort);
    busy = busy || (QGuiApplication::overrideCursor() &&
                    QGuiApplication::overrideCursor()->shape() == Qt::BusyCursor);
    texts << Status->Text(TBasePage::kStatusTextPanel);
  };
  auto add = Grid().Model().OnAddFile;
  Grid().Model().OnAddFile = [&, add](TShellNode* node, bool& accept) {
    add(node, accept);
    texts << Status->Text(TBasePage::kStatusTextPanel);
  };
  Options->GetOption(oPlayFolders).SetBool(true);
  Options->GetOption(oPlaySubfolders).SetBool(true);
  Execute(mFile_CreatePL);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Player().FileCount() == 4; }, 20000));
  Grid().Model().OnEnumItem = item;
  Grid().Model().OnAddFile = add;
  EXPECT_TRUE(busy);
  EXPECT_TRUE(texts.contains("Searching: e_photo.jpg")) << texts.join(", ").toStdString();
  EXPECT_TRUE(texts.contains("Collecting: e_photo.jpg")) << texts.join(", ").toStdString();
  EXPECT_FALSE(QGuiApplication::overrideCursor());
  EXPECT_EQ(Status->Text(TBasePage::kStatusTextPanel), before);
}

// A linked folder is listed and played like its target; a broken link is
// left out, and a link back to its own folder ends a playlist all the same.
TEST_F(PageShellTest, LinksAreListedAndPlayedLikeTheirTargets) {
  TShellNode* links = Select(desktop->Links());
  ASSERT_TRUE(links);
  Expand(links);
  QStringList names;
  for (const auto& child : links->Children) names << child->Text;
  EXPECT_EQ(names, (QStringList{"clips", "self", "b_linked.avi"}));
  ASSERT_TRUE(Select(desktop->Links() + "/b_linked.avi"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return Player().State() == psStopped; }));
  ASSERT_TRUE(Select(desktop->Links()));
  Options->GetOption(oPlayFolders).SetBool(true);
  Options->GetOption(oPlaySubfolders).SetBool(true);
  Execute(mFile_CreatePL);
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return Player().IsOpen() && !Grid().Model().Collecting(); }, 20000));
  QStringList played;
  for (int i = 0; i < Page->CurrentList().Count(); ++i)
    played << QDir(desktop->Links())
                  .relativeFilePath(QString::fromStdString(Page->CurrentList().Strings(i)));
  EXPECT_EQ(played, (QStringList{"clips/inner/e_photo.jpg", "clips/a_numbered.avi",
                                 "clips/b_clip.avi", "clips/c_photo.jpg", "b_linked.avi"}));
}

// The sibling product's picture covers the empty video area at start on the
// days it is due, and goes when the first file opens.
TEST_F(PageShellTest, TheSiblingProductPanelShowsAtStartWhenDue) {
  Destroy();
  QTemporaryDir program;
  ASSERT_TRUE(
      QFile::copy(VEXO_SOURCE_DIR "/resources/VexoPlayer.skn", program.filePath("VexoPlayer.skn")));
  const QString savedProgramDir = ProgramDir;
  const auto savedRandom = TOptions::Random;
  ProgramDir = program.path();
  TOptions::Random = [] { return 0.9; };
  Build([](TOptions& options) {
    options.GetOption(oAVVideoMode).SetInt(vmRaster);
    options.GetOption(oPlayMirraDay).SetInt(1);
    options.GetOption(oPlayExpandTree).SetBool(true);
  });
  ProgramDir = savedProgramDir;
  TOptions::Random = savedRandom;
  TMirraAdPanel* panel = Page->VideoPanel()->AdPanel();
  ASSERT_TRUE(panel);
  EXPECT_TRUE(panel->isVisible());
  EXPECT_FALSE(panel->Picture().isNull());
  EXPECT_EQ(panel->size(), Page->VideoPanel()->PageList()->size());
  EXPECT_GT(Options->GetOption(oPlayMirraDay).GetInt(), TOptions::Today());
  QTest::qWait(300);
  const QImage shot = Window->screen()->grabWindow(Window->winId()).toImage();
  shot.save(VEXO_BIN_DIR "/../sibling-panel.png");
  ASSERT_TRUE(Select(desktop->Clips() + "/b_clip.avi"));
  EXPECT_FALSE(Page->VideoPanel()->AdPanel());
}

// The picture ships beside the program.
TEST(SiblingProductPicture, ShipsBesideTheProgram) {
  const QImage picture(VEXO_BIN_DIR "/VexoPlayer.skn");
  EXPECT_GE(picture.width(), 5);
  EXPECT_GE(picture.height(), 5);
}

}  // namespace
}  // namespace vexo
