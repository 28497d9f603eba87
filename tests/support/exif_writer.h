#pragma once
// JPEG files with an EXIF block made to order, for the tests of photo
// orientation and dates and for the fuzz runs' seeds.
#include <cstdint>
#include <string>
#include <vector>

namespace vexo::test {

// `jpeg` (without an EXIF block) with one put in after its start marker:
// Orientation `orientation` (none when negative) and, when not empty,
// DateTimeOriginal `date` ("YYYY:MM:DD HH:MM:SS").
std::vector<uint8_t> WithExif(const std::vector<uint8_t>& jpeg, int orientation,
                              const std::string& date = {});

// What a camera writes: maker, model and the camera maker's own note block,
// Orientation, the dates of the file, the shot and its digitising, and a
// thumbnail JPEG in the second IFD; in either byte order.
struct TCameraExif {
  int Orientation = 6;
  std::string Date = "2021:07:14 16:05:09";
  std::vector<uint8_t> Thumbnail;  // none when empty
  bool Intel = false;              // little-endian, as many cameras write
};
std::vector<uint8_t> WithCameraExif(const std::vector<uint8_t>& jpeg, const TCameraExif& camera);

// The TIFF structure of such a block alone, as PNG and WebP files hold it.
std::vector<uint8_t> ExifTiff(int orientation, const std::string& date = {});
// Encodes `jpeg` as HEIC, or as AVIF when `path` ends in .avif, with
// heif-enc, which keeps the JPEG's EXIF block; throws when it fails.
void WriteHeifFromJpeg(const std::string& path, const std::vector<uint8_t>& jpeg);

// A PNG chunk: length, type, body and checksum.
std::vector<uint8_t> PngChunk(const char* type, const std::vector<uint8_t>& body);
// `png` with an eXIf chunk holding `tiff` right behind its header chunk.
std::vector<uint8_t> WithPngExif(const std::vector<uint8_t>& png, const std::vector<uint8_t>& tiff);
// `webp` (a simple lossy or lossless file of width x height) made an extended
// one with an EXIF chunk holding `tiff`.
std::vector<uint8_t> WithWebpExif(const std::vector<uint8_t>& webp,
                                  const std::vector<uint8_t>& tiff, int width, int height);

}  // namespace vexo::test
