#pragma once
// A HEIC/HEIF or AVIF photo: libheif decodes its primary image, upright (the
// file's own rotation and mirroring applied), and the demultiplexer reads it
// back as an uncompressed picture from memory, so that it plays like any
// other photo. The picture is decoded when it is first read, not when the
// file is opened: a slideshow opens all its files at once.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/input/picture_size.h"

struct AVIOContext;
struct AVInputFormat;
struct heif_image;

namespace vexo {

class THeifPhoto {
 public:
  // Whether the file's first bytes name a HEIF or AVIF file libheif reads.
  static bool IsHeifFile(const std::string& fileName);

  // Reads the file's description and checks its primary image's size; empty
  // on success, otherwise the reason.
  std::string Open(const std::string& fileName);
  ~THeifPhoto();
  // Drops the decoded picture; it is decoded again when it is read again.
  void Release();
  // Decodes the picture now rather than when it is first read; false with
  // DecodeError set when it cannot be decoded.
  bool DecodePicture();
  // Why the picture could not be decoded, once a read has failed.
  const std::string& DecodeError() const { return FDecodeError; }
  // A photo of tens of megapixels takes its decoder a second: when the file
  // stores a small preview of the same shape (phones do), the preview is
  // decoded now and read in the picture's place, and the picture itself is
  // decoded on a thread of its own. False, with nothing started, when there is no
  // such preview or it cannot be decoded.
  bool StartWithPreview();
  // Called on the decoding thread once the picture is ready, or at once when
  // it is ready already; nothing is called without a preview.
  void SetOnReady(std::function<void()> onReady);
  // Reads from the start give the preview.
  bool ReadsPreview() const { return FReadingPreview; }

  // The picture's bytes as the demultiplexer reads them, from their start;
  // valid until the next call or the photo's end.
  AVIOContext* Reader();
  // The demultiplexer that reads them.
  static const AVInputFormat* Format();

  int32_t Width() const { return FWidth; }
  int32_t Height() const { return FHeight; }

 private:
  static int Read(void* opaque, uint8_t* buffer, int size);
  static int64_t Seek(void* opaque, int64_t offset, int whence);
  void CloseReader();
  // From the start of a read: the picture when it is at hand, the preview
  // while the picture is being decoded.
  void ChooseSource();
  void SetSource(const uint8_t* pixels, int stride, int32_t width, int32_t height);
  struct TBackground;
  std::shared_ptr<TBackground> FBackground;
  std::unique_ptr<heif_image, void (*)(const heif_image*)> FPreview{nullptr, nullptr};

  std::string FFileName;
  std::string FDecodeError;
  std::unique_ptr<heif_image, void (*)(const heif_image*)> FImage{nullptr, nullptr};
  const uint8_t* FPixels = nullptr;
  int FStride = 0;
  int32_t FWidth = 0;
  int32_t FHeight = 0;
  // What reads give from the current start: the picture or the preview.
  const uint8_t* FSourcePixels = nullptr;
  int FSourceStride = 0;
  int32_t FSourceWidth = 0;
  int32_t FSourceHeight = 0;
  bool FReadingPreview = false;
  std::string FHeader;
  int64_t FSize = 0;
  int64_t FPosition = 0;
  AVIOContext* FReader = nullptr;
};

}  // namespace vexo
