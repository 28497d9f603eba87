#pragma once
// The video screen: the frame buffer the decoder converts into, one of five
// output paths to the window, the rectangle the picture fills with its aspect
// kept, and the recovery from lost surfaces and devices. Any output path that
// cannot be set up falls back to raster painting, which always works.
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "engine/media/av_types.h"
#include "engine/video/av_screen_utils.h"
#include "engine/video/plane_scene.h"
#include "engine/video/video_device.h"

namespace vexo {

// Bytes on cache-line boundaries: the converters store whole vectors into a
// row that starts on one, and split them across lines otherwise.
template <class T>
struct TCacheLineAllocator {
  using value_type = T;
  static constexpr std::align_val_t Alignment{64};
  TCacheLineAllocator() = default;
  template <class U>
  TCacheLineAllocator(const TCacheLineAllocator<U>&) {}
  T* allocate(size_t n) { return static_cast<T*>(::operator new(n * sizeof(T), Alignment)); }
  void deallocate(T* p, size_t) { ::operator delete(p, Alignment); }
  template <class U>
  bool operator==(const TCacheLineAllocator<U>&) const {
    return true;
  }
};

class TAVScreen {
 public:
  TAVScreen(int32_t width, int32_t height, uint8_t mode, TVideoCanvas* canvas, TNativeWindow window,
            bool planarAllowed, int32_t winLeft, int32_t winTop, int32_t winWidth,
            int32_t winHeight, float aspect);
  ~TAVScreen();
  TAVScreen(const TAVScreen&) = delete;
  TAVScreen& operator=(const TAVScreen&) = delete;

  void ReInit(int32_t width, int32_t height, bool force, uint8_t mode, TVideoCanvas* canvas,
              TNativeWindow window, bool planarAllowed, int32_t winLeft, int32_t winTop,
              int32_t winWidth, int32_t winHeight, float aspect);
  void RecreateDevice(int32_t winLeft, int32_t winTop, TVideoCanvas* canvas, TNativeWindow window,
                      int32_t winWidth, int32_t winHeight);
  void SetAspect(float aspect);
  void SetWindowRect(int32_t left, int32_t top, bool updateOverlay, int32_t height, int32_t width);
  void SetColorKey(uint32_t color);
  void ClearSurface();
  // Takes the picture off the screen until the next one is shown, so that
  // the owner's painting shows in the picture's place.
  void HidePicture();
  void ShowFrame();
  void UpdateOverlay(bool hide = false);

  void BeginUpdate() { ++FBusy; }
  void EndUpdate() { --FBusy; }
  bool IsBusy() const { return FBusy > 0; }

  // The frame-buffer contract with the decoder.
  uint8_t* FFrameBuf = nullptr;
  int32_t FFrameStride = 0;
  int32_t FFrameBufSize = 0;
  int32_t FFrameBytes = 0;
  int32_t FFrameLineBytes = 0;
  // What the Y, Cb, Cr samples of the frame buffer mean.
  TPictureColour FColour;
  // The frame buffer holds the picture's own samples of high dynamic range,
  // laid out as AV_PIX_FMT_YUV420P16 at Ovr_Width x Ovr_Height, for the
  // device to tone-map (see DeviceToneMaps); otherwise FPixFmt.
  bool FFrameDeep = false;
  std::string FErrMsg;
  std::string FErrFile;
  TVideoRect FDisplayRect;
  bool FChanged = false;
  int32_t Ovr_Width = 0;
  int32_t Ovr_Height = 0;
  int32_t FWinLeft = 0;
  int32_t FWinTop = 0;
  int32_t FWinWidth = 0;
  int32_t FWinHeight = 0;
  uint8_t FVideoMode = vmRaster;
  int32_t Ovr_LineBytes = 0;
  float FAspect = 0;
  float FPixelAspect = 0;
  int32_t FPixFmt = 0;
  bool FPlanar = false;
  TFourCC FFourCC = FCC_ARGB;

  TVideoRect FSrcRect;
  TVideoRect FDstRect;
  uint32_t FColorKey = 0;
  TSurfacePixelFormat FPixFormat;

  // The layout of the picture in the frame buffer now.
  int32_t FramePixFmt() const { return FFrameDeep ? int32_t(AV_PIX_FMT_YUV420P16) : FPixFmt; }
  // Whether the device can tone-map a picture of `pixFmt`, `colour`
  // (resolved) and `width` x `height` itself, from its samples as they are:
  // a shader mode whose device takes them, a tone-mapped 4:2:0 picture of
  // the screen's size, and a frame buffer with room for it.
  bool DeviceToneMaps(int32_t pixFmt, const TPictureColour& colour, int32_t width,
                      int32_t height) const;

  TVideoCanvas* Canvas() const { return FCanvas; }
  TNativeWindow Window() const { return FWnd; }
  TPlaneScene* PlaneScene() const { return FPlaneScene.get(); }
  bool HasBackBuffer() const { return FBackBuf; }

 private:
  bool CreateDevices(uint8_t mode, TNativeWindow window);
  std::string CheckVModeSupport(uint8_t mode);
  bool CreateVideoSurface(uint8_t mode, int32_t width, bool planarAllowed, int32_t height);
  bool CreateOverlaySurface(uint8_t mode, int32_t width, bool planarAllowed, int32_t height);
  bool CreateTexture(uint8_t mode, int32_t width, int32_t height);
  void ReleaseSurfaces();
  void ReleaseDevices();
  void ResizeBitmap(int32_t width, int32_t height);
  // Lets `write` fill the device's picture: the shown one when `front`.
  bool WritePicture(const TSurfaceWriter& write, bool front);
  void CopyFrame(uint8_t* address, int32_t lineBytes);
  TDeepPlanes DeepFrame() const;
  void ClearPicture(uint8_t* address, int32_t lineBytes);
  void PresentTexture();
  bool IsSurfaceMode() const { return FVideoMode == vmXVideo || FVideoMode == vmGLShader; }
  bool IsTextureMode() const {
    return FVideoMode == vmGLTextureGrey || FVideoMode == vmGLTextureArgb;
  }

  // Bottom-up 32-bit pixels; FFrameBuf points at its start.
  std::vector<uint8_t, TCacheLineAllocator<uint8_t>> FBitmap;
  int32_t FBitmapWidth = 0;
  int32_t FBitmapHeight = 0;
  TVideoCanvas* FCanvas = nullptr;
  TNativeWindow FWnd = 0;
  std::unique_ptr<TSurfaceDevice> FSurfaceDevice;
  TSurfaceCaps FSurfaceCaps;
  bool FOverlay = false;
  bool FBackBuf = false;
  std::unique_ptr<TTextureDevice> FTextureDevice;
  TTextureCaps FTextureCaps;
  uint32_t FTexture = 0;
  std::unique_ptr<TPlaneScene> FPlaneScene;
  int32_t FBusy = 0;
};

}  // namespace vexo
