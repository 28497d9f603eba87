#include "engine/input/heif_photo.h"

#include <fcntl.h>
#include <libheif/heif.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <thread>

#include "engine/media/av_log.h"
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

using THeifContext = std::unique_ptr<heif_context, void (*)(heif_context*)>;
using THandle = std::unique_ptr<heif_image_handle, void (*)(const heif_image_handle*)>;
using TImage = std::unique_ptr<heif_image, void (*)(const heif_image*)>;

// A preview this much smaller than the picture is worth showing first.
constexpr int64_t kPreviewMaxShare = 16;
// How far the preview's shape may differ from the picture's and still be
// shown in its place.
constexpr double kPreviewShapeSlack = 0.02;

// The file's primary image, or the reason there is none.
std::string PrimaryImage(const std::string& fileName, THeifContext& ctx, THandle& handle) {
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
  THeifContext ctx(nullptr, &heif_context_free);
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
  SetSource(nullptr, 0, FWidth, FHeight);
  return {};
}

namespace {

// Decodes `handle` into 8-bit interleaved RGB of width x height; empty on
// success, otherwise the reason.
std::string DecodeRgb(heif_image_handle* handle, int32_t width, int32_t height, TImage& out) {
  heif_image* image = nullptr;
  const heif_error error =
      heif_decode_image(handle, &image, heif_colorspace_RGB, heif_chroma_interleaved_RGB, nullptr);
  if (error.code != heif_error_Ok || !image) {
    if (image) heif_image_release(image);
    return "HEIF picture cannot be decoded: " + Reason(error);
  }
  out = {image, &heif_image_release};
  int stride = 0;
  // The picture must be what the header promised the demultiplexer.
  if (!heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride) ||
      heif_image_get_width(image, heif_channel_interleaved) != width ||
      heif_image_get_height(image, heif_channel_interleaved) != height || stride < width * 3) {
    out.reset();
    return "HEIF picture cannot be decoded: its size is not the one the file states";
  }
  return {};
}

std::string DecodePrimary(const std::string& fileName, int32_t width, int32_t height, TImage& out) {
  THeifContext ctx(nullptr, &heif_context_free);
  THandle handle(nullptr, &heif_image_handle_release);
  const std::string error = PrimaryImage(fileName, ctx, handle);
  if (!error.empty()) return error;
  return DecodeRgb(handle.get(), width, height, out);
}

}  // namespace

// The picture decoded on its own thread. The thread keeps it alive, so that
// a photo closed meanwhile neither waits for the decoder nor is reached by it.
struct THeifPhoto::TBackground {
  std::mutex Lock;
  bool Done = false;
  TImage Image{nullptr, nullptr};
  std::string Error;
  std::function<void()> OnReady;
};

bool THeifPhoto::DecodePicture() {
  // The demultiplexer's first read may have decoded it already.
  if (FImage) return true;
  TImage image(nullptr, nullptr);
  FDecodeError = DecodePrimary(FFileName, FWidth, FHeight, image);
  if (!FDecodeError.empty()) return false;
  FImage = std::move(image);
  FPixels = heif_image_get_plane_readonly(FImage.get(), heif_channel_interleaved, &FStride);
  if (!FPreview) {
    FSourcePixels = FPixels;
    FSourceStride = FStride;
  }
  return true;
}

void THeifPhoto::SetOnReady(std::function<void()> onReady) {
  if (!FBackground) return;
  std::unique_lock<std::mutex> lock(FBackground->Lock);
  if (!FBackground->Done) {
    FBackground->OnReady = std::move(onReady);
    return;
  }
  lock.unlock();
  if (onReady) onReady();
}

bool THeifPhoto::StartWithPreview() {
  THeifContext ctx(nullptr, &heif_context_free);
  THandle handle(nullptr, &heif_image_handle_release);
  if (!PrimaryImage(FFileName, ctx, handle).empty() ||
      heif_image_handle_get_number_of_thumbnails(handle.get()) < 1)
    return false;
  heif_item_id id = 0;
  heif_image_handle* raw = nullptr;
  if (heif_image_handle_get_list_of_thumbnail_IDs(handle.get(), &id, 1) != 1 ||
      heif_image_handle_get_thumbnail(handle.get(), id, &raw).code != heif_error_Ok)
    return false;
  THandle preview(raw, &heif_image_handle_release);
  const int32_t width = heif_image_handle_get_width(preview.get());
  const int32_t height = heif_image_handle_get_height(preview.get());
  const double shape = double(FWidth) / FHeight;
  if (width <= 0 || height <= 0 ||
      int64_t(width) * height * kPreviewMaxShare > int64_t(FWidth) * FHeight ||
      std::fabs(double(width) / height - shape) > kPreviewShapeSlack * shape)
    return false;
  TImage image(nullptr, nullptr);
  if (!DecodeRgb(preview.get(), width, height, image).empty()) return false;
  FPreview = std::move(image);
  auto job = std::make_shared<TBackground>();
  FBackground = job;
  std::thread([job, fileName = FFileName, width = FWidth, height = FHeight] {
    TImage picture(nullptr, nullptr);
    std::string error = DecodePrimary(fileName, width, height, picture);
    std::lock_guard<std::mutex> lock(job->Lock);
    job->Image = std::move(picture);
    job->Error = std::move(error);
    job->Done = true;
    if (job->OnReady) job->OnReady();
  }).detach();
  ChooseSource();
  return true;
}

