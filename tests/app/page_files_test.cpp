// The player page's playlist files and file commands on a private X server:
// playlists saved and opened again, the recent list, deleting into the trash
// or for good, copying with its question, progress, cancel and failures, and
// turning a photo that is shown.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <QDirIterator>
#include <QImage>
#include <QImageReader>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QToolBar>
#include <QToolButton>
#include <deque>

#include "app/common/file_dialogs.h"
#include "app/common/message_boxes.h"
#include "app/common/ms_action.h"
#include "app/player/player_widget.h"
#include "app/shell/file_copy_job.h"
#include "page_test_rig.h"

namespace vexo {
namespace {

QByteArray Noise(int size) {
  QByteArray bytes(size, '\0');
  for (int i = 0; i < size; ++i) bytes[i] = char((uint32_t(i) * 7919u) >> 5);
  return bytes;
}

void WriteAll(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
  file.write(bytes);
}

// A photo twice as wide as high: red on the left half, blue on the right.
void WriteTwoColourPhoto(const QString& path) {
  QImage image(128, 64, QImage::Format_RGB32);
  image.fill(Qt::blue);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) image.setPixel(x, y, qRgb(255, 0, 0));
  QDir().mkpath(QFileInfo(path).path());
  EXPECT_TRUE(image.save(path, "JPG", 100));
}

constexpr qint64 kHugeSize = qint64(1) << 30;

// Every folder a test shows in the browser is there before the browser reads
// the home folder.
void MakeFolders(test::TPageDesktop& desktop) {
  const QString home = desktop.HomePath();
  for (const char* folder : {"clips", "del", "perm", "copy", "copy-out", "fail", "fail-out", "huge",
                             "huge-out", "turn", "lists", "recent", "moved", "formats"})
    QDir().mkpath(home + "/" + folder);
  desktop.Copy("numbered_mpeg4.avi", home + "/clips/a_numbered.avi");
  desktop.Copy("mpeg4_mp3.avi", home + "/clips/b_clip.avi");
  desktop.Copy("photo_640x480.jpg", home + "/clips/c_photo.jpg");
  desktop.Copy("mpeg4_mp3.avi", home + "/del/a_first.avi");
  desktop.Copy("photo_100x75.jpg", home + "/del/b_shown.jpg");
  desktop.Copy("mpeg4_mp3_b.avi", home + "/del/c_next.avi");
  for (const char* name : {"a.jpg", "b.jpg", "c.jpg"})
    desktop.Copy("photo_100x75.jpg", home + "/perm/" + name);
  desktop.Copy("photo_640x480.jpg", home + "/copy/photo.jpg");
  WriteAll(home + "/fail/big.avi", Noise(6 << 20));
  QFile sparse(home + "/huge/huge.avi");
  if (sparse.open(QIODevice::WriteOnly)) sparse.resize(kHugeSize);
  WriteTwoColourPhoto(home + "/turn/wide.jpg");
  for (const char* name : {"quadrants.png", "quadrants_lossless.webp", "quadrants.webp",
                           "quadrants.heic", "quadrants.avif"})
    desktop.Copy(name, home + "/formats/" + name);
  desktop.Copy("mpeg4_mp3.avi", home + "/recent/clip.avi");
  desktop.Copy("photo_100x75.jpg", home + "/recent/photo.jpg");
  desktop.Copy("mpeg4_mp3.avi", home + "/moved/kept.avi");
  desktop.Copy("mpeg4_mp3_b.avi", home + "/moved/gone.avi");
  desktop.Copy("photo_100x75.jpg", home + "/moved/photo.jpg");
}

class TDesktop : public test::TPageDesktop {
 public:
  TDesktop() : TPageDesktop("page_files_test", MakeFolders) {}
  QString Path(const QString& relative) const { return HomePath() + "/" + relative; }
  QString Clips() const { return Path("clips"); }
};

TDesktop* const desktop = test::AddDesktopApp<TDesktop>();

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every name in a folder, hidden ones too: a temporary file left behind shows.
QStringList FolderContents(const QString& folder) {
  return QDir(folder).entryList(
      QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Answers the file dialogs with the files given, in turn, and keeps what
// they were asked.
class TDialogAnswers {
 public:
  TDialogAnswers() {
    SetFileDialogHook([this](const TFileDialogRequest& request) {
      Requests.push_back(request);
      TFileDialogAnswer answer;
      if (!Files.empty()) {
        answer.Accepted = true;
        answer.Files = {Files.front()};
        Files.pop_front();
      }
      return answer;
    });
  }
  ~TDialogAnswers() { SetFileDialogHook({}); }
  std::deque<QString> Files;
  std::vector<TFileDialogRequest> Requests;
};

// Answers the message boxes (yes, unless told otherwise in turn) and keeps
// their texts.
class TBoxAnswers {
 public:
  TBoxAnswers() {
    SetMessageBoxHook([this](const TMsgBoxRequest& request) {
      Boxes.push_back(request);
      if (Answers.empty()) return true;
      const bool answer = Answers.front();
      Answers.pop_front();
      return answer;
    });
  }
  ~TBoxAnswers() { SetMessageBoxHook({}); }
  std::deque<bool> Answers;
  std::vector<TMsgBoxRequest> Boxes;
};

class PageFilesTest : public ::testing::Test, public test::TPageRig<TPlayerPage> {
 protected:
  void SetUp() override { BuildStandard(*desktop); }
  void TearDown() override { Destroy(); }

  QStringList ListEntries() {
    QStringList entries;
    for (int i = 0; i < Page->CurrentList().Count(); ++i)
      entries << QString::fromStdString(Page->CurrentList().Strings(i));
    return entries;
  }
  // The entries the File menu offers as recent playlists, in menu order.
  std::vector<TMSAction*> RecentEntries() {
    std::vector<TMSAction*> entries;
    for (QMenu* menu : Window->findChildren<QMenu*>())
      for (QAction* item : menu->actions())
        if (auto* action = qobject_cast<TMSAction*>(item);
            action && action->Index() == mFile_OpenRecent && action->IsListEntry())
          entries.push_back(action);
    std::sort(entries.begin(), entries.end(),
              [](TMSAction* a, TMSAction* b) { return a->SubIndex() < b->SubIndex(); });
    return entries;
  }
  QStringList RecentMenu() {
    QStringList captions;
    for (TMSAction* action : RecentEntries()) captions << action->Caption();
    return captions;
  }
  TMSAction* RecentEntry(const QString& path) {
    for (TMSAction* action : RecentEntries())
      if (action->Caption() == path) return action;
    return nullptr;
  }
  // Runs the command `row`, whose one dialog is answered with `answer`
  // (cancelled when empty); what the dialog was asked.
  TFileDialogRequest AskedBy(int row, const QString& answer) {
    TDialogAnswers dialogs;
    if (!answer.isEmpty()) dialogs.Files = {answer};
    Execute(row);
    EXPECT_EQ(dialogs.Requests.size(), 1u);
    return dialogs.Requests.empty() ? TFileDialogRequest{} : dialogs.Requests.front();
  }
  // Opens a playlist file as the recent list or the main window would, and
  // waits until the recent list has followed.
  void OpenAndRecord(const QString& path) {
    QSignalSpy recorded(Page, &TPlayerPage::RecentPlayListsChanged);
    Page->OpenPlayListFile(path);
    ASSERT_TRUE(recorded.wait(5000)) << path.toStdString();
  }
  // Runs a file command and waits for the copy it starts to end.
  bool CopyWith(int row) {
    QSignalSpy finished(Page, &TPlayerPage::FileCopyFinished);
    Execute(row);
    if (!Page->CopyRunning() && finished.isEmpty()) return false;
    EXPECT_TRUE(finished.count() > 0 || finished.wait(20000));
    return finished.count() > 0 && finished.first().first().toBool();
  }
  void DeleteWith(TPlayerPage::TFileOperation kind) {
    QSignalSpy settled(Page, &TPlayerPage::DeletionSettled);
    Page->FileOperation(kind);
    ASSERT_TRUE(settled.count() > 0 || settled.wait(10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !Page->SelectionPending(); }));
  }
  TShellNode* ChildNamed(const QString& folder, const QString& name) {
    TShellNode* node = Select(folder);
    if (!node) return nullptr;
    Expand(node);
    for (const auto& child : node->Children)
      if (child->Text == name) return child.get();
    return nullptr;
  }
};

// ---- playlists ----

TEST_F(PageFilesTest, APlaylistSavedAndOpenedAgainPlaysTheSameFiles) {
  ASSERT_TRUE(Select(desktop->Clips()));
  Execute(mFile_CreatePL);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Player().IsOpen(); }, 20000));
  const QStringList played = ListEntries();
  ASSERT_EQ(played.size(), 3);
  ASSERT_TRUE(Enabled(mFile_SavePL));

  const QString saved = desktop->Path("lists/Holiday mix.asx");
  {
    TDialogAnswers dialogs;
    dialogs.Files = {saved};
    QSignalSpy recorded(Page, &TPlayerPage::RecentPlayListsChanged);
    const int titles = TitleChanges;
    Execute(mFile_SavePL);
    ASSERT_EQ(dialogs.Requests.size(), 1u);
    EXPECT_TRUE(dialogs.Requests[0].Save);
    EXPECT_EQ(dialogs.Requests[0].Title, "Save Playlist");
    EXPECT_TRUE(dialogs.Requests[0].Filter.contains("*.asx"))
        << dialogs.Requests[0].Filter.toStdString();
    EXPECT_EQ(dialogs.Requests[0].DefaultExt, "asx");
    EXPECT_GT(TitleChanges, titles);
    EXPECT_EQ(Page->PlayListTitle(), "Holiday mix");
    ASSERT_TRUE(recorded.wait(5000));
    EXPECT_EQ(Options->Recent().value(0), saved);
    EXPECT_EQ(RecentMenu().value(0), saved);
  }
  ASSERT_TRUE(QFileInfo(saved).isFile());

  // A new selection ends the playlist; opening the file brings it back.
  ASSERT_TRUE(Select(desktop->Clips() + "/b_clip.avi"));
  ASSERT_EQ(Page->CurrentList().Count(), 0);
  TDialogAnswers dialogs;
  dialogs.Files = {saved};
  QSignalSpy recorded(Page, &TPlayerPage::RecentPlayListsChanged);
  Execute(mFile_OpenPL);
  ASSERT_EQ(dialogs.Requests.size(), 1u);
  EXPECT_FALSE(dialogs.Requests[0].Save);
  EXPECT_EQ(dialogs.Requests[0].Title, "Open Playlist");
  // The folder of the last playlist file is offered again.
  EXPECT_EQ(dialogs.Requests[0].Folder, desktop->Path("lists"));
  EXPECT_EQ(ListEntries(), played);
  EXPECT_EQ(Player().FileCount(), 3);
  EXPECT_EQ(Page->PlayListFileName(), saved);
  EXPECT_EQ(Page->VideoPanel()->ListTitle(), "Holiday mix");
  EXPECT_EQ(Grid().SelectedCount(), 0);
  EXPECT_TRUE(Enabled(mFile_SavePL));
  // The list survives the selection change it made.
  QTest::qWait(100);
  EXPECT_EQ(Player().FileCount(), 3);
  ASSERT_TRUE(recorded.count() > 0 || recorded.wait(5000));
  EXPECT_EQ(Options->Recent(), QStringList{saved});
}

