// The screen's real back ends in a real window of a private X server: each
// mode shows a test picture, which is read back from what the server shows.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <memory>

#include "engine/video/av_screen.h"
#include "platform/raster_video_device.h"
#include "platform/video_system.h"
#include "tests/support/captured_log.h"
#include "tests/support/desktop_app.h"

// Under LeakSanitizer: what the desktop libraries keep until exit is theirs
// (the session bus client, Mesa's driver); our own code is not suppressed.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libdbus-1\nleak:libGLX_mesa\nleak:swrast_dri\nleak:libLLVM\nleak:libxcb\n";
}

namespace vexo {
namespace {

// The X server and the application for the whole test program. Mesa unloads
// its driver at exit, which would leave its leftovers unnamed for the leak
// checker; keeping it mapped lets them be suppressed.
::testing::Environment* const desktop = test::AddDesktopApp(
    "video_screen_test", test::TDesktopParts{}, false,
    [] { dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_NOW | RTLD_NODELETE); });

QColor ColorOf(uint32_t rgb) {
  return QColor(int(rgb & 0xFF), int((rgb >> 8) & 0xFF), int((rgb >> 16) & 0xFF));
}

// Stands in for the player control: a native window that paints the
// background colour around the picture and hands the screen its paint path.
class TTestVideoWidget : public QWidget {
 public:
  TTestVideoWidget() : Canvas(this) {
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setGeometry(100, 100, 480, 270);
  }
  TRasterVideoCanvas Canvas;
  TAVScreen* Screen = nullptr;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.fillRect(rect(), ColorOf(AVParams.BackColor));
    if (!Screen) return;
    Canvas.BeginPaint(&painter);
    Screen->ShowFrame();
    Canvas.EndPaint();
  }
};

void Pump(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Quadrants of the test picture: top-left red, top-right green, bottom-left
// blue, bottom-right white. As Y, U, V (BT.601, limited range, what an
// untagged standard-definition picture is taken for) and as B, G, R; and the
// grey of the luma alone, expanded to full range.
struct TQuadrant {
  uint8_t y, u, v;
  uint8_t b, g, r;
  uint8_t grey;
};
constexpr TQuadrant kBt601Quadrants[4] = {{81, 90, 240, 0, 0, 255, 76},
                                          {145, 54, 34, 0, 255, 0, 150},
                                          {41, 240, 110, 255, 0, 0, 29},
                                          {235, 128, 128, 255, 255, 255, 255}};
// The same colours in BT.709 (a high-definition picture's matrix).
constexpr TQuadrant kBt709Quadrants[4] = {{63, 102, 240, 0, 0, 255, 55},
                                          {173, 42, 26, 0, 255, 0, 183},
                                          {32, 240, 118, 255, 0, 0, 19},
                                          {235, 128, 128, 255, 255, 255, 255}};
// The picture the tests fill and expect.
const TQuadrant* Quadrants = kBt601Quadrants;

int QuadrantAt(int x, int y, int w, int h) {
  return (y >= h / 2 ? 2 : 0) + (x >= w / 2 ? 1 : 0);
}

// Writes the test picture into the frame buffer in the screen's layout, as
// the converter would.
void FillTestPicture(TAVScreen& screen) {
  const int w = screen.Ovr_Width, h = screen.Ovr_Height;
  uint8_t* buf = screen.FFrameBuf;
  if (screen.FFourCC == FCC_ARGB) {
    screen.FFrameLineBytes = w * 4;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const TQuadrant& q = Quadrants[QuadrantAt(x, y, w, h)];
        uint8_t* p = buf + size_t(h - 1 - y) * w * 4 + x * 4;  // bottom-up
        p[0] = q.b, p[1] = q.g, p[2] = q.r, p[3] = 0xFF;
      }
  } else if (screen.FPlanar) {
    screen.FFrameLineBytes = w;
    const int cw = (w + 1) / 2, ch = (h + 1) / 2;
    uint8_t* v = buf + w * h;  // "YV12": V before U
    uint8_t* u = v + cw * ch;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) buf[y * w + x] = Quadrants[QuadrantAt(x, y, w, h)].y;
    for (int y = 0; y < ch; ++y)
      for (int x = 0; x < cw; ++x) {
        const TQuadrant& q = Quadrants[QuadrantAt(x * 2, y * 2, w, h)];
        u[y * cw + x] = q.u;
        v[y * cw + x] = q.v;
      }
  } else {
    screen.FFrameLineBytes = w * 2;
    const bool uyvy = screen.FFourCC == FCC_UYVY;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; x += 2) {
        const TQuadrant& q = Quadrants[QuadrantAt(x, y, w, h)];
        uint8_t* p = buf + y * w * 2 + x * 2;
        if (uyvy)
          p[0] = q.u, p[1] = q.y, p[2] = q.v, p[3] = q.y;
        else
          p[0] = q.y, p[1] = q.u, p[2] = q.y, p[3] = q.v;
      }
  }
  screen.FFrameBytes = FourCCPictureBytes(screen.FFourCC, w, h);
}

