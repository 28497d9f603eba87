#pragma once
// A native child window with an OpenGL context, laid over the picture
// rectangle of the owner window; the OpenGL devices draw into it.
// A stopped player draws its picture once, and that one picture must not get
// lost: X keeps no copy of what was drawn, so whatever the server uncovers or
// adds (mapping, growing, another window moving away) comes back empty, and
// with the software drivers the first buffers shown after the window took a
// new size come out incomplete (one row of the picture). In both cases the
// window asks its owner to paint again.
#include <QImage>
#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QPointer>
#include <QWidget>
#include <QWindow>
#include <memory>

#include "engine/video/video_device.h"

namespace vexo {

class TGLVideoWindow {
 public:
  ~TGLVideoWindow() { Release(); }

  // Answers 0, veNoDisplay (no application or window) or veNoContext.
  uint32_t Create(TNativeWindow parent);
  void Release();
  bool IsValid() const { return FWindow && FContext && FContext->isValid(); }
  // Places the window over `rect`, in the owner's client coordinates.
  void SetGeometry(const TVideoRect& rect);
  // Shown again, the window comes back empty and asks its owner to paint.
  void SetVisible(bool visible);
  bool MakeCurrent();
  void SwapBuffers();
  QOpenGLFunctions* Functions() { return FContext ? FContext->functions() : nullptr; }
  QOpenGLExtraFunctions* ExtraFunctions() {
    return FContext ? FContext->extraFunctions() : nullptr;
  }
  QOpenGLContext* Context() const { return FContext.get(); }
  QSize PixelSize() const;

  // Keeps a copy of each picture as it goes to the screen: the one way to
  // look at what these windows show where the window system lends no
  // screenshot (a Wayland compositor). Off by default, as reading the
  // picture back stalls the pipeline; user-interface thread only.
  static void KeepShownPictures(bool keep);
  static QImage LastShownPicture();

 private:
  class TExposedWindow : public QWindow {
   public:
    TExposedWindow(QWindow* parent, QWidget* owner) : QWindow(parent), FOwner(owner) {}
    // Queued, so that the owner's paint never runs inside a draw.
    void RepaintOwner();

   protected:
    void exposeEvent(QExposeEvent* event) override;

   private:
    QPointer<QWidget> FOwner;
  };

  std::unique_ptr<QWindow> FForeignParent;
  std::unique_ptr<TExposedWindow> FWindow;
  // Buffers still to be shown before one at the current size is known to have
  // reached the screen whole.
  int FUnsettledSwaps = 0;
  std::unique_ptr<QOpenGLContext> FContext;
};

// Compiles and links a program from GLSL sources; answers 0 or veShader.
uint32_t BuildProgram(QOpenGLShaderProgram& program, const char* vertex, const char* fragment);

}  // namespace vexo
