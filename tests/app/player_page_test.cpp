// The player page in a main window on a private X server, with sound going to
// a private PulseAudio null sink, over a generated folder of clips and photos:
// selecting, playing, playlists from folders, keys per focus, full screen,
// the browser position across runs, a held arrow key and the first picture on
// the X server's screen in every output mode.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <cstdlib>
#include <filesystem>

#include "app/browser/shell_panel.h"
#include "app/player/player_widget.h"
#include "app/shell/page_log_view.h"
#include "engine/media/av_log.h"
#include "engine/video/av_screen.h"
#include "event_wait.h"
#include "page_test_rig.h"
#include "qt_test_app.h"
#include "tests/support/frame_bars.h"

namespace vexo {
namespace {

constexpr int kManyPhotos = 51;

// The media folders of these tests, made once under the private home.
void MakeFolders(test::TPageDesktop& desktop) {
  const QString home = desktop.HomePath();
  QDir().mkpath(home + "/clips/inner");
  desktop.Copy("numbered_mpeg4.avi", home + "/clips/a_numbered.avi");
  desktop.Copy("mpeg4_mp3.avi", home + "/clips/b_clip.avi");
  desktop.Copy("photo_640x480.jpg", home + "/clips/c_photo.jpg");
  desktop.Copy("mpeg4_mp3_b.avi", home + "/clips/d_clip.avi");
  desktop.Copy("photo_100x75.jpg", home + "/clips/inner/e_photo.jpg");
  QDir().mkpath(home + "/many");
  for (int i = 0; i < kManyPhotos; ++i)
    desktop.Copy("photo_100x75.jpg", home + QString("/many/p%1.jpg").arg(i, 2, 10, QChar('0')));
  QDir().mkpath(home + "/today");
  desktop.Copy("numbered_h264_ac3.mkv", home + "/today/a_clip.mkv");
  desktop.Copy("numbered_vp9_opus.webm", home + "/today/b_clip.webm");
  desktop.Copy("numbered_h264_late.m2ts", home + "/today/c_camera.m2ts");
  QFile notes(home + "/today/d_notes.txt");
  notes.open(QIODevice::WriteOnly);
  QDir().mkpath(home + "/colours");
  desktop.Copy("quadrants.mp4", home + "/colours/quadrants.mp4");
  // Long enough for the minute-long seeks both ways, small and sparse enough
  // to be made in a moment.
  QDir().mkpath(home + "/long");
  QProcess::execute("ffmpeg", {"-loglevel", "error", "-f", "lavfi", "-i",
                               "testsrc2=size=96x64:rate=5:duration=150", "-c:v", "mpeg4", "-g",
                               "5", home + "/long/a_long.avi"});
  desktop.Copy("mpeg4_mp3.avi", home + "/long/b_clip.avi");
  QDir().mkpath(home + "/subtitles");
  desktop.Copy("subs_srt.mkv", home + "/subtitles/inside.mkv");
  desktop.Copy("subs_sidecar.mp4", home + "/subtitles/beside.mp4");
  desktop.Copy("subs_sidecar.srt", home + "/subtitles/beside.srt");
}

class TDesktop : public test::TPageDesktop {
 public:
  TDesktop() : TPageDesktop("player_page_test", MakeFolders) {}
  QString Clips() const { return HomePath() + "/clips"; }
  QString Many() const { return HomePath() + "/many"; }
  QString Today() const { return HomePath() + "/today"; }
  QString Colours() const { return HomePath() + "/colours"; }
  QString Long() const { return HomePath() + "/long"; }
  QString Subtitles() const { return HomePath() + "/subtitles"; }
};

TDesktop* const desktop = test::AddDesktopApp<TDesktop>();

int FrameNumberOf(const QImage& picture) {
  return test::FrameNumberFromBars(picture.width(), picture.height(),
                                   [&](int x, int y) { return qGray(picture.pixel(x, y)); });
}

// The file commands have tests of their own; here they are only recorded.
class TRecordingPage : public TPlayerPage {
 public:
  using TPlayerPage::TPlayerPage;
  bool FileOperation(TFileOperation kind) override {
    Operations.push_back(kind);
    return true;
  }
  std::vector<TFileOperation> Operations;
};

// The page in a main window as the program builds it.
class PlayerPageTest : public ::testing::Test, public test::TPageRig<TRecordingPage> {
 protected:
  void SetUp() override { BuildStandard(*desktop); }
  void TearDown() override { Destroy(); }
};

TEST_F(PlayerPageTest, SelectingAFileShowsItsFirstPictureReadyToPlay) {
  ASSERT_TRUE(Select(desktop->Clips() + "/a_numbered.avi"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Player().State() == psStopped; }));
  // The first picture is painted after the stop is reported.
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return FrameNumberOf(Page->VideoPanel()->PlayerWidget()->grab().toImage()) == 0; },
      5000));
  EXPECT_TRUE(Page->VideoPanel()->ControlPanel()->Button(TAVControlPanel::biPlay)->isEnabled());
  EXPECT_TRUE(Enabled(mvFullScreen));
  EXPECT_TRUE(Enabled(mEdit_CopyTo));
  // A single file is no playlist.
  EXPECT_FALSE(Enabled(mFile_CreatePL));
  EXPECT_FALSE(Page->BrowserCtrlPanel()->PlayButton()->isEnabled());
  EXPECT_FALSE(Status->Text(1).isEmpty());
  EXPECT_FALSE(Status->Text(2).isEmpty());
  EXPECT_TRUE(Status->Text(0).contains("Plain drawing")) << Status->Text(0).toStdString();

  // A folder closes the player and offers the playlist commands.
  ASSERT_TRUE(Select(desktop->Clips()));
  EXPECT_FALSE(Player().IsOpen());
  EXPECT_FALSE(Enabled(mvFullScreen));
  EXPECT_TRUE(Enabled(mFile_CreatePL));
  EXPECT_TRUE(Page->BrowserCtrlPanel()->PlayButton()->isEnabled());
}