TEST_F(PageFilesTest, TheRecentListKeepsTheSevenNewestAndOpensAnEntry) {
  const QString clip = desktop->Path("recent/clip.avi");
  const QString photo = desktop->Path("recent/photo.jpg");
  QStringList files;
  for (int i = 1; i <= 8; ++i) {
    TAVPlayList list;
    list.Add(clip.toStdString());
    list.Add(photo.toStdString());
    files << desktop->Path(QString("recent/list%1.asx").arg(i));
    list.SaveToFile(files.back().toStdString());
  }
  for (const QString& file : files) OpenAndRecord(file);
  const QStringList newest = {files[7], files[6], files[5], files[4], files[3], files[2], files[1]};
  EXPECT_EQ(Options->Recent(), newest);
  EXPECT_EQ(RecentMenu(), newest);

  // Opening one again moves it up, without a second entry.
  OpenAndRecord(files[3]);
  const QStringList moved = {files[3], files[7], files[6], files[5], files[4], files[2], files[1]};
  EXPECT_EQ(Options->Recent(), moved);
  EXPECT_EQ(RecentMenu(), moved);

  // An entry of the menu opens its playlist.
  ASSERT_TRUE(Select(desktop->Clips() + "/b_clip.avi"));
  TMSAction* entry = RecentEntry(files[5]);
  ASSERT_TRUE(entry);
  QSignalSpy recorded(Page, &TPlayerPage::RecentPlayListsChanged);
  Menus->ExecuteAction(entry);
  EXPECT_EQ(Page->PlayListFileName(), files[5]);
  EXPECT_EQ(Player().FileCount(), 2);
  ASSERT_TRUE(recorded.wait(5000));
  EXPECT_EQ(RecentMenu().value(0), files[5]);

  // The list is kept in the settings for the next run.
  Destroy();
  Build();
  EXPECT_EQ(Options->Recent().value(0), files[5]);
  EXPECT_EQ(Options->Recent().size(), 7);
}

