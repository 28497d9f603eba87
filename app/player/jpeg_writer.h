#pragma once
// Writes a 32-bit bottom-up bitmap as a JPEG file through libjpeg-turbo.
#include <string>

#include "engine/input/av_in_file_list.h"

namespace vexo {

// True when the whole file was written.
bool WriteJpegFile(const TBitmap32& bitmap, const std::string& path, int quality = 90);

}  // namespace vexo