TEST_F(PlayerPageTest, PlayPlaysToTheEndAndStops) {
  ASSERT_TRUE(Select(desktop->Clips() + "/b_clip.avi"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Player().State() == psStopped; }));
  QTest::mouseClick(Page->VideoPanel()->ControlPanel()->Button(TAVControlPanel::biPlay),
                    Qt::LeftButton);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Player().State() == psPlaying; }));
  QTest::qWait(700);
  // The picture of the page while it plays, to be looked at.
  const QImage shot = Window->screen()->grabWindow(Window->winId()).toImage();
  shot.save(VEXO_BIN_DIR "/../player-page.png");
  EXPECT_EQ(shot.size(), Window->size());
  EXPECT_TRUE(QTest::qWaitFor([&] { return Player().State() == psStopped; }, 15000));
  EXPECT_TRUE(Player().IsOpen());
}

TEST_F(PlayerPageTest, AFolderPlaysAsAPlaylistInBrowserOrder) {
  TShellNode* folder = Select(desktop->Clips());
  ASSERT_TRUE(folder);
  Expand(folder);
  QStringList expected;
  for (const auto& child : folder->Children)
    if (!child->IsFolder()) expected << QString::fromLocal8Bit(child->Path);
  ASSERT_EQ(expected.size(), 4);
  ASSERT_EQ(Grid().SelectedNode(), folder);
  Menus->ExecuteAction(Menus->FindAction(mFile_CreatePL));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Player().IsOpen(); }, 20000));
  QStringList played;
  for (int i = 0; i < Page->CurrentList().Count(); ++i)
    played << QString::fromStdString(Page->CurrentList().Strings(i));
  EXPECT_EQ(played, expected);
  EXPECT_EQ(Player().FileCount(), 4);
  EXPECT_TRUE(Enabled(mFile_SavePL));
  EXPECT_TRUE(Enabled(mvFullScreen));

  // A new selection ends the playlist.
  ASSERT_TRUE(Select(desktop->Clips() + "/c_photo.jpg"));
  EXPECT_EQ(Page->CurrentList().Count(), 0);
  EXPECT_FALSE(Enabled(mFile_SavePL));
}

TEST_F(PlayerPageTest, PlayWithOptionsGoesThroughThePlaylistDialog) {
  TShellNode* folder = Select(desktop->Clips());
  ASSERT_TRUE(folder);
  Options->GetOption(oPlayFolders).SetBool(true);
  Options->GetOption(oPlaySubfolders).SetBool(true);
  bool dialogSeen = false;
  test::TModalAnswer answer([&](QWidget* dialog) {
    dialogSeen = Page->PlayListDialog() != nullptr;
    for (QPushButton* button : dialog->findChildren<QPushButton*>())
      if (button->text() == "&Go ahead") button->click();
  });
  Menus->ExecuteAction(Menus->FindAction(mFile_OptionsPL));
  EXPECT_TRUE(answer.Seen());
  EXPECT_TRUE(dialogSeen);
  EXPECT_FALSE(Page->PlayListDialog());
  // The subfolder's photo comes with the folder's own files.
  EXPECT_EQ(Page->CurrentList().Count(), 5);
  EXPECT_EQ(Player().FileCount(), 5);
  EXPECT_TRUE(Enabled(mFile_SavePL));
}