// File > Open file and Open folder ask through the desktop's dialogs; what
// they open plays, and joins the recent list beside the playlist files, from
// where it opens again.
TEST_F(PageFilesTest, OpenFilePlaysTheChosenFilesAndTheRecentListOffersThem) {
  const QString clip = desktop->Path("recent/clip.avi");
  const QString photo = desktop->Path("recent/photo.jpg");
  const QString playlist = desktop->Path("recent/both.asx");
  TAVPlayList saved;
  saved.Add(clip.toStdString());
  saved.Add(photo.toStdString());
  saved.SaveToFile(playlist.toStdString());
  OpenAndRecord(playlist);
  const TFileDialogRequest files = AskedBy(mFile_Open, clip);
  EXPECT_FALSE(files.Save);
  EXPECT_FALSE(files.PickFolder);
  EXPECT_EQ(files.Title, "Open Files");
  EXPECT_TRUE(files.MultiSelect);
  // The enabled media types first, then everything.
  EXPECT_TRUE(files.Filter.startsWith("Video and photo files (*.avi *.mov"))
      << files.Filter.toStdString();
  EXPECT_TRUE(files.Filter.contains("*.jpg")) << files.Filter.toStdString();
  EXPECT_TRUE(files.Filter.endsWith(";;All files (*)")) << files.Filter.toStdString();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Player().State() == psPlaying; }, 10000));
  EXPECT_EQ(Player().FileCount(), 1);
  EXPECT_EQ(Page->VideoPanel()->CurrentFilePath(), clip);
  EXPECT_EQ(Options->Recent(), (QStringList{clip, playlist}));
  EXPECT_EQ(RecentMenu(), (QStringList{clip, playlist}));

  // The dialog cancelled changes nothing.
  AskedBy(mFile_Open, {});
  EXPECT_EQ(Player().FileCount(), 1);
  EXPECT_EQ(Options->Recent(), (QStringList{clip, playlist}));

  // A file of the list opens from there, a playlist file as a playlist.
  ASSERT_TRUE(Select(desktop->Clips() + "/b_clip.avi"));
  TMSAction* entry = RecentEntry(clip);
  ASSERT_TRUE(entry);
  Menus->ExecuteAction(entry);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Page->VideoPanel()->CurrentFilePath() == clip; }));
  Menus->ExecuteAction(RecentEntry(playlist));
  EXPECT_EQ(Page->PlayListFileName(), playlist);
  EXPECT_EQ(Player().FileCount(), 2);

  // File > Open folder plays the folder's media files as one list, and the
  // folder joins the recent list.
  const QString folder = desktop->Path("recent");
  const TFileDialogRequest folders = AskedBy(mFile_OpenFolder, folder);
  EXPECT_TRUE(folders.PickFolder);
  EXPECT_EQ(folders.Title, "Open Folder");
  EXPECT_EQ(ListEntries(), (QStringList{clip, photo}));
  EXPECT_TRUE(Page->PlayListFileName().isEmpty());
  EXPECT_EQ(Options->Recent().value(0), folder);
  EXPECT_EQ(RecentMenu().value(0), folder);
}

