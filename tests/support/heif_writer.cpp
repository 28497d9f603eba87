#include "tests/support/heif_writer.h"

#include <libheif/heif.h>

#include <memory>
#include <stdexcept>

namespace vexo::test {

namespace {

using TContext = std::unique_ptr<heif_context, void (*)(heif_context*)>;
using TEncoder = std::unique_ptr<heif_encoder, void (*)(heif_encoder*)>;
using TImage = std::unique_ptr<heif_image, void (*)(const heif_image*)>;
using THandle = std::unique_ptr<heif_image_handle, void (*)(const heif_image_handle*)>;

TEncoder HevcEncoder(heif_context* ctx) {
  heif_encoder* encoder = nullptr;
  if (heif_context_get_encoder_for_format(ctx, heif_compression_HEVC, &encoder).code)
    throw std::runtime_error("no HEVC encoder");
  heif_encoder_set_lossy_quality(encoder, 90);
  return {encoder, &heif_encoder_release};
}

// The quadrants (red, lime / blue, white) of width x height, or plain grey.
TImage Picture(int width, int height, bool grey) {
  heif_image* raw = nullptr;
  heif_image_create(width, height, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &raw);
  TImage image(raw, &heif_image_release);
  heif_image_add_plane(raw, heif_channel_interleaved, width, height, 8);
  int stride = 0;
  uint8_t* pixels = heif_image_get_plane(raw, heif_channel_interleaved, &stride);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const bool right = x >= width / 2, bottom = y >= height / 2;
      uint8_t* p = pixels + y * stride + x * 3;
      p[0] = grey ? 128 : (!bottom && !right) || (bottom && right) ? 255 : 0;
      p[1] = grey ? 128 : right ? 255 : 0;
      p[2] = grey ? 128 : bottom ? 255 : 0;
    }
  return image;
}

}  // namespace

void WriteHeicWithPreview(const std::string& path) {
  TContext ctx(heif_context_alloc(), &heif_context_free);
  TEncoder encoder = HevcEncoder(ctx.get());
  TImage picture = Picture(384, 192, false), preview = Picture(384, 192, true);
  heif_image_handle* raw = nullptr;
  if (heif_context_encode_image(ctx.get(), picture.get(), encoder.get(), nullptr, &raw).code)
    throw std::runtime_error("HEIC not encoded");
  THandle handle(raw, &heif_image_handle_release);
  heif_image_handle* thumb = nullptr;
  if (heif_context_encode_thumbnail(ctx.get(), preview.get(), handle.get(), encoder.get(), nullptr,
                                    64, &thumb)
          .code ||
      !thumb)
    throw std::runtime_error("preview not encoded");
  heif_image_handle_release(thumb);
  if (heif_context_write_to_file(ctx.get(), path.c_str()).code)
    throw std::runtime_error("cannot write " + path);
}

void WriteTurnedHeic(const std::string& path, int orientation, const std::vector<uint8_t>& tiff) {
  TContext ctx(heif_context_alloc(), &heif_context_free);
  TEncoder encoder = HevcEncoder(ctx.get());
  TImage image = Picture(96, 48, false);
  std::unique_ptr<heif_encoding_options, void (*)(heif_encoding_options*)> options(
      heif_encoding_options_alloc(), &heif_encoding_options_free);
  options->image_orientation = heif_orientation(orientation);
  heif_image_handle* handle = nullptr;
  if (heif_context_encode_image(ctx.get(), image.get(), encoder.get(), options.get(), &handle).code)
    throw std::runtime_error("HEIC not encoded");
  THandle handleGuard(handle, &heif_image_handle_release);
  if (!tiff.empty() &&
      heif_context_add_exif_metadata(ctx.get(), handle, tiff.data(), int(tiff.size())).code)
    throw std::runtime_error("EXIF not added");
  if (heif_context_write_to_file(ctx.get(), path.c_str()).code)
    throw std::runtime_error("cannot write " + path);
}

}  // namespace vexo::test
