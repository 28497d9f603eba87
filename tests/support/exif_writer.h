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

}  // namespace vexo::test
