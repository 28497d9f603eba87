// The program's main window on a private X server, a private session bus and
// a private PulseAudio null sink, with a private home: what it shows at
// start, what it refuses to start without, one program per user, keeping the
// desktop awake, what it saves at exit, and an exit in the middle of playback.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMenu>
#include <QMenuBar>
#include <QMutex>
#include <QScreen>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QToolBar>
#include <QToolButton>
#include <chrono>
#include <csignal>
#include <future>
#include <memory>
#include <thread>
#include <tuple>

#include "app/browser/shell_grid.h"
#include "app/common/help_pages.h"
#include "app/common/language_list.h"
#include "app/common/menu_system.h"
#include "app/common/message_boxes.h"
#include "app/common/program_environment.h"
#include "app/player/av_panel.h"
#include "app/settings/options.h"
#include "app/shell/command_table.h"
#include "app/shell/main_form.h"
#include "app/shell/player_page.h"
#include "app/shell/skin_manager.h"
#include "app/shell/status_panels.h"
#include "engine/media/av_types.h"
#include "engine/media/media_lib.h"
#include "platform/hand_over_message.h"
#include "platform/keep_awake.h"
#include "platform/platform_sound_system.h"
#include "platform/single_instance.h"
#include "platform/video_system.h"
#include "tests/support/child_process.h"
#include "tests/support/desktop_app.h"
#include "tests/support/test_media.h"

namespace vexo {
namespace {

using Clock = std::chrono::steady_clock;

// Stands in for the desktop's screen saver service: hands out cookies and
// records what was asked. It answers on a thread of its own, as a real
// service would, so that a caller that waits is answered.
class TFakeScreenSaver : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
 public:
  std::vector<uint> Held() const {
    QMutexLocker lock(&FMutex);
    return FHeld;
  }
  std::vector<QString> Applications() const {
    QMutexLocker lock(&FMutex);
    return FApplications;
  }

 public slots:
  uint Inhibit(const QString& application, const QString& /*reason*/) {
    QMutexLocker lock(&FMutex);
    FApplications.push_back(application);
    FHeld.push_back(++FLastCookie);
    return FLastCookie;
  }
  void UnInhibit(uint cookie) {
    QMutexLocker lock(&FMutex);
    std::erase(FHeld, cookie);
  }

 private:
  mutable QMutex FMutex;
  uint FLastCookie = 41;
  std::vector<uint> FHeld;
  std::vector<QString> FApplications;
};

// The test desktop with its session bus and sound server, a screen saver on
// that bus, and a program folder; one for the whole program.
class TDesktop : public test::TDesktopApp {
 public:
  TDesktop() : TDesktopApp("main_form_test", {.Sound = true, .Bus = true}, true) {}
  void SetUp() override {
    TDesktopApp::SetUp();
    if (!Ready()) return;
    Home = QString::fromStdString(Desktop->HomeDir());
    BusAddress = Desktop->BusAddress();
    StartScreenSaver();
    Program = std::make_unique<QTemporaryDir>();
    QDir().mkpath(Program->filePath("language"));
    QFile::copy(VEXO_SOURCE_DIR "/resources/language/English.lrf",
                Program->filePath("language/English.lrf"));
    // The shipped sheets, and one of a name the menus do not offer.
    QDir().mkpath(Program->filePath("Skins"));
    for (const QFileInfo& sheet : QDir(VEXO_SOURCE_DIR "/resources/Skins").entryInfoList({"*.qss"}))
      QFile::copy(sheet.filePath(), Program->filePath("Skins/" + sheet.fileName()));
    QFile::copy(VEXO_SOURCE_DIR "/resources/Skins/BlueIce.qss",
                Program->filePath("Skins/Mine.qss"));
    InitProgramEnvironment(Program->path());
    Clips = Home.path() + "/clips";
    QDir().mkpath(Clips);
    QFile::copy(QString::fromStdString(test::MediaPath("mpeg4_mp3.avi")), Clips + "/a_clip.avi");
  }
  void TearDown() override {
    if (ScreenSaverThread) {
      ScreenSaverThread->quit();
      ScreenSaverThread->wait();
    }
    TDesktopApp::TearDown();
    Program.reset();
  }
  QString ConfigFile() const { return Home.filePath(".config/Korvane Group/Vexo Player.conf"); }

  QDir Home;
  std::unique_ptr<QTemporaryDir> Program;
  std::string BusAddress;
  TFakeScreenSaver* ScreenSaver = nullptr;
  std::unique_ptr<QThread> ScreenSaverThread;
  QString Clips;

