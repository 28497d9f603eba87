// The about box and the sibling product's panel in real windows on a private
// X server, with a private home; the desktop's browser and mail program are
// stood in for by a catcher of the addresses opened.
#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <map>
#include <random>

#include "app/shell/about_dialog.h"
#include "app/shell/mirra_ad_panel.h"
#include "platform/process_memory.h"
#include "settings_sandbox.h"
#include "url_catcher.h"
#include "xvfb_qt_app.h"

namespace vexo {
namespace {

class AboutBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test::XvfbQtApp()) << "Xvfb did not start";
    Sandbox = std::make_unique<test::TSettingsSandbox>();
  }
  void TearDown() override { Sandbox.reset(); }
  // Our own stand-in for the sibling product's picture.
  void WritePicture(const QString& path, QSize size = {800, 600}) {
    QImage picture(size, QImage::Format_RGB32);
    picture.fill(QColor(0x20, 0x50, 0x90));
    QPainter painter(&picture);
    painter.setPen(Qt::white);
    painter.setFont(QFont("Verdana", 40));
    painter.drawText(picture.rect(), Qt::AlignCenter, "Vexo DVD Mirra");
    painter.end();
    ASSERT_TRUE(picture.save(path, "PNG"));
  }
  std::unique_ptr<test::TSettingsSandbox> Sandbox;
};

TEST_F(AboutBoxTest, ShowsProductVersionMakerAndMemory) {
  test::TBoxRecorder missingTexts;
  TAboutDialog box;
  EXPECT_TRUE(missingTexts.Boxes.empty()) << missingTexts.Boxes[0].Text.toStdString();
  box.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
  EXPECT_EQ(box.size(), QSize(389, 411));
  EXPECT_EQ(box.Title->text(), "Vexo Player");
  EXPECT_TRUE(box.Version->text().startsWith("Version 1.5   (built "))
      << box.Version->text().toStdString();
  EXPECT_EQ(TAboutDialog::VersionLine("/no/such/program"), "Version 1.5");
  const int mb = TAboutDialog::MegaBytes(TotalMemory());
  EXPECT_GT(mb, 0);
  EXPECT_EQ(box.Memory->text(), QString("Memory of this computer: %1 MB").arg(mb));
  EXPECT_TRUE(box.License->isReadOnly());
  EXPECT_TRUE(box.License->toPlainText().contains("FFmpeg"));
  EXPECT_TRUE(box.License->toPlainText().contains("LGPL.TXT"));
  EXPECT_EQ(box.OK->geometry(), QRect(136, 368, 100, 28));
  // The two links line up, right of their captions.
  EXPECT_EQ(box.Link->x(), box.LinkEmail->x());
  EXPECT_GE(box.Link->x(), 12 + 12);
  QTest::qWait(30);
  EXPECT_TRUE(box.grab().save(VEXO_BIN_DIR "/../about.png"));
}

TEST_F(AboutBoxTest, MemoryRoundsHalvesToEven) {
  const std::pair<int64_t, int> cases[] = {{0, 0},
                                           {1048576 * 3 / 2, 2},
                                           {1048576 * 5 / 2, 2},
                                           {1048576 * 7 / 2, 4},
                                           {1048576 + 1048576 / 4, 1}};
  for (const auto& [bytes, mb] : cases) EXPECT_EQ(TAboutDialog::MegaBytes(bytes), mb) << bytes;
}

TEST_F(AboutBoxTest, LinksOpenTheWebPageAndAMailAndEnterCloses) {
  test::TUrlCatcher desktop;
  TAboutDialog box;
  box.open();
  box.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&box));
  for (QLabel* link : {box.Link, box.LinkEmail})
    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(link->width() / 2, link->height() / 2));
  ASSERT_EQ(desktop.Urls.size(), 2u);
  EXPECT_EQ(desktop.Urls[0], QUrl(LResList.GetText("AboutDialog", 7)));
  EXPECT_EQ(desktop.Urls[1].scheme(), "mailto");
  EXPECT_EQ(desktop.Urls[1].path(), LResList.GetText("AboutDialog", 8));
  QTest::keyClick(&box, Qt::Key_Return);
  EXPECT_FALSE(box.isVisible());
  EXPECT_EQ(box.result(), QDialog::Accepted);
}

