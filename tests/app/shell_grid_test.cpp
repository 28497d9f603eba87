// The browser grid on a real window of a private X server, over a folder tree
// that each test builds in a private home folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <libexif/exif-data.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <filesystem>
#include <memory>

#include "app/browser/display_path.h"
#include "app/browser/folder_reader.h"
#include "app/browser/mount_watcher.h"
#include "app/browser/shell_grid.h"
#include "app/browser/shell_sort.h"
#include "app/browser/shell_texts.h"
#include "app/common/language_list.h"
#include "app/common/media_extensions.h"
#include "app/common/menu_system.h"
#include "app/shell/command_table.h"
#include "engine/playlist/av_playlist.h"
#include "tests/app/picture_checks.h"
#include "tests/app/qt_test_app.h"
#include "tests/support/exif_writer.h"
#include "tests/support/input_fuzz.h"
#include "tests/support/test_desktop.h"
#include "tests/support/test_media.h"

namespace vexo {
namespace {

// Private home, data and config folders and an X server, for the whole program.
class TGridDesktop : public test::TDesktopEnvironment {
 public:
  void SetUp() override {
    TDesktopEnvironment::SetUp();
    if (!Desktop->Ready()) return;
    test::QtApp();
    LResList.LoadFile(VEXO_SOURCE_DIR "/resources/language/English.lrf");
  }
};

::testing::Environment* const desktop = ::testing::AddGlobalTestEnvironment(new TGridDesktop);

QByteArray HomeBytes() {
  return QFile::encodeName(QDir::homePath());
}

void WriteFile(const QByteArray& path, const QByteArray& bytes = "x") {
  const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0) << path.constData();
  ASSERT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), bytes.size());
  ::close(fd);
}

void SetModified(const QByteArray& path, time_t seconds) {
  const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
  ::utimensat(AT_FDCWD, path.constData(), times, AT_SYMLINK_NOFOLLOW);
}

// A small grey JPEG; with a date, it carries it as DateTimeOriginal.
QByteArray MakeJpeg(const char* dateTimeOriginal) {
  std::vector<unsigned char> pixels(16 * 16 * 3, 128);
  tjhandle handle = tjInitCompress();
  unsigned char* jpeg = nullptr;
  unsigned long size = 0;
  tjCompress2(handle, pixels.data(), 16, 0, 16, TJPF_RGB, &jpeg, &size, TJSAMP_420, 80, 0);
  QByteArray bytes(reinterpret_cast<const char*>(jpeg), int(size));
  tjFree(jpeg);
  tjDestroy(handle);
  if (!dateTimeOriginal) return bytes;
  ExifData* exif = exif_data_new();
  ExifEntry* entry = exif_entry_new();
  exif_content_add_entry(exif->ifd[EXIF_IFD_EXIF], entry);
  exif_entry_initialize(entry, EXIF_TAG_DATE_TIME_ORIGINAL);
  memcpy(entry->data, dateTimeOriginal, 19);
  unsigned char* app1 = nullptr;
  unsigned int app1Size = 0;
  exif_data_save_data(exif, &app1, &app1Size);
  QByteArray segment("\xFF\xE1", 2);
  segment.append(char((app1Size + 2) >> 8)).append(char((app1Size + 2) & 0xFF));
  segment.append(reinterpret_cast<const char*>(app1), int(app1Size));
  free(app1);
  exif_entry_unref(entry);
  exif_data_unref(exif);
  return bytes.insert(2, segment);
}

// The filter the player page installs: no hidden items, no links, media only.
void MediaFilter(TShellNode* node, bool& accept) {
  if (node->Level() >= 2 && !node->IsFileSystem()) accept = false;
  if (node->IsLink() || node->IsHidden()) accept = false;
  if (!node->IsFolder()) {
    const QString ext = node->Extension();
    if (!IsVideoExt(ext) && !IsPhotoExt(ext)) accept = false;
  }
}

class ShellGridTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Root = HomeBytes() + "/t" + QByteArray::number(++Serial);
    ASSERT_EQ(::mkdir(Root.constData(), 0755), 0);
    Grid = std::make_unique<TShellGrid>();
    Grid->resize(320, 480);
    Grid->show();
    Grid->Init();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Grid->RootNode()->Enumerated; }, 5000));
  }
  void TearDown() override {
    Grid.reset();
    // Byte names are out of QDir's reach.
    std::error_code ignored;
    std::filesystem::remove_all(Root.toStdString(), ignored);
  }

  // The node of a folder, opened.
  TShellNode* Open(const QByteArray& path) {
    TShellNode* found = nullptr;
    bool done = false;
    Grid->LocatePath(path, [&](TShellNode* node) {
      found = node;
      done = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 10000)) << path.constData();
    if (!found) return nullptr;
    bool expanded = false;
    Grid->ExpandNode(found, [&](bool) { expanded = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return expanded; }, 10000));
    return found;
  }
  static QStringList Texts(const TShellNode* node) {
    QStringList texts;
    for (const auto& child : node->Children) texts << child->Text;
    return texts;
  }
  static TShellNode* Child(const TShellNode* node, const QString& text) {
    for (const auto& child : node->Children)
      if (child->Text == text) return child.get();
    return nullptr;
  }
  // Runs a collection to its end; returns whether it was aborted.
  bool Collect(TAVPlayList& list, bool playFolders = true, bool subfolders = true) {
    bool finished = false, aborted = false;
    EXPECT_TRUE(Grid->AddSelectedToPlayList(list, playFolders, subfolders, [&](bool a) {
      aborted = a;
      finished = true;
    }));
    EXPECT_TRUE(QTest::qWaitFor([&] { return finished; }, 20000));
    return aborted;
  }
  static std::vector<std::string> Entries(const TAVPlayList& list) {
    std::vector<std::string> entries;
    for (int i = 0; i < list.Count(); ++i) entries.push_back(list.Strings(i));
    return entries;
  }
  void Select(std::initializer_list<TShellNode*> nodes) {
    Grid->clearSelection();
    for (TShellNode* node : nodes)
      Grid->selectionModel()->select(Grid->IndexOf(node), QItemSelectionModel::Select);
  }

  static inline int Serial = 0;
  QByteArray Root;
  std::unique_ptr<TShellGrid> Grid;
};

