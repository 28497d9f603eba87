#include "engine/media/exif_orientation.h"

#include <fcntl.h>
#include <libexif/exif-data.h>
#include <libexif/exif-loader.h>
#include <libexif/exif-utils.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
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

// Reads and writes the TIFF structure inside an EXIF block in its byte order.
class TTiffView {
 public:
  TTiffView(uint8_t* data, size_t size) : FData(data), FSize(size) {
    FValid = size >= 8 && (std::memcmp(data, "II", 2) == 0 || std::memcmp(data, "MM", 2) == 0);
    FIntel = FValid && data[0] == 'I';
  }
  bool Valid() const { return FValid; }
  bool Fits(size_t at, size_t bytes) const { return at <= FSize && bytes <= FSize - at; }
  uint32_t U16(size_t at) const {
    return FIntel ? uint32_t(FData[at] | FData[at + 1] << 8)
                  : uint32_t(FData[at] << 8 | FData[at + 1]);
  }
  uint32_t U32(size_t at) const {
    return FIntel ? U16(at) | U16(at + 2) << 16 : U16(at) << 16 | U16(at + 2);
  }
  void SetU16(size_t at, uint32_t value) {
    FData[at + (FIntel ? 0 : 1)] = uint8_t(value & 0xFF);
    FData[at + (FIntel ? 1 : 0)] = uint8_t(value >> 8);
  }

 private:
  uint8_t* FData;
  size_t FSize;
  bool FValid = false;
  bool FIntel = false;
};

bool MarkTiffUpright(uint8_t* tiff, size_t size) {
  TTiffView view(tiff, size);
  if (!view.Valid()) return false;
  const size_t ifd = view.U32(4);
  if (!view.Fits(ifd, 2)) return false;
  const uint32_t entries = view.U16(ifd);
  for (uint32_t i = 0; i < entries; ++i) {
    const size_t entry = ifd + 2 + size_t(i) * 12;
    if (!view.Fits(entry, 12)) return false;
    if (view.U16(entry) != EXIF_TAG_ORIENTATION) continue;
    if (view.U16(entry + 2) != EXIF_FORMAT_SHORT || view.U32(entry + 4) < 1) return false;
    view.SetU16(entry + 8, 1);
    return true;
  }
  return false;
}

}  // namespace

bool MarkExifUpright(uint8_t* data, size_t size) {
  if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
  size_t at = 2;
  // The segments before the picture data: a marker, its length, its body.
  while (at + 4 <= size && data[at] == 0xFF) {
    const uint8_t marker = data[at + 1];
    if (marker == 0xDA || marker == 0xD9) break;
    const size_t length = size_t(data[at + 2]) << 8 | data[at + 3];
    if (length < 2 || length > size - at - 2) break;
    const uint8_t* body = data + at + 4;
    if (marker == 0xE1 && length >= 2 + 6 + 8 && std::memcmp(body, "Exif\0\0", 6) == 0)
      return MarkTiffUpright(data + at + 10, length - 8);
    at += 2 + length;
  }
  return false;
}

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