TEST_F(PlayerPageTest, KeysGoToTheBrowserOrThePlayerByFocus) {
  TShellNode* folder = Select(desktop->Clips());
  ASSERT_TRUE(folder);
  Expand(folder);
  ASSERT_TRUE(Select(desktop->Clips() + "/b_clip.avi"));
  Grid().setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Grid().hasFocus(); }));
  // The browser moves through the tree; the new file opens.
  QTest::keyClick(&Grid(), Qt::Key_Down);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Page->SelectionPending(); }));
  EXPECT_EQ(SelectedFile(), desktop->Clips() + "/c_photo.jpg");
  EXPECT_EQ(OpenFile(), desktop->Clips() + "/c_photo.jpg");

  // With the video focused, Down is not a tree key, and Right steps to the
  // next file of the folder.
  QWidget* video = Page->VideoPanel()->PlayerWidget();
  video->setFocusPolicy(Qt::StrongFocus);
  video->setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return video->hasFocus(); }));
  QTest::keyClick(video, Qt::Key_Down);
  QTest::qWait(50);
  EXPECT_EQ(SelectedFile(), desktop->Clips() + "/c_photo.jpg");
  QTest::keyClick(video, Qt::Key_Right);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Page->SelectionPending(); }));
  EXPECT_EQ(SelectedFile(), desktop->Clips() + "/d_clip.avi");
  ASSERT_TRUE(QTest::qWaitFor([&] { return OpenFile() == desktop->Clips() + "/d_clip.avi"; }));
  // Space plays and pauses wherever the focus is.
  QTest::keyClick(video, Qt::Key_Space);
  EXPECT_EQ(Player().State(), psPlaying);
  Grid().setFocus();
  QTest::keyClick(&Grid(), Qt::Key_Space);
  EXPECT_EQ(Player().State(), psPaused);
  // Enter with the full-screen modifier from the options only.
  Options->GetOption(oAVFullScreenKey).SetInt(1);
  QTest::keyClick(&Grid(), Qt::Key_Return, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_FALSE(Page->VideoPanel()->IsFullScreen());
  QTest::keyClick(&Grid(), Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_TRUE(Page->VideoPanel()->IsFullScreen());
  QTest::keyClick(Page->VideoPanel()->PlayerWidget(), Qt::Key_Return, Qt::ShiftModifier);
  EXPECT_FALSE(Page->VideoPanel()->IsFullScreen());
}

// Ctrl with the arrows seeks within the file, by 5 s sideways and a minute
// up and down (Shift with an arrow: a minute too), in whatever state the
// player is; the plain arrows still step through the folder's files.
TEST_F(PlayerPageTest, SeekingKeysMoveByTheirAmountsAndKeepThePlayState) {
  TShellNode* folder = Select(desktop->Long());
  ASSERT_TRUE(folder);
  Expand(folder);
  ASSERT_TRUE(Select(desktop->Long() + "/a_long.avi"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Player().State() == psStopped; }));
  ASSERT_GT(Player().TotalDurationMs(), 140000);
  Grid().setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Grid().hasFocus(); }));
  auto positionMs = [&] { return Player().FrameToMs(std::max(Player().Position(), 0)); };
  QTest::keyClick(&Grid(), Qt::Key_Space);
  ASSERT_EQ(Player().State(), psPlaying);
  const struct {
    Qt::Key Key;
    Qt::KeyboardModifiers Held;
    int64_t MovedMs;
    uint8_t State;  // the state the player is put in first
  } steps[] = {
      {Qt::Key_Right, Qt::ControlModifier, 5000, psPlaying},
      {Qt::Key_Up, Qt::ControlModifier, 60000, psPaused},
      {Qt::Key_Right, Qt::ShiftModifier, 60000, psPaused},
      {Qt::Key_Left, Qt::ShiftModifier, -60000, psPlaying},
      {Qt::Key_Down, Qt::ControlModifier, -60000, psPaused},
      {Qt::Key_Left, Qt::ControlModifier, -5000, psPaused},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(::testing::Message() << "key " << step.Key << " held " << step.Held.toInt());
    if (Player().State() != step.State) Player().SetState(step.State);
    const int64_t before = positionMs();
    QTest::keyClick(&Grid(), step.Key, step.Held);
    EXPECT_EQ(Player().State(), step.State);
    const int64_t moved = positionMs() - before;
    // Playing, the position goes on meanwhile by a few frames of 200 ms.
    EXPECT_GE(moved, step.MovedMs - 200);
    EXPECT_LE(moved, step.MovedMs + (step.State == psPlaying ? 1000 : 200));
    EXPECT_EQ(SelectedFile(), desktop->Long() + "/a_long.avi");
  }
  // At the ends the position stops there.
  QTest::keyClick(&Grid(), Qt::Key_Down, Qt::ControlModifier);
  EXPECT_EQ(positionMs(), 0);
  for (int i = 0; i < 3; ++i) QTest::keyClick(&Grid(), Qt::Key_Up, Qt::ControlModifier);
  EXPECT_EQ(Player().Position(), Player().TotalFrames() - 1);
  EXPECT_EQ(Player().State(), psPaused);
  // The plain arrow steps to the next file.
  QTest::keyClick(&Grid(), Qt::Key_Right);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Page->SelectionPending(); }));
  EXPECT_EQ(SelectedFile(), desktop->Long() + "/b_clip.avi");
}

