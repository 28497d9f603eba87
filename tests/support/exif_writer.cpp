#include "tests/support/exif_writer.h"

#include <libexif/exif-data.h>
#include <libexif/exif-utils.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "tests/support/input_fuzz.h"

namespace vexo::test {

namespace {

void AddEntry(ExifData* data, ExifIfd ifd, ExifTag tag) {
  ExifEntry* entry = exif_entry_new();
  exif_content_add_entry(data->ifd[ifd], entry);
  exif_entry_initialize(entry, tag);
  exif_entry_unref(entry);
}

}  // namespace

namespace {

void AddAscii(ExifData* data, ExifIfd ifd, ExifTag tag, const std::string& text) {
  ExifEntry* entry = exif_entry_new();
  exif_content_add_entry(data->ifd[ifd], entry);
  entry->tag = tag;
  entry->format = EXIF_FORMAT_ASCII;
  entry->components = text.size() + 1;
  entry->size = unsigned(text.size() + 1);
  entry->data = static_cast<unsigned char*>(std::calloc(1, entry->size));
  std::memcpy(entry->data, text.c_str(), text.size() + 1);
  exif_entry_unref(entry);
}

void AddBytes(ExifData* data, ExifIfd ifd, ExifTag tag, const std::vector<uint8_t>& bytes) {
  ExifEntry* entry = exif_entry_new();
  exif_content_add_entry(data->ifd[ifd], entry);
  entry->tag = tag;
  entry->format = EXIF_FORMAT_UNDEFINED;
  entry->components = bytes.size();
  entry->size = unsigned(bytes.size());
  entry->data = static_cast<unsigned char*>(std::malloc(bytes.size()));
  std::memcpy(entry->data, bytes.data(), bytes.size());
  exif_entry_unref(entry);
}

void SetOrientation(ExifData* data, int orientation) {
  AddEntry(data, EXIF_IFD_0, EXIF_TAG_ORIENTATION);
  ExifEntry* entry = exif_content_get_entry(data->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
  exif_set_short(entry->data, exif_data_get_byte_order(data), ExifShort(orientation));
}

// The block saved and put in as APP1 right after the start marker.
std::vector<uint8_t> Inserted(const std::vector<uint8_t>& jpeg, ExifData* data) {
  unsigned char* block = nullptr;
  unsigned int size = 0;
  exif_data_save_data(data, &block, &size);
  exif_data_unref(data);
  if (!block || size + 2 > 0xFFFF) {
    std::free(block);
    throw std::runtime_error("EXIF block not made");
  }
  const unsigned length = size + 2;
  const uint8_t head[6] = {0xFF, 0xD8, 0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length & 0xFF)};
  std::vector<uint8_t> out(sizeof head + size + jpeg.size() - 2);
  std::memcpy(out.data(), head, sizeof head);
  std::memcpy(out.data() + sizeof head, block, size);
  std::memcpy(out.data() + sizeof head + size, jpeg.data() + 2, jpeg.size() - 2);
  std::free(block);
  return out;
}

void CheckJpeg(const std::vector<uint8_t>& jpeg) {
  if (jpeg.size() < 2 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) throw std::runtime_error("not a JPEG");
}

}  // namespace

std::vector<uint8_t> WithExif(const std::vector<uint8_t>& jpeg, int orientation,
                              const std::string& date) {
  CheckJpeg(jpeg);
  ExifData* data = exif_data_new();
  exif_data_set_byte_order(data, EXIF_BYTE_ORDER_MOTOROLA);
  if (orientation >= 0) SetOrientation(data, orientation);
  if (!date.empty()) AddAscii(data, EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL, date);
  return Inserted(jpeg, data);
}

std::vector<uint8_t> WithCameraExif(const std::vector<uint8_t>& jpeg, const TCameraExif& camera) {
  CheckJpeg(jpeg);
  ExifData* data = exif_data_new();
  // Written as it stands: libexif would otherwise try to read the maker note.
  exif_data_unset_option(data, EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
  exif_data_set_byte_order(data, camera.Intel ? EXIF_BYTE_ORDER_INTEL : EXIF_BYTE_ORDER_MOTOROLA);
  AddAscii(data, EXIF_IFD_0, EXIF_TAG_MAKE, "Korvane Optics");
  AddAscii(data, EXIF_IFD_0, EXIF_TAG_MODEL, "KO-7 Mark II");
  SetOrientation(data, camera.Orientation);
  AddAscii(data, EXIF_IFD_0, EXIF_TAG_DATE_TIME, camera.Date);
  AddAscii(data, EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_ORIGINAL, camera.Date);
  AddAscii(data, EXIF_IFD_EXIF, EXIF_TAG_DATE_TIME_DIGITIZED, camera.Date);
  // A maker's note: a signature, then an IFD of its own with offsets into
  // the block, as cameras write them.
  std::vector<uint8_t> note = {'K', 'O', 'R', 'V', 0, 1, 0, 0, 3, 0};
  for (uint8_t tag = 1; tag <= 3; ++tag)
    note.insert(note.end(), {0, tag, 0, 7, 0, 0, 0, 8, 0, 0, 0, uint8_t(0x40 + tag * 8)});
  note.insert(note.end(), 40, 0x5A);
  AddBytes(data, EXIF_IFD_EXIF, EXIF_TAG_MAKER_NOTE, note);
  if (!camera.Thumbnail.empty()) {
    AddEntry(data, EXIF_IFD_1, EXIF_TAG_X_RESOLUTION);
    AddEntry(data, EXIF_IFD_1, EXIF_TAG_Y_RESOLUTION);
    AddEntry(data, EXIF_IFD_1, EXIF_TAG_RESOLUTION_UNIT);
    data->data = static_cast<unsigned char*>(std::malloc(camera.Thumbnail.size()));
    std::memcpy(data->data, camera.Thumbnail.data(), camera.Thumbnail.size());
    data->size = unsigned(camera.Thumbnail.size());
  }
  return Inserted(jpeg, data);
}

std::vector<uint8_t> ExifTiff(int orientation, const std::string& date) {
  const std::vector<uint8_t> jpeg = WithExif({0xFF, 0xD8, 0xFF, 0xD9}, orientation, date);
  // Behind the start marker, the segment's marker, length and EXIF header.
  return std::vector<uint8_t>(jpeg.begin() + 2 + 4 + 6, jpeg.end() - 2);
}

namespace {

uint32_t Crc32(const uint8_t* data, size_t size) {
  uint32_t crc = 0xFFFFFFFF;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
  }
  return ~crc;
}

void PutBig32(std::vector<uint8_t>& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(value >> shift));
}

void PutLittle(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(uint8_t(value >> (8 * i)));
}

}  // namespace