TEST_F(ShellGridTest, DesktopLevelAndComputerVolumes) {
  ::mkdir((HomeBytes() + "/Desktop").constData(), 0755);
  WriteFile(HomeBytes() + "/lying-on-home.avi");
  Grid.reset(new TShellGrid);
  Grid->Init();
  ASSERT_TRUE(QTest::qWaitFor([&] { return Grid->RootNode()->Enumerated; }, 5000));
  TShellNode* root = Grid->RootNode();
  EXPECT_EQ(root->Text, "Desktop");
  EXPECT_EQ(Texts(root), (QStringList{"Computer", "Home", "Desktop", "Trash"}));
  EXPECT_EQ(Grid->SelectedNode(), root);
  ASSERT_NE(Grid->Model().MyComputerNode, nullptr);
  ASSERT_NE(Grid->Model().RecycleBinNode, nullptr);
  EXPECT_EQ(Grid->NodePath(Child(root, "Home")), QDir::homePath());

  bool done = false;
  Grid->Model().Enumerate(Grid->Model().MyComputerNode, [&](bool) { done = true; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
  bool rootVolume = false;
  for (const auto& volume : Grid->Model().MyComputerNode->Children) {
    EXPECT_EQ(volume->Kind, TNodeKind::Volume);
    EXPECT_TRUE(volume->Text.endsWith(" (" + Grid->NodePath(volume.get()) + ")") ||
                volume->Text == Grid->NodePath(volume.get()))
        << volume->Text.toStdString();
    rootVolume |= volume->Path == "/";
  }
  EXPECT_TRUE(rootVolume);
  ::rmdir((HomeBytes() + "/Desktop").constData());
  ::unlink((HomeBytes() + "/lying-on-home.avi").constData());
}

TEST_F(ShellGridTest, FilterKeepsFoldersFirstThenMediaInNaturalOrder) {
  for (const char* name :
       {"clip10.avi", "clip9.avi", "Clip1.MP4", "notes.txt", ".hidden.avi", "photo.jpg", "b.mpg"})
    WriteFile(Root + "/" + name);
  ::mkdir((Root + "/zeta").constData(), 0755);
  ::mkdir((Root + "/Alpha").constData(), 0755);
  ::symlink("clip9.avi", (Root + "/link.avi").constData());
  int filtered = 0;
  Grid->Model().OnFilterNode = [&](TShellNode* node, bool& accept) {
    if (node->Parent->Path == Root) ++filtered;
    MediaFilter(node, accept);
  };
  TShellNode* folder = Open(Root);
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(Texts(folder), (QStringList{"Alpha", "zeta", "b.mpg", "Clip1.MP4", "clip9.avi",
                                        "clip10.avi", "photo.jpg"}));
  EXPECT_EQ(filtered, 10);
}

TEST_F(ShellGridTest, SortByDateUsesPhotoRecordingDates) {
  WriteFile(Root + "/a-new.avi");
  SetModified(Root + "/a-new.avi", 1600000000);  // 2020
  WriteFile(Root + "/b-old.avi");
  SetModified(Root + "/b-old.avi", 1000000000);  // 2001
  WriteFile(Root + "/c-shot-2010.jpg", MakeJpeg("2010:06:01 12:00:00"));
  SetModified(Root + "/c-shot-2010.jpg", 1700000000);
  WriteFile(Root + "/d-shot-1995.jpg", MakeJpeg("1995:01:02 03:04:05"));
  SetModified(Root + "/d-shot-1995.jpg", 1700000000);
  WriteFile(Root + "/e-plain.jpg", MakeJpeg(nullptr));
  SetModified(Root + "/e-plain.jpg", 1300000000);  // 2011
  Grid->Model().ReadPhotoDates = true;
  TShellNode* folder = Open(Root);
  ASSERT_NE(folder, nullptr);
  const QStringList byName{"a-new.avi", "b-old.avi", "c-shot-2010.jpg", "d-shot-1995.jpg",
                           "e-plain.jpg"};
  EXPECT_EQ(Texts(folder), byName);
  EXPECT_EQ(Child(folder, "c-shot-2010.jpg")->Tag, ptDated);
  EXPECT_EQ(Child(folder, "e-plain.jpg")->Tag, ptNoDate);
  EXPECT_EQ(Child(folder, "a-new.avi")->Tag, ptUnexamined);
  EXPECT_EQ(Child(folder, "d-shot-1995.jpg")->SortDate,
            QDateTime(QDate(1995, 1, 2), QTime(3, 4, 5)));

  Grid->Model().SetSortByDate(true);
  EXPECT_EQ(Texts(folder), (QStringList{"d-shot-1995.jpg", "b-old.avi", "c-shot-2010.jpg",
                                        "e-plain.jpg", "a-new.avi"}));
  Grid->Model().SetSortByDate(false);
  EXPECT_EQ(Texts(folder), byName);
}

// PNG and WebP keep the block in a chunk of their own, HEIC and AVIF in an
// item beside the picture: their dates sort them among the JPEGs.
TEST_F(ShellGridTest, SortByDateReadsTheRecordingDateOfEveryPhotoFormat) {
  auto media = [](const char* name) { return test::ReadBytes(test::MediaPath(name)); };
  auto bytes = [](const std::vector<uint8_t>& data) {
    return QByteArray(reinterpret_cast<const char*>(data.data()), qsizetype(data.size()));
  };
  WriteFile(
      Root + "/a-2012.png",
      bytes(test::WithPngExif(media("quadrants.png"), test::ExifTiff(-1, "2012:01:01 10:00:00"))));
  WriteFile(Root + "/b-1998.webp",
            bytes(test::WithWebpExif(media("quadrants.webp"),
                                     test::ExifTiff(1, "1998:03:04 05:06:07"), 96, 48)));
  const std::vector<uint8_t> jpeg = media("quadrants.jpg");
  test::WriteHeifFromJpeg((Root + "/c-2016.heic").toStdString(),
                          test::WithExif(jpeg, 6, "2016:08:09 10:11:12"));
  test::WriteHeifFromJpeg((Root + "/d-2005.avif").toStdString(),
                          test::WithExif(jpeg, 1, "2005:05:05 05:05:05"));
  WriteFile(Root + "/e-2010.jpg", MakeJpeg("2010:06:01 12:00:00"));
  WriteFile(Root + "/f-plain.png", bytes(media("quadrants.png")));
  for (const char* name :
       {"a-2012.png", "b-1998.webp", "c-2016.heic", "d-2005.avif", "e-2010.jpg", "f-plain.png"})
    SetModified(Root + "/" + name, 1700000000);  // 2023
  Grid->Model().OnFilterNode = MediaFilter;
  Grid->Model().ReadPhotoDates = true;
  TShellNode* folder = Open(Root);
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(Child(folder, "c-2016.heic")->SortDate,
            QDateTime(QDate(2016, 8, 9), QTime(10, 11, 12)));
  EXPECT_EQ(Child(folder, "f-plain.png")->Tag, ptNoDate);
  Grid->Model().SetSortByDate(true);
  EXPECT_EQ(Texts(folder), (QStringList{"b-1998.webp", "d-2005.avif", "e-2010.jpg", "a-2012.png",
                                        "c-2016.heic", "f-plain.png"}));
}

TEST_F(ShellGridTest, FolderIsNotReadBeforeItOpens) {
  ::mkdir((Root + "/outer").constData(), 0755);
  ::mkdir((Root + "/outer/inner").constData(), 0755);
  WriteFile(Root + "/outer/inner/clip.avi");
  QList<QByteArray> begun;
  Grid->Model().OnBeginEnum = [&](TShellNode* node) { begun << node->Path; };
  int ended = 0;
  Grid->Model().OnEndEnum = [&](TShellNode*) { ++ended; };
  TShellNode* outer = Open(Root + "/outer");
  ASSERT_NE(outer, nullptr);
  TShellNode* inner = Child(outer, "inner");
  ASSERT_NE(inner, nullptr);
  EXPECT_FALSE(inner->Enumerated);
  EXPECT_TRUE(inner->HasChildren);
  EXPECT_TRUE(inner->Children.empty());
  EXPECT_FALSE(begun.contains(Root + "/outer/inner"));
  EXPECT_EQ(ended, begun.size());

  // Opening it through the view reads it.
  Grid->expand(Grid->IndexOf(inner));
  ASSERT_TRUE(QTest::qWaitFor([&] { return inner->Enumerated; }, 5000));
  EXPECT_TRUE(begun.contains(Root + "/outer/inner"));
  EXPECT_EQ(Texts(inner), QStringList{"clip.avi"});
  EXPECT_TRUE(Grid->IsExpanded(inner));
}

TEST_F(ShellGridTest, AbortedReadingLeavesTheFolderClosedAndReadsAfresh) {
  for (int i = 0; i < 50; ++i) WriteFile(Root + "/f" + QByteArray::number(i) + ".avi");
  TShellNode* parent = Open(Root.left(Root.lastIndexOf('/')));
  ASSERT_NE(parent, nullptr);
  TShellNode* folder = nullptr;
  for (const auto& child : parent->Children)
    if (child->Path == Root) folder = child.get();
  ASSERT_NE(folder, nullptr);
  int items = 0;
  Grid->Model().OnEnumItem = [&](TShellNode*, bool& abort) { abort = ++items == 10; };
  bool result = true, done = false;
  Grid->ExpandNode(folder, [&](bool complete) {
    result = complete;
    done = true;
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
  EXPECT_FALSE(result);
  EXPECT_FALSE(folder->Enumerated);
  EXPECT_TRUE(folder->HasChildren);
  EXPECT_TRUE(folder->Children.empty());
  EXPECT_FALSE(Grid->IsExpanded(folder));

  Grid->Model().OnEnumItem = nullptr;
  done = false;
  Grid->ExpandNode(folder, [&](bool complete) {
    result = complete;
    done = true;
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
  EXPECT_TRUE(result);
  EXPECT_EQ(folder->Children.size(), 50u);
}

TEST_F(ShellGridTest, TreeStateRoundTripsAsText) {
  ::mkdir((Root + "/a\\b%c").constData(), 0755);
  WriteFile(Root + "/a\\b%c/one.avi");
  WriteFile(Root + "/a\\b%c/two.avi");
  TShellNode* folder = Open(Root + "/a\\b%c");
  ASSERT_NE(folder, nullptr);
  Grid->SelectNode(Child(folder, "two.avi"));
  const TShellTreeState state = Grid->GetTreeState();
  EXPECT_TRUE(state.SelectedPath.startsWith("Desktop\\Home\\"));
  EXPECT_TRUE(state.SelectedPath.endsWith("\\a%5Cb%25c\\two.avi"));
  EXPECT_EQ(SplitDisplayPath(state.SelectedPath).last(2), (QStringList{"a\\b%c", "two.avi"}));

  // A fresh grid finds its way back.
  Grid.reset(new TShellGrid);
  Grid->resize(320, 200);
  Grid->show();
  Grid->Init();
  bool restored = false;
  Grid->RestoreTreeState(state, [&] { restored = true; });
  EXPECT_TRUE(Grid->Restoring());
  ASSERT_TRUE(QTest::qWaitFor([&] { return restored; }, 10000));
  EXPECT_FALSE(Grid->Restoring());
  ASSERT_NE(Grid->SelectedNode(), nullptr);
  EXPECT_EQ(Grid->NodeDisplayPath(Grid->SelectedNode()), state.SelectedPath);
  EXPECT_EQ(Grid->GetTreeState().TopPath, state.TopPath);

  // A path whose middle has gone ends at the deepest node still there.
  TShellNode* found = nullptr;
  bool done = false;
  Grid->FindByDisplayPath("Desktop\\Home\\no such folder\\x.avi", [&](TShellNode* node) {
    found = node;
    done = true;
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found->Text, "Home");

  // And the whole tree rebuilt keeps the place.
  restored = false;
  Grid->RefreshAll([&] { restored = true; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return restored; }, 10000));
  EXPECT_EQ(Grid->NodeDisplayPath(Grid->SelectedNode()), state.SelectedPath);
}

TEST_F(ShellGridTest, RefreshFolderShowsAddedAndRemovedFiles) {
  WriteFile(Root + "/a.avi");
  WriteFile(Root + "/b.avi");
  TShellNode* folder = Open(Root);
  ASSERT_NE(folder, nullptr);
  Grid->SelectNode(Child(folder, "b.avi"));
  WriteFile(Root + "/c.avi");
  ::unlink((Root + "/a.avi").constData());
  EXPECT_EQ(Texts(folder), (QStringList{"a.avi", "b.avi"}));
  Grid->RefreshFolder(Root + "/");
  ASSERT_TRUE(QTest::qWaitFor([&] { return folder->Enumerated; }, 5000));
  EXPECT_EQ(Texts(folder), (QStringList{"b.avi", "c.avi"}));
  EXPECT_TRUE(Grid->IsExpanded(folder));
  ASSERT_NE(Grid->SelectedNode(), nullptr);
  EXPECT_EQ(Grid->SelectedNode()->Text, "b.avi");
}

TEST_F(ShellGridTest, ArrowKeysStepThroughTheFilesOfOneFolder) {
  ::mkdir((Root + "/sub").constData(), 0755);
  for (const char* name : {"1.avi", "2.avi", "3.avi"}) WriteFile(Root + "/" + name);
  TShellNode* folder = Open(Root);
  ASSERT_NE(folder, nullptr);
  Grid->ArrowStepping = true;
  Grid->setFocus();
  Grid->SelectNode(Child(folder, "1.avi"));
  QTest::keyClick(Grid.get(), Qt::Key_Right);
  EXPECT_EQ(Grid->SelectedNode()->Text, "2.avi");
  QTest::keyClick(Grid.get(), Qt::Key_Down);
  EXPECT_EQ(Grid->SelectedNode()->Text, "3.avi");
  QTest::keyClick(Grid.get(), Qt::Key_Right);  // wraps past the folder to the first file
  EXPECT_EQ(Grid->SelectedNode()->Text, "1.avi");
  QTest::keyClick(Grid.get(), Qt::Key_Left);  // and back round to the last
  EXPECT_EQ(Grid->SelectedNode()->Text, "3.avi");

  // A folder is no file to step from; the tree moves as usual.
  Grid->SelectNode(Child(folder, "sub"));
  int key = Qt::Key_Right;
  Grid->StepFile(key);
  EXPECT_EQ(key, int(Qt::Key_Right));
}

TEST_F(ShellGridTest, CollectsSelectionInTreeOrder) {
  ::mkdir((Root + "/A").constData(), 0755);
  ::mkdir((Root + "/A/B").constData(), 0755);
  for (const char* name : {"A/a1.avi", "A/a2.avi", "A/B/b1.avi", "A/B/b2.avi", "A/notes.txt"})
    WriteFile(Root + "/" + name);
  Grid->Model().OnFilterNode = MediaFilter;
  TShellNode* parent = Open(Root);
  ASSERT_NE(parent, nullptr);
  TShellNode* a = Child(parent, "A");
  Select({a});
  TAVPlayList list;
  EXPECT_FALSE(Collect(list));
  EXPECT_EQ(Entries(list),
            (std::vector<std::string>{
                (Root + "/A/B/b1.avi").toStdString(), (Root + "/A/B/b2.avi").toStdString(),
                (Root + "/A/a1.avi").toStdString(), (Root + "/A/a2.avi").toStdString()}));
  // Folder A was read for the collection but stays closed.
  EXPECT_FALSE(Grid->IsExpanded(a));

  // A file and its own folder: the file twice, in tree order; only videos.
  Grid->ExpandNode(a);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Grid->IsExpanded(a); }, 5000));
  Select({Child(a, "a2.avi"), a});
  Grid->Model().OnAddFile = [](TShellNode* node, bool& accept) { accept = node->Text != "a1.avi"; };
  TAVPlayList second;
  EXPECT_FALSE(Collect(second, true, false));
  EXPECT_EQ(Entries(second), (std::vector<std::string>{(Root + "/A/a2.avi").toStdString(),
                                                       (Root + "/A/a2.avi").toStdString()}));
  // Folders do not play unless asked to.
  TAVPlayList third;
  EXPECT_FALSE(Collect(third, false, false));
  EXPECT_EQ(Entries(third), std::vector<std::string>{(Root + "/A/a2.avi").toStdString()});
}

TEST_F(ShellGridTest, CollectingALargeTreeCanBeAborted) {
  for (int d = 0; d < 10; ++d) {
    const QByteArray dir = Root + "/d" + QByteArray::number(d);
    ::mkdir(dir.constData(), 0755);
    for (int f = 0; f < 500; ++f) WriteFile(dir + "/f" + QByteArray::number(f) + ".avi", "");
  }
  TShellNode* parent = Open(Root);
  ASSERT_NE(parent, nullptr);
  Select({parent});
  int polls = 0;
  Grid->Model().OnCheckAbort = [&](TShellNode*, bool& abort) { abort = ++polls >= 1200; };
  TAVPlayList list;
  EXPECT_TRUE(Collect(list));
  EXPECT_GT(list.Count(), 1000);
  EXPECT_LT(list.Count(), 1200);
  EXPECT_FALSE(Grid->Model().Collecting());

  Grid->Model().OnCheckAbort = nullptr;
  TAVPlayList all;
  EXPECT_FALSE(Collect(all));
  EXPECT_EQ(all.Count(), 5000);
}

TEST_F(ShellGridTest, TrashListsWhatWasMovedThere) {
  WriteFile(Root + "/gone.avi");
  ASSERT_TRUE(QFile::moveToTrash(QFile::decodeName(Root + "/gone.avi")));
  TShellNode* trash = Grid->Model().RecycleBinNode;
  ASSERT_NE(trash, nullptr);
  EXPECT_EQ(
      trash->Path,
      QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)) +
          "/Trash/files");
  Grid->ExpandNode(trash);
  ASSERT_TRUE(QTest::qWaitFor([&] { return trash->Enumerated; }, 5000));
  EXPECT_TRUE(Texts(trash).contains("gone.avi"));

  // After another deletion the trash is read again.
  WriteFile(Root + "/also.avi");
  ASSERT_TRUE(QFile::moveToTrash(QFile::decodeName(Root + "/also.avi")));
  Grid->ClearSelectionAndRefreshRecycleBin(true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return trash->Enumerated; }, 5000));
  EXPECT_TRUE(Texts(trash).contains("also.avi"));
  EXPECT_EQ(Grid->SelectedCount(), 0);
}

