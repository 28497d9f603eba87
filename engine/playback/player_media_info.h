#pragma once
// What the player tells about an open timeline: the media information record
// that the browser and the player page read, and the block of log lines
// written after a timeline has opened.
#include <cstdint>
#include <string>

namespace vexo {

class TAVInFileList;
class TAVScreen;

// Left zero without a timeline.
struct TMediaInfo {
  int32_t BiggestWidth = 0;
  int32_t BiggestHeight = 0;
  int32_t TotalFrames = 0;
  int32_t OutChannels = 0;
  double Duration = 0;   // seconds
  double FrameRate = 0;  // the highest frame rate, to 2 decimals
};
static_assert(sizeof(TMediaInfo) == 32);

TMediaInfo MediaInfoOf(const TAVInFileList* list);

// "mm:ss" of `ms`, rounded to whole seconds (halves to even); the minutes
// are not limited to 59.
std::string LengthText(double ms);
// "Mono", "Stereo", or the count followed by "Ch".
std::string ChannelText(int32_t channels);

void LogFileListInfo(const TAVInFileList& list, const TAVScreen& screen);

}  // namespace vexo