std::vector<uint8_t> PngChunk(const char* type, const std::vector<uint8_t>& body) {
  std::vector<uint8_t> chunk;
  PutBig32(chunk, uint32_t(body.size()));
  chunk.insert(chunk.end(), type, type + 4);
  chunk.insert(chunk.end(), body.begin(), body.end());
  PutBig32(chunk, Crc32(chunk.data() + 4, chunk.size() - 4));
  return chunk;
}

std::vector<uint8_t> WithPngExif(const std::vector<uint8_t>& png,
                                 const std::vector<uint8_t>& tiff) {
  // Signature (8) and the header chunk (4 + 4 + 13 + 4).
  constexpr size_t kAfterHeader = 8 + 25;
  if (png.size() < kAfterHeader || std::memcmp(png.data() + 12, "IHDR", 4) != 0)
    throw std::runtime_error("not a PNG");
  const std::vector<uint8_t> chunk = PngChunk("eXIf", tiff);
  std::vector<uint8_t> out;
  out.reserve(png.size() + chunk.size());
  out.insert(out.end(), png.begin(), png.begin() + kAfterHeader);
  out.insert(out.end(), chunk.begin(), chunk.end());
  out.insert(out.end(), png.begin() + kAfterHeader, png.end());
  return out;
}

std::vector<uint8_t> WithWebpExif(const std::vector<uint8_t>& webp,
                                  const std::vector<uint8_t>& tiff, int width, int height) {
  if (webp.size() < 20 || std::memcmp(webp.data(), "RIFF", 4) != 0 ||
      std::memcmp(webp.data() + 8, "WEBP", 4) != 0 || std::memcmp(webp.data() + 12, "VP8X", 4) == 0)
    throw std::runtime_error("not a simple WebP");
  std::vector<uint8_t> out = {'R', 'I', 'F', 'F', 0,  0, 0, 0, 'W',  'E', 'B', 'P',
                              'V', 'P', '8', 'X', 10, 0, 0, 0, 0x08, 0,   0,   0};
  PutLittle(out, uint32_t(width - 1), 3);
  PutLittle(out, uint32_t(height - 1), 3);
  out.insert(out.end(), webp.begin() + 12, webp.end());
  out.insert(out.end(), {'E', 'X', 'I', 'F'});
  PutLittle(out, uint32_t(tiff.size()), 4);
  out.insert(out.end(), tiff.begin(), tiff.end());
  if (tiff.size() % 2) out.push_back(0);
  const uint32_t riff = uint32_t(out.size() - 8);
  for (int i = 0; i < 4; ++i) out[4 + size_t(i)] = uint8_t(riff >> (8 * i));
  return out;
}

void WriteHeifFromJpeg(const std::string& path, const std::vector<uint8_t>& jpeg) {
  const std::string source = path + ".source.jpg";
  if (!WriteBytes(source, jpeg)) throw std::runtime_error("cannot write " + source);
  const bool avif = path.size() > 5 && path.compare(path.size() - 5, 5, ".avif") == 0;
  const std::string command = std::string("heif-enc -q 90 ") + (avif ? "-A " : "") + "-o '" + path +
                              "' '" + source + "' > /dev/null";
  const int status = std::system(command.c_str());
  std::remove(source.c_str());
  if (status != 0) throw std::runtime_error("heif-enc failed for " + path);
}

}  // namespace vexo::test