TEST_F(ShellGridTest, OddNamesLinksAndLoopsNeitherHangNorLoseThePlace) {
  const QByteArray latin1Name("caf\xE9.avi");  // not valid UTF-8
  WriteFile(Root + "/" + latin1Name);
  ::symlink("nowhere.avi", (Root + "/broken.avi").constData());
  ::symlink("self.avi", (Root + "/self.avi").constData());
  ::symlink(".", (Root + "/loop").constData());
  WriteFile(Root + "/z.avi");
  TShellNode* folder = Open(Root);
  ASSERT_NE(folder, nullptr);
  TShellNode* latin1 = nullptr;
  for (const auto& child : folder->Children)
    if (child->Path.endsWith(latin1Name)) latin1 = child.get();
  ASSERT_NE(latin1, nullptr);
  EXPECT_EQ(latin1->Path, Root + "/" + latin1Name);
  TShellNode* broken = Child(folder, "broken.avi");
  ASSERT_NE(broken, nullptr);
  EXPECT_TRUE(broken->IsLink());
  EXPECT_FALSE(broken->IsFolder());
  EXPECT_FALSE(Child(folder, "self.avi")->IsFolder());
  TShellNode* loop = Child(folder, "loop");
  ASSERT_NE(loop, nullptr);
  EXPECT_TRUE(loop->IsFolder());
  EXPECT_TRUE(loop->IsLink());

  // Collecting the folder with its subfolders: "loop" is the folder itself and adds nothing.
  Select({folder});
  TAVPlayList list;
  EXPECT_FALSE(Collect(list));
  const std::vector<std::string> entries = Entries(list);
  EXPECT_EQ(std::count(entries.begin(), entries.end(), (Root + "/z.avi").toStdString()), 1);
  EXPECT_EQ(std::count(entries.begin(), entries.end(), (Root + "/" + latin1Name).toStdString()), 1);

  // The byte name survives a playlist file exactly.
  TAVPlayList single;
  single.Add(latin1->Path.toStdString());
  const std::string asx = (Root + "/list.asx").toStdString();
  single.SaveToFile(asx);
  TAVPlayList loaded;
  loaded.LoadFromFile(asx);
  ASSERT_EQ(loaded.Count(), 1);
  EXPECT_EQ(loaded.Strings(0), latin1->Path.toStdString());

  // A file removed after the listing: size and photo date stay as they were.
  ::unlink((Root + "/z.avi").constData());
  TShellNode* z = Child(folder, "z.avi");
  z->Size = 7;
  Grid->Model().UpdateSize(z);
  EXPECT_EQ(z->Size, 7u);
  Grid->SelectNode(z);
  EXPECT_EQ(Grid->SelectedNode(), z);
}

