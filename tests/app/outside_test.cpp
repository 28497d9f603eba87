// Files and commands that reach the player from outside its window: the
// message a later start sends, the command line, a drop from a file manager,
// and the media controls on the session bus. The program runs as the desktop
// starts it, on a private X server, session bus, sound server and home.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDialog>
#include <QDir>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <filesystem>
#include <future>
#include <memory>

#include "app/common/language_list.h"
#include "app/common/message_boxes.h"
#include "app/common/program_environment.h"
#include "app/player/av_panel.h"
#include "app/shell/base_page.h"
#include "app/shell/main_form.h"
#include "app/shell/media_remote.h"
#include "app/shell/mpris_service.h"
#include "app/shell/outside_link.h"
#include "app/shell/player_page.h"
#include "engine/media/av_types.h"
#include "engine/media/media_lib.h"
#include "engine/playlist/av_playlist.h"
#include "platform/hand_over_message.h"
#include "platform/platform_sound_system.h"
#include "platform/video_system.h"
#include "tests/support/child_process.h"
#include "tests/support/desktop_app.h"
#include "tests/support/test_media.h"

namespace vexo {
namespace {

using Clock = std::chrono::steady_clock;

// ---- the message of a later start ----

struct THandOverCase {
  const char* Name;
  QStringList Paths;
};

class HandOverMessage : public ::testing::TestWithParam<THandOverCase> {};

TEST_P(HandOverMessage, CarriesThePathsUnchanged) {
  const THandOver decoded = DecodeHandOver(EncodeHandOver(GetParam().Paths));
  EXPECT_TRUE(decoded.Valid);
  EXPECT_EQ(decoded.Files, GetParam().Paths);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, HandOverMessage,
    ::testing::Values(THandOverCase{"None", {}},
                      THandOverCase{"Plain", {"/home/u/a.avi", "/home/u/b.mp4"}},
                      THandOverCase{"SpacesAndPercent", {"/home/u/my clip 100%.avi"}},
                      THandOverCase{"LineBreakInName", {"/tmp/two\nlines.avi", "/tmp/x.avi"}},
                      THandOverCase{"NonLatin", {QString::fromUtf8("/tmp/фильм 映画.mp4")}},
                      THandOverCase{"Folder", {"/media/card/DCIM"}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST(HandOverMessageTest, TheGreetingComesFirstSoAnOlderProgramStillComesForward) {
  EXPECT_EQ(EncodeHandOver({}), QByteArray("Vexo Player Second\n"));
  EXPECT_TRUE(EncodeHandOver({"/a.avi"}).startsWith("Vexo Player Second\n"));
}

TEST(HandOverMessageTest, ForeignOrNewerMessagesGiveNoFiles) {
  EXPECT_FALSE(DecodeHandOver("hello\nFiles 1\nfile:///a.avi\n").Valid);
  EXPECT_FALSE(DecodeHandOver("").Valid);
  const THandOver newer = DecodeHandOver("Vexo Player Second\nFiles 9\nfile:///a.avi\n");
  EXPECT_TRUE(newer.Valid);
  EXPECT_TRUE(newer.Files.isEmpty());
  // Only local files are played.
  const THandOver mixed = DecodeHandOver(
      "Vexo Player Second\nFiles 1\nhttp://example.com/a.avi\nnot a url at all\nfile:///b.avi\n");
  EXPECT_EQ(mixed.Files, QStringList{"/b.avi"});
}

TEST(CommandLineTest, ArgumentsBecomeAbsolutePathsAndOptionsAreLeftOut) {
  const QString here = QDir::currentPath();
  EXPECT_EQ(
      AbsolutePaths({"clip.avi", "/abs/b.mp4", "--some-option", "file:///home/u/with%20space.avi",
                     "sub/../c.avi"}),
      QStringList({here + "/clip.avi", "/abs/b.mp4", "/home/u/with space.avi", here + "/c.avi"}));
}

// ---- the program on a desktop ----

// The test desktop with its runtime folder (where the running program
// listens), session bus and sound server, and clips in its home; one for the
// whole test program.
class TDesktop : public test::TDesktopApp {
 public:
  TDesktop() : TDesktopApp("outside_test", {.Sound = true, .Bus = true}) {}
  void SetUp() override {
    TDesktopApp::SetUp();
    if (!Ready()) return;
    BusAddress = Desktop->BusAddress();
    Clips = QString::fromStdString(Desktop->HomeDir()) + "/clips";
    QDir().mkpath(Clips + "/folder");
    const auto copy = [this](const char* media, const QString& name) {
      QFile::copy(QString::fromStdString(test::MediaPath(media)), Clips + "/" + name);
    };
    copy("frames250.avi", "long_clip.avi");
    copy("mpeg4_mp3.avi", "short_clip.avi");
    copy("mpeg4_mp3.avi", "folder/one.avi");
    copy("mpeg4_mp3_b.avi", "folder/two.avi");
    QFile(Clips + "/folder/notes.txt").open(QIODevice::WriteOnly);
  }

  std::string BusAddress;
  QString Clips;
};

TDesktop* const desktop = test::AddDesktopApp<TDesktop>();

// Collects the player's announced property changes.
class TChangeRecorder : public QObject {
  Q_OBJECT
 public:
  QList<QVariantMap> Changes;
  QList<qlonglong> Seeks;
 public slots:
  void Seeked(qlonglong position) { Seeks << position; }
  void Changed(const QString& interface, const QVariantMap& changed, const QStringList&) {
    if (interface == "org.mpris.MediaPlayer2.Player") Changes << changed;
  }
};

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(desktop->Ready());
    ASSERT_FALSE(desktop->BusAddress.empty()) << "no private session bus";
    ASSERT_TRUE(Bus().isConnected());
  }
  void TearDown() override {
    if (Program) {
      if (Registered()) Player("org.mpris.MediaPlayer2").call("Quit");
      Program->Wait(std::chrono::seconds(15));
    }
  }

  static QDBusConnection Bus() { return QDBusConnection::sessionBus(); }
  static bool Registered() { return Bus().interface()->isServiceRegistered(kMprisService).value(); }
  static QDBusInterface Player(const char* interface = "org.mpris.MediaPlayer2.Player") {
    return QDBusInterface(kMprisService, kMprisPath, interface, Bus());
  }
  static QVariant Property(const QString& name) {
    QDBusInterface properties(kMprisService, kMprisPath, "org.freedesktop.DBus.Properties", Bus());
    QDBusReply<QVariant> reply =
        properties.call("Get", QStringLiteral("org.mpris.MediaPlayer2.Player"), name);
    return reply.isValid() ? reply.value() : QVariant();
  }
  static QString Status() { return Property("PlaybackStatus").toString(); }
  static QVariantMap Metadata() {
    return qdbus_cast<QVariantMap>(Property("Metadata").value<QDBusArgument>());
  }
  static QString Title() { return Metadata().value("xesam:title").toString(); }
  static QString TrackId() {
    return Metadata().value("mpris:trackid").value<QDBusObjectPath>().path();
  }

  // Starts the program as the desktop would, and waits until it is on the bus.
  void StartProgram(const QStringList& files) {
    std::vector<std::string> argv{VEXO_BIN_DIR "/vexoplayer"};
    for (const QString& file : files) argv.push_back(file.toStdString());
    Program = std::make_unique<test::TChildProcess>(argv);
    ASSERT_TRUE(Program->Started());
    ASSERT_TRUE(QTest::qWaitFor(Registered, 20000)) << "the player never came onto the bus";
  }
  // A later start, waited for on another thread so that this one keeps
  // answering the bus; its exit status and how long it took.
  static std::pair<int, Clock::duration> StartAgain(const QStringList& files) {
    const auto before = Clock::now();
    auto ended = std::async(std::launch::async, [files] {
      std::vector<std::string> argv{VEXO_BIN_DIR "/vexoplayer"};
      for (const QString& file : files) argv.push_back(file.toStdString());
      test::TChildProcess second(argv);
      return second.Wait(std::chrono::seconds(15));
    });
    const bool ready = QTest::qWaitFor(
        [&] { return ended.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
        20000);
    EXPECT_TRUE(ready) << "the later start did not end";
    return {ended.get(), Clock::now() - before};
  }

  std::unique_ptr<test::TChildProcess> Program;
};

TEST_F(ProgramTest, StartedWithFilesPlaysThemAndTheMediaControlsDriveIt) {
  StartProgram({desktop->Clips + "/long_clip.avi", desktop->Clips + "/short_clip.avi"});
  ASSERT_TRUE(QTest::qWaitFor([] { return Status() == "Playing"; }, 20000))
      << Status().toStdString();
  EXPECT_EQ(Title(), "long_clip");
  EXPECT_EQ(TrackId(), MprisTrackId(0).path());
  EXPECT_GT(Metadata().value("mpris:length").toLongLong(), 9'000'000);
  EXPECT_TRUE(Property("CanGoNext").toBool());
  EXPECT_FALSE(Property("CanGoPrevious").toBool());

  TChangeRecorder recorder;
  ASSERT_TRUE(Bus().connect(kMprisService, kMprisPath, "org.freedesktop.DBus.Properties",
                            "PropertiesChanged", &recorder,
                            SLOT(Changed(QString, QVariantMap, QStringList))));
  ASSERT_TRUE(Bus().connect(kMprisService, kMprisPath, "org.mpris.MediaPlayer2.Player", "Seeked",
                            &recorder, SLOT(Seeked(qlonglong))));
  const auto announced = [&](const QString& key, const QVariant& value) {
    for (const QVariantMap& change : recorder.Changes)
      if (change.value(key) == value) return true;
    return false;
  };

  Player().call("PlayPause");
  EXPECT_TRUE(QTest::qWaitFor([] { return Status() == "Paused"; }, 5000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return announced("PlaybackStatus", "Paused"); }, 5000));
  Player().call("PlayPause");
  EXPECT_TRUE(QTest::qWaitFor([] { return Status() == "Playing"; }, 5000));
  Player().call("Pause");
  ASSERT_TRUE(QTest::qWaitFor([] { return Status() == "Paused"; }, 5000));

  Player().call("Next");
  EXPECT_TRUE(QTest::qWaitFor([] { return Title() == "short_clip"; }, 5000))
      << Title().toStdString();
  EXPECT_EQ(TrackId(), MprisTrackId(1).path());
  EXPECT_FALSE(Property("CanGoNext").toBool());
  EXPECT_TRUE(Property("CanGoPrevious").toBool());
  EXPECT_TRUE(QTest::qWaitFor([&] { return announced("CanGoNext", false); }, 5000));

  // Times are from the start of the current file.
  Player().call("SetPosition", QVariant::fromValue(MprisTrackId(1)), qlonglong(1'000'000));
  EXPECT_NEAR(Property("Position").toLongLong(), 1'000'000, 100'000);
  // A position meant for a file already left, or past the end, is ignored.
  Player().call("SetPosition", QVariant::fromValue(MprisTrackId(0)), qlonglong(200'000));
  Player().call("SetPosition", QVariant::fromValue(MprisTrackId(1)), qlonglong(60'000'000));
  EXPECT_NEAR(Property("Position").toLongLong(), 1'000'000, 100'000);
  Player().call("Seek", qlonglong(-400'000));
  EXPECT_NEAR(Property("Position").toLongLong(), 600'000, 100'000);
  ASSERT_TRUE(QTest::qWaitFor([&] { return recorder.Seeks.size() == 2; }, 5000));
  EXPECT_NEAR(recorder.Seeks[0], 1'000'000, 100'000);
  EXPECT_NEAR(recorder.Seeks[1], 600'000, 100'000);

  Player().call("Previous");
  EXPECT_TRUE(QTest::qWaitFor([] { return Title() == "long_clip"; }, 5000));
  Player().call("Stop");
  EXPECT_TRUE(QTest::qWaitFor([] { return Status() == "Stopped"; }, 5000));

  Player("org.mpris.MediaPlayer2").call("Quit");
  EXPECT_EQ(Program->Wait(std::chrono::seconds(15)), 0);
  Program.reset();
}

TEST_F(ProgramTest, ALaterStartHandsItsFilesToTheRunningProgram) {
  StartProgram({});
  // Without files the running program opens nothing of its own accord.
  EXPECT_EQ(TrackId(), MprisTrackId(-1).path());

  const auto [status, took] = StartAgain({desktop->Clips + "/long_clip.avi"});
  EXPECT_EQ(status, 0);
  EXPECT_LT(took, std::chrono::seconds(3));
  EXPECT_TRUE(QTest::qWaitFor([] { return Title() == "long_clip"; }, 20000));
  EXPECT_TRUE(QTest::qWaitFor([] { return Status() == "Playing"; }, 10000));

  // A folder gives its media files; a later start without files changes
  // nothing in what plays.
  const auto [folderStatus, folderTook] = StartAgain({desktop->Clips + "/folder"});
  EXPECT_EQ(folderStatus, 0);
  EXPECT_TRUE(QTest::qWaitFor([] { return Title() == "one"; }, 20000));
  EXPECT_TRUE(Property("CanGoNext").toBool());
  Player().call("Pause");
  ASSERT_TRUE(QTest::qWaitFor([] { return Status() == "Paused"; }, 5000));
  const auto [bareStatus, bareTook] = StartAgain({});
  EXPECT_EQ(bareStatus, 0);
  EXPECT_LT(bareTook, std::chrono::seconds(3));
  EXPECT_EQ(Title(), "one");
  EXPECT_EQ(Status(), "Paused");
}

// ---- a drop from a file manager, on the window in this process ----

class DropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(desktop->Ready());
    Program = std::make_unique<QTemporaryDir>();
    QDir().mkpath(Program->filePath("language"));
    QFile::copy(VEXO_SOURCE_DIR "/resources/language/English.lrf",
                Program->filePath("language/English.lrf"));
    InitProgramEnvironment(Program->path());
    LResList.Load(Program->path());
    AVParams = DefaultAVParams;
    SetMessageBoxHook([this](const TMsgBoxRequest& request) {
      Boxes << request.Text;
      return true;
    });
    Video = std::make_unique<TDesktopVideoSystem>();
    Sound = std::make_unique<TPlatformSoundSystem>(desktop->Desktop->PulseAddress(), "null");
    SetSoundSystem(Sound.get());
    Form = std::make_unique<TPLMainForm>();
    ASSERT_TRUE(Form->Created());
    Form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    Link = new TOutsideLink(*Form);
  }
  void TearDown() override {
    if (Form) Form->close();
    Form.reset();
    SetSoundSystem(nullptr);
    Sound.reset();
    Video.reset();
    SetMessageBoxHook({});
  }

  // Sends what a file manager's drag sends; whether the window took the drop.
  bool Drop(QMimeData& data) {
    const QPoint at = Form->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                          Qt::NoModifier);
    QCoreApplication::sendEvent(Form.get(), &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                    Qt::NoModifier);
    QCoreApplication::sendEvent(Form.get(), &drop);
    return drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
  }
  TAVPlayer* Player() const { return Form->Page()->VideoPanel()->Player(); }

  std::unique_ptr<QTemporaryDir> Program;
  std::unique_ptr<TDesktopVideoSystem> Video;
  std::unique_ptr<TPlatformSoundSystem> Sound;
  std::unique_ptr<TPLMainForm> Form;
  TOutsideLink* Link = nullptr;
  QStringList Boxes;
};

TEST_F(DropTest, DroppedFilesAndFoldersPlayAsOneList) {
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(desktop->Clips + "/folder"),
                QUrl::fromLocalFile(desktop->Clips + "/short_clip.avi")});
  ASSERT_TRUE(Drop(data));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Player()->State() == psPlaying; }, 20000));
  EXPECT_EQ(Player()->FileCount(), 3);
  EXPECT_EQ(Form->Page()->CurrentList().Count(), 3);
  EXPECT_TRUE(QString::fromStdString(Player()->CurrentFilePath()).endsWith("folder/one.avi"));
  EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join('\n').toStdString();
  // For a person to look at: the window playing what was dropped.
  QTest::qWait(500);
  QDir().mkpath(VEXO_BIN_DIR "/../screenshots");
  Form->screen()->grabWindow(Form->winId()).save(VEXO_BIN_DIR "/../screenshots/dropped.png");
}

TEST_F(DropTest, ADroppedPlaylistFilePlaysItsEntriesAndABrokenOneSaysWhy) {
  TAVPlayList saved;
  saved.Add((desktop->Clips + "/folder/two.avi").toStdString());
  saved.Add((desktop->Clips + "/short_clip.avi").toStdString());
  const QString listPath = desktop->Clips + "/evening.asx";
  saved.SaveToFile(listPath.toStdString());
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(listPath)});
  ASSERT_TRUE(Drop(data));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Player()->State() == psPlaying; }, 20000));
  EXPECT_EQ(Player()->FileCount(), 2);
  EXPECT_TRUE(QString::fromStdString(Player()->CurrentFilePath()).endsWith("folder/two.avi"));
  EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join('\n').toStdString();

  Form->Page()->VideoPanel()->Player()->SetState(psPaused);
  const QString broken = desktop->Clips + "/broken.asx";
  QFile file(broken);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("<asx version=\"3.0\"><entry><ref href=");
  file.close();
  data.setUrls({QUrl::fromLocalFile(broken)});
  ASSERT_TRUE(Drop(data));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Boxes.isEmpty(); }, 5000));
  // What played stays, paused as it was.
  EXPECT_EQ(Player()->FileCount(), 2);
  EXPECT_EQ(Player()->State(), psPaused);
}

