#pragma once
// The media file extensions the player knows, in the order the options store
// pairs them with its switches: 0-9 video, 10-12 photo, 13 the user's own,
// then the video containers of phones, camcorders and the web (14 on), kept
// behind the first fourteen so that their numbers stay what they were.
#include <QString>
#include <array>

namespace vexo {

constexpr int kMediaExtCount = 24;
constexpr int kFirstPhotoExt = 10;
constexpr int kCustomExtIndex = 13;
constexpr int kFirstLaterVideoExt = 14;

// The extensions with their dot; the custom entry is empty here.
const std::array<QString, kMediaExtCount>& MediaExtensions();

// Whether the switch at index stands for a kind of video file.
bool IsVideoExtIndex(int index);

// ext with its dot, letter case ignored.
bool IsVideoExt(const QString& ext);
bool IsPhotoExt(const QString& ext);

}  // namespace vexo