// In full screen Esc leaves full screen and playback goes on; outside it Esc
// stops.
TEST_F(PlayerPageTest, EscLeavesFullScreenFirstThenStops) {
  ASSERT_TRUE(Select(desktop->Clips() + "/a_numbered.avi"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Player().State() == psStopped; }));
  Execute(mvFullScreen);
  ASSERT_TRUE(Page->VideoPanel()->IsFullScreen());
  QWidget* video = Page->VideoPanel()->PlayerWidget();
  QTest::keyClick(video, Qt::Key_Space);
  ASSERT_EQ(Player().State(), psPlaying);
  QTest::keyClick(video, Qt::Key_Escape);
  EXPECT_FALSE(Page->VideoPanel()->IsFullScreen());
  EXPECT_FALSE(Menus->FindAction(mvFullScreen)->isChecked());
  EXPECT_EQ(Player().State(), psPlaying);
  QTest::keyClick(video, Qt::Key_Escape);
  EXPECT_EQ(Player().State(), psStopped);
}

TEST_F(PlayerPageTest, DeleteInTheBrowserFollowsTheDeleteCommand) {
  ASSERT_TRUE(Select(desktop->Clips() + "/d_clip.avi"));
  ASSERT_TRUE(Enabled(mEdit_Delete));
  Grid().setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Grid().hasFocus(); }));
  QTest::keyClick(&Grid(), Qt::Key_Delete);
  QTest::keyClick(&Grid(), Qt::Key_Delete, Qt::ShiftModifier);
  using Op = TPlayerPage::TFileOperation;
  EXPECT_EQ(Page->Operations,
            (std::vector<Op>{TPlayerPage::foDeleteToTrash, TPlayerPage::foDeletePermanently}));
  // A folder cannot be deleted from here.
  ASSERT_TRUE(Select(desktop->Clips() + "/inner"));
  EXPECT_FALSE(Enabled(mEdit_Delete));
  QTest::keyClick(&Grid(), Qt::Key_Delete);
  EXPECT_EQ(Page->Operations.size(), 2u);
}

TEST_F(PlayerPageTest, FullScreenFromThePageAndBack) {
  ASSERT_TRUE(Select(desktop->Clips() + "/c_photo.jpg"));
  const QRect before = Window->geometry();
  Menus->ExecuteAction(Menus->FindAction(mvFullScreen));
  ASSERT_TRUE(Page->VideoPanel()->IsFullScreen());
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return Window->geometry() == Window->screen()->geometry(); }, 5000));
  EXPECT_FALSE(Page->BrowserPanel()->isVisible());
  EXPECT_FALSE(Window->menuBar()->isVisible());
  EXPECT_FALSE(Window->statusBar()->isVisible());
  EXPECT_TRUE(Menus->FindAction(mvFullScreen)->isChecked());
  Menus->ExecuteAction(Menus->FindAction(mvFullScreen));
  EXPECT_FALSE(Page->VideoPanel()->IsFullScreen());
  ASSERT_TRUE(QTest::qWaitFor([&] { return Window->geometry() == before; }, 5000));
  EXPECT_TRUE(Page->BrowserPanel()->isVisible());
  EXPECT_TRUE(Window->menuBar()->isVisible());
  EXPECT_TRUE(Window->statusBar()->isVisible());
  EXPECT_FALSE(Menus->FindAction(mvFullScreen)->isChecked());
  EXPECT_TRUE(QTest::qWaitFor([&] { return Grid().hasFocus(); }));
}

