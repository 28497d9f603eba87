// The one output frame size of a file list.
#include <algorithm>
#include <cmath>

#include "engine/input/av_in_file_list.h"
#include "engine/media/av_types.h"
#include "engine/media/media_lib.h"

namespace vexo {

namespace {

constexpr float kAspectSlack = 0.001f;

}  // namespace

void TAVInFileList::ComputeFrameSize(int32_t width, int32_t height, bool fit, float aspect) {
  if (Count == 0) return;
  int32_t first = 0, last = Count - 1;
  if (!fit) {
    FrameWidth = width;
    FrameHeight = height;
    FrameAspect = aspect;
    FramePixelAspect = width > 0 ? aspect / float(width) * float(height) : 0;
  } else {
    FrameWidth = FrameHeight = 0;
    int videoW = MaxVideoWidth, videoH = MaxVideoHeight;
    int imageW = MaxImageWidth, imageH = MaxImageHeight;
    if (Gapless) {
      if (imageW > 0 && videoW == 0)
        FrameAspect = aspect;
      else if (MinAspect - kAspectSlack < aspect && aspect < MaxAspect + kAspectSlack)
        FrameAspect = aspect;
      else
        FrameAspect = aspect < MinAspect ? MinAspect : MaxAspect;
    } else {
      // Each file gets the frame that suits it alone.
      first = last = std::clamp(CurFile, 0, Count - 1);
      const TAVInFile& file = *Files[size_t(first)];
      videoW = videoH = imageW = imageH = 0;
      (file.IsImage ? imageW : videoW) = file.Video.Width;
      (file.IsImage ? imageH : videoH) = file.Video.Height;
      FrameAspect = file.Video.DisplayAspect;
    }

    int w = 0, h = 0;
    if (videoW > 0) {
      w = videoW;
      h = videoH;
      CapToPreset(AVParams.VideoSizePreset, ScreenWidth, ScreenHeight, w, h);
      if (imageW > 0) {
        RaiseToPreset(AVParams.MixedMinSizePreset, ScreenWidth, ScreenHeight, w, h);
        w = std::min(w, imageW);
        h = std::min(h, imageH);
      }
    } else {
      w = imageW;
      h = imageH;
      CapToPreset(AVParams.ImageSizePreset, ScreenWidth, ScreenHeight, w, h);
    }
    if (AVParams.RoundWidth == 1) {
      RoundUpWidth(w);
      if (ScreenWidth > 0) w = std::min(w, ScreenWidth);
    }

    for (int32_t i = first; i <= last; ++i) {
      const TAVInFile& file = *Files[size_t(i)];
      if (!file.StreamsInfoOK || FrameAspect <= 0) continue;
      const float sampleAspect = file.Video.SampleAspect > 0 ? file.Video.SampleAspect : 1;
      if (file.Video.DisplayAspect + kAspectSlack > FrameAspect && w > FrameWidth) {
        FrameWidth = w;
        FrameHeight = std::max(FrameHeight, int32_t(w * sampleAspect / FrameAspect + kAspectSlack));
      } else if (h > FrameHeight) {
        FrameHeight = h;
        FrameWidth = std::max(FrameWidth, int32_t(h / sampleAspect * FrameAspect + kAspectSlack));
      }
    }
    if (FrameWidth > 0) FramePixelAspect = float(FrameHeight) * FrameAspect / float(FrameWidth);
    if (AVParams.VideoMode != vmRaster && AVParams.Planar == 1) FrameHeight &= ~1;
  }

  // The next decode of each file fits and wraps the new surface afresh.
  for (int32_t i = first; i <= last; ++i) {
    TAVInFile& file = *Files[size_t(i)];
    if (file.DstPicture) ff::av_frame_free(&file.DstPicture);
    file.DstPicture = ff::av_frame_alloc();
    file.FitWidth = file.FitHeight = 0;
  }
}

}  // namespace vexo
