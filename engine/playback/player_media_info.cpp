#include "engine/playback/player_media_info.h"

#include <cmath>
#include <cstdio>

#include "engine/input/av_in_file_list.h"
#include "engine/media/av_log.h"
#include "engine/media/av_types.h"
#include "engine/video/av_screen.h"

namespace vexo {

TMediaInfo MediaInfoOf(const TAVInFileList* list) {
  TMediaInfo info;
  if (!list) return info;
  info.BiggestWidth = list->BiggestWidth;
  info.BiggestHeight = list->BiggestHeight;
  info.TotalFrames = list->TotalFrames;
  info.OutChannels = list->OutChannels;
  info.Duration = double(list->TotalMs) / 1000.0;
  info.FrameRate = std::round(double(list->MaxFrameRate) * 100.0) / 100.0;
  return info;
}

std::string LengthText(double ms) {
  // nearbyint rounds halves to even in the default rounding mode.
  const long long seconds = std::llround(std::nearbyint(ms / 1000.0));
  char text[32];
  std::snprintf(text, sizeof text, "%02lld:%02lld", seconds / 60, seconds % 60);
  return text;
}

std::string ChannelText(int32_t channels) {
  if (channels == 1) return "Mono";
  if (channels == 2) return "Stereo";
  return std::to_string(channels) + "Ch";
}

namespace {

std::string ModeLine(const TAVScreen& screen) {
  const std::string fcc = FourCCText(screen.FFourCC);
  const char* name = nullptr;
  switch (screen.FVideoMode) {
    case vmXVideo:
      name = "Overlay";
      break;
    case vmGLShader:
      name = "DDraw";
      break;
    case vmGLTextureGrey:
      name = "D3D";
      break;
    case vmGLTextureArgb:
      name = "D3D_ARGB";
      break;
    default:
      return "vMode: GDI: " + fcc;
  }
  return std::string("vMode: ") + name + ": FourCC: " + fcc +
         ", Size: " + std::to_string(screen.Ovr_Width) + "x" + std::to_string(screen.Ovr_Height) +
         ", LineBytes: " + std::to_string(screen.Ovr_LineBytes);
}

// Fixed notation with 4 decimals, at most 7 significant digits.
std::string FrameRateText(float rate) {
  char text[48];
  std::snprintf(text, sizeof text, "%.7g", double(rate));
  std::snprintf(text, sizeof text, "%.4f", std::strtod(text, nullptr));
  return text;
}

}  // namespace

void LogFileListInfo(const TAVInFileList& list, const TAVScreen& screen) {
  Log("");
  Log("-------- FileList Info Begin ----------");
  Log(ModeLine(screen));
  int pixFmt = -1;
  if (list.Count > 0 && list.File(0).Video.CodecCtx) pixFmt = list.File(0).Video.CodecCtx->pix_fmt;
  Log("Source pix fmt: " + std::to_string(pixFmt));
  Log("video  : " + list.VideoCodecName + ", " + std::to_string(list.BiggestWidth) + "x" +
      std::to_string(list.BiggestHeight) + ", " + FrameRateText(list.MaxFrameRate) + " fps");
  Log("length : " + LengthText(list.TotalMs) + ", " + std::to_string(list.TotalFrames) + " frames");
  if (list.HasAudio && !list.AudioTrack.empty())
    Log("audio  : " + list.AudioTrack[0].CodecName + " " + std::to_string(list.OutRate) + "Hz " +
        ChannelText(list.OutChannels));
  else
    Log("audio  : no audio");
  Log("-------- FileList Info End ----------");
}

}  // namespace vexo