TEST_F(AboutBoxTest, PictureFitsTheAreaAboveTheStrip) {
  struct {
    QSize Picture, Area;
    QRect Drawn;
  } const cases[] = {
      {{800, 600}, {400, 400}, {0, 50, 400, 300}},
      {{600, 800}, {400, 400}, {50, 0, 300, 400}},
      {{100, 100}, {301, 200}, {51, 0, 200, 200}},  // offset rounded
      {{4, 100}, {400, 400}, {}},
      {{800, 600}, {400, 4}, {}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TMirraAdPanel::PictureRect(c.Picture, c.Area), c.Drawn)
        << c.Picture.width() << "x" << c.Picture.height();
}

TEST_F(AboutBoxTest, PanelCoversItsParentOpensThePageAndHidesForHalfAYear) {
  TOptions options(Sandbox->ProgramDir());
  options.LoadSave(false);
  WritePicture(options.SkinMarkerPath());
  QWidget area;
  area.resize(640, 480);
  area.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&area));
  auto* panel = new TMirraAdPanel(options);
  {
    test::TBoxRecorder missingTexts;
    panel->Init(&area);
    EXPECT_TRUE(missingTexts.Boxes.empty());
  }
  EXPECT_EQ(panel->Picture().size(), QSize(800, 600));
  EXPECT_EQ(panel->geometry(), area.rect());
  area.resize(700, 500);
  QTest::qWait(20);
  EXPECT_EQ(panel->geometry(), QRect(0, 0, 700, 500));
  QLabel* link = panel->HideLink();
  const QPoint linkAt = link->mapTo(panel, QPoint(0, 0));
  EXPECT_EQ(linkAt.y(), 500 - TMirraAdPanel::kStripHeight + 8);
  EXPECT_LE(std::abs(linkAt.x() * 2 + link->width() - 700), 1);
  EXPECT_TRUE(area.grab().save(VEXO_BIN_DIR "/../sibling_panel.png"));

  test::TUrlCatcher desktop;
  QTest::mouseClick(panel, Qt::LeftButton, {}, QPoint(350, 200));
  ASSERT_EQ(desktop.Urls.size(), 1u);
  EXPECT_EQ(desktop.Urls[0], QUrl(TMirraAdPanel::ProductPage()));
  QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(5, link->height() / 2));
  EXPECT_FALSE(panel->isVisible());
  EXPECT_EQ(desktop.Urls.size(), 1u);
  EXPECT_EQ(options.GetOption(oPlayMirraDay).GetInt(), test::TSettingsSandbox::kToday + 180);
}

struct TMirraCase {
  const char* Name;
  bool Picture, Sibling, Portable;
};

void PrintTo(const TMirraCase& c, std::ostream* os) {
  *os << c.Name;
}

class MirraDaysTest : public AboutBoxTest, public ::testing::WithParamInterface<TMirraCase> {};

// Two months of three starts a day, each loading and at exit saving the
// settings as the program does.
TEST_P(MirraDaysTest, ShowsAtMostOnceADayAndNeverWhereItMustNot) {
  const TMirraCase& c = GetParam();
  Sandbox->Drives.Kind = c.Portable ? dkRemovable : dkFixed;
  if (c.Picture) WritePicture(Sandbox->ProgramDir() + "/VexoPlayer.skn", {64, 48});
  if (c.Sibling) {
    QDir().mkpath(QFileInfo(TOptions::SiblingProductMarker()).absolutePath());
    QFile marker(TOptions::SiblingProductMarker());
    ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
  }
  const int first = test::TSettingsSandbox::kToday;
  int today = first;
  TOptions::Today = [&today] { return today; };
  std::mt19937 random(11);
  TOptions::Random = [&random] { return std::uniform_real_distribution<double>(0, 1)(random); };
  std::map<int, int> shows;
  for (today = first; today < first + 60; ++today)
    for (int start = 0; start < 3; ++start) {
      TOptions options(Sandbox->ProgramDir());
      options.LoadSave(false);
      if (options.ShowMirraPanelToday()) ++shows[today];
      options.LoadSave(true);
    }
  if (c.Sibling) {
    // Checked first on the third day, then put off for half a year.
    TOptions options(Sandbox->ProgramDir());
    options.LoadSave(false);
    EXPECT_EQ(options.GetOption(oPlayMirraDay).GetInt(), first + 2 + 180);
  }
  if (!c.Picture || c.Sibling || c.Portable) {
    EXPECT_TRUE(shows.empty()) << shows.begin()->first - first;
    return;
  }
  ASSERT_GE(shows.size(), 3u);
  EXPECT_GE(shows.begin()->first, first + 2) << "never on the first two days";
  int last = -100;
  for (const auto& [day, count] : shows) {
    EXPECT_EQ(count, 1) << "day " << day - first;
    EXPECT_GE(day - last, 3) << "day " << day - first;
    last = day;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, MirraDaysTest,
                         ::testing::Values(TMirraCase{"Shown", true, false, false},
                                           TMirraCase{"NoPicture", false, false, false},
                                           TMirraCase{"SiblingInstalled", true, true, false},
                                           TMirraCase{"Portable", true, false, true}),
                         [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace vexo

#include "moc_url_catcher.cpp"
