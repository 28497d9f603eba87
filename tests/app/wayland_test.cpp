// The player as a native Wayland client, under a private headless weston that
// draws in software: the video panel opens, a clip plays to its end in every
// video mode, and the picture read back from the video window shows the
// clip's colours, in full screen too. An X server beside the compositor must
// not be asked about Wayland windows.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QWindow>
#include <algorithm>
#include <cstring>
#include <memory>

#include "app/common/language_list.h"
#include "app/player/av_control_panel.h"
#include "app/player/av_panel.h"
#include "app/player/player_widget.h"
#include "app/player/track_bar.h"
#include "app/shell/main_form.h"
#include "app/shell/player_page.h"
#include "engine/media/av_log.h"
#include "engine/media/av_types.h"
#include "engine/video/av_screen.h"
#include "event_wait.h"
#include "platform/gl_video_window.h"
#include "platform/video_system.h"
#include "settings_sandbox.h"
#include "tests/support/captured_log.h"
#include "tests/support/desktop_app.h"
#include "tests/support/test_media.h"

// What the desktop libraries keep until exit is theirs (Mesa's driver, the
// Wayland client library's proxies, fontconfig); our own code is not suppressed.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libEGL_mesa\nleak:swrast_dri\nleak:libLLVM\nleak:libwayland-client\n"
         "leak:libfontconfig.so\nleak:libQt6WaylandClient\n";
}

namespace vexo {
namespace {

// Qt unloads its platform plugins, and Mesa its driver, before the leak
// checker runs: what they keep until exit would show without a name, and a
// scan of unmapped memory fails. Keeping them mapped lets them be named.
void KeepDesktopLibrariesMapped() {
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void*) {
        const char* name = info->dlpi_name;
        if (name && (std::strstr(name, "/plugins/") || std::strstr(name, "_dri.so") ||
                     std::strstr(name, "libEGL")))
          dlopen(name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
        return 0;
      },
      nullptr);
}

// The compositor and the one application of the test program.
class TWaylandDesktop : public test::TDesktopApp {
 public:
  TWaylandDesktop() : TDesktopApp("wayland_test", {.Screen = test::TScreen::Wayland}) {}
  void SetUp() override {
    TDesktopApp::SetUp();
    if (!Ready()) return;
    Video = std::make_unique<TDesktopVideoSystem>();
    CreateLog(nullptr, 0);
    LResList.LoadFile(VEXO_SOURCE_DIR "/resources/language/English.lrf");
  }
  void TearDown() override {
    FreeLog();
    Video.reset();
    KeepDesktopLibrariesMapped();
    TDesktopApp::TearDown();
  }
};

TWaylandDesktop* const desktop = test::AddDesktopApp<TWaylandDesktop>();

using test::Settle;
using test::WaitFor;

// Mean colour of one cell of a grid laid over the picture.
QColor CellColour(const QImage& picture, int column, int row, int cells) {
  const int x0 = picture.width() * column / cells, x1 = picture.width() * (column + 1) / cells;
  const int y0 = picture.height() * row / cells, y1 = picture.height() * (row + 1) / cells;
  long r = 0, g = 0, b = 0, n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x, ++n) {
      const QRgb p = picture.pixel(x, y);
      r += qRed(p), g += qGreen(p), b += qBlue(p);
    }
  return n ? QColor(int(r / n), int(g / n), int(b / n)) : QColor();
}

// Pixels whose channels lie far apart: the clip's colours, not greys.
double ColouredShare(const QImage& picture) {
  long coloured = 0;
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < picture.width(); ++x) {
      const QRgb p = picture.pixel(x, y);
      const int high = std::max({qRed(p), qGreen(p), qBlue(p)});
      const int low = std::min({qRed(p), qGreen(p), qBlue(p)});
      coloured += high - low > 100;
    }
  return double(coloured) / std::max<qsizetype>(1, qsizetype(picture.width()) * picture.height());
}

// Colour bars, every frame a key frame: a picture that falls behind on a busy
// machine is caught up by the next frame, never by a jump to the end.
constexpr const char* kClip = "mjpeg.avi";

constexpr const char* kNoOverlay =
    "CheckVModeSupport: Video card doesn't support Overlay in current mode";

