#include "app/browser/photo_date.h"

#include <fcntl.h>
#include <libexif/exif-data.h>
#include <libexif/exif-loader.h>
#include <unistd.h>

#include <memory>

namespace vexo {

namespace {

// The EXIF block sits in the first segment of a JPEG, which is at most 64 KiB.
constexpr size_t kHeadBytes = 70 * 1024;

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
  std::unique_ptr<ExifLoader, void (*)(ExifLoader*)> loader(exif_loader_new(), &exif_loader_unref);
  if (!loader) return {};
  unsigned char buffer[8192];
  size_t total = 0;
  while (total < kHeadBytes) {
    const ssize_t n = ::read(file.Fd, buffer, sizeof buffer);
    if (n <= 0) break;
    total += size_t(n);
    if (!exif_loader_write(loader.get(), buffer, unsigned(n))) break;
  }
  std::unique_ptr<ExifData, void (*)(ExifData*)> data(exif_loader_get_data(loader.get()),
                                                      &exif_data_unref);
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