TEST_F(ShellGridTest, FolderThatCannotBeReadShowsEmptyAndSaysWhy) {
  ::mkdir((Root + "/vanishing").constData(), 0755);
  ::mkdir((Root + "/fine").constData(), 0755);
  WriteFile(Root + "/fine/a.avi");
  TShellNode* parent = Open(Root);
  ASSERT_NE(parent, nullptr);
  TShellNode* vanishing = Child(parent, "vanishing");
  ::rmdir((Root + "/vanishing").constData());
  int ended = 0;
  std::vector<std::pair<TShellNode*, int>> failed;
  Grid->Model().OnEndEnum = [&](TShellNode*) { ++ended; };
  Grid->Model().OnReadFailed = [&](TShellNode* node, int error) {
    EXPECT_EQ(ended, 1);
    failed.emplace_back(node, error);
  };
  test::TBoxRecorder boxes;
  bool done = false;
  Grid->ExpandNode(vanishing, [&](bool) { done = true; });
  ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 5000));
  EXPECT_TRUE(vanishing->Enumerated);
  EXPECT_FALSE(vanishing->HasChildren);
  EXPECT_FALSE(Grid->IsExpanded(vanishing));
  EXPECT_EQ(ended, 1);
  EXPECT_TRUE(boxes.Boxes.empty());
  ASSERT_EQ(failed.size(), 1u);
  EXPECT_EQ(failed[0].first, vanishing);
  EXPECT_EQ(failed[0].second, ENOENT);
  // A folder that reads fine says nothing.
  failed.clear();
  ASSERT_NE(Open(Root + "/fine"), nullptr);
  EXPECT_TRUE(failed.empty());
  Grid->Model().OnReadFailed = nullptr;
}

