#include "engine/media/exif_orientation.h"

#include <fcntl.h>
#include <libexif/exif-data.h>
#include <libexif/exif-utils.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "engine/media/photo_exif.h"

namespace vexo {

namespace {

using TData = std::unique_ptr<ExifData, void (*)(ExifData*)>;

int32_t OrientationOf(const std::vector<uint8_t>& block) {
  if (block.empty()) return 1;
  TData data(exif_data_new_from_data(block.data(), unsigned(block.size())), &exif_data_unref);
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

enum class TTagFound { Set, Absent, Broken };

// Sets the Orientation entry of the first IFD where it stands.
TTagFound SetTiffOrientation(uint8_t* tiff, size_t size, int value) {
  TTiffView view(tiff, size);
  if (!view.Valid()) return TTagFound::Broken;
  const size_t ifd = view.U32(4);
  if (!view.Fits(ifd, 2)) return TTagFound::Broken;
  const uint32_t entries = view.U16(ifd);
  for (uint32_t i = 0; i < entries; ++i) {
    const size_t entry = ifd + 2 + size_t(i) * 12;
    if (!view.Fits(entry, 12)) return TTagFound::Broken;
    if (view.U16(entry) != EXIF_TAG_ORIENTATION) continue;
    if (view.U16(entry + 2) != EXIF_FORMAT_SHORT || view.U32(entry + 4) < 1)
      return TTagFound::Broken;
    view.SetU16(entry + 8, uint32_t(value));
    return TTagFound::Set;
  }
  return view.Fits(ifd + 2 + size_t(entries) * 12, 4) ? TTagFound::Absent : TTagFound::Broken;
}

// The EXIF segment of a JPEG: where its TIFF data starts and how long it is.
struct TExifSegment {
  size_t Marker = 0;  // offset of the segment's FF E1
  size_t Tiff = 0;
  size_t TiffSize = 0;
};

// Walks the segments before the picture data: a marker, its length, its body.
bool FindExifSegment(const uint8_t* data, size_t size, TExifSegment& found) {
  if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
  size_t at = 2;
  while (at + 4 <= size && data[at] == 0xFF) {
    const uint8_t marker = data[at + 1];
    if (marker == 0xDA || marker == 0xD9) break;
    const size_t length = size_t(data[at + 2]) << 8 | data[at + 3];
    if (length < 2 || length > size - at - 2) break;
    const uint8_t* body = data + at + 4;
    if (marker == 0xE1 && length >= 2 + 6 + 8 && std::memcmp(body, "Exif\0\0", 6) == 0) {
      found = {at, at + 10, length - 8};
      return true;
    }
    at += 2 + length;
  }
  return false;
}

constexpr size_t kMaxSegmentLength = 0xFFFF;

void PutU16(std::vector<uint8_t>& out, bool intel, uint32_t value) {
  out.push_back(uint8_t(intel ? value & 0xFF : value >> 8));
  out.push_back(uint8_t(intel ? value >> 8 : value & 0xFF));
}

void PutU32(std::vector<uint8_t>& out, bool intel, uint32_t value) {
  PutU16(out, intel, intel ? value & 0xFFFF : value >> 16);
  PutU16(out, intel, intel ? value >> 16 : value & 0xFFFF);
}

// The first IFD again, behind everything else, with an Orientation entry in
// its place among the others (entries go by tag number); the header then
// points to the copy. Nothing moves, so every offset keeps its meaning.
bool AddTiffOrientation(std::vector<uint8_t>& jpeg, const TExifSegment& exif, int value) {
  std::vector<uint8_t> tiff(jpeg.begin() + ptrdiff_t(exif.Tiff),
                            jpeg.begin() + ptrdiff_t(exif.Tiff + exif.TiffSize));
  TTiffView view(tiff.data(), tiff.size());
  const bool intel = tiff[0] == 'I';
  const size_t ifd = view.U32(4);
  const uint32_t entries = view.U16(ifd);
  if (entries >= 0xFFFF) return false;
  std::vector<uint8_t> copy = tiff;
  if (copy.size() % 2) copy.push_back(0);
  const size_t newIfd = copy.size();
  PutU16(copy, intel, entries + 1);
  bool placed = false;
  auto putOrientation = [&] {
    PutU16(copy, intel, EXIF_TAG_ORIENTATION);
    PutU16(copy, intel, EXIF_FORMAT_SHORT);
    PutU32(copy, intel, 1);
    PutU16(copy, intel, uint32_t(value));
    PutU16(copy, intel, 0);
    placed = true;
  };
  for (uint32_t i = 0; i < entries; ++i) {
    const size_t entry = ifd + 2 + size_t(i) * 12;
    if (!placed && view.U16(entry) > EXIF_TAG_ORIENTATION) putOrientation();
    copy.insert(copy.end(), tiff.begin() + ptrdiff_t(entry), tiff.begin() + ptrdiff_t(entry + 12));
  }
  if (!placed) putOrientation();
  copy.insert(copy.end(), tiff.begin() + ptrdiff_t(ifd + 2 + size_t(entries) * 12),
              tiff.begin() + ptrdiff_t(ifd + 2 + size_t(entries) * 12 + 4));
  if (copy.size() + 8 > kMaxSegmentLength) return false;
  TTiffView(copy.data(), copy.size()).SetU16(intel ? 4 : 6, uint32_t(newIfd & 0xFFFF));
  TTiffView(copy.data(), copy.size()).SetU16(intel ? 6 : 4, uint32_t(newIfd >> 16));
  const size_t length = copy.size() + 8;
  jpeg[exif.Marker + 2] = uint8_t(length >> 8);
  jpeg[exif.Marker + 3] = uint8_t(length & 0xFF);
  jpeg.erase(jpeg.begin() + ptrdiff_t(exif.Tiff),
             jpeg.begin() + ptrdiff_t(exif.Tiff + exif.TiffSize));
  jpeg.insert(jpeg.begin() + ptrdiff_t(exif.Tiff), copy.begin(), copy.end());
  return true;
}

// A new EXIF segment that holds only the tag, after the JFIF segment when
// the picture has one (that one must come first), else right after SOI.
void InsertExifSegment(std::vector<uint8_t>& jpeg, int value) {
  std::vector<uint8_t> segment = {0xFF, 0xE1, 0,   0,  'E', 'x', 'i', 'f', 0,
                                  0,    'I',  'I', 42, 0,   8,   0,   0,   0};
  PutU16(segment, true, 1);
  PutU16(segment, true, EXIF_TAG_ORIENTATION);
  PutU16(segment, true, EXIF_FORMAT_SHORT);
  PutU32(segment, true, 1);
  PutU16(segment, true, uint32_t(value));
  PutU16(segment, true, 0);
  PutU32(segment, true, 0);
  segment[3] = uint8_t(segment.size() - 2);
  size_t at = 2;
  if (jpeg.size() >= 6 && jpeg[2] == 0xFF && jpeg[3] == 0xE0) {
    const size_t length = size_t(jpeg[4]) << 8 | jpeg[5];
    if (length >= 2 && length <= jpeg.size() - 4) at = 4 + length;
  }
  jpeg.insert(jpeg.begin() + ptrdiff_t(at), segment.begin(), segment.end());
}

}  // namespace

bool MarkExifUpright(uint8_t* data, size_t size) {
  TExifSegment exif;
  return FindExifSegment(data, size, exif) &&
         SetTiffOrientation(data + exif.Tiff, exif.TiffSize, 1) == TTagFound::Set;
}

bool MarkTiffUpright(uint8_t* tiff, size_t size) {
  return tiff && SetTiffOrientation(tiff, size, 1) == TTagFound::Set;
}

bool SetExifOrientation(std::vector<uint8_t>& jpeg, int value) {
  if (value < 1 || value > 8 || jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8) return false;
  TExifSegment exif;
  if (!FindExifSegment(jpeg.data(), jpeg.size(), exif)) {
    InsertExifSegment(jpeg, value);
    return true;
  }
  switch (SetTiffOrientation(jpeg.data() + exif.Tiff, exif.TiffSize, value)) {
    case TTagFound::Set:
      return true;
    case TTagFound::Absent:
      return AddTiffOrientation(jpeg, exif, value);
    case TTagFound::Broken:
      break;
  }
  return false;
}

int32_t ReadExifOrientation(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return 1;
  const int32_t orientation = OrientationOf(ReadExifBlock(fd));
  ::close(fd);
  return orientation;
}

int32_t ExifOrientationOfData(const uint8_t* data, size_t size) {
  return OrientationOf(ExifBlockOfData(data, size));
}

}  // namespace vexo
