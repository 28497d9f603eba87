#include "engine/input/heif_photo.h"

#include <fcntl.h>
#include <libheif/heif.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "engine/media/media_lib.h"

namespace vexo {

namespace {

// The demultiplexer reads its input in pieces of this size.
constexpr int kReadBufferBytes = 64 * 1024;

bool HeifReady() {
  static const bool ready = heif_init(nullptr).code == heif_error_Ok;
  return ready;
}

std::string Reason(const heif_error& error) {
  return error.message && *error.message ? error.message : "unknown error";
}

using TContext = std::unique_ptr<heif_context, void (*)(heif_context*)>;
using THandle = std::unique_ptr<heif_image_handle, void (*)(const heif_image_handle*)>;

// The file's primary image, or the reason there is none.
std::string PrimaryImage(const std::string& fileName, TContext& ctx, THandle& handle) {
  if (!HeifReady()) return "HEIF decoder not available";
  ctx.reset(heif_context_alloc());
  if (!ctx) return "HEIF decoder not available";
  // No side of a picture that the pixel limit would let through is longer.
  heif_context_set_maximum_image_size_limit(ctx.get(), 1 << 16);
  heif_error error = heif_context_read_from_file(ctx.get(), fileName.c_str(), nullptr);
  if (error.code != heif_error_Ok) return "HEIF file cannot be read: " + Reason(error);
  heif_image_handle* raw = nullptr;
  error = heif_context_get_primary_image_handle(ctx.get(), &raw);
  if (error.code != heif_error_Ok) return "HEIF file has no picture: " + Reason(error);
  handle.reset(raw);
  return {};
}

}  // namespace

bool THeifPhoto::IsHeifFile(const std::string& fileName) {
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return false;
  uint8_t head[16];
  const ssize_t got = ::read(fd, head, sizeof head);
  ::close(fd);
  // A file that only names itself HEIF and cannot be read is reported as
  // such rather than left to the demultiplexer's guesses.
  return got == ssize_t(sizeof head) && HeifReady() &&
         heif_check_filetype(head, int(sizeof head)) != heif_filetype_no;
}

std::string THeifPhoto::Open(const std::string& fileName) {
  CloseReader();
  FImage.reset();
  FFileName = fileName;
  TContext ctx(nullptr, &heif_context_free);
  THandle handle(nullptr, &heif_image_handle_release);
  const std::string error = PrimaryImage(fileName, ctx, handle);
  if (!error.empty()) return error;
  // The size the file states decides before anything is decoded; it is the
  // size of the upright picture.
  const int64_t width = heif_image_handle_get_width(handle.get());
  const int64_t height = heif_image_handle_get_height(handle.get());
  if (width <= 0 || height <= 0 || width * height > kMaxPhotoPixels)
    return "Picture too large or empty (" + std::to_string(width) + " x " + std::to_string(height) +
           ")";
  FWidth = int32_t(width);
  FHeight = int32_t(height);
  FHeader = "P7\nWIDTH " + std::to_string(FWidth) + "\nHEIGHT " + std::to_string(FHeight) +
            "\nDEPTH 3\nMAXVAL 255\nTUPLTYPE RGB\nENDHDR\n";
  FSize = int64_t(FHeader.size()) + int64_t(FWidth) * 3 * FHeight;
  return {};
}

bool THeifPhoto::DecodePicture() {
  TContext ctx(nullptr, &heif_context_free);
  THandle handle(nullptr, &heif_image_handle_release);
  FDecodeError = PrimaryImage(FFileName, ctx, handle);
  if (!FDecodeError.empty()) return false;
  heif_image* image = nullptr;
  const heif_error error = heif_decode_image(handle.get(), &image, heif_colorspace_RGB,
                                             heif_chroma_interleaved_RGB, nullptr);
  if (error.code != heif_error_Ok || !image) {
    if (image) heif_image_release(image);
    FDecodeError = "HEIF picture cannot be decoded: " + Reason(error);
    return false;
  }
  FImage = {image, &heif_image_release};
  FPixels = heif_image_get_plane_readonly(image, heif_channel_interleaved, &FStride);
  // The picture must be what the header promised the demultiplexer.
  if (!FPixels || heif_image_get_width(image, heif_channel_interleaved) != FWidth ||
      heif_image_get_height(image, heif_channel_interleaved) != FHeight || FStride < FWidth * 3) {
    FImage.reset();
    FPixels = nullptr;
    FDecodeError = "HEIF picture cannot be decoded: its size is not the one the file states";
    return false;
  }
  return true;
}

void THeifPhoto::Release() {
  FImage.reset();
  FPixels = nullptr;
}

THeifPhoto::~THeifPhoto() {
  CloseReader();
}

void THeifPhoto::CloseReader() {
  if (!FReader) return;
  ff::av_freep(&FReader->buffer);
  ff::avio_context_free(&FReader);
}

AVIOContext* THeifPhoto::Reader() {
  CloseReader();
  FPosition = 0;
  if (FHeader.empty()) return nullptr;
  auto* buffer = static_cast<unsigned char*>(ff::av_malloc(kReadBufferBytes));
  if (!buffer) return nullptr;
  FReader = ff::avio_alloc_context(buffer, kReadBufferBytes, 0, this, &THeifPhoto::Read, nullptr,
                                   &THeifPhoto::Seek);
  if (!FReader) ff::av_free(buffer);
  return FReader;
}

const AVInputFormat* THeifPhoto::Format() {
  return ff::av_find_input_format("pam_pipe");
}

// The header, then the rows without the decoder's padding.
int THeifPhoto::Read(void* opaque, uint8_t* buffer, int size) {
  auto* self = static_cast<THeifPhoto*>(opaque);
  int done = 0;
  const int64_t header = int64_t(self->FHeader.size());
  const int64_t rowBytes = int64_t(self->FWidth) * 3;
  while (done < size && self->FPosition < self->FSize) {
    int64_t n;
    if (self->FPosition < header) {
      n = std::min<int64_t>(size - done, header - self->FPosition);
      std::memcpy(buffer + done, self->FHeader.data() + self->FPosition, size_t(n));
    } else {
      if (!self->FImage && (!self->FDecodeError.empty() || !self->DecodePicture())) break;
      const int64_t at = self->FPosition - header;
      const int64_t row = at / rowBytes, column = at % rowBytes;
      n = std::min<int64_t>(size - done, rowBytes - column);
      std::memcpy(buffer + done, self->FPixels + row * self->FStride + column, size_t(n));
    }
    done += int(n);
    self->FPosition += n;
  }
  if (done > 0) return done;
  return self->FPosition < self->FSize ? AVERROR_INVALIDDATA : AVERROR_EOF;
}

int64_t THeifPhoto::Seek(void* opaque, int64_t offset, int whence) {
  auto* self = static_cast<THeifPhoto*>(opaque);
  whence &= ~AVSEEK_FORCE;
  if (whence == AVSEEK_SIZE) return self->FSize;
  int64_t target = offset;
  if (whence == SEEK_CUR) target += self->FPosition;
  if (whence == SEEK_END) target += self->FSize;
  if (whence != SEEK_SET && whence != SEEK_CUR && whence != SEEK_END) return -1;
  if (target < 0 || target > self->FSize) return -1;
  self->FPosition = target;
  return target;
}

}  // namespace vexo
