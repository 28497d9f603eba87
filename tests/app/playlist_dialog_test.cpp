// The playlist dialog on a private X server: its settings against the options
// store, the progress page's notifications, and cancelling the search or the
// player's opening of the files.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "app/common/language_list.h"
#include "app/player/player_widget.h"
#include "app/playlist/playlist_dialog.h"
#include "app/playlist/playlist_run.h"
#include "app/settings/options.h"
#include "engine/playlist/av_playlist.h"
#include "engine/video/av_screen.h"
#include "tests/support/media_test.h"
#include "xvfb_qt_app.h"

namespace vexo {
namespace {

QString ScreenshotPath(const QString& name) {
  const QString folder = VEXO_BIN_DIR "/../screenshots";
  QDir().mkpath(folder);
  return folder + '/' + name;
}

class PlaylistDialogTest : public test::TMediaTest {
 protected:
  void SetUp() override {
    test::TMediaTest::SetUp();
    ASSERT_TRUE(test::XvfbQtApp()) << "Xvfb did not start";
    LResList.LoadFile(VEXO_SOURCE_DIR "/resources/language/English.lrf");
    ASSERT_TRUE(LResList.IsLoaded());
    FSavedConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", FConfig.path().toUtf8());
    Options = std::make_unique<TOptions>(FProgram.path());
  }
  void TearDown() override {
    Options.reset();
    qputenv("XDG_CONFIG_HOME", FSavedConfig);
    LResList.Clear();
    test::TMediaTest::TearDown();
  }

  // A dialog shown modeless-modal, so that the test keeps the event loop.
  std::unique_ptr<TPlaylistDialog> Show(TPLSelectionInfo selection,
                                        TPlaylistDialog::TStartEvent onStart) {
    auto dialog = std::make_unique<TPlaylistDialog>(nullptr, *Options);
    dialog->Setup(selection, std::move(onStart));
    dialog->open();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    return dialog;
  }
  // On the box itself: the right of a wide check box's line does not take clicks.
  static void Tick(QAbstractButton* box) {
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
  }
  static void Click(TPlaylistDialog& dialog, int kind) {
    QPushButton* button = dialog.Buttons->Button(kind);
    ASSERT_NE(button, nullptr);
    QTest::mouseClick(button, Qt::LeftButton);
  }

