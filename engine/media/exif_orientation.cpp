#include "engine/media/exif_orientation.h"

#include <fcntl.h>
#include <libexif/exif-data.h>
#include <libexif/exif-loader.h>
#include <libexif/exif-utils.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

namespace vexo {

namespace {

// The EXIF block sits in the first segment of a JPEG, which is at most 64 KiB.
constexpr size_t kHeadBytes = 70 * 1024;

using TLoader = std::unique_ptr<ExifLoader, void (*)(ExifLoader*)>;
using TData = std::unique_ptr<ExifData, void (*)(ExifData*)>;

int32_t OrientationOf(ExifLoader* loader) {
  TData data(exif_loader_get_data(loader), &exif_data_unref);
  if (!data) return 1;
  const ExifEntry* entry = exif_content_get_entry(data->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
  if (!entry || entry->format != EXIF_FORMAT_SHORT || entry->components < 1 || !entry->data ||
      entry->size < 2)
    return 1;
  const int32_t value = exif_get_short(entry->data, exif_data_get_byte_order(data.get()));
  return value >= 1 && value <= 8 ? value : 1;
}

}  // namespace

int32_t ReadExifOrientation(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return 1;
  TLoader loader(exif_loader_new(), &exif_loader_unref);
  unsigned char buffer[8192];
  size_t total = 0;
  while (loader && total < kHeadBytes) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    total += size_t(n);
    if (!exif_loader_write(loader.get(), buffer, unsigned(n))) break;
  }
  ::close(fd);
  return loader ? OrientationOf(loader.get()) : 1;
}

int32_t ExifOrientationOfData(const uint8_t* data, size_t size) {
  TLoader loader(exif_loader_new(), &exif_loader_unref);
  if (!loader || !data) return 1;
  size = std::min(size, kHeadBytes);
  // The loader takes a writable buffer but only reads it.
  exif_loader_write(loader.get(), const_cast<unsigned char*>(data), unsigned(size));
  return OrientationOf(loader.get());
}

}  // namespace vexo
