#include "app/common/media_extensions.h"

namespace vexo {

const std::array<QString, kMediaExtCount>& MediaExtensions() {
  static const std::array<QString, kMediaExtCount> list = {
      ".avi", ".mov",  ".flv", ".mpg",    ".mpe", ".mpeg", ".m1v",  ".mp4",  ".divx", ".m4v",
      ".jpg", ".jpeg", ".jpe", QString(), ".mkv", ".webm", ".ts",   ".mts",  ".m2ts", ".3gp",
      ".wmv", ".asf",  ".vob", ".ogv",    ".png", ".webp", ".heic", ".heif", ".avif"};
  return list;
}

bool IsVideoExtIndex(int index) {
  return (index >= 0 && index < kFirstPhotoExt) ||
         (index >= kFirstLaterVideoExt && index < kFirstLaterPhotoExt);
}

bool IsPhotoExtIndex(int index) {
  return (index >= kFirstPhotoExt && index < kCustomExtIndex) ||
         (index >= kFirstLaterPhotoExt && index < kMediaExtCount);
}

namespace {

int IndexOf(const QString& ext) {
  if (ext.isEmpty()) return -1;
  for (int i = 0; i < kMediaExtCount; ++i)
    if (MediaExtensions()[i].compare(ext, Qt::CaseInsensitive) == 0) return i;
  return -1;
}

}  // namespace

bool IsVideoExt(const QString& ext) {
  return IsVideoExtIndex(IndexOf(ext));
}

bool IsPhotoExt(const QString& ext) {
  return IsPhotoExtIndex(IndexOf(ext));
}

}  // namespace vexo
