// The current picture of a file list drawn into a 32-bit bitmap (snapshots).
#include <cmath>
#include <string>

#include "engine/input/av_in_file_list.h"
#include "engine/media/av_types.h"
#include "engine/video/av_scale.h"
#include "engine/video/subtitle_draw.h"

namespace vexo {

bool TAVInFileList::RenderToBitmap(TBitmap32& bitmap, int32_t width, float aspect, int32_t height) {
  if (Count == 0 || !CurFileRef) return false;
  float pixelAspect = 1;
  if (width > 0 || height > 0) {
    if (width <= 0 || height <= 0) return false;
    pixelAspect = float(height) * aspect / float(width);
  } else {
    aspect = FrameAspect;
    width = FrameWidth;
    height = FrameHeight;
    if (width <= 0 || height <= 0 || aspect <= 0) return false;
    // Square pixels: the bitmap is widened or heightened to the frame aspect.
    const float ratio = float(height) * aspect / float(width);
    if (std::fabs(ratio - 1) > 0.001f) {
      if (ratio >= 1)
        width = int32_t(std::lround(height * aspect));
      else
        height = int32_t(std::lround(width / aspect));
    }
  }
  bitmap.Width = width;
  bitmap.Height = height;
  bitmap.Pixels.assign(size_t(bitmap.Stride()) * size_t(height), 0);

  TAVInFile& file = *CurFileRef;
  const AVFrame* frame = file.DecFrame;
  if (!frame || !frame->data[0]) return false;
  TAVPicture dst;
  dst.data[0] = bitmap.Pixels.data();
  dst.linesize[0] = bitmap.Stride();
  const int32_t fitWidth = file.FitWidth, fitHeight = file.FitHeight;
  file.FitPicture(width, height, pixelAspect, aspect);
  std::string errMsg;
  const int32_t bytes =
      ConvertPicture(PictureOfFrame(*frame), dst, frame->width, errMsg, 1, FCC_ARGB, frame->format,
                     height, width, file.FitHeight, file.FitWidth, frame->height, file.Video.Turn);
  // The snapshot shows the subtitle the screen shows.
  if (bytes > 0 && errMsg.empty() && file.Subtitles && file.Subtitles->Shown())
    DrawSubtitles(*file.Subtitles->Shown(), file.PictureMs(),
                  file.SubtitleCanvas(dst, FCC_ARGB, width, height, pixelAspect));
  file.FitWidth = fitWidth;
  file.FitHeight = fitHeight;
  return bytes > 0 && errMsg.empty();
}

}  // namespace vexo