// While playing, the video pop-up menu offers only Full screen. Its Options
// are the very command of the Tools menu and the tool bar, which have it
// back as soon as the pop-up closes, and full screen leaves it alone.
TEST_F(PlayerPageTest, PlayingTurnsTheVideoMenusOptionsOffOnlyWhileTheMenuIsOpen) {
  ASSERT_TRUE(Select(desktop->Clips() + "/a_numbered.avi"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Player().State() == psStopped; }));
  Player().SetState(psPlaying);
  ASSERT_EQ(Player().State(), psPlaying);
  QMenu* popup = Menus->GetPopupMenu(kVideoPopup);
  ASSERT_NE(popup, nullptr);
  const TMSAction* options = Menus->FindAction(mTools_Options);
  ASSERT_TRUE(popup->actions().contains(options));
  Page->VideoPanel()->PlayerWidget()->PopupOpening();
  EXPECT_FALSE(options->isEnabled());
  EXPECT_TRUE(Menus->FindAction(mvFullScreen)->isEnabled());
  emit popup->aboutToHide();
  EXPECT_TRUE(options->isEnabled());
  Execute(mvFullScreen);
  ASSERT_TRUE(Page->VideoPanel()->IsFullScreen());
  Execute(mvFullScreen);
  ASSERT_FALSE(Page->VideoPanel()->IsFullScreen());
  EXPECT_EQ(Player().State(), psPlaying);
  EXPECT_TRUE(options->isEnabled());
  EXPECT_TRUE(options->isVisible());
  Player().SetState(psStopped);
}

TEST_F(PlayerPageTest, TheBrowserPositionAndWidthComeBackAfterARebuild) {
  TShellNode* inner = Select(desktop->Clips() + "/inner");
  ASSERT_TRUE(inner);
  Expand(inner);
  ASSERT_TRUE(Select(desktop->Clips() + "/inner/e_photo.jpg"));
  Page->Splitter()->setSizes({320, 680});
  const int width = Page->BrowserPanel()->width();
  Destroy();
  Build();
  ASSERT_TRUE(Grid().SelectedNode());
  EXPECT_EQ(SelectedFile(), desktop->Clips() + "/inner/e_photo.jpg");
  EXPECT_EQ(Page->BrowserPanel()->width(), width);
  // The selection is shown at once, as after a click.
  EXPECT_TRUE(QTest::qWaitFor([&] { return OpenFile() == SelectedFile(); }));
  EXPECT_EQ(Page->OpenCount(), 1);
}

// A stored browser width beyond the screen leaves the picture its room, and
// what is saved afterwards fits the screen.
TEST_F(PlayerPageTest, AStoredBrowserWidthBeyondTheScreenIsClamped) {
  Destroy();
  Build([](TOptions& options) {
    options.GetOption(oAVVideoMode).SetInt(vmRaster);
    options.GetDynamic(dGridWidth)->SetInt(2147483647);
  });
  const int screen = Page->screen()->availableGeometry().width();
  EXPECT_LE(Page->BrowserPanel()->width(), screen - 300);
  EXPECT_GE(Page->VideoPanel()->width(), 100);
  Page->SaveLayout();
  EXPECT_LE(Options->GetDynamic(dGridWidth)->GetInt(), screen);
}

// A file name is bytes from the browser to the player: one that is not valid
// UTF-8 opens as any other, alone and in a playlist of its folder.
TEST_F(PlayerPageTest, AFileWhoseNameIsNotTextOpens) {
  const QByteArray folder = QFile::encodeName(desktop->Clips()) + "/bytes";
  const QByteArray odd = folder + "/caf\xE9 \xFF.avi";
  ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
  ASSERT_TRUE(
      QFile::copy(desktop->Clips() + "/a_numbered.avi", QFile::decodeName(folder) + "/b.avi"));
  ASSERT_TRUE(std::filesystem::copy_file((desktop->Clips() + "/a_numbered.avi").toStdString(),
                                         odd.toStdString()));
  test::TBoxRecorder boxes;
  ASSERT_TRUE(Select(odd));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Player().IsOpen(); }));
  EXPECT_TRUE(boxes.Boxes.empty());
  EXPECT_EQ(Player().CurrentFilePath(), odd.toStdString());
  ASSERT_TRUE(Select(folder));
  Execute(mFile_CreatePL);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Player().FileCount() == 2; }, 10000));
  ASSERT_EQ(Page->CurrentList().Count(), 2);
  EXPECT_EQ(Page->CurrentList().Strings(1), odd.toStdString());
  std::filesystem::remove_all(folder.toStdString());
}