 private:
  void StartScreenSaver() {
    if (BusAddress.empty()) return;
    ScreenSaverThread = std::make_unique<QThread>();
    ScreenSaver = new TFakeScreenSaver;
    ScreenSaver->moveToThread(ScreenSaverThread.get());
    QObject::connect(ScreenSaverThread.get(), &QThread::finished, ScreenSaver,
                     &QObject::deleteLater);
    ScreenSaverThread->start();
    QDBusConnection service = QDBusConnection::connectToBus(QString::fromStdString(BusAddress),
                                                            QStringLiteral("fake-screen-saver"));
    service.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), ScreenSaver,
                           QDBusConnection::ExportAllSlots);
    service.registerService(QStringLiteral("org.freedesktop.ScreenSaver"));
  }
};

TDesktop* const desktop = test::AddDesktopApp<TDesktop>();

QString Plain(QString caption) {
  return caption.remove(u'&');
}

QMenu* SubMenu(const QWidget* menu, const QString& title) {
  for (QAction* item : menu->actions())
    if (item->menu() && Plain(item->text()) == title) return item->menu();
  return nullptr;
}

QStringList Entries(const QMenu* menu) {
  QStringList entries;
  for (QAction* item : menu->actions())
    entries << (item->isSeparator() ? QString() : Plain(item->text()));
  return entries;
}

// Pictures of the window go beside the test programs, for a person to look at.
void SaveScreenshot(QWidget* window, const QString& name) {
  QTest::qWait(500);
  const QString folder = QStringLiteral(VEXO_BIN_DIR "/../screenshots");
  QDir().mkpath(folder);
  window->screen()->grabWindow(window->winId()).save(folder + "/" + name + ".png", "PNG");
}

class MainFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(desktop->Ready());
    ASSERT_FALSE(desktop->BusAddress.empty()) << "no private session bus";
    LResList.Load(desktop->Program->path());
    AVParams = DefaultAVParams;
    SetMessageBoxHook([this](const TMsgBoxRequest& request) {
      Boxes.push_back(request.Text);
      return true;
    });
  }
  void TearDown() override {
    Form.reset();
    SetMessageBoxHook({});
    MediaLibSetSearch(std::string(), true);
  }

  // Creates and shows the window as the program does.
  void Start() {
    Form = std::make_unique<TPLMainForm>();
    ASSERT_TRUE(Form->Created());
    Form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
  }
  // Closes the window as a user does, then lets it go as the program does.
  void Close() {
    Form->close();
    Form.reset();
  }
  QStringList MenuTitles() const {
    QStringList titles;
    for (QAction* item : Form->menuBar()->actions())
      if (item->isVisible()) titles << Plain(item->text());
    return titles;
  }
  // Selects the file in the browser and waits until it is open.
  void OpenInBrowser(const QString& path) {
    TPlayerPage* page = Form->Page();
    bool done = false;
    TShellNode* found = nullptr;
    page->Grid()->LocatePath(QFile::encodeName(path), [&](TShellNode* node) {
      found = node;
      done = true;
    });
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 10000));
    ASSERT_NE(found, nullptr);
    page->Grid()->SelectNode(found);
    ASSERT_TRUE(QTest::qWaitFor([&] { return page->VideoPanel()->Player()->IsOpen(); }, 20000));
  }

  std::unique_ptr<TPLMainForm> Form;
  QStringList Boxes;
};

TEST_F(MainFormTest, StartsWithItsTitleMenusToolBarAndStatusBar) {
  QFile::remove(desktop->ConfigFile());
  Start();
  EXPECT_EQ(Form->windowTitle(), "Vexo Player");
  EXPECT_EQ(MenuTitles(), QStringList({"File", "Edit", "Tools", "Help"}));
  ASSERT_EQ(Form->findChildren<QToolBar*>().size(), 1);
  int buttons = 0;
  for (QAction* item : Form->findChildren<QToolBar*>()[0]->actions())
    buttons += !item->isSeparator();
  EXPECT_EQ(buttons, 8);
  EXPECT_TRUE(Form->statusBar()->isVisible());
  EXPECT_EQ(Form->StatusPanels()->Bar(), Form->statusBar());
  // No placement stored yet: 80 % of the work area, at least 800 x 620, centred.
  const QSize expected(std::max(800, WorkArea.width() * 80 / 100),
                       std::max(620, WorkArea.height() * 80 / 100));
  EXPECT_EQ(Form->size(), expected);
  EXPECT_LE(std::abs(Form->geometry().center().x() - WorkArea.center().x()), 1);
  EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join('\n').toStdString();
}