bool Logged(test::TCapturedLog& log, const std::string& line) {
  const std::vector<std::string>& lines = log.Lines();
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class WaylandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(desktop->Ready());
    test::LoadMediaLib();
    TGLVideoWindow::KeepShownPictures(true);
    Window = std::make_unique<QWidget>();
    auto* layout = new QVBoxLayout(Window.get());
    layout->setContentsMargins(0, 0, 0, 0);
    Panel = new TAVPanel(Window.get());
    layout->addWidget(Panel);
    Panel->Init([this] { SwitchFullScreen(); }, [] {}, {});
    Window->resize(640, 480);
    Window->show();
    ASSERT_TRUE(WaitFor([this] {
      return Window->windowHandle() && Window->windowHandle()->isExposed() &&
             Panel->PlayerWidget()->isVisible();
    }));
  }
  void TearDown() override {
    Window.reset();
    TGLVideoWindow::KeepShownPictures(false);
    AVParams = DefaultAVParams;
  }

  void SwitchFullScreen() {
    if (Panel->IsFullScreen())
      Window->showFullScreen();
    else
      Window->showNormal();
  }

  TAVPlayer& Player() { return *Panel->Player(); }
  TAVScreen& Screen() { return *Player().Screen(); }

  // Plays from the start to the end; answers the furthest position the bar showed.
  int PlayToTheEnd() {
    TCTrackBar& bar = *Panel->ControlPanel()->PositionBar();
    int furthest = 0;
    Player().SetState(psPlaying);
    EXPECT_EQ(Player().State(), psPlaying);
    EXPECT_TRUE(WaitFor([&] {
      furthest = std::max(furthest, bar.Position());
      return Player().State() != psPlaying;
    }));
    EXPECT_EQ(Player().State(), psStopped);
    return furthest;
  }

  // The picture as the video window shows it: the raster mode paints into
  // the widget, which renders itself again on request; the OpenGL modes draw
  // into a window of their own, whose last picture is kept.
  QImage ShownPicture() {
    if (Screen().FVideoMode != vmRaster) return TGLVideoWindow::LastShownPicture();
    const TVideoRect r = Screen().FDisplayRect;
    return Panel->PlayerWidget()->grab().toImage().copy(r.Left, r.Top, r.Right - r.Left + 1,
                                                        r.Bottom - r.Top + 1);
  }

  // Shows the current frame afresh and compares what the window shows with
  // the frame the player holds (its snapshot), cell by cell.
  void ExpectTheFrameShown(bool grey) {
    Panel->PlayerWidget()->update();
    Player().PaintFrame(true);
    Settle(300);
    const QImage shown = ShownPicture().convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(shown.isNull());
    const TVideoRect r = Screen().FDisplayRect;
    EXPECT_EQ(shown.size(), QSize(r.Right - r.Left + 1, r.Bottom - r.Top + 1));
    const QString snapshotFile = Dir.filePath("frame.jpg");
    ASSERT_TRUE(Panel->SaveFrame(snapshotFile));
    const QImage frame = QImage(snapshotFile)
                             .scaled(shown.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                             .convertToFormat(QImage::Format_RGB32);
    if (const char* dir = std::getenv("VEXO_TEST_GRAB_DIR"))
      shown.save(QString("%1/wayland-mode%2%3.png")
                     .arg(dir)
                     .arg(Screen().FVideoMode)
                     .arg(Panel->IsFullScreen() ? "-full" : ""));
    if (grey) {
      EXPECT_LT(ColouredShare(shown), 0.001);
    } else {
      // testsrc2 is mostly saturated colour.
      EXPECT_GT(ColouredShare(shown), 0.3);
    }
    constexpr int kCells = 6;
    for (int row = 0; row < kCells; ++row)
      for (int column = 0; column < kCells; ++column) {
        const QColor a = CellColour(shown, column, row, kCells);
        const QColor b = CellColour(frame, column, row, kCells);
        SCOPED_TRACE(testing::Message() << "cell " << column << "," << row);
        if (grey) {
          EXPECT_NEAR(qGray(a.rgb()), qGray(b.rgb()), 24);
        } else {
          EXPECT_NEAR(a.red(), b.red(), 40);
          EXPECT_NEAR(a.green(), b.green(), 40);
          EXPECT_NEAR(a.blue(), b.blue(), 40);
        }
      }
  }

  std::unique_ptr<QWidget> Window;
  TAVPanel* Panel = nullptr;
  QTemporaryDir Dir;
};

TEST_F(WaylandTest, TheToolkitRunsAsANativeWaylandClient) {
  EXPECT_EQ(QGuiApplication::platformName(), "wayland");
  EXPECT_EQ(qgetenv("DISPLAY"), "");
}

TEST_F(WaylandTest, TheMainWindowOpensAndPlaysAClipWithItsDefaultMode) {
  Window.reset();
  test::TSettingsSandbox sandbox;
  TPLMainForm form;
  ASSERT_TRUE(form.Created());
  form.show();
  ASSERT_TRUE(WaitFor([&] { return form.windowHandle() && form.windowHandle()->isExposed(); }));
  Panel = form.Page()->VideoPanel();
  Panel->PlayFile(QString::fromStdString(test::MediaPath(kClip)), AVParams.VideoMode);
  ASSERT_EQ(Player().State(), psStopped) << Player().ErrorText();
  EXPECT_EQ(Screen().FVideoMode, vmGLShader);
  const int length = Panel->ControlPanel()->PositionBar()->Max();
  EXPECT_GE(PlayToTheEnd(), length - length / 20);
  ExpectTheFrameShown(false);
  // For a look by eye: the window's own drawing with the video window's
  // picture laid in where the compositor shows it.
  if (const char* dir = std::getenv("VEXO_TEST_GRAB_DIR")) {
    QImage shot = form.grab().toImage();
    QPainter painter(&shot);
    const TVideoRect r = Screen().FDisplayRect;
    painter.drawImage(Panel->PlayerWidget()->mapTo(&form, QPoint(r.Left, r.Top)), ShownPicture());
    painter.end();
    shot.save(QString("%1/wayland-main-window.png").arg(dir));
  }
}