// A folder that cannot be read says so in the status bar, in words.
TEST_F(PlayerPageTest, AFolderThatCannotBeReadSaysSo) {
  const QString folder = desktop->Clips() + "/vanishing";
  ASSERT_TRUE(QDir().mkdir(folder));
  TShellNode* node = nullptr;
  bool found = false;
  Grid().LocatePath(QFile::encodeName(folder), [&](TShellNode* located) {
    node = located;
    found = true;
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return found; }, 10000));
  ASSERT_TRUE(node);
  ASSERT_TRUE(QDir().rmdir(folder));
  Expand(node);
  EXPECT_EQ(Page->StatusText(), "The folder \"vanishing\" cannot be read. It was not found.");
  QTest::qWait(300);
  Window->screen()->grabWindow(Window->winId()).save(VEXO_BIN_DIR "/../unreadable-folder.png");
  // A damaged file says so in words on the picture area; the code goes to the log.
  const QString damaged = desktop->Clips() + "/damaged.avi";
  QFile bytes(damaged);
  ASSERT_TRUE(bytes.open(QIODevice::WriteOnly));
  bytes.write(QByteArray(300000, '\x5A'));
  bytes.close();
  Grid().RefreshFolder(QFile::encodeName(desktop->Clips()));
  ASSERT_TRUE(Select(damaged));
  EXPECT_TRUE(QString::fromStdString(Player().ErrorText()).endsWith("not a video."))
      << Player().ErrorText();
  QTest::qWait(300);
  Window->screen()->grabWindow(Window->winId()).save(VEXO_BIN_DIR "/../damaged-file.png");
  QFile::remove(damaged);
}

TEST_F(PlayerPageTest, AHeldArrowKeyOpensOnlyWhereItStops) {
  TShellNode* folder = Select(desktop->Many());
  ASSERT_TRUE(folder);
  Expand(folder);
  ASSERT_TRUE(Select(desktop->Many() + "/p00.jpg"));
  Grid().setFocus();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Grid().hasFocus(); }));
  const int opensBefore = Page->OpenCount();
  // Auto-repeated presses arrive faster than files open.
  for (int i = 0; i < kManyPhotos - 1; ++i)
    QCoreApplication::postEvent(
        &Grid(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier, {}, true));
  QCoreApplication::postEvent(&Grid(),
                              new QKeyEvent(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier));
  const QString last = desktop->Many() + QString("/p%1.jpg").arg(kManyPhotos - 1);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return SelectedFile() == last && !Page->SelectionPending() && OpenFile() == last; },
      20000))
      << SelectedFile().toStdString() << " " << OpenFile().toStdString();
  EXPECT_EQ(Page->MostOpensAtOnce(), 1);
  EXPECT_LT(Page->OpenCount() - opensBefore, kManyPhotos - 1);
  std::printf("opens for %d key presses: %d\n", kManyPhotos - 1, Page->OpenCount() - opensBefore);

  // Presses that come while the window serves its events, back up the folder.
  for (int i = 0; i < kManyPhotos - 1; ++i) {
    QCoreApplication::postEvent(
        &Grid(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier, {}, true));
    QTest::qWait(2);
  }
  const QString first = desktop->Many() + "/p00.jpg";
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return SelectedFile() == first && !Page->SelectionPending() && OpenFile() == first; },
      20000));
  EXPECT_EQ(Page->MostOpensAtOnce(), 1);
}