// Points of the widget in the bands beside the 4:3 picture, and the centres of
// the picture's quadrants: red, green / blue, white.
const QPoint kBandPoints[4] = {{20, 135}, {460, 135}, {55, 10}, {425, 260}};
const QPoint kQuadrantCentres[4] = {{150, 67}, {330, 67}, {150, 202}, {330, 202}};

class VideoScreenDesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AVParams = DefaultAVParams;
    AVParams.BackColor = 0x00804020;  // R 0x20, G 0x40, B 0x80
    widget.show();
    QElapsedTimer timer;
    timer.start();
    while (!(widget.windowHandle() && widget.windowHandle()->isExposed()) && timer.elapsed() < 5000)
      QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  void TearDown() override {
    widget.Screen = nullptr;
    screen.reset();
    AVParams = DefaultAVParams;
    Quadrants = kBt601Quadrants;
  }

  // A 64 x 48 (4:3) picture in the 480 x 270 (16:9) widget.
  void MakeScreen(uint8_t mode) {
    const QPoint origin = widget.mapToGlobal(QPoint(0, 0));
    screen = std::make_unique<TAVScreen>(64, 48, mode, &widget.Canvas,
                                         TNativeWindow(widget.winId()), true, origin.x(),
                                         origin.y(), widget.width(), widget.height(), 4.0f / 3.0f);
    widget.Screen = screen.get();
    FillTestPicture(*screen);
  }

  // Shows the frame and reads the widget back from the X server, child
  // windows included, until the picture is there (a busy server takes its
  // time) or ten seconds have passed.
  QImage ShowAndGrab(bool grey) {
    QImage image;
    QElapsedTimer timer;
    timer.start();
    do {
      widget.update();
      screen->ShowFrame();
      Pump(20);
      image = QGuiApplication::primaryScreen()->grabWindow(widget.winId()).toImage();
    } while (!PictureShown(image, grey) && timer.elapsed() < 10000);
    // Kept for a look by eye when asked for.
    if (const char* dir = std::getenv("VEXO_TEST_GRAB_DIR"))
      image.save(QString("%1/mode%2.png").arg(dir).arg(screen->FVideoMode));
    return image;
  }

  // The picture's quadrants and the bands beside it, in the colours they should have.
  static bool PictureShown(const QImage& image, bool grey) {
    if (image.isNull()) return false;
    const QColor back = ColorOf(AVParams.BackColor);
    auto near = [](const QColor& c, int r, int g, int b, int slack) {
      return std::abs(c.red() - r) <= slack && std::abs(c.green() - g) <= slack &&
             std::abs(c.blue() - b) <= slack;
    };
    for (QPoint p : kBandPoints)
      if (!near(image.pixelColor(p), back.red(), back.green(), back.blue(), 2)) return false;
    for (int i = 0; i < 4; ++i) {
      const TQuadrant& q = Quadrants[i];
      const QColor c = image.pixelColor(kQuadrantCentres[i]);
      if (grey ? !near(c, q.grey, q.grey, q.grey, 3) : !near(c, q.r, q.g, q.b, 40)) return false;
    }
    return true;
  }

  void ExpectPicture(const QImage& image, bool grey) {
    ASSERT_FALSE(image.isNull());
    ASSERT_EQ(screen->FDisplayRect, (TVideoRect{60, 0, 419, 269}));
    const QColor back = ColorOf(AVParams.BackColor);
    for (QPoint p : kBandPoints) {
      const QColor c = image.pixelColor(p);
      EXPECT_NEAR(c.red(), back.red(), 2) << p.x() << "," << p.y();
      EXPECT_NEAR(c.green(), back.green(), 2) << p.x() << "," << p.y();
      EXPECT_NEAR(c.blue(), back.blue(), 2) << p.x() << "," << p.y();
    }
    // Quadrant centres: red, green / blue, white, the right way up and round.
    for (int i = 0; i < 4; ++i) {
      const QColor c = image.pixelColor(kQuadrantCentres[i]);
      const TQuadrant& q = Quadrants[i];
      SCOPED_TRACE(testing::Message() << "quadrant " << i << " rgb " << c.red() << "," << c.green()
                                      << "," << c.blue());
      if (grey) {
        EXPECT_NEAR(c.red(), q.grey, 3);
        EXPECT_NEAR(c.green(), q.grey, 3);
        EXPECT_NEAR(c.blue(), q.grey, 3);
      } else {
        // Converted colours are the pure ones: the range is expanded and the
        // matrix is the picture's.
        EXPECT_NEAR(c.red(), q.r, 3);
        EXPECT_NEAR(c.green(), q.g, 3);
        EXPECT_NEAR(c.blue(), q.b, 3);
      }
    }
  }

  TTestVideoWidget widget;
  std::unique_ptr<TAVScreen> screen;
  TDesktopVideoSystem system;
};

