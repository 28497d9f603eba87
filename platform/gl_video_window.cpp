#include "platform/gl_video_window.h"

#include <dlfcn.h>
#include <link.h>

#include <cstring>

#include <QGuiApplication>
#include <QOpenGLShaderProgram>
#include <QWidget>

#include "engine/video/video_error_text.h"

namespace vexo {

namespace {

// Mesa unloads its driver when the display's last context goes, and the
// screen is re-created at every mode switch and every file of another shape:
// loading the driver (and its code generator) again each time costs more than
// keeping it for the life of the process.
void KeepGLDriverLoaded() {
  static bool kept = false;
  if (kept) return;
  kept = true;
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void*) {
        const char* name = info->dlpi_name;
        if (name && std::strstr(name, "_dri.so"))
          dlopen(name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
        return 0;
      },
      nullptr);
}

bool keepShown = false;
QImage& LastShown() {
  static QImage picture;
  return picture;
}

// The buffer shown while the driver still has the old size and the first one
// at the new size both fail to reach the screen whole.
constexpr int kSwapsToSettle = 2;

}  // namespace

void TGLVideoWindow::KeepShownPictures(bool keep) {
  keepShown = keep;
  if (!keep) LastShown() = QImage();
}

QImage TGLVideoWindow::LastShownPicture() {
  return LastShown();
}

void TGLVideoWindow::TExposedWindow::RepaintOwner() {
  if (FOwner) FOwner->update();
}

void TGLVideoWindow::TExposedWindow::exposeEvent(QExposeEvent* event) {
  QWindow::exposeEvent(event);
  if (isExposed()) RepaintOwner();
}

uint32_t TGLVideoWindow::Create(TNativeWindow parent) {
  Release();
  if (!qGuiApp || !parent) return veNoDisplay;
  QWindow* parentWindow = nullptr;
  QWidget* owner = QWidget::find(WId(parent));
  if (owner) parentWindow = owner->windowHandle();
  if (!parentWindow) {
    FForeignParent.reset(QWindow::fromWinId(WId(parent)));
    parentWindow = FForeignParent.get();
  }
  if (!parentWindow) return veNoDisplay;
  FWindow = std::make_unique<TExposedWindow>(parentWindow, owner);
  FWindow->setSurfaceType(QSurface::OpenGLSurface);
  // Clicks belong to the owner (double click, context menu).
  FWindow->setFlag(Qt::WindowTransparentForInput);
  FWindow->setGeometry(0, 0, 1, 1);
  if (QGuiApplication::platformName() == QLatin1String("wayland")) {
    // The video thread paces the pictures. A Wayland swap that waits for the
    // compositor's frame callback blocks the user-interface thread, for up
    // to a tenth of a second where the callbacks of a child surface come
    // late; the picture falls behind and playback skips ahead to the next
    // key frame. A compositor never tears, so nothing is lost without it.
    QSurfaceFormat format = FWindow->requestedFormat();
    format.setSwapInterval(0);
    FWindow->setFormat(format);
  }
  FWindow->create();
  FContext = std::make_unique<QOpenGLContext>();
  FContext->setFormat(FWindow->requestedFormat());
  if (!FContext->create() || !FContext->makeCurrent(FWindow.get())) {
    Release();
    return veNoContext;
  }
  KeepGLDriverLoaded();
  FWindow->show();
  FUnsettledSwaps = kSwapsToSettle;
  return veOk;
}

void TGLVideoWindow::Release() {
  if (FContext) FContext->doneCurrent();
  FContext.reset();
  FWindow.reset();
  FForeignParent.reset();
  FUnsettledSwaps = 0;
}

void TGLVideoWindow::SetGeometry(const TVideoRect& rect) {
  if (!FWindow) return;
  const QRect geometry(rect.Left, rect.Top, rect.Right - rect.Left + 1, rect.Bottom - rect.Top + 1);
  if (FWindow->geometry() == geometry) return;
  if (FWindow->size() != geometry.size()) FUnsettledSwaps = kSwapsToSettle;
  FWindow->setGeometry(geometry);
}

void TGLVideoWindow::SetVisible(bool visible) {
  if (!FWindow || FWindow->isVisible() == visible) return;
  FWindow->setVisible(visible);
  if (visible) FUnsettledSwaps = kSwapsToSettle;
}

bool TGLVideoWindow::MakeCurrent() {
  return IsValid() && FContext->makeCurrent(FWindow.get());
}

void TGLVideoWindow::SwapBuffers() {
  if (!IsValid()) return;
  if (keepShown) {
    const QSize size = PixelSize();
    QImage picture(size, QImage::Format_RGBA8888);
    FContext->functions()->glReadPixels(0, 0, size.width(), size.height(), GL_RGBA,
                                        GL_UNSIGNED_BYTE, picture.bits());
    // OpenGL rows run bottom-up.
    LastShown() = picture.mirrored();
  }
  FContext->swapBuffers(FWindow.get());
  if (FUnsettledSwaps > 0) {
    --FUnsettledSwaps;
    FWindow->RepaintOwner();
  }
}

QSize TGLVideoWindow::PixelSize() const {
  return FWindow ? FWindow->size() * FWindow->devicePixelRatio() : QSize();
}

uint32_t BuildProgram(QOpenGLShaderProgram& program, const char* vertex, const char* fragment) {
  if (program.addShaderFromSourceCode(QOpenGLShader::Vertex, vertex) &&
      program.addShaderFromSourceCode(QOpenGLShader::Fragment, fragment) && program.link())
    return veOk;
  qWarning("OpenGL program: %s", qPrintable(program.log()));
  return veShader;
}

}  // namespace vexo
