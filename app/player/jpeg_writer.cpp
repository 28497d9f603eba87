#include "app/player/jpeg_writer.h"

#include <turbojpeg.h>

#include <cstdio>
#include <memory>

namespace vexo {

bool WriteJpegFile(const TBitmap32& bitmap, const std::string& path, int quality) {
  if (bitmap.Width <= 0 || bitmap.Height <= 0 ||
      bitmap.Pixels.size() < size_t(bitmap.Stride()) * size_t(bitmap.Height))
    return false;
  std::unique_ptr<void, int (*)(tjhandle)> handle(tjInitCompress(), tjDestroy);
  if (!handle) return false;
  unsigned char* jpeg = nullptr;
  unsigned long size = 0;
  // The bitmap's first row is the picture's bottom row.
  const int failed =
      tjCompress2(handle.get(), bitmap.Pixels.data(), bitmap.Width, bitmap.Stride(), bitmap.Height,
                  TJPF_BGRX, &jpeg, &size, TJSAMP_420, quality, TJFLAG_BOTTOMUP);
  std::unique_ptr<unsigned char, void (*)(unsigned char*)> owned(jpeg, tjFree);
  if (failed) return false;
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
  if (!file) return false;
  const bool written = std::fwrite(jpeg, 1, size, file.get()) == size;
  if (std::fclose(file.release()) == 0 && written) return true;
  // A cut-off picture is worse than none.
  std::remove(path.c_str());
  return false;
}

}  // namespace vexo