TEST_F(VideoScreenDesktopTest, RasterModePaintsTheFrameBitmap) {
  MakeScreen(vmRaster);
  EXPECT_EQ(screen->FVideoMode, vmRaster);
  ExpectPicture(ShowAndGrab(false), false);
}

TEST_F(VideoScreenDesktopTest, OverlayWithoutXVideoFallsBackToRaster) {
  test::TCapturedLog log;
  MakeScreen(vmXVideo);
  EXPECT_EQ(screen->FVideoMode, vmRaster);
  EXPECT_EQ(FourCCText(screen->FFourCC), "ARGB");
  EXPECT_EQ(log.Lines(),
            std::vector<std::string>{
                "CheckVModeSupport: Video card doesn't support Overlay in current mode"});
  FillTestPicture(*screen);
  ExpectPicture(ShowAndGrab(false), false);
}

TEST_F(VideoScreenDesktopTest, BlitModeConvertsThePlanarPictureWithAShader) {
  test::TCapturedLog log;
  MakeScreen(vmGLShader);
  ASSERT_EQ(screen->FVideoMode, vmGLShader) << ::testing::PrintToString(log.Lines());
  EXPECT_EQ(FourCCText(screen->FFourCC), "YV12");
  ExpectPicture(ShowAndGrab(false), false);
  EXPECT_TRUE(log.Lines().empty()) << ::testing::PrintToString(log.Lines());
}

// The shader takes the matrix the picture's samples are in: BT.709 samples
// shown as BT.601 would put the red quadrant at (233, 0, 2) and the green
// one at (20, 255, 9).
TEST_F(VideoScreenDesktopTest, BlitModeShowsABt709PictureInItsOwnColours) {
  Quadrants = kBt709Quadrants;
  MakeScreen(vmGLShader);
  ASSERT_EQ(screen->FVideoMode, vmGLShader);
  screen->FColour = TPictureColour{TColourMatrix::Bt709, TColourRange::Limited};
  ExpectPicture(ShowAndGrab(false), false);
}

TEST_F(VideoScreenDesktopTest, BlitModeConvertsPackedPictures) {
  AVParams.Planar = 0;
  MakeScreen(vmGLShader);
  ASSERT_EQ(screen->FVideoMode, vmGLShader);
  EXPECT_EQ(FourCCText(screen->FFourCC), "UYVY");
  ExpectPicture(ShowAndGrab(false), false);
}

TEST_F(VideoScreenDesktopTest, GreyTextureModeShowsTheLumaPlane) {
  test::TCapturedLog log;
  MakeScreen(vmGLTextureGrey);
  ASSERT_EQ(screen->FVideoMode, vmGLTextureGrey) << ::testing::PrintToString(log.Lines());
  EXPECT_EQ(FourCCText(screen->FFourCC), "GRAY");
  ExpectPicture(ShowAndGrab(true), true);
  EXPECT_TRUE(log.Lines().empty()) << ::testing::PrintToString(log.Lines());
}

TEST_F(VideoScreenDesktopTest, ColourTextureModeShowsTheBottomUpFrameUpright) {
  test::TCapturedLog log;
  MakeScreen(vmGLTextureArgb);
  ASSERT_EQ(screen->FVideoMode, vmGLTextureArgb) << ::testing::PrintToString(log.Lines());
  EXPECT_EQ(FourCCText(screen->FFourCC), "ARGB");
  ExpectPicture(ShowAndGrab(false), false);
  EXPECT_TRUE(log.Lines().empty()) << ::testing::PrintToString(log.Lines());
}

}  // namespace
}  // namespace vexo
