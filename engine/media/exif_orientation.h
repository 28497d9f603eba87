#pragma once
// The Orientation tag of a photo's EXIF block: how the stored picture must be
// turned to stand upright.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vexo {

// 1..8; 1 when the file cannot be read, has no EXIF block, no such tag, or a
// tag that is broken or out of range.
int32_t ReadExifOrientation(const std::string& path);
// The same for a JPEG, PNG or WebP file's bytes in memory.
int32_t ExifOrientationOfData(const uint8_t* data, size_t size);

// Sets the Orientation tag of a JPEG file's bytes to 1 (upright) where it
// stands, leaving every other byte as it was. False when there is no such
// tag in the first IFD or the block cannot be read.
bool MarkExifUpright(uint8_t* data, size_t size);

// The same for an EXIF block's TIFF structure alone (PNG's and WebP's chunks).
bool MarkTiffUpright(uint8_t* tiff, size_t size);

// Sets the Orientation tag of a JPEG file's bytes to `value` (1..8) and
// changes nothing else the picture holds: the tag is changed where it stands;
// an EXIF block without the tag gets a copy of its first IFD with the tag
// added behind its other data (every offset in it stays valid); a picture
// without an EXIF block gets one holding only the tag. False, leaving the
// bytes as they were, when the file is not a JPEG or the block cannot take it.
bool SetExifOrientation(std::vector<uint8_t>& jpeg, int value);

}  // namespace vexo