TEST_F(MainFormTest, SkinMenusOfferThePresentSheetsAndEachAppliesAndClears) {
  Start();
  OpenInBrowser(desktop->Clips + "/a_clip.avi");
  SaveScreenshot(Form.get(), "main-window-no-skin");
  // Choosing a skin refills the lists: the menus are looked up each time.
  auto skins = [&] { return SubMenu(SubMenu(Form->menuBar(), "Tools"), "Skins"); };
  auto more = [&] { return skins() ? SubMenu(skins(), "More skins") : nullptr; };
  ASSERT_NE(more(), nullptr);
  // Only the offered names whose sheets are present, in the menus' own order.
  EXPECT_EQ(Entries(skins()),
            QStringList({"None", "", "BlueIce", "Office12Style", "", "More skins"}));
  EXPECT_EQ(Entries(more()), QStringList({"DarkGlass"}));
  auto choose = [&](QMenu* menu, const QString& entry) {
    for (QAction* item : menu->actions())
      if (Plain(item->text()) == entry) return item->trigger();
    ADD_FAILURE() << "no entry " << entry.toStdString();
  };
  for (const QString name : {"BlueIce", "Office12Style", "DarkGlass"}) {
    choose(name == "DarkGlass" ? more() : skins(), name);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Form->SkinManager()->Active(); }, 2000))
        << name.toStdString();
    EXPECT_EQ(Form->Options()->GetOption(oSkinName).GetText(), name);
    EXPECT_FALSE(qApp->styleSheet().isEmpty());
    EXPECT_EQ(Form->Page()->RightPanel()->frameShape(), QFrame::NoFrame);
    SaveScreenshot(Form.get(), "main-window-" + name);
    choose(skins(), "None");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Form->SkinManager()->Active(); }, 2000));
    EXPECT_TRUE(Form->Options()->GetOption(oSkinName).GetText().isEmpty());
    EXPECT_TRUE(qApp->styleSheet().isEmpty());
    EXPECT_EQ(Form->Page()->RightPanel()->frameShape(), QFrame::Box);
  }
  // The common word in another case is no skin name.
  Form->Options()->GetOption(oSkinName).SetText("NONE");
  Form->PostApplySkin();
  EXPECT_TRUE(QTest::qWaitFor([&] { return !Form->SkinManager()->Active(); }, 5000));
}

// The window's commands run from wherever they stand: Help from its menu and
// from the tool bar reaches the one help page, and an entry of the File
// menu's recent list opens in the page.
TEST_F(MainFormTest, CommandsRunFromTheMenusAndTheToolBarAlike) {
  Start();
  std::vector<int> contexts;
  SetHelpHook([&contexts](int context) { contexts.push_back(context); });
  TMSAction* help = Form->MenuSystem()->FindAction(mHelp_Contents);
  ASSERT_NE(help, nullptr);
  QToolBar* bar = Form->findChild<QToolBar*>();
  ASSERT_NE(bar, nullptr);
  auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(help));
  ASSERT_NE(button, nullptr);
  QTest::mouseClick(button, Qt::LeftButton);
  QMenu* helpMenu = SubMenu(Form->menuBar(), "Help");
  ASSERT_NE(helpMenu, nullptr);
  ASSERT_TRUE(helpMenu->actions().contains(help));
  help->trigger();
  SetHelpHook({});
  EXPECT_EQ(contexts, std::vector<int>({kHelpContents, kHelpContents}));

  const QString clip = desktop->Clips + "/a_clip.avi";
  Form->MenuSystem()->FillList(mFile_OpenRecent, {clip});
  QMenu* recent = SubMenu(SubMenu(Form->menuBar(), "File"), "Recent files");
  ASSERT_NE(recent, nullptr);
  ASSERT_EQ(recent->actions().size(), 1);
  recent->actions()[0]->trigger();
  TAVPanel* video = Form->Page()->VideoPanel();
  EXPECT_TRUE(QTest::qWaitFor([&] { return video->CurrentFilePath() == clip; }, 20000))
      << video->CurrentFilePath().toStdString();
}

TEST_F(MainFormTest, ClosingSavesTheWindowAndOptionsAndTheNextStartRestoresThem) {
  Start();
  const QRect placed(60, 50, 900, 640);
  Form->setGeometry(placed);
  QTest::qWait(100);
  const QRect normal = Form->geometry();
  Close();
  QSettings saved(desktop->ConfigFile(), QSettings::IniFormat);
  EXPECT_TRUE(saved.childGroups().contains("Window"));
  EXPECT_TRUE(saved.childGroups().contains("Options"));
  EXPECT_EQ(saved.value("Window/Width").toInt(), normal.width());
  EXPECT_EQ(saved.value("Window/Left").toInt(), normal.left());
  EXPECT_FALSE(saved.value("Window/Maximized").toBool());

  Start();
  EXPECT_EQ(Form->geometry().size(), normal.size());
  EXPECT_EQ(Form->geometry().topLeft(), normal.topLeft());
}

