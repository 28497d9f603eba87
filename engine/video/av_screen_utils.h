#pragma once
// Pure helpers of the video screen: the primary surface's pixel format with
// its derived shifts and losses, colour-key packing, the frame-buffer layout
// of each FourCC and the cut of an overlay to the screen.
#include <cstdint>

#include "engine/media/av_types.h"
#include "engine/video/video_device.h"

namespace vexo {

struct TSurfacePixelFormat {
  TDevicePixelFormat Format;
  // Each group in the order red, green, blue, alpha.
  uint8_t Shift[4] = {};  // index of the lowest set bit of the mask, 0 without one
  uint8_t Max[4] = {};    // (1 shl set bits) - 1
  uint8_t Loss[4] = {};   // 8 - set bits
  int32_t BytesPerPixel = 0;
};

TSurfacePixelFormat MakeSurfacePixelFormat(const TDevicePixelFormat& format);

// The colour (red in the low byte) in the surface's pixel layout; 16-bit
// surfaces drop the low bits each channel lacks.
uint32_t PackPixel(uint32_t color, const TSurfacePixelFormat& format);

// The media library's pixel format that the decoder lays over a frame buffer
// of this FourCC: planar 4:2:0 codes 0, "UYVY" 20, "YUY2" 1, "ARGB" 6.
int32_t PixFmtOfFourCC(TFourCC fourCC);
// True for the planar sources the converter accepts.
bool IsPlanarPixFmt(int32_t pixFmt);
// Bytes of one row of plane 0 of a picture `width` pixels wide.
int32_t FourCCLineBytes(TFourCC fourCC, int32_t width);
// Bytes of a whole picture (all planes) of this FourCC.
int32_t FourCCPictureBytes(TFourCC fourCC, int32_t width, int32_t height);

// The smallest power of two not below n (n >= 1).
int32_t NextPowerOfTwo(int32_t n);

// Cuts an overlay's destination (screen coordinates) and source to the
// primary screen, which an overlay cannot leave.
void ClipOverlayToScreen(TVideoRect& source, TVideoRect& dest, int32_t screenWidth,
                         int32_t screenHeight);

}  // namespace vexo
