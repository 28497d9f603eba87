#pragma once
// The picture size a PNG or WebP file states in its header, read before any
// decoder sees the file, and the largest photo the player decodes.
#include <cstdint>
#include <string>

namespace vexo {

// No photo with more pixels is decoded: its picture and the screen made for
// it would take gigabytes.
constexpr int64_t kMaxPhotoPixels = int64_t(1) << 27;

struct TDeclaredSize {
  int64_t Width = 0;
  int64_t Height = 0;
};

// The size in the file's header (PNG's IHDR; WebP's VP8X canvas, VP8L or
// VP8 frame header); 0 x 0 for other files and headers that cannot be read.
TDeclaredSize DeclaredPictureSize(const std::string& fileName);

}  // namespace vexo