struct TModeCase {
  const char* Name;
  uint8_t Requested;
  uint8_t Shown;
  bool Grey;
};

class WaylandModeTest : public WaylandTest, public ::testing::WithParamInterface<TModeCase> {};

TEST_P(WaylandModeTest, AClipPlaysToTheEndAndItsColoursReachTheWindow) {
  const TModeCase& c = GetParam();
  test::TCapturedLog log;
  AVParams.VideoMode = c.Requested;
  Panel->PlayFile(QString::fromStdString(test::MediaPath(kClip)), c.Requested);
  ASSERT_EQ(Player().State(), psStopped) << Player().ErrorText();
  EXPECT_EQ(Screen().FVideoMode, c.Shown) << ::testing::PrintToString(log.Lines());
  // A swap that waited for the compositor would hold the interface thread
  // at every picture; the video thread paces them itself.
  if (c.Shown != vmRaster) {
    int videoWindows = 0;
    for (QWindow* window : QGuiApplication::allWindows())
      if (window->parent() && window->surfaceType() == QSurface::OpenGLSurface) {
        ++videoWindows;
        EXPECT_EQ(window->requestedFormat().swapInterval(), 0);
      }
    EXPECT_EQ(videoWindows, 1);
  }
  // The bar counts milliseconds; the last frame starts one frame before the end.
  const int length = Panel->ControlPanel()->PositionBar()->Max();
  EXPECT_GE(PlayToTheEnd(), length - length / 20)
      << Player().ErrorText() << ::testing::PrintToString(log.Lines());
  ExpectTheFrameShown(c.Grey);
  if (c.Requested == vmXVideo) {
    EXPECT_TRUE(Logged(log, kNoOverlay));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, WaylandModeTest,
    ::testing::Values(TModeCase{"OverlayFallsBackToRaster", vmXVideo, vmRaster, false},
                      TModeCase{"Blit", vmGLShader, vmGLShader, false},
                      TModeCase{"Raster", vmRaster, vmRaster, false},
                      TModeCase{"GreyTexture", vmGLTextureGrey, vmGLTextureGrey, true},
                      TModeCase{"ColourTexture", vmGLTextureArgb, vmGLTextureArgb, false}),
    [](const auto& info) { return std::string(info.param.Name); });

class WaylandFullScreenTest : public WaylandTest, public ::testing::WithParamInterface<uint8_t> {};

TEST_P(WaylandFullScreenTest, FullScreenFillsTheOutputWithThePicture) {
  AVParams.VideoMode = GetParam();
  Panel->PlayFile(QString::fromStdString(test::MediaPath(kClip)), GetParam());
  ASSERT_EQ(Screen().FVideoMode, GetParam());
  ASSERT_TRUE(Panel->ToggleFullScreen());
  const QSize output = Window->screen()->size();
  ASSERT_TRUE(WaitFor([&] { return Window->size() == output; }))
      << Window->width() << "x" << Window->height();
  Settle(300);
  EXPECT_FALSE(Panel->ControlPanel()->isVisible());
  // A 4:3 clip on the 4:3 output: the picture fills it.
  const TVideoRect r = Screen().FDisplayRect;
  EXPECT_EQ(r.Right - r.Left + 1, output.width());
  EXPECT_EQ(r.Bottom - r.Top + 1, output.height());
  // Software drawing of the whole output may fall behind on a busy machine;
  // the player catches up and still reaches the last frame.
  const int length = Panel->ControlPanel()->PositionBar()->Max();
  EXPECT_GE(PlayToTheEnd(), length - length / 20);
  ExpectTheFrameShown(false);
  Panel->SetFullScreen(false);
  EXPECT_TRUE(WaitFor([&] { return Window->size() != output; }));
}

INSTANTIATE_TEST_SUITE_P(Modes, WaylandFullScreenTest,
                         ::testing::Values(uint8_t(vmGLShader), uint8_t(vmRaster), uint8_t(vmGLTextureArgb)),
                         [](const auto& info) { return "Mode" + std::to_string(info.param); });

// A Wayland session usually runs an X server beside it for older programs;
// the overlay must not take the Wayland window for an X window there.
TEST_F(WaylandTest, AnXServerBesideTheCompositorIsNotAskedAboutWaylandWindows) {
  test::TXServer x;
  ASSERT_TRUE(x.Running());
  setenv("DISPLAY", x.DisplayName().c_str(), 1);
  test::TCapturedLog log;
  AVParams.VideoMode = vmXVideo;
  Panel->PlayFile(QString::fromStdString(test::MediaPath(kClip)), vmXVideo);
  unsetenv("DISPLAY");
  ASSERT_EQ(Player().State(), psStopped) << Player().ErrorText();
  EXPECT_EQ(Screen().FVideoMode, vmRaster);
  EXPECT_TRUE(Logged(log, kNoOverlay));
}

}  // namespace
}  // namespace vexo