// Matroska, WebM and camcorder files are listed and open like the others, and
// a type switched off in the options leaves the browser.
TEST_F(PlayerPageTest, TheBrowserListsTodaysVideoTypesUnlessSwitchedOff) {
  const auto listed = [this] {
    TShellNode* folder = Select(desktop->Today());
    QStringList names;
    if (!folder) return names;
    Expand(folder);
    for (const auto& child : folder->Children) names << child->Text;
    return names;
  };
  EXPECT_EQ(listed(), (QStringList{"a_clip.mkv", "b_clip.webm", "c_camera.m2ts"}));
  for (const char* name : {"a_clip.mkv", "b_clip.webm", "c_camera.m2ts"}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(Select(desktop->Today() + "/" + name));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Player().State() == psStopped; }));
    QTest::qWait(100);
    EXPECT_EQ(FrameNumberOf(Page->VideoPanel()->PlayerWidget()->grab().toImage()), 0);
  }
  Destroy();
  Build([](TOptions& options) {
    options.GetOption(oAVVideoMode).SetInt(vmRaster);
    options.GetExtOption(seWEBM)->SetBool(false);
  });
  EXPECT_EQ(listed(), (QStringList{"a_clip.mkv", "c_camera.m2ts"}));
  Options->GetExtOption(seWEBM)->SetBool(true);
}

TEST_F(PlayerPageTest, TheLogPaneShowsEngineLinesWhileOpen) {
  EXPECT_FALSE(Page->LogVisible());
  QTest::keyClick(Window.get(), Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
  ASSERT_TRUE(Page->LogVisible());
  ASSERT_TRUE(Select(desktop->Clips() + "/b_clip.avi"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !Page->LogMemo()->toPlainText().isEmpty(); }));
  QTest::keyClick(Window.get(), Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
  EXPECT_FALSE(Page->LogVisible());
}

// What the X server shows of the first picture when a clip is selected while
// stopped, in every output mode: the screen's own pixels, not a render of the
// widgets, so that a picture drawn into a native window and lost shows up.
struct TFirstPictureCase {
  const char* Name;
  uint8_t Mode;
  // The grey plane shows brightness only.
  bool Colour;
};

void PrintTo(const TFirstPictureCase& c, std::ostream* out) {
  *out << c.Name;
}

class FirstPictureOnScreenTest : public ::testing::TestWithParam<TFirstPictureCase>,
                                 public test::TPageRig<TRecordingPage> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(desktop->Ready());
    test::LoadMediaLib();
    const uint8_t mode = GetParam().Mode;
    Build([mode](TOptions& options) {
      options.GetOption(oAVVideoMode).SetInt(mode);
      options.GetOption(oPlayShowPLDlg).SetBool(false);
      options.GetOption(oPlayExpandTree).SetBool(true);
    });
    // The main window's size on first start.
    Window->resize(Window->screen()->availableGeometry().size() * 0.8);
    ASSERT_TRUE(QTest::qWaitFor(
        [this] { return Window->size() == Window->screen()->availableGeometry().size() * 0.8; }));
  }
  void TearDown() override { Destroy(); }

  // The screen's pixel at the middle of a quarter of the picture's rectangle.
  QColor ShownQuarter(const QImage& shot, int column, int row) {
    const TVideoRect& d = Player().Screen()->FDisplayRect;
    const QPoint inWidget(d.Left + (d.Right - d.Left) * (2 * column + 1) / 4,
                          d.Top + (d.Bottom - d.Top) * (2 * row + 1) / 4);
    const QPoint inWindow = Page->VideoPanel()->PlayerWidget()->mapTo(Window.get(), inWidget);
    return shot.pixelColor(inWindow * shot.devicePixelRatio());
  }
};

TEST_P(FirstPictureOnScreenTest, SelectingAClipShowsItsFirstPicture) {
  ASSERT_TRUE(Select(desktop->Colours() + "/quadrants.mp4"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Player().State() == psStopped; }));
  ASSERT_TRUE(Player().Screen());
  const QColor expected[2][2] = {{Qt::red, QColor(0, 255, 0)}, {Qt::blue, Qt::white}};
  const auto matches = [&](const QImage& shot) {
    for (int row = 0; row < 2; ++row)
      for (int column = 0; column < 2; ++column) {
        const QColor shown = ShownQuarter(shot, column, row);
        const QColor& want = expected[row][column];
        const bool near = GetParam().Colour ? std::abs(shown.red() - want.red()) < 48 &&
                                                  std::abs(shown.green() - want.green()) < 48 &&
                                                  std::abs(shown.blue() - want.blue()) < 48
                                            : std::abs(qGray(shown.rgb()) - qGray(want.rgb())) < 48;
        if (!near) return false;
      }
    return true;
  };
  QImage shot;
  // The server shows the picture soon after the page has painted; nothing
  // else (no play, no input) happens meanwhile.
  const bool shown = QTest::qWaitFor(
      [&] {
        shot = Window->screen()->grabWindow(Window->winId()).toImage();
        return matches(shot);
      },
      3000);
  shot.save(QString(VEXO_BIN_DIR "/../first-picture-%1.png").arg(GetParam().Name));
  EXPECT_TRUE(shown) << "top left shown as " << ShownQuarter(shot, 0, 0).name().toStdString()
                     << ", bottom right as " << ShownQuarter(shot, 1, 1).name().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Modes, FirstPictureOnScreenTest,
                         ::testing::Values(TFirstPictureCase{"OpenGL", vmGLShader, true},
                                           TFirstPictureCase{"GreyPlane", vmGLTextureGrey, false},
                                           TFirstPictureCase{"ColourPlane", vmGLTextureArgb, true},
                                           TFirstPictureCase{"PlainDrawing", vmRaster, true},
                                           TFirstPictureCase{"XVideo", vmXVideo, true}),
                         [](const auto& info) { return std::string(info.param.Name); });