TEST_F(PageFilesTest, APlaylistWithFilesGoneMeanwhilePlaysTheRestAndNamesTheMissing) {
  const QString kept = desktop->Path("moved/kept.avi");
  const QString gone = desktop->Path("moved/gone.avi");
  const QString photo = desktop->Path("moved/photo.jpg");
  TAVPlayList list;
  for (const QString& path : {kept, gone, photo}) list.Add(path.toStdString());
  const QString file = desktop->Path("moved/list.asx");
  list.SaveToFile(file.toStdString());
  ASSERT_TRUE(QFile::remove(gone));

  TBoxAnswers boxes;
  Page->OpenPlayListFile(file);
  ASSERT_EQ(boxes.Boxes.size(), 1u);
  EXPECT_EQ(boxes.Boxes[0].Kind, TMsgKind::Info);
  EXPECT_TRUE(boxes.Boxes[0].Text.contains(gone)) << boxes.Boxes[0].Text.toStdString();
  EXPECT_FALSE(boxes.Boxes[0].Text.contains(kept));
  // The list keeps the missing entry, so that saving it loses nothing; only
  // what plays leaves it out.
  EXPECT_EQ(ListEntries(), (QStringList{kept, gone, photo}));
  EXPECT_EQ(Player().FileCount(), 2);
}

TEST_F(PageFilesTest, APlaylistFileThatCannotBeReadIsReportedAndThePlaylistPlayingStays) {
  const QString broken = desktop->Path("broken/list.asx");
  WriteAll(broken, "<asx version=\"3.0\"><entry><ref href=");
  ASSERT_TRUE(Select(desktop->Clips()));
  Execute(mFile_CreatePL);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Player().FileCount() == 3; }, 20000));
  const QStringList playing = ListEntries();
  TBoxAnswers boxes;
  Page->OpenPlayListFile(broken);
  ASSERT_EQ(boxes.Boxes.size(), 1u);
  EXPECT_EQ(boxes.Boxes[0].Kind, TMsgKind::Error);
  EXPECT_TRUE(
      boxes.Boxes[0].Text.startsWith("The playlist \"" + broken + "\" could not be opened."))
      << boxes.Boxes[0].Text.toStdString();
  // The playlist that played goes on as it was.
  EXPECT_EQ(ListEntries(), playing);
  EXPECT_EQ(Player().FileCount(), 3);
  EXPECT_TRUE(Enabled(mFile_SavePL));
  QTest::qWait(300);
  EXPECT_FALSE(Options->Recent().contains(broken));
}

// ---- delete ----

TEST_F(PageFilesTest, DeletingThePlayingFileMovesItToTheTrashAndPlaysTheNextOne) {
  const QString first = desktop->Path("del/a_first.avi");
  const QString shown = desktop->Path("del/b_shown.jpg");
  const QString next = desktop->Path("del/c_next.avi");
  ASSERT_TRUE(Select(desktop->Path("del")));
  Expand(Grid().SelectedNode());
  ASSERT_TRUE(Select(shown));
  ASSERT_EQ(OpenFile(), shown);
  ASSERT_TRUE(Enabled(mEdit_Delete));

  // Said no to: nothing changes, the picture stays.
  {
    TBoxAnswers boxes;
    boxes.Answers = {false};
    DeleteWith(TPlayerPage::foDeleteToTrash);
    ASSERT_EQ(boxes.Boxes.size(), 1u);
    EXPECT_EQ(boxes.Boxes[0].Text, "Move \"b_shown.jpg\" to the trash?");
    EXPECT_TRUE(QFileInfo::exists(shown));
    EXPECT_EQ(OpenFile(), shown);
    EXPECT_EQ(SelectedFile(), shown);
  }

  TBoxAnswers boxes;
  DeleteWith(TPlayerPage::foDeleteToTrash);
  ASSERT_EQ(boxes.Boxes.size(), 1u);
  EXPECT_FALSE(QFileInfo::exists(shown));
  const QString trash = desktop->Path(".local/share/Trash");
  EXPECT_EQ(ReadAll(trash + "/files/b_shown.jpg"),
            ReadAll(QString::fromStdString(test::MediaPath("photo_100x75.jpg"))));
  const QString info = QString::fromUtf8(ReadAll(trash + "/info/b_shown.jpg.trashinfo"));
  EXPECT_TRUE(info.startsWith("[Trash Info]")) << info.toStdString();
  EXPECT_TRUE(info.contains("Path=" + QUrl::toPercentEncoding(shown, "/"))) << info.toStdString();
  EXPECT_TRUE(info.contains("DeletionDate=")) << info.toStdString();
  // The browser no longer lists it and the player has moved on.
  ASSERT_TRUE(QTest::qWaitFor([&] { return OpenFile() == next; }, 10000))
      << OpenFile().toStdString();
  EXPECT_EQ(SelectedFile(), next);
  TShellNode* folder = Grid().SelectedNode()->Parent;
  QStringList names;
  for (const auto& child : folder->Children) names << child->Text;
  EXPECT_EQ(names, (QStringList{"a_first.avi", "c_next.avi"}));

  // The last file of a folder gives way to the one above it.
  TBoxAnswers again;
  DeleteWith(TPlayerPage::foDeleteToTrash);
  ASSERT_TRUE(QTest::qWaitFor([&] { return OpenFile() == first; }, 10000))
      << OpenFile().toStdString();
  EXPECT_TRUE(QFileInfo::exists(trash + "/info/c_next.avi.trashinfo"));
}

