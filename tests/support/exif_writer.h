#pragma once
// JPEG files with an EXIF block made to order, for the tests of photo
// orientation.
#include <cstdint>
#include <string>
#include <vector>

namespace vexo::test {

// `jpeg` (without an EXIF block) with one put in after its start marker:
// Orientation `orientation` (none when negative) and, when not empty,
// DateTimeOriginal `date` ("YYYY:MM:DD HH:MM:SS").
std::vector<uint8_t> WithExif(const std::vector<uint8_t>& jpeg, int orientation,
                              const std::string& date = {});

}  // namespace vexo::test