void THeifPhoto::SetSource(const uint8_t* pixels, int stride, int32_t width, int32_t height) {
  FSourcePixels = pixels;
  FSourceStride = stride;
  if (width == FSourceWidth && height == FSourceHeight && !FHeader.empty()) return;
  FSourceWidth = width;
  FSourceHeight = height;
  FHeader = "P7\nWIDTH " + std::to_string(width) + "\nHEIGHT " + std::to_string(height) +
            "\nDEPTH 3\nMAXVAL 255\nTUPLTYPE RGB\nENDHDR\n";
  FSize = int64_t(FHeader.size()) + int64_t(width) * 3 * height;
}

void THeifPhoto::ChooseSource() {
  if (FBackground && !FImage) {
    std::lock_guard<std::mutex> lock(FBackground->Lock);
    if (FBackground->Done) {
      if (FBackground->Image) {
        FImage = std::move(FBackground->Image);
        FPixels = heif_image_get_plane_readonly(FImage.get(), heif_channel_interleaved, &FStride);
        FPreview.reset();
      } else {
        // The preview is all there is to show of it.
        Log("HEIF picture shown by its preview: " + FFileName + ": " + FBackground->Error);
      }
      FBackground->OnReady = nullptr;
      FBackground.reset();
    }
  }
  FReadingPreview = !FImage && FPreview;
  if (FReadingPreview) {
    int stride = 0;
    const uint8_t* pixels =
        heif_image_get_plane_readonly(FPreview.get(), heif_channel_interleaved, &stride);
    SetSource(pixels, stride, heif_image_get_width(FPreview.get(), heif_channel_interleaved),
              heif_image_get_height(FPreview.get(), heif_channel_interleaved));
    return;
  }
  SetSource(FPixels, FStride, FWidth, FHeight);
}

void THeifPhoto::Release() {
  FImage.reset();
  FPixels = nullptr;
  FSourcePixels = nullptr;
}

THeifPhoto::~THeifPhoto() {
  CloseReader();
  if (!FBackground) return;
  std::lock_guard<std::mutex> lock(FBackground->Lock);
  FBackground->OnReady = nullptr;
}

void THeifPhoto::CloseReader() {
  if (!FReader) return;
  ff::av_freep(&FReader->buffer);
  ff::avio_context_free(&FReader);
}

AVIOContext* THeifPhoto::Reader() {
  CloseReader();
  FPosition = 0;
  ChooseSource();
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
  if (self->FPosition == 0) self->ChooseSource();
  int done = 0;
  const int64_t header = int64_t(self->FHeader.size());
  const int64_t rowBytes = int64_t(self->FSourceWidth) * 3;
  while (done < size && self->FPosition < self->FSize) {
    int64_t n;
    if (self->FPosition < header) {
      n = std::min<int64_t>(size - done, header - self->FPosition);
      std::memcpy(buffer + done, self->FHeader.data() + self->FPosition, size_t(n));
    } else {
      if (!self->FSourcePixels) {
        // The header alone first: opening the demultiplexer reads no further,
        // and a photo not yet shown is not decoded for it.
        if (done > 0) break;
        if (!self->FImage && (!self->FDecodeError.empty() || !self->DecodePicture())) break;
        self->FSourcePixels = self->FPixels;
        self->FSourceStride = self->FStride;
      }
      const int64_t at = self->FPosition - header;
      const int64_t row = at / rowBytes, column = at % rowBytes;
      n = std::min<int64_t>(size - done, rowBytes - column);
      std::memcpy(buffer + done, self->FSourcePixels + row * self->FSourceStride + column,
                  size_t(n));
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
  if (target == 0) self->ChooseSource();
  return target;
}

}  // namespace vexo