TEST_F(PageFilesTest, DeletingForGoodAndWhereThereIsNoTrashAsksFirst) {
  const QString forGood = desktop->Path("perm/a.jpg");
  const QString noTrash = desktop->Path("perm/b.jpg");
  const QString kept = desktop->Path("perm/c.jpg");
  ASSERT_TRUE(Select(desktop->Path("perm")));
  Expand(Grid().SelectedNode());

  ASSERT_TRUE(Select(forGood));
  {
    TBoxAnswers boxes;
    DeleteWith(TPlayerPage::foDeletePermanently);
    ASSERT_EQ(boxes.Boxes.size(), 1u);
    EXPECT_EQ(boxes.Boxes[0].Text, "Delete \"a.jpg\" for good? It cannot be restored.");
    EXPECT_FALSE(QFileInfo::exists(forGood));
    EXPECT_FALSE(QFileInfo::exists(desktop->Path(".local/share/Trash/files/a.jpg")));
  }

  // A trash that cannot be made stands for a volume without one.
  const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
  const QString blocked = desktop->Path("blocked-data");
  WriteAll(blocked + "/Trash", "not a folder");
  setenv("XDG_DATA_HOME", QFile::encodeName(blocked).constData(), 1);
  struct TRestore {
    QByteArray Value;
    ~TRestore() { setenv("XDG_DATA_HOME", Value.constData(), 1); }
  } restore{dataHome};

  ASSERT_TRUE(QTest::qWaitFor([&] { return OpenFile() == noTrash; }, 10000));
  {
    TBoxAnswers boxes;
    boxes.Answers = {true, false};
    DeleteWith(TPlayerPage::foDeleteToTrash);
    ASSERT_EQ(boxes.Boxes.size(), 2u);
    EXPECT_EQ(boxes.Boxes[1].Text,
              "There is no trash on the drive of \"b.jpg\". Delete it for good instead? It cannot "
              "be restored.");
    EXPECT_TRUE(QFileInfo::exists(noTrash));
    // The file stays and is shown again.
    ASSERT_TRUE(QTest::qWaitFor([&] { return OpenFile() == noTrash; }, 10000));
  }
  TBoxAnswers boxes;
  DeleteWith(TPlayerPage::foDeleteToTrash);
  ASSERT_EQ(boxes.Boxes.size(), 2u);
  EXPECT_FALSE(QFileInfo::exists(noTrash));
  EXPECT_TRUE(QFileInfo::exists(kept));
  ASSERT_TRUE(QTest::qWaitFor([&] { return OpenFile() == kept; }, 10000));
}

// ---- copy ----

TEST_F(PageFilesTest, CopyToAsksBeforeReplacingAFile) {
  const QString source = desktop->Path("copy/photo.jpg");
  const QByteArray bytes = ReadAll(source);
  const QString target = desktop->Path("copy-out/photo.jpg");
  ASSERT_TRUE(Select(source));
  ASSERT_TRUE(Enabled(mEdit_CopyTo));

  {
    TDialogAnswers dialogs;
    dialogs.Files = {target};
    TBoxAnswers boxes;
    EXPECT_TRUE(CopyWith(mEdit_CopyTo));
    ASSERT_EQ(dialogs.Requests.size(), 1u);
    const TFileDialogRequest& asked = dialogs.Requests[0];
    EXPECT_EQ(asked.Title, "Copy To");
    EXPECT_EQ(asked.FileName, "photo");
    EXPECT_EQ(asked.DefaultExt, "jpg");
    EXPECT_TRUE(asked.Filter.startsWith("JPG (*.jpg")) << asked.Filter.toStdString();
    // No question when the name is free.
    EXPECT_TRUE(boxes.Boxes.empty());
    EXPECT_EQ(ReadAll(target), bytes);
    EXPECT_EQ(QFileInfo(target).lastModified(), QFileInfo(source).lastModified());
  }

  struct TCase {
    bool Replace;
    QByteArray Expected;
  };
  for (const TCase& c : {TCase{false, "older file"}, TCase{true, bytes}}) {
    WriteAll(target, "older file");
    TDialogAnswers dialogs;
    dialogs.Files = {target};
    TBoxAnswers boxes;
    boxes.Answers = {c.Replace};
    EXPECT_EQ(CopyWith(mEdit_CopyTo), c.Replace);
    ASSERT_EQ(boxes.Boxes.size(), 1u);
    EXPECT_EQ(boxes.Boxes[0].Text, "\"photo.jpg\" already exists. Do you want to replace it?");
    EXPECT_EQ(ReadAll(target), c.Expected) << "replace " << c.Replace;
    // The next dialog starts where this one ended.
    EXPECT_EQ(dialogs.Requests[0].Folder, desktop->Path("copy-out"));
  }
  EXPECT_EQ(ReadAll(source), bytes);
  EXPECT_EQ(FolderContents(desktop->Path("copy-out")), QStringList{"photo.jpg"});

  // Onto itself: refused, the file untouched.
  TDialogAnswers dialogs;
  dialogs.Files = {source};
  TBoxAnswers boxes;
  EXPECT_FALSE(CopyWith(mEdit_CopyTo));
  ASSERT_FALSE(boxes.Boxes.empty());
  EXPECT_EQ(boxes.Boxes.back().Kind, TMsgKind::Error);
  EXPECT_EQ(ReadAll(source), bytes);
}