// A folder its reader may not enter is told from an empty one: the reading
// reports the system's reason. Root may read anything, so the reading runs
// in a child that has given up its privileges.
TEST(FolderReader, ReportsWhyAFolderCannotBeRead) {
  QTemporaryDir dir;
  const QByteArray locked = QFile::encodeName(dir.filePath("locked"));
  ASSERT_EQ(::mkdir(locked.constData(), 0700), 0);
  ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
  if (geteuid() != 0) {
    ASSERT_EQ(::chmod(locked.constData(), 0), 0);
  }
  const pid_t child = fork();
  if (child == 0) {
    constexpr uid_t kNobody = 65534;
    if (geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0)) _exit(2);
    std::atomic<bool> cancel{false};
    TFolderRequest request;
    request.Path = locked;
    const TFolderListing listing = ReadFolder(request, cancel);
    _exit(!listing.Readable && listing.Error == EACCES ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ::chmod(locked.constData(), 0700);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  std::atomic<bool> cancel{false};
  TFolderRequest readable;
  readable.Path = QFile::encodeName(dir.path());
  EXPECT_EQ(ReadFolder(readable, cancel).Error, 0);
}

TEST_F(ShellGridTest, PathLongerThanTheSystemLimitIsListed) {
  // 24 levels of 200-byte names: well past 4096 bytes.
  const QByteArray name(200, 'n');
  int dir = ::open(Root.constData(), O_RDONLY | O_DIRECTORY);
  QByteArray deep = Root;
  for (int i = 0; i < 24; ++i) {
    ASSERT_EQ(::mkdirat(dir, name.constData(), 0755), 0);
    const int next = ::openat(dir, name.constData(), O_RDONLY | O_DIRECTORY);
    ::close(dir);
    dir = next;
    deep += "/" + name;
  }
  const int file = ::openat(dir, "deep.avi", O_WRONLY | O_CREAT, 0644);
  ::close(file);
  ::close(dir);
  ASSERT_GT(deep.size(), 4096);
  std::atomic<bool> cancel{false};
  const TFolderListing listing = ReadFolder({deep, false, false, false}, cancel);
  EXPECT_TRUE(listing.Readable);
  ASSERT_EQ(listing.Nodes.size(), 1u);
  EXPECT_EQ(listing.Nodes[0]->Path, deep + "/deep.avi");
  TShellNode* node = Open(deep);
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(Texts(node), QStringList{"deep.avi"});
  // Removing such a tree needs the same care.
  std::string command = "rm -rf '" + Root.toStdString() + "/" + name.toStdString() + "'";
  EXPECT_EQ(std::system(command.c_str()), 0);
}

TEST_F(ShellGridTest, RightClickSelectsTheNodeAndShowsThePopUpMenu) {
  for (const char* name : {"a.avi", "b.avi", "c.avi"}) WriteFile(Root + "/" + name);
  TShellNode* folder = Open(Root);
  ASSERT_NE(folder, nullptr);
  QWidget owner;
  TMenuSystem menus(&owner, PlayerCommandTable(), CommandImages());
  QMenu* popup = menus.BuildPopupMenu(kBrowserPopupCommands);
  ASSERT_NE(popup, nullptr);
  Grid->SetPopupMenu(popup);
  QPoint requested;
  QObject::connect(Grid.get(), &TShellGrid::ContextMenuRequested,
                   [&](const QPoint& at) { requested = at; });
  auto rightClick = [&](TShellNode* node) {
    const QPoint at = Grid->visualRect(Grid->IndexOf(node)).center();
    QTest::mousePress(Grid->viewport(), Qt::RightButton, Qt::NoModifier, at);
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, at, Grid->viewport()->mapToGlobal(at));
    QApplication::sendEvent(Grid->viewport(), &menuEvent);
    QTest::mouseRelease(Grid->viewport(), Qt::RightButton, Qt::NoModifier, at);
  };
  // An unselected node becomes the selection.
  Select({Child(folder, "a.avi"), Child(folder, "b.avi")});
  rightClick(Child(folder, "c.avi"));
  EXPECT_EQ(Grid->SelectedNodes(), std::vector<TShellNode*>{Child(folder, "c.avi")});
  EXPECT_TRUE(popup->isVisible());
  EXPECT_FALSE(requested.isNull());
  popup->hide();
  // A selected node keeps the whole selection for the menu.
  Select({Child(folder, "a.avi"), Child(folder, "b.avi")});
  rightClick(Child(folder, "b.avi"));
  EXPECT_EQ(Grid->SelectedCount(), 2);
  EXPECT_TRUE(popup->isVisible());
  popup->hide();
}

