#include "tests/support/exif_writer.h"

#include <libexif/exif-data.h>
#include <libexif/exif-utils.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace vexo::test {

namespace {

void AddEntry(ExifData* data, ExifIfd ifd, ExifTag tag) {
  ExifEntry* entry = exif_entry_new();
  exif_content_add_entry(data->ifd[ifd], entry);
  exif_entry_initialize(entry, tag);
  exif_entry_unref(entry);
}

}  // namespace

std::vector<uint8_t> WithExif(const std::vector<uint8_t>& jpeg, int orientation,
                              const std::string& date) {
  if (jpeg.size() < 2 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) throw std::runtime_error("not a JPEG");
  ExifData* data = exif_data_new();
  exif_data_set_byte_order(data, EXIF_BYTE_ORDER_MOTOROLA);
  if (orientation >= 0) {
    AddEntry(data, EXIF_IFD_0, EXIF_TAG_ORIENTATION);
    ExifEntry* entry = exif_content_get_entry(data->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
    exif_set_short(entry->data, EXIF_BYTE_ORDER_MOTOROLA, ExifShort(orientation));
  }
  if (!date.empty()) {
    ExifEntry* entry = exif_entry_new();
    exif_content_add_entry(data->ifd[EXIF_IFD_EXIF], entry);
    entry->tag = EXIF_TAG_DATE_TIME_ORIGINAL;
    entry->format = EXIF_FORMAT_ASCII;
    entry->components = date.size() + 1;
    entry->size = unsigned(date.size() + 1);
    entry->data = static_cast<unsigned char*>(std::calloc(1, entry->size));
    std::memcpy(entry->data, date.c_str(), date.size() + 1);
    exif_entry_unref(entry);
  }
  unsigned char* block = nullptr;
  unsigned int size = 0;
  exif_data_save_data(data, &block, &size);
  exif_data_unref(data);
  const unsigned length = size + 2;
  const uint8_t head[6] = {0xFF, 0xD8, 0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length & 0xFF)};
  std::vector<uint8_t> out(sizeof head + size + jpeg.size() - 2);
  std::memcpy(out.data(), head, sizeof head);
  std::memcpy(out.data() + sizeof head, block, size);
  std::memcpy(out.data() + sizeof head + size, jpeg.data() + 2, jpeg.size() - 2);
  std::free(block);
  return out;
}

}  // namespace vexo::test