// White text over a black picture, as the X server shows it: a track inside
// the file and a sidecar file, at their times, after seeks, and switched off
// and on again through the video pop-up menu's Subtitles list.
class SubtitlesOnScreenTest : public FirstPictureOnScreenTest {
 protected:
  // Bright pixels of the picture's rectangle on the screen.
  int BrightOnScreen() {
    const QImage shot = Window->screen()->grabWindow(Window->winId()).toImage();
    const TVideoRect& d = Player().Screen()->FDisplayRect;
    QWidget* widget = Page->VideoPanel()->PlayerWidget();
    int bright = 0;
    for (int y = d.Top; y <= d.Bottom; y += 1)
      for (int x = d.Left; x <= d.Right; x += 1) {
        const QPoint at = widget->mapTo(Window.get(), QPoint(x, y)) * shot.devicePixelRatio();
        if (shot.rect().contains(at) && qGray(shot.pixel(at)) > 150) ++bright;
      }
    return bright;
  }
  // Waits for the screen to show text (or none).
  bool Shows(bool text) {
    return QTest::qWaitFor([&] { return text ? BrightOnScreen() > 40 : BrightOnScreen() == 0; },
                           3000);
  }
  // Chooses entry `index` of the Subtitles list as a click on it would; the
  // list reads "Off", then the track named `track`.
  void ChooseSubtitles(int index, const QString& track) {
    QMenu* popup = Menus->GetPopupMenu(kVideoPopup);
    ASSERT_TRUE(popup);
    emit popup->aboutToShow();
    QMenu* list = nullptr;
    for (QAction* item : popup->actions())
      if (item->menu() && item->data().toInt() == mvSubtitles) list = item->menu();
    ASSERT_TRUE(list);
    ASSERT_GT(list->actions().size(), index);
    EXPECT_EQ(list->actions()[0]->text(), "Off");
    EXPECT_EQ(list->actions()[1]->text(), track);
    list->actions()[index]->trigger();
  }
};

TEST_P(SubtitlesOnScreenTest, TheTextShowsAtItsTimesAndGoesWhenSwitchedOff) {
  const struct {
    const char* Name;
    const char* Track;
  } files[] = {{"/inside.mkv", "Track 1"}, {"/beside.mp4", "File beside.srt"}};
  for (const auto& [name, track] : files) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(Select(desktop->Subtitles() + name));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Player().State() == psStopped; }));
    ASSERT_TRUE(Player().Screen());
    // 25 pictures a second: 1.5 s and 4.5 s show text, 3 s none.
    Player().SeekToFrame(37);
    EXPECT_TRUE(Shows(true));
    Player().SeekToFrame(75);
    EXPECT_TRUE(Shows(false));
    Player().SeekToFrame(112);
    EXPECT_TRUE(Shows(true));
    Window->screen()
        ->grabWindow(Window->winId())
        .save(QString(VEXO_BIN_DIR "/../subtitles-%1.png").arg(GetParam().Name));
    ChooseSubtitles(0, track);
    EXPECT_TRUE(Shows(false));
    Player().SeekToFrame(37);
    EXPECT_TRUE(Shows(false));
    ChooseSubtitles(1, track);
    EXPECT_TRUE(Shows(true));
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, SubtitlesOnScreenTest,
                         ::testing::Values(TFirstPictureCase{"OpenGL", vmGLShader, true},
                                           TFirstPictureCase{"PlainDrawing", vmRaster, true}),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace vexo
