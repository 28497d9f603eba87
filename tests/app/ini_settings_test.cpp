#include <gtest/gtest.h>

#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include "app/common/ini_file.h"
#include "app/common/ini_par.h"
#include "qt_test_app.h"

namespace vexo {
namespace {

TEST(TolerantDecimal, BothSeparatorsReadUnderEitherSetting) {
  struct Case {
    const char* Text;
    QChar SystemSep;
    double Value;
  } cases[] = {
      {"0.75", u',', 0.75}, {"0,75", u',', 0.75}, {"0.75", u'.', 0.75}, {"0,75", u'.', 0.75},
      {"2", u',', 2.0},     {" 2.5 ", u',', 2.5}, {"-1,5", u'.', -1.5},
  };
  for (const Case& c : cases)
    EXPECT_DOUBLE_EQ(TolerantStrToFloat(c.Text, -9, c.SystemSep), c.Value)
        << c.Text << " sep " << QString(c.SystemSep).toStdString();
}

TEST(TolerantDecimal, TextThatDoesNotConvertGivesDefault) {
  for (const char* text : {"", "abc", "1,000.5", "1.000,5", "0.5x"}) {
    EXPECT_DOUBLE_EQ(TolerantStrToFloat(text, -9, u','), -9) << text;
    EXPECT_DOUBLE_EQ(TolerantStrToFloat(text, -9, u'.'), -9) << text;
  }
}

TEST(TolerantDecimal, FollowsTheDefaultLocale) {
  const QLocale saved;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_DOUBLE_EQ(TolerantStrToFloat("0.75", 0), 0.75);
  EXPECT_DOUBLE_EQ(TolerantStrToFloat("0,75", 0), 0.75);
  QLocale::setDefault(saved);
}

class IniFileTest : public ::testing::Test {
 protected:
  void SetUp() override { test::QtApp(); }
  QString Path() const { return FDir.filePath("settings.ini"); }
  void WriteRaw(const QByteArray& bytes) {
    QFile file(Path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }
  QTemporaryDir FDir;
};

TEST_F(IniFileTest, MultiLineTextRoundTrips) {
  const QString text = "a\r\nb";
  EXPECT_EQ(EncodeMultiLine(text), QString("a") + QChar(127) + "b");
  EXPECT_EQ(DecodeMultiLine(EncodeMultiLine(text)), text);
  TIniPar note(TIniPar::ipText, "", "Note");
  note.MultiLine = true;
  note.SetText("first line\r\nsecond line\nthird");
  {
    TSIniFile ini(Path());
    note.ReadWrite(true, &ini, {}, "Notes");
  }
  TIniPar back(TIniPar::ipText, "", "Note");
  back.MultiLine = true;
  TSIniFile ini(Path());
  back.ReadWrite(false, &ini, {}, "Notes");
  // A lone LF cannot be kept; every CR comes back as CR LF.
  EXPECT_EQ(back.GetText(), "first line\r\nsecond linethird");
}

TEST_F(IniFileTest, IntegersAreClampedOnlyWithARange) {
  WriteRaw("[S]\nHigh=15\nLow=0\nFree=15\n");
  TSIniFile ini(Path());
  TIniPar high(TIniPar::ipInteger, "5", "High"), low(TIniPar::ipInteger, "5", "Low"),
      free(TIniPar::ipInteger, "5", "Free");
  for (TIniPar* par : {&high, &low}) {
    par->MinValue = 1;
    par->MaxValue = 10;
  }
  high.ReadWrite(false, &ini, {}, "S");
  low.ReadWrite(false, &ini, {}, "S");
  free.ReadWrite(false, &ini, {}, "S");
  EXPECT_EQ(high.GetInt(), 10);
  EXPECT_EQ(low.GetInt(), 1);
  EXPECT_EQ(free.GetInt(), 15);
}

TEST_F(IniFileTest, WrongTypesFallBackToDefaults) {
  WriteRaw(
      "[S]\nNum=12abc\nBig=99999999999\nFlag=maybe\nReal=x1\nList=a, b\nQuoted=\"x,y\"\n"
      "Yes=true\n");
  TSIniFile ini(Path());
  TIniPar num(TIniPar::ipInteger, "7", "Num"), big(TIniPar::ipInteger, "7", "Big"),
      flag(TIniPar::ipBoolean, "1", "Flag"), real(TIniPar::ipFloat, "2.5", "Real"),
      list(TIniPar::ipText, "", "List"), quoted(TIniPar::ipText, "", "Quoted"),
      yes(TIniPar::ipBoolean, "0", "Yes"), absent(TIniPar::ipInteger, "3", "Absent");
  for (TIniPar* par : {&num, &big, &flag, &real, &list, &quoted, &yes, &absent})
    par->ReadWrite(false, &ini, {}, "S");
  EXPECT_EQ(num.GetInt(), 7);
  EXPECT_EQ(big.GetInt(), 7);
  EXPECT_TRUE(flag.GetBool());
  EXPECT_DOUBLE_EQ(real.GetFloat(), 2.5);
  EXPECT_EQ(list.GetText(), "a, b");
  EXPECT_EQ(quoted.GetText(), "x,y");
  EXPECT_TRUE(yes.GetBool());
  EXPECT_EQ(absent.GetInt(), 3);
}

TEST_F(IniFileTest, ValuesRoundTripThroughTheFile) {
  TIniPar num(TIniPar::ipInteger, "", "Num"), flag(TIniPar::ipBoolean, "", "Flag"),
      real(TIniPar::ipFloat, "", "Real"), text(TIniPar::ipText, "", "Text");
  num.SetInt(-42);
  flag.SetBool(true);
  real.SetFloat(0.1);
  text.SetText(QString::fromUtf8("Größe, \"quoted\" = @odd;"));
  {
    TSIniFile ini(Path());
    for (TIniPar* par : {&num, &flag, &real, &text}) par->ReadWrite(true, &ini, {}, "S");
    QString error;
    EXPECT_TRUE(ini.Flush(&error)) << error.toStdString();
  }
  TIniPar num2(TIniPar::ipInteger, "", "Num"), flag2(TIniPar::ipBoolean, "", "Flag"),
      real2(TIniPar::ipFloat, "", "Real"), text2(TIniPar::ipText, "", "Text");
  TSIniFile ini(Path());
  for (TIniPar* par : {&num2, &flag2, &real2, &text2}) par->ReadWrite(false, &ini, {}, "S");
  EXPECT_EQ(num2.GetInt(), -42);
  EXPECT_TRUE(flag2.GetBool());
  EXPECT_DOUBLE_EQ(real2.GetFloat(), 0.1);
  EXPECT_EQ(text2.GetText(), text.GetText());
}

TEST(IniPar, SettersMarkOnlyRealChangesAndResetClears) {
  TIniPar par(TIniPar::ipInteger, "4", "K");
  par.SetInt(4);
  EXPECT_FALSE(par.Modified);
  par.SetInt(5);
  EXPECT_TRUE(par.Modified);
  par.Reset();
  EXPECT_EQ(par.GetInt(), 4);
  EXPECT_FALSE(par.Modified);
  TIniPar copy(TIniPar::ipInteger, "", "Other");
  copy.Modified = true;
  par.SetInt(9);
  copy.CopyFrom(par);
  EXPECT_EQ(copy.GetInt(), 9);
  EXPECT_EQ(copy.Key, "K");
  EXPECT_TRUE(copy.Modified);
}

TEST(IniPar, BooleanDefaultIsTrueUnlessZero) {
  EXPECT_TRUE(TIniPar(TIniPar::ipBoolean, "yes", "K").GetBool());
  EXPECT_FALSE(TIniPar(TIniPar::ipBoolean, "0", "K").GetBool());
  EXPECT_FALSE(TIniPar(TIniPar::ipBoolean, "", "K").GetBool());
}

TEST(IniPar, IntegerDefaultThatIsNoNumberIsReportedAndGivesZero) {
  test::TBoxRecorder boxes;
  TIniPar par(TIniPar::ipInteger, "ten", "K");
  EXPECT_EQ(par.GetInt(), 0);
  EXPECT_TRUE(par.DefaultText().isEmpty());
  ASSERT_EQ(boxes.Boxes.size(), 1u);
  EXPECT_EQ(boxes.Boxes[0].Kind, TMsgKind::Error);
  par.Reset();
  EXPECT_EQ(boxes.Boxes.size(), 1u);
}

TEST(IniPar, ReadingFromAnotherSectionStartsFromTheDefault) {
  test::QtApp();
  QTemporaryDir dir;
  TSIniFile ini(dir.filePath("s.ini"));
  ini.WriteInteger("A", "K", 11);
  TIniPar par(TIniPar::ipInteger, "3", "K");
  par.ReadWrite(false, &ini, {}, "A");
  EXPECT_EQ(par.GetInt(), 11);
  par.ReadWrite(false, &ini, {}, "B");
  EXPECT_EQ(par.GetInt(), 3);
  EXPECT_EQ(par.Section, "B");
  par.ReadWrite(false, nullptr);
  EXPECT_TRUE(par.Section.isEmpty());
}

TEST(IniParDeathTest, WrongKindStops) {
  TIniPar par(TIniPar::ipBoolean, "", "K");
  EXPECT_DEATH(par.GetInt(), "ini_par.cpp, line");
}

}  // namespace
}  // namespace vexo