  QTemporaryDir FConfig, FProgram;
  QByteArray FSavedConfig;
  std::unique_ptr<TOptions> Options;
};

TEST_F(PlaylistDialogTest, SettingsComeFromTheOptionsAndProceedStoresThem) {
  Options->GetOption(oPlayFolders).SetBool(false);
  Options->GetOption(oPlaySubfolders).SetBool(true);
  Options->GetOption(oPlayFolderMedia).SetInt(1);
  Options->GetOption(oPlayOrder).SetInt(2);
  Options->GetOption(oPlayShowPLDlg).SetBool(true);
  Options->Portable = true;  // a portable store is written at once
  int started = 0;
  auto dialog = Show({1, 1, 1000}, [&](TPlaylistDialog& d) {
    ++started;
    d.done(QDialog::Accepted);
  });
  TPLSettPanel& page = *dialog->SettPanel;
  EXPECT_FALSE(page.PlayFoldersBox->isChecked());
  EXPECT_TRUE(page.SubfoldersBox->isChecked());
  EXPECT_FALSE(page.SubfoldersBox->isEnabled());
  EXPECT_TRUE(page.MediaButtons[1]->isChecked());
  EXPECT_EQ(page.OrderBox->currentIndex(), 2);
  EXPECT_FALSE(page.NoShowBox->isChecked());
  EXPECT_EQ(dialog->windowTitle(), "Play List");
  EXPECT_EQ(dialog->height(), TPlaylistDialog::kHeaderHeight + TDialogBtnPanel::kHeight + 298);

  Tick(page.PlayFoldersBox);
  EXPECT_TRUE(page.SubfoldersBox->isEnabled());
  Tick(page.SubfoldersBox);
  Tick(page.MediaButtons[0]);
  page.OrderBox->setCurrentIndex(1);
  Tick(page.NoShowBox);
  Click(*dialog, bProceed);
  EXPECT_EQ(dialog->Page(), 1);
  EXPECT_FALSE(dialog->Buttons->Button(bProceed)->isVisible());
  QTRY_COMPARE(started, 1);
  EXPECT_EQ(dialog->result(), QDialog::Accepted);

  TOptions stored(FProgram.path());
  stored.Portable = true;
  stored.LoadSave(false);
  for (TOptions* o : {Options.get(), &stored}) {
    EXPECT_TRUE(o->GetOption(oPlayFolders).GetBool());
    EXPECT_FALSE(o->GetOption(oPlaySubfolders).GetBool());
    EXPECT_EQ(o->GetOption(oPlayFolderMedia).GetInt(), 0);
    EXPECT_EQ(o->GetOption(oPlayOrder).GetInt(), 1);
    // The next play command goes without the dialog.
    EXPECT_FALSE(o->GetOption(oPlayShowPLDlg).GetBool());
  }
}

TEST_F(PlaylistDialogTest, CancelOnTheSettingsPageStoresNothing) {
  bool started = false;
  auto dialog = Show({2, 0, 10}, [&](TPlaylistDialog&) { started = true; });
  Tick(dialog->SettPanel->NoShowBox);
  dialog->SettPanel->OrderBox->setCurrentIndex(2);
  Click(*dialog, bCancel);
  EXPECT_FALSE(dialog->isVisible());
  EXPECT_EQ(dialog->result(), QDialog::Rejected);
  QTest::qWait(20);
  EXPECT_FALSE(started);
  EXPECT_TRUE(Options->GetOption(oPlayShowPLDlg).GetBool());
  EXPECT_EQ(Options->GetOption(oPlayOrder).GetInt(), 0);
}

TEST_F(PlaylistDialogTest, FoldersAloneNeedFolderPlayToProceed) {
  Options->GetOption(oPlayFolders).SetBool(false);
  auto folders = Show({0, 2, 0}, {});
  QPushButton* proceed = folders->Buttons->Button(bProceed);
  EXPECT_FALSE(proceed->isEnabled());
  Tick(folders->SettPanel->PlayFoldersBox);
  EXPECT_TRUE(proceed->isEnabled());
  EXPECT_TRUE(folders->SettPanel->SubfoldersBox->isEnabled());
  Tick(folders->SettPanel->PlayFoldersBox);
  EXPECT_FALSE(proceed->isEnabled());
  EXPECT_TRUE(folders->grab().save(ScreenshotPath("playlist-dialog-settings.png")));
  folders->done(QDialog::Rejected);

  auto files = Show({1, 2, 10}, {});
  EXPECT_TRUE(files->Buttons->Button(bProceed)->isEnabled());
  Tick(files->SettPanel->PlayFoldersBox);
  Tick(files->SettPanel->PlayFoldersBox);
  EXPECT_TRUE(files->Buttons->Button(bProceed)->isEnabled());
}

TEST_F(PlaylistDialogTest, ProgressShowsEachNotificationInOrder) {
  struct TStep {
    int kind;
    QString text;
    QString status, item;
  };
  const TStep steps[] = {
      {0, "/m", "Searching:", ""},
      {3, "/m/a.jpg", "Searching:", "a.jpg"},
      {4, "/m/a.jpg", "Searching:", "a.jpg"},
      {3, "/m/notes.txt", "Searching:", "notes.txt"},
      {3, "/m/b.avi", "Searching:", "b.avi"},
      {4, "/m/b.avi", "Searching:", "b.avi"},
      {4, "/m/c.mp4", "Searching:", "c.mp4"},
      {1, "/m", "Collecting:", ""},
      {2, "", "Opening:", ""},
      {5, "/m/a.jpg", "Opening:", "1"},
      {5, "/m/b.avi", "Opening:", "2"},
      {5, "/m/c.mp4", "Opening:", "3"},
  };
  std::vector<std::string> mismatches;
  auto dialog = Show({0, 1, 0}, [&](TPlaylistDialog& d) {
    TPLProgrPanel& page = *d.ProgrPanel;
    for (const TStep& step : steps) {
      d.Progress(step.kind, step.text);
      if (page.StatusLabel->text() != step.status || page.ItemLabel->text() != step.item)
        mismatches.push_back(std::to_string(step.kind) + " " + step.text.toStdString() + ": " +
                             page.StatusLabel->text().toStdString() + " " +
                             page.ItemLabel->text().toStdString());
    }
  });
  Click(*dialog, bProceed);
  TPLProgrPanel& page = *dialog->ProgrPanel;
  QTRY_COMPARE(page.Memo->blockCount(), 3);
  EXPECT_TRUE(mismatches.empty()) << mismatches.front();
  EXPECT_EQ(page.Memo->toPlainText(), "1. /m/a.jpg\n2. /m/b.avi\n3. /m/c.mp4");
  // Three files of four steps: the last belongs to the player's first picture.
  EXPECT_EQ(page.ProgressBar->maximum(), 4);
  EXPECT_EQ(page.ProgressBar->value(), 3);
  EXPECT_TRUE(dialog->grab().save(ScreenshotPath("playlist-dialog-progress.png")));

  // After a cancel every further notification is dropped.
  Click(*dialog, bCancel);
  EXPECT_TRUE(dialog->Cancelled());
  EXPECT_TRUE(dialog->isVisible());  // the work ends the dialog, not the button
  dialog->Progress(5, "/m/d.jpg");
  EXPECT_EQ(page.Memo->blockCount(), 3);
  EXPECT_EQ(page.ItemLabel->text(), "3");
}

// The whole road through a real player: a folder of photos and clips is
// searched, ordered and opened, or cancelled on the way.
class PlaylistRunTest : public PlaylistDialogTest {
 protected:
  void SetUp() override {
    PlaylistDialogTest::SetUp();
    AVParams.PlayAudio = 0;
    for (int i = 0; i < 6; ++i)
      ASSERT_TRUE(QFile::copy(QString::fromStdString(test::MediaPath("photo_640x480.jpg")),
                              FMedia.filePath(QString("photo%1.jpg").arg(i))));
    for (const char* clip : {"h264_aac.mp4", "mpeg4_mp3.avi"})
      ASSERT_TRUE(
          QFile::copy(QString::fromStdString(test::MediaPath(clip)), FMedia.filePath(clip)));
    QFile text(FMedia.filePath("notes.txt"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    Player = std::make_unique<TPlayerWidget>();
    Player->resize(320, 240);
    Player->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Player.get()));
  }
  void TearDown() override {
    Player.reset();
    PlaylistDialogTest::TearDown();
  }