TEST_F(MainFormTest, KeepsTheDesktopAwakeWhileItRunsAndLetsGoAtExit) {
  ASSERT_NE(desktop->ScreenSaver, nullptr);
  Start();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Form->KeepAwake()->HoldsScreenSaver(); }, 2000));
  ASSERT_EQ(desktop->ScreenSaver->Held().size(), 1u);
  EXPECT_EQ(desktop->ScreenSaver->Applications().back(), "Vexo Player");
  Close();
  EXPECT_TRUE(desktop->ScreenSaver->Held().empty());
}

TEST_F(MainFormTest, WithoutTheServicesThereIsNothingToHoldAndNoDelay) {
  // No screen saver service on the session bus, no system bus at all.
  QDBusConnection service(QStringLiteral("fake-screen-saver"));
  ASSERT_TRUE(service.unregisterService(QStringLiteral("org.freedesktop.ScreenSaver")));
  TKeepAwake keeper;
  bool answered = false;
  QObject::connect(&keeper, &TKeepAwake::Answered, [&] { answered = true; });
  const auto before = Clock::now();
  keeper.Start(QStringLiteral("test"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return answered; }, 2000));
  keeper.Stop();
  EXPECT_LT(Clock::now() - before, std::chrono::seconds(1));
  EXPECT_FALSE(keeper.HoldsScreenSaver());
  EXPECT_FALSE(keeper.HoldsSleepLock());
  EXPECT_TRUE(desktop->ScreenSaver->Held().empty());
  service.registerService(QStringLiteral("org.freedesktop.ScreenSaver"));
}

TEST_F(MainFormTest, SpaceOnTheWindowPlaysAndClosingDuringPlaybackEndsPromptly) {
  Start();
  OpenInBrowser(desktop->Clips + "/a_clip.avi");
  TAVPlayer* player = Form->Page()->VideoPanel()->Player();
  QTest::keyClick(Form.get(), Qt::Key_Space);
  ASSERT_TRUE(QTest::qWaitFor([&] { return player->State() == psPlaying; }, 5000));
  QTest::qWait(500);
  SaveScreenshot(Form.get(), "main-window-playing");
  const auto before = Clock::now();
  Close();
  EXPECT_LT(Clock::now() - before, std::chrono::seconds(2));
}

TEST_F(MainFormTest, ALaterStartBringsTheRunningWindowForwardAndEnds) {
  TSingleInstance instance;
  ASSERT_EQ(instance.Begin(), TSingleInstance::siFirst);
  Start();
  instance.EndStart();
  QObject::connect(&instance, &TSingleInstance::SecondInstance, Form.get(),
                   &TPLMainForm::BringToFront);
  Form->showMinimized();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Form->isMinimized(); }, 2000));

  const auto before = Clock::now();
  // Waited for on another thread: this one runs the event loop the running
  // window answers in.
  auto ended = std::async(std::launch::async, [] {
    test::TChildProcess second({VEXO_BIN_DIR "/vexoplayer"});
    return second.Wait(std::chrono::seconds(10));
  });
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return ended.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 10000));
  EXPECT_EQ(ended.get(), 0);
  EXPECT_LT(Clock::now() - before, std::chrono::seconds(2));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !Form->isMinimized(); }, 2000));
  EXPECT_EQ(QApplication::topLevelWidgets().count(Form.get()), 1);
}

TEST_F(MainFormTest, TheProgramRunsUntilAskedToEndAndThenSavesAndLetsGo) {
  QFile::remove(desktop->ConfigFile());
  const size_t heldBefore = desktop->ScreenSaver->Held().size();
  auto ended = std::async(std::launch::async, [] {
    test::TChildProcess program({VEXO_BIN_DIR "/vexoplayer"});
    // Up and running once it has asked to keep the desktop awake.
    bool running = false;
    for (int i = 0; i < 200 && !running; ++i) {
      running = desktop->ScreenSaver->Held().size() > 0;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    // What a desktop's log-out sends.
    ::kill(program.Pid(), SIGTERM);
    const auto asked = Clock::now();
    const int status = program.Wait(std::chrono::seconds(10));
    return std::tuple{running, status, Clock::now() - asked};
  });
  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return ended.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 30000));
  const auto [running, status, ending] = ended.get();
  EXPECT_TRUE(running);
  EXPECT_EQ(status, 0);
  EXPECT_LT(ending, std::chrono::seconds(2));
  EXPECT_EQ(desktop->ScreenSaver->Held().size(), heldBefore);
  QSettings saved(desktop->ConfigFile(), QSettings::IniFormat);
  EXPECT_TRUE(saved.childGroups().contains("Window"));
  EXPECT_TRUE(saved.childGroups().contains("Options"));
}

