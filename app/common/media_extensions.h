#pragma once
// The media file extensions the player knows, in the order the options store
// pairs them with its switches: 0-9 video, 10-12 photo, 13 the user's own,
// then the video containers of phones, camcorders and the web (14-23) and the
// photo formats of today's phones, screenshots and the web (24 on), kept
// behind the first fourteen so that their numbers stay what they were.
#include <QString>
#include <array>

namespace vexo {

constexpr int kMediaExtCount = 29;
constexpr int kFirstPhotoExt = 10;
constexpr int kCustomExtIndex = 13;
constexpr int kFirstLaterVideoExt = 14;
constexpr int kFirstLaterPhotoExt = 24;

// The extensions with their dot; the custom entry is empty here.
const std::array<QString, kMediaExtCount>& MediaExtensions();

// Whether the switch at index stands for a kind of video file, or of photo.
bool IsVideoExtIndex(int index);
bool IsPhotoExtIndex(int index);

// ext with its dot, letter case ignored.
bool IsVideoExt(const QString& ext);
bool IsPhotoExt(const QString& ext);

}  // namespace vexo