// Writes beyond a size fail as on a full disk, for root as for anyone.
class TFileSizeLimit {
 public:
  explicit TFileSizeLimit(rlim_t bytes) {
    FOldHandler = signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &FOld);
    rlimit limit = FOld;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~TFileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &FOld);
    signal(SIGXFSZ, FOldHandler);
  }

 private:
  rlimit FOld{};
  sighandler_t FOldHandler;
};

TEST_F(PageFilesTest, ACopyThatFailsHalfWayLeavesTheTargetAsItWas) {
  const QString source = desktop->Path("fail/big.avi");
  const QString target = desktop->Path("fail-out/big.avi");
  WriteAll(target, "the earlier file");
  ASSERT_TRUE(Select(desktop->Path("fail")));
  Expand(Grid().SelectedNode());
  ASSERT_TRUE(Select(source));
  TDialogAnswers dialogs;
  dialogs.Files = {target};
  TBoxAnswers boxes;
  {
    TFileSizeLimit limit(1 << 20);
    EXPECT_FALSE(CopyWith(mEdit_CopyTo));
  }
  ASSERT_EQ(boxes.Boxes.size(), 2u);  // the question, then the failure
  EXPECT_EQ(boxes.Boxes[1].Kind, TMsgKind::Error);
  EXPECT_TRUE(boxes.Boxes[1].Text.startsWith("The file could not be copied to \"" + target + "\"."))
      << boxes.Boxes[1].Text.toStdString();
  EXPECT_EQ(ReadAll(target), "the earlier file");
  EXPECT_EQ(FolderContents(desktop->Path("fail-out")), QStringList{"big.avi"});
  EXPECT_EQ(ReadAll(source).size(), 6 << 20);
}

// The copy routine's own failures: nothing is left where the copy was going.
struct TFailCase {
  const char* Name;
  std::function<QString(const QString& folder)> Target;  // made under folder
  qint64 SizeLimit;                                      // 0: none
  bool RemoveSource;
};

void PrintTo(const TFailCase& c, std::ostream* out) {
  *out << c.Name;
}

class CopyFailureTest : public ::testing::TestWithParam<TFailCase> {};

TEST_P(CopyFailureTest, FailsWithAReasonAndLeavesNothing) {
  const TFailCase& c = GetParam();
  QTemporaryDir folder;
  const QString source = folder.filePath("source.bin");
  WriteAll(source, Noise(3 << 20));
  if (c.RemoveSource) QFile::remove(source);
  QDir().mkpath(folder.filePath("out"));
  const QString target = c.Target(folder.filePath("out"));
  const QStringList before = FolderContents(folder.filePath("out"));
  std::atomic<bool> cancel{false};
  TCopyOutcome outcome;
  {
    std::unique_ptr<TFileSizeLimit> limit;
    if (c.SizeLimit) limit = std::make_unique<TFileSizeLimit>(rlim_t(c.SizeLimit));
    outcome = CopyFileContents(source, target, cancel, {});
  }
  EXPECT_FALSE(outcome.Done);
  EXPECT_FALSE(outcome.Cancelled);
  EXPECT_FALSE(outcome.Error.isEmpty());
  EXPECT_EQ(FolderContents(folder.filePath("out")), before);
}

INSTANTIATE_TEST_SUITE_P(
    Causes, CopyFailureTest,
    ::testing::Values(
        TFailCase{"DiskFullHalfWay", [](const QString& out) { return out + "/copy.bin"; }, 1 << 20,
                  false},
        TFailCase{"TargetUnderAFile",
                  [](const QString& out) {
                    WriteAll(out + "/plain", "x");
                    return out + "/plain/copy.bin";
                  },
                  0, false},
        TFailCase{"TargetIsAFolder",
                  [](const QString& out) {
                    QDir().mkpath(out + "/folder.bin");
                    return out + "/folder.bin";
                  },
                  0, false},
        TFailCase{"SourceGone", [](const QString& out) { return out + "/copy.bin"; }, 0, true}),
    [](const ::testing::TestParamInfo<TFailCase>& info) { return std::string(info.param.Name); });

