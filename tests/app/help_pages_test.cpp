// The help: every context number the program opens has a page, the pages
// link only to pages that exist, and the help command opens the right file.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <set>

#include "app/common/help_pages.h"
#include "app/common/language_list.h"
#include "app/common/media_extensions.h"
#include "app/common/message_boxes.h"
#include "app/common/program_environment.h"
#include "qt_test_app.h"
#include "url_catcher.h"

namespace vexo {
namespace {

const QString kHelpSource = QStringLiteral(VEXO_SOURCE_DIR "/resources/help");

QString ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Context numbers written as literals where the code opens help or asks a
// question with a Help button: the call's last argument, so a text number
// inside the question ("GetText(..., 203), ...") is not taken for one.
std::set<int> LiteralContextsInCode() {
  const QRegularExpression call(
      R"re((?:ShowHelpContext\(\s*|(?:ShowInfoHelp|AskYesNo)\([^;]*,\s*)(\d+)\s*\)(?=\s*[;)]))re");
  const QRegularExpression constant(R"re(kHelpContext\s*=\s*(\d+))re");
  std::set<int> found;
  QDirIterator it(QStringLiteral(VEXO_SOURCE_DIR "/app"), {"*.cpp", "*.h"}, QDir::Files,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString source = ReadAll(it.next());
    for (const QRegularExpression* pattern : {&call, &constant})
      for (auto m = pattern->globalMatch(source); m.hasNext();)
        found.insert(m.next().captured(1).toInt());
  }
  return found;
}

// The help says what the program does: the types it lists, the one file Copy
// to copies, the page that Restore defaults resets, and no columns that the
// browser does not have.
TEST(HelpPages, DescribeWhatTheProgramDoes) {
  const QString start = ReadAll(kHelpSource + "/index.html");
  for (const QString& ext : MediaExtensions()) {
    if (ext.isEmpty()) continue;
    EXPECT_TRUE(start.contains(QRegularExpression(QRegularExpression::escape(ext) + "\\b")))
        << "the help does not list " << ext.toStdString();
  }
  const QString files = ReadAll(kHelpSource + "/file-commands.html");
  EXPECT_FALSE(files.contains("Copies the selected files"));
  EXPECT_FALSE(files.contains("selected JPEG photos"));
  EXPECT_FALSE(ReadAll(kHelpSource + "/options.html").contains("puts every setting back"));
  EXPECT_FALSE(ReadAll(kHelpSource + "/browsing.html").contains("columns"));
}

TEST(HelpPages, EveryContextHasAPageThatExists) {
  std::set<int> known;
  for (const THelpTopic& topic : HelpTopics()) {
    EXPECT_TRUE(known.insert(topic.Context).second) << "context listed twice: " << topic.Context;
    EXPECT_TRUE(QFile::exists(kHelpSource + "/" + topic.Page)) << topic.Page;
    EXPECT_EQ(HelpPageFor(topic.Context), topic.Page);
  }
  for (int context : {kHelpContents, kHelpMainWindow, kHelpPlaylistDialog, kHelpOptions})
    EXPECT_TRUE(known.count(context)) << context;
  for (int context : LiteralContextsInCode())
    EXPECT_TRUE(known.count(context))
        << "the code opens help context " << context << ", which has no page";
  EXPECT_EQ(HelpPageFor(0), "index.html");
  EXPECT_EQ(HelpPageFor(-5), "index.html");
  EXPECT_EQ(HelpPageFor(12345), "index.html");
}

TEST(HelpPages, LinksLeadToPagesAndPartsThatExist) {
  const QRegularExpression link(R"re(href="([^"#:]*)(?:#([^"]*))?")re");
  const QStringList pages = QDir(kHelpSource).entryList({"*.html"}, QDir::Files);
  ASSERT_FALSE(pages.isEmpty());
  for (const QString& page : pages) {
    const QString text = ReadAll(kHelpSource + "/" + page);
    EXPECT_TRUE(text.contains("<title>")) << page.toStdString();
    for (auto m = link.globalMatch(text); m.hasNext();) {
      const auto hit = m.next();
      const QString target = hit.captured(1).isEmpty() ? page : hit.captured(1);
      const QString targetText = ReadAll(kHelpSource + "/" + target);
      ASSERT_FALSE(targetText.isEmpty())
          << page.toStdString() << " links to a missing " << target.toStdString();
      if (!hit.captured(2).isEmpty()) {
        EXPECT_TRUE(targetText.contains(QString("id=\"%1\"").arg(hit.captured(2))))
            << page.toStdString() << " links to a missing part " << hit.captured(0).toStdString();
      }
    }
  }
}

class HelpCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::QtApp();
    ASSERT_TRUE(FProgram.isValid());
    InitProgramEnvironment(FProgram.path());
    LResList.LoadFile(VEXO_SOURCE_DIR "/resources/language/English.lrf");
  }
  void TearDown() override {
    LResList.Clear();
    InitProgramEnvironment();
  }
  void AddPage(const QString& page) {
    QDir().mkpath(FProgram.filePath("help"));
    QFile file(FProgram.filePath("help/" + page));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<html></html>");
  }
  QString Opened() const {
    return Catcher.Urls.empty() ? QString() : Catcher.Urls.back().toLocalFile();
  }

  QTemporaryDir FProgram;
  test::TUrlCatcher Catcher{{"file"}};
  test::TBoxRecorder Boxes;
};

TEST_F(HelpCommandTest, OpensThePageOfTheContextInTheBrowser) {
  AddPage("index.html");
  AddPage("options.html");
  ShowHelpContext(kHelpOptions);
  EXPECT_EQ(Opened(), FProgram.filePath("help/options.html"));
  ShowHelpContext(kHelpContents);
  EXPECT_EQ(Opened(), FProgram.filePath("help/index.html"));
  // A page lost from the folder, or a number without a page: the contents.
  ShowHelpContext(kHelpPlaylistDialog);
  EXPECT_EQ(Opened(), FProgram.filePath("help/index.html"));
  ShowHelpContext(777);
  EXPECT_EQ(Opened(), FProgram.filePath("help/index.html"));
  EXPECT_TRUE(Boxes.Boxes.empty());
}

TEST_F(HelpCommandTest, AMissingHelpFolderIsSaidPlainly) {
  ShowHelpContext(kHelpMainWindow);
  EXPECT_TRUE(Catcher.Urls.empty());
  ASSERT_EQ(Boxes.Boxes.size(), 1u);
  EXPECT_EQ(Boxes.Boxes[0].Kind, TMsgKind::Error);
  EXPECT_TRUE(Boxes.Boxes[0].Text.contains(FProgram.filePath("help")))
      << Boxes.Boxes[0].Text.toStdString();
  EXPECT_FALSE(Boxes.Boxes[0].Text.contains("%s"));
}

TEST_F(HelpCommandTest, TheTestHookStillTakesTheNumber) {
  std::vector<int> asked;
  SetHelpHook([&asked](int context) { asked.push_back(context); });
  ShowHelpContext(kHelpPlaylistDialog);
  SetHelpHook({});
  EXPECT_EQ(asked, std::vector<int>({kHelpPlaylistDialog}));
  EXPECT_TRUE(Catcher.Urls.empty());
}

}  // namespace
}  // namespace vexo

#include "moc_url_catcher.cpp"