// A child in a mount namespace of its own mounts a file system when told to;
// the watcher looks at the child's mount table.
TEST(MountWatcher, ReportsAMountWithoutPolling) {
  int go[2], ready[2];
  ASSERT_EQ(::pipe(go), 0);
  ASSERT_EQ(::pipe(ready), 0);
  const QByteArray target = QFile::encodeName(QDir::homePath()) + "/mnt-watch";
  ::mkdir(target.constData(), 0755);
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(go[1]);
    ::close(ready[0]);
    char c = 0;
    const bool isolated = ::unshare(CLONE_NEWNS) == 0 &&
                          ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    c = isolated ? 'y' : 'n';
    (void)!::write(ready[1], &c, 1);
    if (::read(go[0], &c, 1) == 1 && isolated)
      ::mount("none", target.constData(), "tmpfs", 0, nullptr);
    (void)!::read(go[0], &c, 1);  // until the parent closes it
    ::_exit(0);
  }
  ::close(go[0]);
  ::close(ready[1]);
  char isolated = 0;
  ASSERT_EQ(::read(ready[0], &isolated, 1), 1);
  ::close(ready[0]);
  if (isolated != 'y') {
    ::close(go[1]);
    ::waitpid(child, nullptr, 0);
    GTEST_SKIP() << "no mount namespace here";
  }
  const QByteArray table = "/proc/" + QByteArray::number(child) + "/mountinfo";
  TMountWatcher watcher(nullptr, table.constData());
  ASSERT_TRUE(watcher.Watching());
  int changes = 0;
  QObject::connect(&watcher, &TMountWatcher::Changed, [&] { ++changes; });
  QTest::qWait(300);
  EXPECT_EQ(changes, 0);
  const char c = 'm';
  ASSERT_EQ(::write(go[1], &c, 1), 1);
  EXPECT_TRUE(QTest::qWaitFor([&] { return changes == 1; }, 5000));
  QTest::qWait(400);
  EXPECT_EQ(changes, 1);
  ::close(go[1]);
  ::waitpid(child, nullptr, 0);
  ::rmdir(target.constData());
}

