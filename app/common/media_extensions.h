#pragma once
// The media file extensions the player knows, in the order the options store
// pairs them with its switches: 0-9 video, 10-12 photo, 13 the user's own.
#include <QString>
#include <array>

namespace vexo {

constexpr int kMediaExtCount = 14;
constexpr int kFirstPhotoExt = 10;
constexpr int kCustomExtIndex = 13;

// The extensions with their dot; the custom entry is empty here.
const std::array<QString, kMediaExtCount>& MediaExtensions();

// ext with its dot, letter case ignored.
bool IsVideoExt(const QString& ext);
bool IsPhotoExt(const QString& ext);

}  // namespace vexo