  // Runs the dialog with the folder selected; `during` may cancel.
  int Run(const std::function<void(TPlaylistDialog&)>& during = {}) {
    auto dialog = std::make_unique<TPlaylistDialog>(nullptr, *Options);
    dialog->Setup({0, 1, 0}, [this](TPlaylistDialog& d) {
      BuildAndPlay(d, {FMedia.path()}, *Options, List, Player->Player(), vmRaster);
    });
    Dialog = dialog.get();
    if (during) during(*dialog);
    QTimer::singleShot(0, dialog.get(), [this] { Click(*Dialog, bProceed); });
    const int result = dialog->exec();
    Memo = dialog->ProgrPanel->Memo->toPlainText();
    Dialog = nullptr;
    return result;
  }

  QTemporaryDir FMedia;
  std::unique_ptr<TPlayerWidget> Player;
  TAVPlayList List;
  TPlaylistDialog* Dialog = nullptr;
  QString Memo;
};

TEST_F(PlaylistRunTest, TheFolderOpensWithOneLinePerFileVideosFirst) {
  EXPECT_EQ(Run(), QDialog::Accepted);
  TAVPlayer& player = Player->Player();
  ASSERT_TRUE(player.IsOpen());
  EXPECT_EQ(player.State(), psStopped);
  EXPECT_EQ(player.FileCount(), 8);
  const QStringList lines = Memo.split('\n');
  ASSERT_EQ(lines.size(), 8);
  EXPECT_EQ(lines[0], "1. " + FMedia.filePath("h264_aac.mp4"));
  EXPECT_EQ(lines[1], "2. " + FMedia.filePath("mpeg4_mp3.avi"));
  EXPECT_EQ(lines[7], "8. " + FMedia.filePath("photo5.jpg"));
}

// Presses Cancel at the first pass of the event loop that the running search
// lets through, and tells what the progress page showed then.
void CancelInTheSearch(TPlaylistDialog& dialog, QString& statusAtCancel) {
  QTimer::singleShot(0, &dialog, [&dialog, &statusAtCancel] {
    const QString status = dialog.ProgrPanel->StatusLabel->text();
    if (status.isEmpty()) {
      CancelInTheSearch(dialog, statusAtCancel);
      return;
    }
    statusAtCancel = status;
    QTest::mouseClick(dialog.Buttons->Button(bCancel), Qt::LeftButton);
  });
}

TEST_F(PlaylistRunTest, CancelDuringTheSearchPlaysNothing) {
  QString statusAtCancel;
  EXPECT_EQ(Run([&](TPlaylistDialog& d) { CancelInTheSearch(d, statusAtCancel); }),
            QDialog::Rejected);
  EXPECT_EQ(statusAtCancel, "Searching:");
  EXPECT_FALSE(Player->Player().IsOpen());
  EXPECT_EQ(Player->Player().State(), psClosed);
  EXPECT_EQ(List.Count(), 0);
  EXPECT_TRUE(Memo.isEmpty());
}

TEST_F(PlaylistRunTest, CancelWhileTheFilesOpenLeavesThePlayerClosed) {
  EXPECT_EQ(Run([this](TPlaylistDialog& d) {
              QObject::connect(d.ProgrPanel->Memo, &QPlainTextEdit::textChanged, &d, [this] {
                if (!Dialog->Cancelled()) Click(*Dialog, bCancel);
              });
            }),
            QDialog::Rejected);
  EXPECT_FALSE(Player->Player().IsOpen());
  EXPECT_EQ(Player->Player().State(), psClosed);
  EXPECT_EQ(List.Count(), 0);
  EXPECT_EQ(Memo, "1. " + FMedia.filePath("h264_aac.mp4"));
}

}  // namespace
}  // namespace vexo
