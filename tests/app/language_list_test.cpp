#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include "app/common/language_list.h"
#include "qt_test_app.h"

namespace vexo {
namespace {

const char* const kSample =
    "; comment\n"
    "Orphan=before any section\n"
    "[Player]\n"
    "IDS_0005=Five\n"
    "  IDS_0113= My list   \n"
    "IDS_12345=Big\n"
    "IDS_0005=Second five\n"
    "Empty=\n"
    "NoValue\n"
    "IDS_0301=one\n"
    "IDS_0302=\n"
    "IDS_0303=three\n"
    "Text=Größe €\n"
    "[ Other ]\n"
    "Key = a=b\n"
    "[player]\n"
    "Late=from the repeated section\n";

class LanguageTest : public ::testing::Test {
 protected:
  void SetUp() override { test::QtApp(); }
  void TearDown() override { LResList.Clear(); }

  QString Write(const QString& name, const QByteArray& bytes) {
    const QString path = FDir.filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return path;
  }
  QString WriteSample() { return Write("English.lrf", QByteArray(kSample)); }

  QTemporaryDir FDir;
};

TEST_F(LanguageTest, NumberedKeysHaveFourDigitsOrAllOfThem) {
  EXPECT_EQ(TextKey(5), "IDS_0005");
  EXPECT_EQ(TextKey(113), "IDS_0113");
  EXPECT_EQ(TextKey(12345), "IDS_12345");
  LResList.LoadFile(WriteSample());
  ASSERT_TRUE(LResList.IsLoaded());
  EXPECT_EQ(LResList.GetText("Player", 5), "Five");
  EXPECT_EQ(LResList.GetText("Player", 12345), "Big");
}

TEST_F(LanguageTest, LineRules) {
  LResList.LoadFile(WriteSample());
  test::TBoxRecorder boxes;
  EXPECT_EQ(LResList.GetText("Player", 113), " My list");
  EXPECT_EQ(LResList.GetValue("PLAYER", "ids_0005", ""), "Five");  // first key wins
  EXPECT_EQ(LResList.GetValue("Other", "Key", ""), " a=b");
  EXPECT_EQ(LResList.ReadValue("Player", "NoValue", "def"), "");
  EXPECT_EQ(LResList.GetValue("Player", "Text", ""), QString::fromUtf8("Größe €"));
  EXPECT_TRUE(boxes.Boxes.empty());
}

TEST_F(LanguageTest, FirstOfTwoEqualSectionsIsUsed) {
  LResList.LoadFile(WriteSample());
  EXPECT_EQ(LResList.ReadValue("Player", "Late", "absent"), "absent");
  EXPECT_EQ(LResList.ReadValue("Player", "Orphan", "absent"), "absent");
}

TEST_F(LanguageTest, EmptyValueGivesDefaultForGetValueButNotForReadValue) {
  LResList.LoadFile(WriteSample());
  EXPECT_EQ(LResList.GetValue("Player", "Empty", "def"), "def");
  EXPECT_EQ(LResList.ReadValue("Player", "Empty", "def"), "");
  EXPECT_EQ(LResList.ReadValue("Player", "Missing", "def"), "def");
}

TEST_F(LanguageTest, MissingKeyShowsBoxEveryTimeAndGivesNotFound) {
  LResList.LoadFile(WriteSample());
  test::TBoxRecorder boxes;
  EXPECT_EQ(LResList.GetValue("Player", "Nope", "def"), "NOT FOUND");
  EXPECT_EQ(LResList.GetText("Nowhere", 7), "NOT FOUND");
  ASSERT_EQ(boxes.Boxes.size(), 2u);
  EXPECT_EQ(boxes.Boxes[0].Kind, TMsgKind::Info);
  EXPECT_EQ(boxes.Boxes[0].Text,
            "Value of \"Nope\" in section \"Player\" of language file was not found");
  EXPECT_EQ(boxes.Boxes[1].Text,
            "Value of \"IDS_0007\" in section \"Nowhere\" of language file was not found");
}

TEST_F(LanguageTest, RangeSkipsEmptyTexts) {
  LResList.LoadFile(WriteSample());
  EXPECT_EQ(LResList.GetTextRange("Player", 301, 3, "\r\n"), "one\r\nthree");
  EXPECT_EQ(LResList.GetTextRange("Player", 302, 1, "-"), "");
}

TEST_F(LanguageTest, EncodingsGiveTheSameTexts) {
  const QString text = QString::fromUtf8(kSample).replace("\n", "\r\n");
  QStringEncoder le(QStringConverter::Utf16LE), be(QStringConverter::Utf16BE),
      utf8(QStringConverter::Utf8);
  const QByteArray files[] = {
      QByteArray("\xFF\xFE") + QByteArray(le(text)),
      QByteArray("\xFE\xFF") + QByteArray(be(text)),
      QByteArray("\xEF\xBB\xBF") + QByteArray(utf8(text)),
      QByteArray(utf8(text)),
  };
  for (const QByteArray& bytes : files) {
    LResList.LoadFile(Write("x.lrf", bytes));
    EXPECT_EQ(LResList.GetText("Player", 113), " My list");
    EXPECT_EQ(LResList.GetValue("Player", "Text", ""), QString::fromUtf8("Größe €"));
  }
  // A single-byte file that is no UTF-8 is still read.
  LResList.LoadFile(Write("latin.lrf", QByteArray("[Player]\nText=Gr\xF6\xDF"
                                                  "e\n")));
  EXPECT_EQ(LResList.GetValue("Player", "Text", ""), QString::fromUtf8("Größe"));
}

TEST_F(LanguageTest, GarbageLinesLoadWhatTheyCan) {
  QByteArray bytes("\x01\x02garbage\n[Player\n=novalue\n[]\n[Player]\n\xC3\x28\x00\x07=x\n");
  bytes += QByteArray(5000, '\xFE');
  bytes += "\nIDS_0001=Still here\n[Player]]\n";
  LResList.LoadFile(Write("bad.lrf", bytes));
  ASSERT_TRUE(LResList.IsLoaded());
  EXPECT_EQ(LResList.ReadValue("Player", "IDS_0001", ""), "Still here");
}

TEST_F(LanguageTest, LanguageNameSelectsTheFile) {
  Write("language/language.ini", "[ProgLang]\nLangName=gERMAN\n");
  Write("language/German.lrf", "[Player]\nIDS_2001=tragbar\n");
  LResList.Load(FDir.path());
  EXPECT_EQ(LResList.LangName, "German");
  EXPECT_EQ(LResList.FileName, FDir.filePath("language/German.lrf"));
  EXPECT_EQ(LResList.GetText("Player", 2001), "tragbar");

  Write("language/language.ini", "[progLANG]\nlangname=\n");
  LResList.Load(FDir.path());
  EXPECT_EQ(LResList.LangName, "English");
  QFile::remove(FDir.filePath("language/language.ini"));
  LResList.Load(FDir.path());
  EXPECT_EQ(LResList.LangName, "English");
}

TEST_F(LanguageTest, MissingFileLeavesDefaultsAndATextToShow) {
  test::TBoxRecorder boxes;
  LResList.Load(FDir.path());
  EXPECT_FALSE(LResList.IsLoaded());
  EXPECT_EQ(LResList.GetValue("Player", "Key", "def"), "def");
  EXPECT_EQ(LResList.GetText("Player", 1), "");
  EXPECT_EQ(LResList.GetCommon(cNone), "");
  EXPECT_TRUE(boxes.Boxes.empty());
  EXPECT_FALSE(LResList.CheckLoaded());
  ASSERT_EQ(boxes.Boxes.size(), 1u);
  EXPECT_EQ(boxes.Boxes[0].Kind, TMsgKind::Error);
  EXPECT_EQ(boxes.Boxes[0].Text, "Language file " + FDir.filePath("language/English.lrf") +
                                     " was not found.\r\nThe program must be reinstalled.");
}

TEST_F(LanguageTest, CommonWordsByIndex) {
  EXPECT_EQ(kCommonWordCount, 73);
  EXPECT_EQ(CommonWordKey(0), "cNA");
  EXPECT_EQ(CommonWordKey(cUnnamed), "cUnnamed");
  EXPECT_EQ(CommonWordKey(72), "cError");
  EXPECT_EQ(CommonWordKey(73), "");
  LResList.LoadFile(Write("c.lrf", "[a_common]\ncnone=Nothing\n"));
  EXPECT_EQ(LResList.GetCommon(cNone), "Nothing");
  EXPECT_EQ(LResList.GetCommon(cError), "");
}

}  // namespace
}  // namespace vexo