TEST_F(PageFilesTest, ABigCopyShowsProgressAndCancelLeavesNothing) {
  const QString source = desktop->Path("huge/huge.avi");
  const QString out = desktop->Path("huge-out");
  ASSERT_TRUE(Select(desktop->Path("huge")));
  Expand(Grid().SelectedNode());
  ASSERT_TRUE(Select(source));
  TDialogAnswers dialogs;
  dialogs.Files = {out + "/huge.avi"};
  TBoxAnswers boxes;
  QSignalSpy finished(Page, &TPlayerPage::FileCopyFinished);
  Execute(mEdit_CopyTo);
  ASSERT_TRUE(Page->CopyRunning());
  QProgressDialog* progress = nullptr;
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        progress = Window->findChild<QProgressDialog*>();
        return progress && progress->isVisible() && progress->value() > 0;
      },
      20000));
  // The window keeps serving events while the copy runs.
  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
  ticker.start(10);
  QTest::qWait(300);
  EXPECT_GT(ticks, 10);
  ASSERT_TRUE(Page->CopyRunning()) << "the copy ended before it could be cancelled";
  const QImage shot = Window->screen()->grabWindow(0).toImage();
  shot.save(VEXO_BIN_DIR "/../copy-progress.png");
  EXPECT_EQ(progress->labelText(), "Copying \"huge.avi\" to " + out);

  QPushButton* cancel = progress->findChild<QPushButton*>();
  ASSERT_TRUE(cancel);
  EXPECT_EQ(cancel->text(), "&Cancel");
  QTest::mouseClick(cancel, Qt::LeftButton);
  ASSERT_TRUE(finished.count() > 0 || finished.wait(20000));
  EXPECT_FALSE(finished.first().first().toBool());
  EXPECT_TRUE(boxes.Boxes.empty());
  EXPECT_TRUE(FolderContents(out).isEmpty()) << FolderContents(out).join(' ').toStdString();
  EXPECT_EQ(QFileInfo(source).size(), kHugeSize);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !Window->findChild<QProgressDialog*>(); }));
}

TEST_F(PageFilesTest, ClosingThePageDuringACopyLeavesNothingBehind) {
  const QString out = desktop->Path("huge-out");
  ASSERT_TRUE(Select(desktop->Path("huge")));
  Expand(Grid().SelectedNode());
  ASSERT_TRUE(Select(desktop->Path("huge/huge.avi")));
  TDialogAnswers dialogs;
  dialogs.Files = {out + "/closing.avi"};
  TBoxAnswers boxes;
  Execute(mEdit_CopyTo);
  ASSERT_TRUE(Page->CopyRunning());
  QTest::qWait(200);
  Destroy();
  EXPECT_TRUE(FolderContents(out).isEmpty()) << FolderContents(out).join(' ').toStdString();
  EXPECT_TRUE(boxes.Boxes.empty());
}

TEST_F(PageFilesTest, SaveAsTakesAVideoFrameOrCopiesAPhoto) {
  const QString frame = desktop->Path("copy-out/frame.jpg");
  ASSERT_TRUE(Select(desktop->Clips() + "/a_numbered.avi"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Enabled(mvSaveAs); }));
  {
    TDialogAnswers dialogs;
    dialogs.Files = {frame};
    TBoxAnswers boxes;
    Execute(mvSaveAs);
    ASSERT_EQ(dialogs.Requests.size(), 1u);
    EXPECT_EQ(dialogs.Requests[0].Title, "Save Picture As");
    EXPECT_EQ(dialogs.Requests[0].DefaultExt, "jpg");
    EXPECT_TRUE(boxes.Boxes.empty());
    QImageReader written(frame);
    EXPECT_EQ(written.format(), "jpeg");
    const TMediaInfo info = Page->VideoPanel()->GetMediaInfo();
    EXPECT_EQ(written.size(), QSize(info.BiggestWidth, info.BiggestHeight));
  }
  // A photo is saved as its own file.
  const QString photo = desktop->Clips() + "/c_photo.jpg";
  ASSERT_TRUE(Select(photo));
  TDialogAnswers dialogs;
  dialogs.Files = {desktop->Path("copy-out/saved.jpg")};
  TBoxAnswers boxes;
  EXPECT_TRUE(CopyWith(mvSaveAs));
  ASSERT_EQ(dialogs.Requests.size(), 1u);
  EXPECT_EQ(dialogs.Requests[0].Title, "Copy To");
  EXPECT_EQ(ReadAll(desktop->Path("copy-out/saved.jpg")), ReadAll(photo));
}

// ---- rotate ----

bool Reddish(QRgb c) {
  return qRed(c) > 180 && qBlue(c) < 80;
}
bool Bluish(QRgb c) {
  return qBlue(c) > 180 && qRed(c) < 80;
}

