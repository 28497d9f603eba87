#include "tests/support/heif_writer.h"

#include <libheif/heif.h>

#include <memory>
#include <stdexcept>

namespace vexo::test {

void WriteTurnedHeic(const std::string& path, int orientation, const std::vector<uint8_t>& tiff) {
  std::unique_ptr<heif_context, void (*)(heif_context*)> ctx(heif_context_alloc(),
                                                             &heif_context_free);
  heif_encoder* encoder = nullptr;
  if (heif_context_get_encoder_for_format(ctx.get(), heif_compression_HEVC, &encoder).code)
    throw std::runtime_error("no HEVC encoder");
  std::unique_ptr<heif_encoder, void (*)(heif_encoder*)> encoderGuard(encoder,
                                                                      &heif_encoder_release);
  heif_encoder_set_lossy_quality(encoder, 90);
  heif_image* raw = nullptr;
  heif_image_create(96, 48, heif_colorspace_RGB, heif_chroma_interleaved_RGB, &raw);
  std::unique_ptr<heif_image, void (*)(const heif_image*)> image(raw, &heif_image_release);
  heif_image_add_plane(raw, heif_channel_interleaved, 96, 48, 8);
  int stride = 0;
  uint8_t* pixels = heif_image_get_plane(raw, heif_channel_interleaved, &stride);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 96; ++x) {
      const bool right = x >= 48, bottom = y >= 24;
      uint8_t* p = pixels + y * stride + x * 3;
      p[0] = (!bottom && !right) || (bottom && right) ? 255 : 0;
      p[1] = right ? 255 : 0;
      p[2] = bottom ? 255 : 0;
    }
  std::unique_ptr<heif_encoding_options, void (*)(heif_encoding_options*)> options(
      heif_encoding_options_alloc(), &heif_encoding_options_free);
  options->image_orientation = heif_orientation(orientation);
  heif_image_handle* handle = nullptr;
  if (heif_context_encode_image(ctx.get(), raw, encoder, options.get(), &handle).code)
    throw std::runtime_error("HEIC not encoded");
  std::unique_ptr<heif_image_handle, void (*)(const heif_image_handle*)> handleGuard(
      handle, &heif_image_handle_release);
  if (!tiff.empty() &&
      heif_context_add_exif_metadata(ctx.get(), handle, tiff.data(), int(tiff.size())).code)
    throw std::runtime_error("EXIF not added");
  if (heif_context_write_to_file(ctx.get(), path.c_str()).code)
    throw std::runtime_error("cannot write " + path);
}

}  // namespace vexo::test
