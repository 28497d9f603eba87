#pragma once
// The EXIF block of a photo, whatever holds it: a JPEG's APP1 segment, a
// PNG's eXIf chunk, a WebP's EXIF chunk or the Exif item of a HEIF or AVIF
// file.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vexo {

// The block as libexif's exif_data_new_from_data takes it ("Exif\0\0" and the
// TIFF structure); empty when the file has none or cannot be read. Reads the
// file from its start, whatever the descriptor's position, and never more
// than a photo's EXIF block can hold.
std::vector<uint8_t> ReadExifBlock(int fd);

// The same for a file's first bytes in memory (JPEG, PNG and WebP only).
std::vector<uint8_t> ExifBlockOfData(const uint8_t* data, size_t size);

}  // namespace vexo
