// The browser column on a private X server: the information strip's texts for
// the kinds of media, its probe off the user-interface thread, its fixed
// height and the play button.
#include <gtest/gtest.h>

#include <QDir>
#include <QFontInfo>
#include <QImage>
#include <QListWidget>
#include <QLocale>
#include <QSignalSpy>
#include <QTest>
#include <cmath>
#include <ctime>

#include "app/browser/shell_panel.h"
#include "app/browser/shl_ctrl_panel.h"
#include "app/common/language_list.h"
#include "panel_fit.h"
#include "picture_checks.h"
#include "tests/support/media_test.h"
#include "xvfb_qt_app.h"

namespace vexo {
namespace {}  // namespace
}  // namespace vexo

QT_BEGIN_NAMESPACE
// Readable failures.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE

namespace vexo {
namespace {

class ColumnTest : public test::TMediaTest {
 protected:
  void SetUp() override {
    test::TMediaTest::SetUp();
    ASSERT_TRUE(test::XvfbQtApp()) << "Xvfb did not start";
    LResList.LoadFile(VEXO_SOURCE_DIR "/resources/language/English.lrf");
    ASSERT_TRUE(LResList.IsLoaded());
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
  }
  void TearDown() override {
    LResList.Clear();
    test::TMediaTest::TearDown();
  }

