#pragma once
// HEIC photos made to order with libheif's encoder: the quadrant picture
// (red, lime / blue, white, 96 x 48 stored) with the file's own turn (irot
// and imir, as a phone writes them) and an EXIF block beside it.
#include <cstdint>
#include <string>
#include <vector>

namespace vexo::test {

// `orientation` (1..8, as the EXIF tag names them) becomes the file's
// transform properties; `tiff` (empty for none) its EXIF item. Throws when
// the file cannot be made.
void WriteTurnedHeic(const std::string& path, int orientation, const std::vector<uint8_t>& tiff);

// The quadrant picture at 384 x 192 with a preview of 64 x 32 in plain grey
// beside it, as phones store a small preview of the photo. Throws when the
// file cannot be made.
void WriteHeicWithPreview(const std::string& path);

}  // namespace vexo::test
