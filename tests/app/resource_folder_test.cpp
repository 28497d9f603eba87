// Where the program finds its language, skin and help files: beside the
// executable (the build tree, a copy on a drive) or in the installed
// <prefix>/share/vexoplayer, and what a portable copy of an installed program
// reads from where.
#include <gtest/gtest.h>

#include <ostream>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/common/program_environment.h"
#include "app/shell/portable_file_set.h"

namespace vexo {
namespace {

void WriteFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
  file.write(bytes);
}

struct TLayoutCase {
  const char* Name;
  bool LanguageBeside;     // bin/language/
  bool LanguageInstalled;  // share/vexoplayer/language/
  const char* Expected;    // relative to the prefix
};

void PrintTo(const TLayoutCase& c, std::ostream* out) {
  *out << c.Name;
}

class ResourceFolder : public ::testing::TestWithParam<TLayoutCase> {};

TEST_P(ResourceFolder, IsFoundRelativeToTheExecutable) {
  const TLayoutCase& c = GetParam();
  QTemporaryDir prefix;
  const QString bin = prefix.filePath("bin");
  QDir().mkpath(bin);
  if (c.LanguageBeside) WriteFile(bin + "/language/English.lrf", "[x]\n");
  if (c.LanguageInstalled) WriteFile(prefix.filePath("share/vexoplayer/language/English.lrf"), "");
  EXPECT_EQ(ResourceFolderFor(bin), prefix.filePath(c.Expected));
  // A trailing slash names the same folder.
  EXPECT_EQ(ResourceFolderFor(bin + '/'), prefix.filePath(c.Expected));
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ResourceFolder,
    ::testing::Values(TLayoutCase{"BuildTreeOrPortableCopy", true, false, "bin"},
                      TLayoutCase{"Installed", false, true, "share/vexoplayer"},
                      // Files beside the executable win: a copy made from an installed program.
                      TLayoutCase{"BothBesideWins", true, true, "bin"},
                      // The missing language file is then reported for the program folder.
                      TLayoutCase{"NeitherFallsBackToTheProgramFolder", false, false, "bin"}),
    [](const ::testing::TestParamInfo<TLayoutCase>& info) { return info.param.Name; });

TEST(PortableCopyOfAnInstalledProgram, ReadsResourcesFromTheShareFolderAndTheProgramFromBin) {
  QTemporaryDir prefix;
  const QString bin = prefix.filePath("bin");
  const QString share = prefix.filePath("share/vexoplayer");
  WriteFile(bin + "/vexoplayer", QByteArray(100, 'x'));
  WriteFile(share + "/language/English.lrf", QByteArray(10, 'e'));
  WriteFile(share + "/Skins/Dark.qss", QByteArray(7, 's'));
  QDir().mkpath(share + "/help");

  const TPortableFileSet set = PortableFileSet(bin);
  EXPECT_EQ(set.Files, QStringList({"vexoplayer", "language/English.lrf", "Skins/Dark.qss"}));
  EXPECT_EQ(set.Folders, QStringList({"language", "help", "Skins"}));
  EXPECT_EQ(set.Bytes, 117);
  EXPECT_EQ(PortableSourceFile(bin, set, "vexoplayer"), bin + "/vexoplayer");
  EXPECT_EQ(PortableSourceFile(bin, set, "language/English.lrf"), share + "/language/English.lrf");
  EXPECT_EQ(PortableSourceFile(bin, set, "Skins/Dark.qss"), share + "/Skins/Dark.qss");
}

}  // namespace
}  // namespace vexo