TEST_F(PageFilesTest, TurningTheShownPhotoShowsItTurned) {
  const QString photo = desktop->Path("turn/wide.jpg");
  ASSERT_TRUE(Select(desktop->Path("turn")));
  Expand(Grid().SelectedNode());
  ASSERT_TRUE(Select(photo));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Player().IsOpen(); }));
  ASSERT_TRUE(Enabled(mEdit_RotateCW));
  TPlayerWidget* screen = Page->VideoPanel()->PlayerWidget();
  auto picture = [&] {
    QTest::qWait(200);
    return screen->grab().toImage();
  };
  QImage shown = picture();
  int w = shown.width(), h = shown.height();
  ASSERT_TRUE(Reddish(shown.pixel(w / 4, h / 2)));
  ASSERT_TRUE(Bluish(shown.pixel(3 * w / 4, h / 2)));

  struct TTurn {
    int Row;
    QSize Size;
    bool RedFirst;  // red on top (tall) or on the left (wide)
  };
  // Clockwise brings the left half up; back again, then counter-clockwise
  // brings the right half up.
  for (const TTurn& turn :
       {TTurn{mEdit_RotateCW, {64, 128}, true}, TTurn{mEdit_RotateCCW, {128, 64}, true},
        TTurn{mEdit_RotateCCW, {64, 128}, false}}) {
    TBoxAnswers boxes;
    Execute(turn.Row);
    EXPECT_TRUE(boxes.Boxes.empty());
    EXPECT_EQ(QImageReader(photo).size(), turn.Size);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Player().IsOpen() && OpenFile() == photo; }));
    shown = picture();
    w = shown.width(), h = shown.height();
    const bool tall = turn.Size.width() < turn.Size.height();
    const QRgb first = tall ? shown.pixel(w / 2, h / 4) : shown.pixel(w / 4, h / 2);
    const QRgb second = tall ? shown.pixel(w / 2, 3 * h / 4) : shown.pixel(3 * w / 4, h / 2);
    EXPECT_TRUE(turn.RedFirst ? Reddish(first) : Bluish(first)) << std::hex << first;
    EXPECT_TRUE(turn.RedFirst ? Bluish(second) : Reddish(second)) << std::hex << second;
  }
  EXPECT_EQ(SelectedFile(), photo);
}

// A photo of each of today's formats is shown at its own size and saved as
// the file it is.
TEST_F(PageFilesTest, PhotosOfTodaysFormatsShowTheirSizeAndSaveAsTheirFile) {
  ASSERT_TRUE(Select(desktop->Path("formats")));
  Expand(Grid().SelectedNode());
  for (const char* name : {"quadrants.heic", "quadrants.avif", "quadrants.png", "quadrants.webp"}) {
    SCOPED_TRACE(name);
    const QString photo = desktop->Path(QString("formats/") + name);
    ASSERT_TRUE(Select(photo));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Player().IsOpen() && OpenFile() == photo; }));
    const TMediaInfo info = Page->VideoPanel()->GetMediaInfo();
    EXPECT_EQ(QSize(info.BiggestWidth, info.BiggestHeight), QSize(96, 48));
    EXPECT_EQ(info.TotalFrames, 1);
    const QString saved = desktop->Path(QString("copy-out/saved-") + name);
    TDialogAnswers dialogs;
    dialogs.Files = {saved};
    TBoxAnswers boxes;
    EXPECT_TRUE(CopyWith(mvSaveAs));
    EXPECT_EQ(ReadAll(saved), ReadAll(photo));
  }
}

// Only what turns without loss offers the rotate commands; a photo compressed
// with loss says why they are off, and a PNG turns in place.
TEST_F(PageFilesTest, RotateIsOfferedOnlyForPhotosThatTurnWithoutLoss) {
  ASSERT_TRUE(Select(desktop->Path("formats")));
  Expand(Grid().SelectedNode());
  const QString refusal = LResList.GetText("AVPlayerEnc", 9006);
  ASSERT_FALSE(refusal.isEmpty());
  const struct {
    const char* Name;
    bool Turns;
  } cases[] = {{"quadrants.heic", false},
               {"quadrants.png", true},
               {"quadrants.avif", false},
               {"quadrants_lossless.webp", true},
               {"quadrants.webp", false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const QString photo = desktop->Path(QString("formats/") + c.Name);
    ASSERT_TRUE(Select(photo));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Player().IsOpen() && OpenFile() == photo; }));
    for (int row : {mEdit_RotateCW, mEdit_RotateCCW}) {
      EXPECT_EQ(Enabled(row), c.Turns) << row;
      EXPECT_EQ(Menus->FindAction(row)->statusTip() == refusal, !c.Turns) << row;
      // The tool bar's button is the same command and says the same.
      EXPECT_EQ(Menus->FindAction(row)->toolTip() == refusal, !c.Turns) << row;
    }
  }
  const QString png = desktop->Path("formats/quadrants.png");
  ASSERT_TRUE(Select(png));
  ASSERT_TRUE(QTest::qWaitFor([&] { return Player().IsOpen() && OpenFile() == png; }));
  const QByteArray before = ReadAll(png);
  TBoxAnswers boxes;
  // Turned from the tool bar's button, which is the Edit menu's command.
  QToolBar* bar = Window->findChild<QToolBar*>();
  ASSERT_NE(bar, nullptr);
  auto* turn = qobject_cast<QToolButton*>(bar->widgetForAction(Menus->FindAction(mEdit_RotateCW)));
  ASSERT_NE(turn, nullptr);
  QTest::mouseClick(turn, Qt::LeftButton);
  EXPECT_TRUE(boxes.Boxes.empty());
  EXPECT_NE(ReadAll(png), before);
  EXPECT_EQ(QImageReader(png).size(), QSize(48, 96));
}

}  // namespace
}  // namespace vexo