  static std::vector<QString> Texts(const TShlCtrlPanel& panel, bool captions) {
    std::vector<QString> texts;
    for (int i = 0; i < 3; ++i)
      texts.push_back(captions ? panel.CaptionLabel(i)->text() : panel.ValueLabel(i)->text());
    return texts;
  }
};

using TTexts = std::vector<QString>;
const TTexts kVideoCaptions{"Frame size:", "Frame rate:", "Sound:"};

TMediaInfo Video(int w, int h, double rate, int channels) {
  TMediaInfo info;
  info.BiggestWidth = w;
  info.BiggestHeight = h;
  info.TotalFrames = 250;
  info.FrameRate = rate;
  info.OutChannels = channels;
  return info;
}

TEST_F(ColumnTest, VideoValuesFromTheRecord) {
  struct Case {
    TMediaInfo info;
    TTexts values;
  };
  const Case cases[] = {
      {Video(720, 576, 25, 2), {"720 x 576", "25 fps", "Stereo"}},
      {Video(640, 480, 29.97002997, 1), {"640 x 480", "29.97 fps", "Mono"}},
      {Video(1920, 1080, 23.976, 0), {"1920 x 1080", "23.98 fps", "None"}},
      {Video(1280, 720, 50, 6), {"1280 x 720", "50 fps", "6 channels"}},
  };
  TShlCtrlPanel panel;
  for (const Case& c : cases) {
    panel.ShowInfo({}, c.info);
    EXPECT_EQ(Texts(panel, true), kVideoCaptions);
    EXPECT_EQ(Texts(panel, false), c.values) << c.values[0].toStdString();
  }
}

TEST_F(ColumnTest, PhotoShowsItsDateAndTellsWhereTheDateCameFrom) {
  TMediaInfo photo;
  photo.BiggestWidth = 3000;
  photo.BiggestHeight = 2000;
  photo.TotalFrames = 1;
  const QDateTime taken(QDate(2007, 3, 5), QTime(14, 30));
  TShlCtrlPanel panel;
  panel.ShowInfo({taken, 2}, photo);
  EXPECT_EQ(Texts(panel, true), (TTexts{"Picture size:", "Date taken:", "Time:"}));
  EXPECT_EQ(panel.ValueLabel(0)->text(), "3000 x 2000");
  EXPECT_EQ(panel.ValueLabel(1)->text(), "Mar 5, 2007");
  EXPECT_TRUE(panel.ValueLabel(2)->text().startsWith("2:30:00"))
      << panel.ValueLabel(2)->text().toStdString();

  panel.ShowInfo({taken, 1}, photo);
  EXPECT_EQ(panel.CaptionLabel(1)->text(), "File date:");
  // Nothing selected: the values go, the captions stay.
  panel.ShowInfo({}, TMediaInfo{});
  EXPECT_EQ(Texts(panel, true), (TTexts{"Picture size:", "File date:", "Time:"}));
  EXPECT_EQ(Texts(panel, false), (TTexts{"", "", ""}));
}

struct TFileCase {
  const char* file;
  TTexts values;
};

void PrintTo(const TFileCase& c, std::ostream* out) {
  *out << c.file;
}

class ColumnFileTest : public ColumnTest, public ::testing::WithParamInterface<TFileCase> {};

TEST_P(ColumnFileTest, ProbedFileFillsTheStrip) {
  const TFileCase& c = GetParam();
  TShlCtrlPanel panel;
  panel.ShowInfo({}, Video(1, 1, 1, 1));  // stale values must not survive
  QSignalSpy shown(&panel, &TShlCtrlPanel::InfoShown);
  const QString path = QString::fromStdString(test::MediaPath(c.file));
  panel.ShowFileInfo(path, {QDateTime(QDate(2020, 1, 2), QTime(3, 4, 5)), 1});
  EXPECT_EQ(Texts(panel, false), (TTexts{"", "", ""}));  // nothing while the probe runs
  ASSERT_TRUE(shown.wait(10000));
  EXPECT_EQ(shown.at(0).at(0).toString(), path);
  const TTexts values = Texts(panel, false);
  EXPECT_EQ(values[0], c.values[0]);
  EXPECT_EQ(values[1], c.values[1]);
  // The long time format may carry the time zone.
  EXPECT_TRUE(c.values[2].isEmpty() ? values[2].isEmpty() : values[2].startsWith(c.values[2]))
      << values[2].toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Media, ColumnFileTest,
    ::testing::Values(TFileCase{"photo_640x480.jpg", {"640 x 480", "Jan 2, 2020", "3:04:05 AM"}},
                      TFileCase{"h264_aac.mp4", {"320 x 240", "25 fps", "Mono"}},
                      TFileCase{"gl_440_44100_stereo.avi", {"160 x 120", "25 fps", "Stereo"}},
                      TFileCase{"h264.mov", {"320 x 240", "25 fps", "None"}},
                      TFileCase{"not_media.avi", {"", "", ""}},
                      TFileCase{"no_such_file.mp4", {"", "", ""}}),
    [](const auto& info) {
      QString name = QString(info.param.file).section('.', 0, 0);
      return name.toStdString();
    });

TEST_F(ColumnTest, OnlyTheLatestSelectionIsShown) {
  TShlCtrlPanel panel;
  QSignalSpy shown(&panel, &TShlCtrlPanel::InfoShown);
  const QString video = QString::fromStdString(test::MediaPath("mpeg2_mp2.mpg"));
  const QString photo = QString::fromStdString(test::MediaPath("photo_1024x768.jpg"));
  panel.ShowFileInfo(video, {});
  panel.ShowFileInfo(photo, {});
  ASSERT_TRUE(shown.wait(10000));
  QTest::qWait(300);  // time for a late answer about the video to arrive
  ASSERT_EQ(shown.size(), 1);
  EXPECT_EQ(shown.at(0).at(0).toString(), photo);
  EXPECT_EQ(panel.ValueLabel(0)->text(), "1024 x 768");
  // Selecting nothing drops a probe under way.
  panel.ShowFileInfo(video, {});
  panel.ShowFileInfo({}, {});
  QTest::qWait(300);
  panel.Probe().WaitIdle();
  QCoreApplication::processEvents();
  EXPECT_EQ(shown.size(), 1);
  EXPECT_EQ(panel.ValueLabel(0)->text(), "");
}

TEST_F(ColumnTest, StripKeepsItsHeightAndPlacesTheButtonAtTheRight) {
  TShellPanel column;
  auto* grid = new QListWidget;
  grid->addItems({"Desktop", "Computer", "Videos"});
  column.SetGrid(grid);
  EXPECT_EQ(grid->parentWidget(), &column);
  QSignalSpy played(&column, &TShellPanel::PlayClicked);
  column.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&column));
  TShlCtrlPanel* strip = column.InfoPanel();
  for (int height : {120, 400, 900}) {
    column.resize(TShellPanel::kWidth + 50, height);
    QCoreApplication::processEvents();
    EXPECT_EQ(strip->height(), TShlCtrlPanel::kHeight) << height;
    EXPECT_EQ(strip->geometry().bottom(), column.contentsRect().bottom()) << height;
    EXPECT_EQ(grid->geometry().bottom() + 1, strip->y()) << height;
  }
  const QRect button = strip->PlayButton()->geometry();
  EXPECT_EQ(button, QRect(strip->width() - 52, 12, 46, 46));
  EXPECT_EQ(strip->ValueLabel(0)->geometry().left(), TShlCtrlPanel::kValueLeft);
  EXPECT_EQ(strip->ValueLabel(0)->geometry().right() + 1, button.left() - 6);