struct TMissingCase {
  const char* Name;
  std::function<void()> Break;
  std::function<QString()> Message;
};

class MissingPart : public MainFormTest, public ::testing::WithParamInterface<TMissingCase> {};

TEST_P(MissingPart, ShowsItsMessageAndTheProgramDoesNotGoOn) {
  GetParam().Break();
  TPLMainForm form;
  EXPECT_FALSE(form.Created());
  ASSERT_EQ(Boxes.size(), 1);
  EXPECT_EQ(Boxes[0], GetParam().Message());
  // Nothing to show: the window stays hidden.
  form.show();
  EXPECT_EQ(form.MenuSystem(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Start, MissingPart,
    ::testing::Values(TMissingCase{"LanguageFile",
                                   [] { LResList.Load(desktop->Home.filePath("no-program-here")); },
                                   [] { return LResList.MissingFileText(); }},
                      TMissingCase{"MediaLibraries",
                                   [] {
                                     MediaLibUnload();
                                     MediaLibSetSearch(
                                         desktop->Home.filePath("no-libraries").toStdString(),
                                         false);
                                   },
                                   [] {
                                     return QStringLiteral(
                                         "Some components of Vexo Player were not found. "
                                         "Vexo Player must be reinstalled.");
                                   }}),
    [](const ::testing::TestParamInfo<TMissingCase>& info) { return info.param.Name; });

// One program per user, without windows.
class SingleInstanceTest : public ::testing::Test {
 protected:
  QTemporaryDir Folder;
};

TEST_F(SingleInstanceTest, ASocketLeftByAnEndedProgramDoesNotStopANewStart) {
  {
    QLocalServer crashed;
    ASSERT_TRUE(crashed.listen(TSingleInstance(Folder.path()).ServerPath()));
    crashed.close();
  }
  QFile leftover(TSingleInstance(Folder.path()).ServerPath());
  leftover.open(QIODevice::WriteOnly);
  leftover.close();
  TSingleInstance instance(Folder.path());
  EXPECT_EQ(instance.Begin(), TSingleInstance::siFirst);
}

TEST_F(SingleInstanceTest, AStartStillHoldingTheLockMakesTheNextOneEndQuietly) {
  TSingleInstance starting(Folder.path());
  ASSERT_EQ(starting.Begin(), TSingleInstance::siFirst);
  // The first start holds the lock until its window exists.
  TSingleInstance later(Folder.path());
  EXPECT_EQ(later.Begin(200), TSingleInstance::siStillStarting);
}

// A program already running, and a client that writes to it without
// hanging up.
class RunningInstanceTest : public SingleInstanceTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(Running.Begin(), TSingleInstance::siFirst);
    Running.EndStart();
    QObject::connect(&Running, &TSingleInstance::SecondInstance, [this] { ++Calls; });
  }
  void Say(QLocalSocket& client, const char* text) {
    client.connectToServer(Running.ServerPath());
    ASSERT_TRUE(client.waitForConnected(1000));
    client.write(text);
    client.flush();
  }
  bool LaterStartHandsOver() {
    TSingleInstance later(Folder.path());
    return later.Begin() == TSingleInstance::siHandedOver &&
           QTest::qWaitFor([&] { return Calls == 1; }, 2000);
  }

  TSingleInstance Running{Folder.path()};
  int Calls = 0;
};

TEST_F(RunningInstanceTest, OnlyTheProgramsOwnMessageBringsItForward) {
  QLocalSocket stranger;
  Say(stranger, "Some Other Program\n");
  EXPECT_TRUE(LaterStartHandsOver());
  QTest::qWait(100);
  EXPECT_EQ(Calls, 1);
}

TEST_F(RunningInstanceTest, AClientThatNeverHangsUpIsCutOffUnheard) {
  Running.SetSilentClientLimit(300);
  QLocalSocket lingering;
  // The program's own message, but the line is kept open.
  Say(lingering, EncodeHandOver({}).constData());
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return lingering.state() == QLocalSocket::UnconnectedState; }, 3000));
  EXPECT_EQ(Calls, 0);
  // The program still answers the next start.
  EXPECT_TRUE(LaterStartHandsOver());
}

}  // namespace
}  // namespace vexo

#include "main_form_test.moc"
