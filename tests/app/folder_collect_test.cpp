// Folder collection over today's file types: which files a folder gives for
// each choice of media, as the switches of the options allow.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/playlist/folder_collect.h"
#include "app/settings/options.h"
#include "engine/playlist/av_playlist.h"

namespace vexo {
namespace {

class FolderCollectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"a.MKV", "b.webm", "c.jpg", "d.m2ts", "e.avi", "f.txt", "g.ts",
                             "h.3gp", "i.ogv", "j.vob", "k.wmv", "l.asf", "m.mts"}) {
      QFile file(FFolder.filePath(name));
      ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
  }
  QStringList Names(const QStringList& files) const {
    QStringList names;
    for (const QString& file : files) names << QDir(FFolder.path()).relativeFilePath(file);
    return names;
  }
  QStringList Collect(int folderMedia) const {
    TFolderCollect how;
    how.FolderMedia = folderMedia;
    return Names(CollectMediaFiles({FFolder.path()}, *Options, how));
  }

  QTemporaryDir FProgram, FFolder;
  std::unique_ptr<TOptions> Options = std::make_unique<TOptions>(FProgram.path());
};

TEST_F(FolderCollectTest, LaterVideoTypesCountAsVideos) {
  const QStringList videos = {"a.MKV", "b.webm", "d.m2ts", "e.avi", "g.ts", "h.3gp",
                              "i.ogv", "j.vob",  "k.wmv",  "l.asf", "m.mts"};
  EXPECT_EQ(Collect(0), videos);
  EXPECT_EQ(Collect(1), QStringList{"c.jpg"});
  QStringList all = Collect(2);
  EXPECT_EQ(all.size(), videos.size() + 1);
  // Pictures first keeps the videos in their order behind the photo.
  QStringList files = CollectMediaFiles({FFolder.path()}, *Options, {});
  OrderPlayList(files, 1);
  EXPECT_EQ(Names(files).first(), "c.jpg");
  EXPECT_EQ(Names(files).mid(1), videos);
}

// Ordering a playlist keeps each entry's bytes, also those of a name that is
// not valid UTF-8, and the order inside each group.
TEST(OrderPlayList, EntriesKeepTheirBytes) {
  const std::string odd = "/d/caf\xE9.avi", photo = "/d/\xFF.jpg";
  const struct {
    int Order;
    std::vector<std::string> Expected;
  } cases[] = {{0, {odd, "/d/b.mp4", photo, "/d/c.JPG"}},
               {1, {photo, "/d/c.JPG", odd, "/d/b.mp4"}},
               {2, {photo, odd, "/d/c.JPG", "/d/b.mp4"}}};
  for (const auto& c : cases) {
    TAVPlayList list;
    for (const std::string& entry : {photo, odd, std::string("/d/c.JPG"), std::string("/d/b.mp4")})
      list.Add(entry);
    OrderPlayList(list, c.Order);
    std::vector<std::string> got;
    for (int i = 0; i < list.Count(); ++i) got.push_back(list.Strings(i));
    EXPECT_EQ(got, c.Expected) << c.Order;
  }
}

// Photos of phones, screenshots and the web are photos beside the JPEGs,
// each with its own switch.
TEST(FolderCollectPhotos, PhotosOfEveryFormatAreCollectedAsPhotos) {
  QTemporaryDir program, folder;
  TOptions options(program.path());
  for (const char* name : {"a.avi", "b.HEIC", "c.heif", "d.avif", "e.jpg", "f.png", "g.WebP"}) {
    QFile file(QDir(folder.path()).filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  auto collect = [&](int folderMedia) {
    TFolderCollect how;
    how.FolderMedia = folderMedia;
    QStringList names;
    for (const QString& file : CollectMediaFiles({folder.path()}, options, how))
      names << QDir(folder.path()).relativeFilePath(file);
    return names;
  };
  EXPECT_EQ(collect(1), (QStringList{"b.HEIC", "c.heif", "d.avif", "e.jpg", "f.png", "g.WebP"}));
  EXPECT_EQ(collect(0), QStringList{"a.avi"});
  options.GetExtOption(seHEIC)->SetBool(false);
  options.GetExtOption(seWEBP)->SetBool(false);
  EXPECT_EQ(collect(2), (QStringList{"a.avi", "c.heif", "d.avif", "e.jpg", "f.png"}));
}

TEST_F(FolderCollectTest, ASwitchedOffTypeIsLeftOut) {
  Options->GetExtOption(seMKV)->SetBool(false);
  Options->GetExtOption(seTS)->SetBool(false);
  const QStringList videos = Collect(0);
  EXPECT_FALSE(videos.contains("a.MKV"));
  EXPECT_FALSE(videos.contains("g.ts"));
  // .mts and .m2ts have switches of their own.
  EXPECT_TRUE(videos.contains("m.mts"));
  EXPECT_TRUE(videos.contains("d.m2ts"));
  EXPECT_EQ(videos.size(), 9);
}

}  // namespace
}  // namespace vexo

namespace vexo {
namespace {

// A linked folder gives its target's files; a link back up the tree, a link
// to itself and a broken link end nothing and add nothing twice.
TEST(FolderCollectLinks, LinksCountLikeTheirTargetsAndLoopsEnd) {
  QTemporaryDir program, root;
  TOptions options(program.path());
  QDir dir(root.path());
  ASSERT_TRUE(dir.mkpath("elsewhere/deeper"));
  ASSERT_TRUE(dir.mkpath("shown"));
  for (const char* name : {"elsewhere/x.avi", "elsewhere/deeper/y.jpg", "shown/own.avi"}) {
    QFile file(dir.filePath(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  ASSERT_TRUE(QFile::link(dir.filePath("elsewhere"), dir.filePath("shown/linked")));
  ASSERT_TRUE(QFile::link(dir.filePath("elsewhere/x.avi"), dir.filePath("shown/z.avi")));
  ASSERT_TRUE(QFile::link(dir.filePath("gone.avi"), dir.filePath("shown/broken.avi")));
  ASSERT_TRUE(QFile::link(dir.filePath("shown"), dir.filePath("elsewhere/deeper/up")));
  ASSERT_TRUE(QFile::link(dir.filePath("shown"), dir.filePath("shown/self")));
  TFolderCollect how;
  how.PlayFolders = true;
  how.Subfolders = true;
  QStringList names;
  for (const QString& file : CollectMediaFiles({dir.filePath("shown")}, options, how))
    names << dir.relativeFilePath(file);
  EXPECT_EQ(names, (QStringList{"shown/own.avi", "shown/z.avi", "shown/linked/x.avi",
                                "shown/linked/deeper/y.jpg"}));
}

}  // namespace
}  // namespace vexo
