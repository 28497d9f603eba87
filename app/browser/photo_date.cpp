#include "app/browser/photo_date.h"

#include <fcntl.h>
#include <libexif/exif-data.h>
#include <unistd.h>

#include <memory>

#include "engine/media/photo_exif.h"

namespace vexo {

namespace {

struct TFd {
  int Fd;
  ~TFd() {
    if (Fd >= 0) ::close(Fd);
  }
};

}  // namespace

QDateTime ParseExifDateTime(const QByteArray& text) {
  if (text.size() < 19) return {};
  const QByteArray head = text.left(19);
  const QDateTime date = QDateTime::fromString(QString::fromLatin1(head), "yyyy:MM:dd HH:mm:ss");
  return date.isValid() ? date : QDateTime();
}

QDateTime ReadPhotoDate(int dirFd, const QByteArray& name) {
  TFd file{::openat(dirFd, name.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)};
  if (file.Fd < 0) return {};
  const std::vector<uint8_t> block = ReadExifBlock(file.Fd);
  if (block.empty()) return {};
  std::unique_ptr<ExifData, void (*)(ExifData*)> data(
      exif_data_new_from_data(block.data(), unsigned(block.size())), &exif_data_unref);
  if (!data) return {};
  ExifEntry* entry = exif_content_get_entry(data->ifd[EXIF_IFD_EXIF], EXIF_TAG_DATE_TIME_ORIGINAL);
  if (!entry || entry->format != EXIF_FORMAT_ASCII || !entry->data) return {};
  return ParseExifDateTime(
      QByteArray(reinterpret_cast<const char*>(entry->data),
                 int(qstrnlen(reinterpret_cast<const char*>(entry->data), entry->size))));
}

QDateTime ReadPhotoDate(const QByteArray& path) {
  return ReadPhotoDate(AT_FDCWD, path);
}

}  // namespace vexo