TEST_F(ShellGridTest, RefreshMyComputerKeepsItOpenAndTheVolumeSelected) {
  TShellNode* computer = Grid->Model().MyComputerNode;
  ASSERT_NE(computer, nullptr);
  Grid->ExpandNode(computer);
  ASSERT_TRUE(QTest::qWaitFor([&] { return Grid->IsExpanded(computer); }, 5000));
  TShellNode* rootVolume = nullptr;
  for (const auto& volume : computer->Children)
    if (volume->Path == "/") rootVolume = volume.get();
  ASSERT_NE(rootVolume, nullptr);
  Grid->SelectNode(rootVolume);
  Grid->RefreshMyComputer();
  EXPECT_TRUE(Grid->Restoring());
  ASSERT_TRUE(QTest::qWaitFor([&] { return !Grid->Restoring(); }, 5000));
  EXPECT_EQ(Grid->Model().MyComputerNode, computer);
  EXPECT_TRUE(Grid->IsExpanded(computer));
  ASSERT_NE(Grid->SelectedNode(), nullptr);
  EXPECT_EQ(Grid->SelectedNode()->Path, "/");
  EXPECT_EQ(Grid->SelectedNode()->Parent, computer);
}

TEST(ShellTexts, SizesInKilobytesAndMegabytes) {
  TShellNode node(TNodeKind::File, "f.avi", "/f.avi");
  const struct {
    uint64_t Size;
    const char* Text;
  } cases[] = {{0, "1 KB"},          {1023, "1 KB"},
               {1024, "1.00 KB"},    {1048575, "1024.00 KB"},
               {1048576, "1.00 MB"}, {5368709120, "5120.00 MB"}};
  for (const auto& c : cases) {
    node.Size = c.Size;
    EXPECT_EQ(SizeText(node), c.Text) << c.Size;
  }
  TShellNode folder(TNodeKind::Folder, "d", "/d");
  folder.Attributes = saFolder;
  EXPECT_EQ(SizeText(folder), "");
}