// Files handed over while a message box or a dialog is open wait for it to
// close and then open, in the order they came.
TEST_F(DropTest, FilesHandedOverWhileABoxIsOpenOpenOnceItCloses) {
  const QString clip = desktop->Clips + "/short_clip.avi";
  TAVPlayList saved;
  saved.Add((desktop->Clips + "/gone.avi").toStdString());
  saved.Add((desktop->Clips + "/folder/two.avi").toStdString());
  const QString listPath = desktop->Clips + "/with_gone.asx";
  saved.SaveToFile(listPath.toStdString());
  // The "not found" box of the list is up when the later start hands over.
  SetMessageBoxHook([&](const TMsgBoxRequest& request) {
    Boxes << request.Text;
    Form->Page()->PlayPaths({clip});
    return true;
  });
  Form->Page()->PlayPaths({listPath});
  SetMessageBoxHook([this](const TMsgBoxRequest& request) {
    Boxes << request.Text;
    return true;
  });
  ASSERT_EQ(Boxes.size(), 1);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return QString::fromStdString(Player()->CurrentFilePath()) == clip; }, 10000));
  EXPECT_EQ(Player()->FileCount(), 1);

  // A dialog of the program's own is open: the files wait for it too.
  QDialog dialog(Form.get());
  std::string duringDialog;
  QTimer::singleShot(0, [&] {
    Form->Page()->PlayPaths({desktop->Clips + "/folder/one.avi"});
    Form->Page()->PlayPaths({desktop->Clips + "/folder/two.avi"});
    duringDialog = Player()->CurrentFilePath();
    QTimer::singleShot(100, &dialog, &QDialog::accept);
  });
  dialog.exec();
  EXPECT_EQ(QString::fromStdString(duringDialog), clip);
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        return QString::fromStdString(Player()->CurrentFilePath()).endsWith("folder/two.avi");
      },
      10000));
}

