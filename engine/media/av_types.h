#pragma once
// The small vocabulary the whole media engine shares: pixel-layout codes,
// pixel formats, the engine parameter record and the frame-size presets.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

extern "C" {
#include <libavutil/pixfmt.h>
}

namespace vexo {

// A four-character pixel-layout code, first character in the lowest byte.
using TFourCC = uint32_t;

constexpr TFourCC MakeFourCC(const char (&code)[5]) {
  return uint32_t(uint8_t(code[0])) | uint32_t(uint8_t(code[1])) << 8 |
         uint32_t(uint8_t(code[2])) << 16 | uint32_t(uint8_t(code[3])) << 24;
}

std::string FourCCText(TFourCC code);

inline constexpr TFourCC FCC_YV12 = MakeFourCC("YV12");
inline constexpr TFourCC FCC_I420 = MakeFourCC("I420");
inline constexpr TFourCC FCC_IYUV = MakeFourCC("IYUV");
inline constexpr TFourCC FCC_UYVY = MakeFourCC("UYVY");
inline constexpr TFourCC FCC_YUY2 = MakeFourCC("YUY2");
inline constexpr TFourCC FCC_ARGB = MakeFourCC("ARGB");
inline constexpr TFourCC FCC_RGB3 = MakeFourCC("RGB3");
inline constexpr TFourCC FCC_GRAY = MakeFourCC("GRAY");
// The encoder picture of a file list: planar 4:2:0 in FFmpeg's own plane order.
inline constexpr TFourCC FCC_ENC = MakeFourCC("ENC ");

// FourCC codes in order of preference.
using TFccArray = std::vector<TFourCC>;

// Reads codes such as "YV12, UYVY;YUY2": separators are ',', ';' and blank,
// every other character counts, four at a time; a short tail is dropped.
void ParseFourCCList(TFccArray& list, std::string_view text);

// Pixel formats the engine names, mapped by name onto FFmpeg's identifiers.
inline constexpr AVPixelFormat PIX_FMT_YUV420P = AV_PIX_FMT_YUV420P;
inline constexpr AVPixelFormat PIX_FMT_BGR24 = AV_PIX_FMT_BGR24;
inline constexpr AVPixelFormat PIX_FMT_YUV411P = AV_PIX_FMT_YUV411P;
inline constexpr AVPixelFormat PIX_FMT_GRAY8 = AV_PIX_FMT_GRAY8;
inline constexpr AVPixelFormat PIX_FMT_YUVJ420P = AV_PIX_FMT_YUVJ420P;
inline constexpr AVPixelFormat PIX_FMT_YUVJ422P = AV_PIX_FMT_YUVJ422P;
inline constexpr AVPixelFormat PIX_FMT_YUVJ444P = AV_PIX_FMT_YUVJ444P;
inline constexpr AVPixelFormat PIX_FMT_YUVJ440P = AV_PIX_FMT_YUVJ440P;

// Video output modes of the screen. The names are the ones the settings and
// the log have always used; on Linux each is served by another technique.
enum TVideoMode : uint8_t {
  vmXVideo = 0,   // an XVideo port scaling the YUV picture, behind a colour key
  vmGLShader = 1,     // a YUV surface drawn by an OpenGL shader
  vmRaster = 2,       // an ARGB bitmap stretched by the raster painter
  vmGLTextureGrey = 3,       // the luminance plane as an OpenGL texture on a textured plane
  vmGLTextureArgb = 4,  // an ARGB OpenGL texture on the textured plane
};

// Target of the encoder output path; the player reads only the picture size,
// the aspect ratio and the sound format.
struct TEncodeParams {
  int32_t Mode = 0;
  int32_t Kind = 1;
  int32_t Width = 720;
  int32_t Height = 480;
  int32_t AspectNum = 4;
  int32_t AspectDen = 3;
  int32_t FrameRateNum = 30000;
  int32_t FrameRateDen = 1001;
  int32_t VideoBitRate = 6000;
  int32_t GopSize = 8;
  int32_t Passes = 1;
  int32_t SampleRate = 48000;
  int32_t Channels = 2;
  int32_t AudioBitRate = 224;
  uint8_t Flags[4] = {1, 0, 1, 0};
  std::string AudioExt = "wav";
  std::string VideoExt = "mpv";
  std::string OutputName;
};

inline constexpr const char* AspectNames[2] = {"4:3", "16:9"};
inline constexpr const char* VideoStandardNames[2] = {"PAL", "NTSC"};

extern TEncodeParams EncodeParams;

// Frame-size presets.
enum TSizePreset : uint8_t {
  spNone = 0,
  spScreen = 1,
  sp320x240 = 2,
  sp640x480 = 3,
  sp800x600 = 4,
  sp1024x768 = 5,
};

// How the player control seeks (TAVParams::SeekAlgo).
enum TSeekAlgo : uint8_t {
  // Step back frame by frame until the demultiplexer lands on a key frame at
  // or before the target, and show that key frame.
  saKeyFrameBefore = 0,
  // Seek once and take the first key frame found, even one past the target.
  saFirstKeyFrame = 1,
  // As saKeyFrameBefore, then decode forward to the exact target frame.
  saExactFrame = 2,
};

// The engine's tuning values: defaults at start, three of them pushed by the
// options store, UseSoundServer cleared when the primary sound output fails.
struct TAVParams {
  uint8_t VideoMode = vmXVideo;
  // Selects the primary sound output, PulseAudio; cleared, the fall-back
  // output is ALSA.
  uint8_t UseSoundServer = 1;
  uint8_t ClipToWindow = 1;
  uint8_t Planar = 1;
  uint8_t OverlayFlip = 1;
  uint8_t GaplessPlay = 1;
  uint32_t BackColor = 0x00090909;
  uint8_t VideoSizePreset = spNone;
  uint8_t ImageSizePreset = spScreen;
  uint8_t MixedMinSizePreset = sp640x480;
  uint8_t RoundWidth = 0;
  uint8_t LowPassOn = 1;
  // High-dynamic-range pictures tone-mapped to an ordinary screen's colours.
  uint8_t ToneMap = 1;
  int32_t LowPassCutoff = 7000;
  int32_t LowPassOrder = 3;
  uint8_t SeekAlgo = saExactFrame;
  uint8_t SeekAudio = 1;
  uint8_t SeekUpdate = 1;
  uint8_t PhotoSeek = 1;
  int32_t PlayerTag = 0;
  uint8_t PlayAudio = 1;
  int32_t LagFrames = 2;
  int32_t LagMinMs = 333;
  int32_t Reserved = 4;
  uint8_t ProbeEachImage = 0;
  uint8_t CodecCtxShare = 1;
  int32_t PhotoDurationMs = 2000;
  // Videos are turned as their display matrix asks, photos as their EXIF
  // Orientation tag does.
  uint8_t TurnVideos = 1;
  uint8_t TurnPhotos = 1;
};

inline constexpr TAVParams DefaultAVParams{};

extern TAVParams AVParams;

// W and H capped at (Cap) or raised to (Raise) the preset's size; codes 0 and
// above 5 change nothing. Code 1 is the screen size.
void CapToPreset(uint8_t code, int screenW, int screenH, int& w, int& h);
void RaiseToPreset(uint8_t code, int screenW, int screenH, int& w, int& h);
// The first of 320, 640, 800, 1024, 1280, 1600 not smaller than W; wider stays.
void RoundUpWidth(int& w);

}  // namespace vexo
