#include "app/common/media_extensions.h"

namespace vexo {

const std::array<QString, kMediaExtCount>& MediaExtensions() {
  static const std::array<QString, kMediaExtCount> list = {
      ".avi", ".mov",  ".flv", ".mpg", ".mpe",  ".mpeg", ".m1v",
      ".mp4", ".divx", ".m4v", ".jpg", ".jpeg", ".jpe",  QString()};
  return list;
}

namespace {

bool InRange(const QString& ext, int first, int last) {
  if (ext.isEmpty()) return false;
  for (int i = first; i <= last; ++i)
    if (MediaExtensions()[i].compare(ext, Qt::CaseInsensitive) == 0) return true;
  return false;
}

}  // namespace

bool IsVideoExt(const QString& ext) {
  return InRange(ext, 0, kFirstPhotoExt - 1);
}

bool IsPhotoExt(const QString& ext) {
  return InRange(ext, kFirstPhotoExt, kCustomExtIndex - 1);
}

}  // namespace vexo