// Names are bytes: a list naming files whose names are not valid UTF-8 (as
// raw bytes, or as the file URLs the player itself writes) finds and plays
// them, and saving it again keeps every entry, the missing one too.
TEST_F(DropTest, AListWithNamesThatAreNotTextPlaysThemAndKeepsEveryEntry) {
  const QByteArray clips = QFile::encodeName(desktop->Clips);
  const QByteArray raw = clips + "/caf\xE9.avi", escaped = clips + "/\xFF\xFE.avi";
  for (const QByteArray& name : {raw, escaped})
    ASSERT_TRUE(std::filesystem::copy_file((desktop->Clips + "/short_clip.avi").toStdString(),
                                           name.toStdString(),
                                           std::filesystem::copy_options::overwrite_existing));
  const QString listPath = desktop->Clips + "/bytes.asx";
  QFile file(listPath);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("<asx version=\"3.0\">\n<entry><ref href=\"" + raw + "\"/></entry>\n" +
             "<entry><ref href=\"file://" + clips + "/%FF%FE.avi\"/></entry>\n" +
             "<entry><ref href=\"" + clips + "/gone.avi\"/></entry>\n</asx>\n");
  file.close();
  Form->Page()->PlayPaths({listPath});
  ASSERT_EQ(Boxes.size(), 1);
  EXPECT_FALSE(Boxes[0].contains("caf"));
  EXPECT_EQ(Player()->FileCount(), 2);
  const TAVPlayList& list = Form->Page()->CurrentList();
  ASSERT_EQ(list.Count(), 3);
  const QString again = desktop->Clips + "/again.asx";
  Form->Page()->CurrentList().SaveToFile(again.toStdString());
  TAVPlayList reread;
  reread.LoadFromFile(again.toStdString());
  ASSERT_EQ(reread.Count(), 3);
  EXPECT_EQ(reread.Strings(0), raw.toStdString());
  EXPECT_EQ(reread.Strings(1), escaped.toStdString());
  EXPECT_EQ(reread.Strings(2), (clips + "/gone.avi").toStdString());
}