// A 5 GiB video (sparse, so it takes no room) is listed with all its bytes.
TEST_F(ShellGridTest, SizesBeyondFourGigabytesAreKept) {
  const QByteArray path = Root + "/big.avi";
  WriteFile(path);
  constexpr uint64_t kBig = uint64_t(5) << 30;
  ASSERT_EQ(::truncate(path.constData(), off_t(kBig)), 0);
  TShellNode* folder = Open(Root);
  ASSERT_NE(folder, nullptr);
  TShellNode* big = Child(folder, "big.avi");
  ASSERT_NE(big, nullptr);
  EXPECT_EQ(big->Size, kBig);
  big->Size = 0;
  Grid->Model().UpdateSize(big);
  EXPECT_EQ(big->Size, kBig);
}

// Sorting by date must be a strict weak ordering, files without a date
// included, or the sort is undefined. Dated files go first by date (equal
// dates keep the order they were read in), then the undated ones by name.
TEST(ShellSort, ByDateIsAStrictWeakOrderWithUndatedFilesLast) {
  const QDateTime old(QDate(2001, 1, 1), QTime(0, 0)), recent(QDate(2020, 1, 1), QTime(0, 0));
  const struct {
    const char* Name;
    QDateTime Date;
  } table[] = {{"z.avi", old}, {"a.avi", recent}, {"m.avi", {}},
               {"c.avi", old}, {"b.avi", {}},     {"y.avi", recent}};
  std::vector<std::unique_ptr<TShellNode>> nodes;
  for (const auto& row : table) {
    auto node =
        std::make_unique<TShellNode>(TNodeKind::File, row.Name, QByteArray("/d/") + row.Name);
    node->SortDate = row.Date;
    nodes.push_back(std::move(node));
  }
  auto folder = std::make_unique<TShellNode>(TNodeKind::Folder, "f", "/d/f");
  folder->Attributes = saFolder;
  nodes.push_back(std::move(folder));

  auto less = [](const TShellNode* x, const TShellNode* y) {
    return CompareNodes(*x, *y, true) < 0;
  };
  auto same = [&](const TShellNode* x, const TShellNode* y) { return !less(x, y) && !less(y, x); };
  for (const auto& a : nodes)
    for (const auto& b : nodes) {
      EXPECT_EQ(CompareNodes(*a, *b, true), -CompareNodes(*b, *a, true))
          << a->Text.toStdString() << " " << b->Text.toStdString();
      for (const auto& c : nodes) {
        const std::string names = (a->Text + " " + b->Text + " " + c->Text).toStdString();
        if (less(a.get(), b.get()) && less(b.get(), c.get())) {
          EXPECT_TRUE(less(a.get(), c.get())) << names;
        }
        if (same(a.get(), b.get()) && same(b.get(), c.get())) {
          EXPECT_TRUE(same(a.get(), c.get())) << names;
        }
      }
    }
  SortNodes(nodes, true);
  QStringList order;
  for (const auto& node : nodes) order << node->Text;
  EXPECT_EQ(order, (QStringList{"f", "z.avi", "c.avi", "a.avi", "y.avi", "b.avi", "m.avi"}));
}

TEST(DisplayPath, SeparatorsInsideNamesSurvive) {
  const QStringList texts{"Desktop", "Computer", "Data (/mnt/a\\b)", "100%", "x%5Cy"};
  EXPECT_EQ(SplitDisplayPath(JoinDisplayPath(texts)), texts);
  EXPECT_EQ(SplitDisplayPath("Desktop\\Home"), (QStringList{"Desktop", "Home"}));
}

// The tree as a person sees it: the folder above the files, files in natural
// order, the selected row marked. The picture is kept for a look.
TEST_F(ShellGridTest, TheSelectedRowIsMarkedAmongRowsInOrderAndIsSavedAsAPicture) {
  ::mkdir((Root + "/Holiday 2024").constData(), 0755);
  for (const char* name : {"beach.jpg", "clip 2.mp4", "clip 10.mp4", "sunset.jpeg", "zoo.avi"})
    WriteFile(Root + "/" + name);
  Grid->Model().OnFilterNode = MediaFilter;
  Grid->resize(300, 360);
  TShellNode* folder = Open(Root);
  ASSERT_NE(folder, nullptr);
  Grid->SelectNode(Child(folder, "clip 2.mp4"));
  QTest::qWait(100);
  const QImage shot = Grid->grab().toImage();
  const auto row = [&](const char* name) {
    const QRect r = Grid->visualRect(Grid->IndexOf(Child(folder, name)));
    return QRect(Grid->viewport()->mapTo(Grid.get(), r.topLeft()), r.size());
  };
  const QRect holiday = row("Holiday 2024"), two = row("clip 2.mp4"), ten = row("clip 10.mp4");
  EXPECT_LT(holiday.top(), two.top());
  EXPECT_LT(two.top(), ten.top());
  for (const QRect& r : {holiday, two, ten}) {
    EXPECT_TRUE(Grid->rect().contains(r.center()));
    EXPECT_GT(test::ColoursIn(shot, r), 1) << "a row without its text";
  }
  // The marked row's ground, just right of its text, is not the ground of the others.
  const auto ground = [&](const QRect& r) { return shot.pixel(r.right() - 2, r.center().y()); };
  EXPECT_NE(ground(two), ground(ten));
  EXPECT_EQ(ground(holiday), ground(ten));
  EXPECT_TRUE(shot.save(VEXO_BIN_DIR "/../shell_grid.png"));
}

}  // namespace
}  // namespace vexo
