#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/common/media_extensions.h"
#include "app/common/path_utils.h"
#include "app/common/text_utils.h"

namespace vexo {
namespace {

TEST(PathUtils, JoinDropsDoubleSlashAndKeepsNameWithoutFolder) {
  EXPECT_EQ(JoinPath("/opt/prog/", "/language/x.lrf"), "/opt/prog/language/x.lrf");
  EXPECT_EQ(JoinPath("/opt/prog", "language/x.lrf"), "/opt/prog/language/x.lrf");
  EXPECT_EQ(JoinPath("", "/language/x.lrf"), "/language/x.lrf");
  EXPECT_EQ(JoinPath("/", "etc"), "/etc");
}

TEST(PathUtils, SlashesKeepTheRoot) {
  EXPECT_EQ(ExcludeSlash("/"), "/");
  EXPECT_EQ(ExcludeSlash("/home/a/"), "/home/a");
  EXPECT_EQ(ExcludeSlash("/home/a"), "/home/a");
  EXPECT_EQ(IncludeSlash(""), "");
  EXPECT_EQ(IncludeSlash("/home"), "/home/");
  EXPECT_EQ(IncludeSlash("/home/"), "/home/");
}

TEST(PathUtils, TitleAndExtensionLookOnlyAtTheFileName) {
  EXPECT_EQ(FileTitle("/media/a.b/clip.final.avi"), "clip.final");
  EXPECT_EQ(FileTitle("/media/a.b/README"), "README");
  EXPECT_EQ(ExtNoDot("/media/a.b/clip.final.avi"), "avi");
  EXPECT_EQ(ExtNoDot("/media/a.b/README"), "");
}

TEST(PathUtils, DriveRootIsAMountPoint) {
  EXPECT_TRUE(IsDriveRoot("/"));
  EXPECT_TRUE(IsDriveRoot("/proc"));
  EXPECT_FALSE(IsDriveRoot("/proc/self"));
  EXPECT_FALSE(IsDriveRoot(""));
}

TEST(PathUtils, FileSizeOfMissingFileIsZero) {
  QTemporaryDir dir;
  QFile file(dir.filePath("f.bin"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write("12345");
  file.close();
  EXPECT_EQ(FileSize(file.fileName()), 5);
  EXPECT_EQ(FileSize(dir.filePath("none")), 0);
  EXPECT_EQ(FileSize(dir.path()), 0);
}

TEST(TextUtils, GetTokenCountsFromOne) {
  EXPECT_EQ(GetToken(2, "Name|Hint", u'|'), "Hint");
  EXPECT_EQ(GetToken(1, "Name|Hint", u'|'), "Name");
  EXPECT_EQ(GetToken(2, "Name", u'|'), "");
  EXPECT_EQ(GetToken(0, "Name", u'|'), "");
}

TEST(TextUtils, AppendSepSkipsEmptyParts) {
  QString text;
  AppendComma(text, "a");
  AppendComma(text, "");
  AppendComma(text, "b");
  EXPECT_EQ(text, "a, b");
  AppendSpace(text, "c");
  EXPECT_EQ(text, "a, b c");
}

TEST(TextUtils, SecondsText) {
  struct Case {
    float Seconds;
    const char* Text;
  } cases[] = {{3725, "62:05"}, {0, "00:00"},    {-5, "00:00"},    {59.4f, "00:59"},
               {2.5f, "00:02"}, {3.5f, "00:04"}, {6000, "100:00"}, {1e30f, "16666666666666:40"}};
  for (const Case& c : cases) EXPECT_EQ(SecondsText(c.Seconds), c.Text) << c.Seconds;
}

TEST(TextUtils, ClockTextCutsTheSecondsAndLetsHoursGrow) {
  struct Case {
    int64_t Ms;
    const char* Text;
  } cases[] = {{0, "00:00:00"},        {999, "00:00:00"},       {5480, "00:00:05"},
               {3725999, "01:02:05"},  {-40, "00:00:00"},       {86399999, "23:59:59"},
               {90000000, "25:00:00"}, {360000000, "100:00:00"}};
  for (const Case& c : cases) EXPECT_EQ(ClockText(c.Ms), c.Text) << c.Ms;
}

TEST(TextUtils, AmpersandsAreDoubledUnlessFirstOrAlreadyDoubled) {
  struct Case {
    const char* In;
    const char* Out;
  } cases[] = {{"Tom & Jerry", "Tom && Jerry"}, {"&File", "&File"}, {"a&&b", "a&&&b"}, {"", ""}};
  for (const Case& c : cases) EXPECT_EQ(DoubleAmpersands(c.In), c.Out) << c.In;
}

TEST(TextUtils, FormatTextFillsPlaceholdersInOrder) {
  EXPECT_EQ(FormatText("Value of \"%s\" in \"%s\"", {"k", "s"}), "Value of \"k\" in \"s\"");
  EXPECT_EQ(FormatText("%s and %s", {"one"}), "one and %s");
}

TEST(MediaExtensions, KindsIgnoreCase) {
  EXPECT_TRUE(IsVideoExt(".AVI"));
  EXPECT_TRUE(IsVideoExt(".divx"));
  EXPECT_FALSE(IsVideoExt(".jpg"));
  EXPECT_TRUE(IsPhotoExt(".JPE"));
  EXPECT_FALSE(IsPhotoExt(".mp4"));
  EXPECT_FALSE(IsVideoExt(""));
  EXPECT_FALSE(IsPhotoExt(""));
  EXPECT_TRUE(IsVideoExt(".MKV"));
  EXPECT_FALSE(IsVideoExt(".rmvb"));
}

}  // namespace
}  // namespace vexo