TEST_F(DropTest, ADragWithoutFilesIsRefusedAndNothingChanges) {
  // The browser may have opened what it showed last.
  const std::string before = Player()->CurrentFilePath();
  QMimeData text;
  text.setText("just words");
  EXPECT_FALSE(Drop(text));
  QMimeData web;
  web.setUrls({QUrl("https://example.com/clip.avi")});
  EXPECT_FALSE(Drop(web));
  QTest::qWait(200);
  EXPECT_EQ(Player()->CurrentFilePath(), before);
}

TEST_F(DropTest, DroppedFilesThatCannotPlaySayWhy) {
  QMimeData data;
  data.setUrls({QUrl::fromLocalFile(desktop->Clips + "/folder/notes.txt")});
  const std::string before = Player()->CurrentFilePath();
  ASSERT_TRUE(Drop(data));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Boxes.isEmpty(); }, 5000));
  EXPECT_EQ(Boxes[0], LResList.GetText("Player", 1002));
  EXPECT_EQ(Player()->CurrentFilePath(), before);
}

TEST_F(DropTest, WithoutASessionBusTheControlsAreLeftOutAtOnce) {
  TMediaRemote remote(*Form->Page());
  const auto before = Clock::now();
  EXPECT_FALSE(PublishMpris(
      &remote, QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/bus"),
                                             QStringLiteral("no-bus"))));
  EXPECT_LT(Clock::now() - before, std::chrono::milliseconds(500));
  EXPECT_TRUE(Boxes.isEmpty());
  QDBusConnection::disconnectFromBus(QStringLiteral("no-bus"));
}

}  // namespace
}  // namespace vexo

#include "outside_test.moc"