  QTest::mouseClick(strip->PlayButton(), Qt::LeftButton);
  EXPECT_EQ(played.size(), 1);
  strip->SetPlayEnabled(false);
  QTest::mouseClick(strip->PlayButton(), Qt::LeftButton);
  EXPECT_EQ(played.size(), 1);
}

// A larger font or a longer translation of a caption leaves every line whole
// and apart from the button; a value without room is cut short visibly.
struct TStripFitCase {
  const char* Name;
  double FontScale;     // of the desktop's font
  const char* Caption;  // a longer first caption, or none
  int Width;            // of the column
};

void PrintTo(const TStripFitCase& c, std::ostream* out) {
  *out << c.Name;
}

class StripFitTest : public ColumnTest, public ::testing::WithParamInterface<TStripFitCase> {};

TEST_P(StripFitTest, LinesStayWholeAndApart) {
  const TStripFitCase& c = GetParam();
  TShellPanel column;
  column.SetGrid(new QListWidget);
  QFont font = column.font();
  font.setPixelSize(int(std::lround(QFontInfo(font).pixelSize() * c.FontScale)));
  column.setFont(font);
  column.resize(c.Width, 400);
  column.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&column));
  TShlCtrlPanel* strip = column.InfoPanel();
  strip->ShowInfo({}, Video(1920, 1080, 29.97002997, 6));
  if (c.Caption) const_cast<QLabel*>(strip->CaptionLabel(0))->setText(c.Caption);
  QTest::qWait(50);
  std::vector<const QWidget*> controls{strip->PlayButton()};
  for (int i = 0; i < 3; ++i) {
    controls.push_back(strip->CaptionLabel(i));
    controls.push_back(strip->ValueLabel(i));
    // Each value starts right of its caption.
    EXPECT_GE(strip->ValueLabel(i)->x(), strip->CaptionLabel(i)->geometry().right() + 1) << i;
  }
  test::ExpectControlsFit(strip, controls, QString("browser-strip-") + c.Name);
  EXPECT_EQ(strip->height(), strip->Height());
  EXPECT_GE(strip->height(), TShlCtrlPanel::kHeight);
  EXPECT_EQ(strip->geometry().bottom(), column.contentsRect().bottom());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, StripFitTest,
    ::testing::Values(TStripFitCase{"WiderFont", 1.5, nullptr, TShellPanel::kWidth},
                      TStripFitCase{"LongerCaption", 1,
                                    "Picture size of the video:", TShellPanel::kWidth},
                      TStripFitCase{"WiderFontNarrowColumn", 1.5, nullptr, 200}),
    [](const auto& info) { return std::string(info.param.Name); });

