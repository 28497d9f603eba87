#pragma once
// The Orientation tag of a JPEG photo's EXIF block: how the stored picture
// must be turned to stand upright.
#include <cstddef>
#include <cstdint>
#include <string>

namespace vexo {

// 1..8; 1 when the file cannot be read, has no EXIF block, no such tag, or a
// tag that is broken or out of range.
int32_t ReadExifOrientation(const std::string& path);
// The same for a JPEG file's bytes in memory.
int32_t ExifOrientationOfData(const uint8_t* data, size_t size);

// Sets the Orientation tag of a JPEG file's bytes to 1 (upright) where it
// stands, leaving every other byte as it was. False when there is no such
// tag in the first IFD or the block cannot be read.
bool MarkExifUpright(uint8_t* data, size_t size);

}  // namespace vexo