// The strip as a person sees it; the picture is kept for a look.
TEST_F(ColumnTest, TheTreeStandsAboveTheInformationAndIsSavedAsAPicture) {
  TShellPanel column;
  auto* grid = new QListWidget;
  grid->addItems(
      {"Desktop", "  Computer", "  Home", "    Videos", "      holiday.mp4", "      beach.jpg"});
  column.SetGrid(grid);
  column.resize(TShellPanel::kWidth, 360);
  column.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&column));
  column.InfoPanel()->ShowInfo({}, Video(720, 576, 25, 2));
  QCoreApplication::processEvents();
  // The tree stands above the information panel, both across the strip and drawn.
  const QImage shot = column.grab().toImage();
  const QRect tree = test::PlaceIn(&column, grid),
              info = test::PlaceIn(&column, column.InfoPanel());
  EXPECT_TRUE(column.InfoPanel()->isVisible());
  EXPECT_LE(tree.bottom(), info.top());
  test::ExpectLaidOut(&column, {grid, column.InfoPanel()}, shot);
  QDir().mkpath(VEXO_BIN_DIR "/../screenshots");
  EXPECT_TRUE(shot.save(VEXO_BIN_DIR "/../screenshots/column.png"));
}

}  // namespace
}  // namespace vexo

namespace vexo {
namespace {

// The strip's date and time: a file's time in the user's zone, a picture's
// own recording time as it stands; neither names a zone.
struct TStripDateCase {
  const char* name;
  QDateTime date;
  const char* dateText;
  const char* timeText;
};

void PrintTo(const TStripDateCase& c, std::ostream* out) {
  *out << c.name;
}

class StripDateTest : public ColumnTest, public ::testing::WithParamInterface<TStripDateCase> {
 protected:
  void SetUp() override {
    ColumnTest::SetUp();
    FZone = qgetenv("TZ");
    qputenv("TZ", "Asia/Tokyo");
    tzset();
  }
  void TearDown() override {
    if (FZone.isNull())
      qunsetenv("TZ");
    else
      qputenv("TZ", FZone);
    tzset();
    ColumnTest::TearDown();
  }
  QByteArray FZone;
};

TEST_P(StripDateTest, ShowsLocalTimeWithoutAZone) {
  TMediaInfo photo;
  photo.BiggestWidth = 640;
  photo.BiggestHeight = 480;
  photo.TotalFrames = 1;
  TShlCtrlPanel panel;
  panel.ShowInfo({GetParam().date, 1}, photo);
  EXPECT_EQ(panel.ValueLabel(1)->text(), GetParam().dateText);
  // Some locales put a narrow blank before AM and PM.
  EXPECT_EQ(panel.ValueLabel(2)->text().replace(QChar(0x202F), ' '), GetParam().timeText);
}

INSTANTIATE_TEST_SUITE_P(
    Times, StripDateTest,
    ::testing::Values(
        // Tokyo is nine hours ahead of UTC: the file's evening is the next morning there.
        TStripDateCase{"FileTimeInUtc", QDateTime(QDate(2007, 3, 4), QTime(20, 15), Qt::UTC),
                       "Mar 5, 2007", "5:15:00 AM"},
        TStripDateCase{"RecordingTime", QDateTime(QDate(2007, 3, 5), QTime(14, 30)), "Mar 5, 2007",
                       "2:30:00 PM"},
        TStripDateCase{"NoDate", QDateTime(), "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

// The strip paints the control strips' gradient bands, not a flat face.
TEST_F(ColumnTest, StripPaintsTheGradientOfTheControlStrips) {
  TShellPanel column;
  column.SetGrid(new QListWidget);
  column.resize(TShellPanel::kWidth, 300);
  column.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&column));
  const QImage strip = column.InfoPanel()->grab().toImage();
  const QColor face = column.InfoPanel()->palette().color(QPalette::Button);
  const int x = 2;
  EXPECT_EQ(strip.pixelColor(x, TShlCtrlPanel::kHeight / 2), face);
  EXPECT_NE(strip.pixelColor(x, 0), face);
  EXPECT_LT(qGray(strip.pixelColor(x, TShlCtrlPanel::kHeight - 1).rgb()), qGray(face.rgb()));
}

}  // namespace
}  // namespace vexo
