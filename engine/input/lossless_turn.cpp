#include "engine/input/lossless_turn.h"
#include "engine/media/byte_order.h"

#include <fcntl.h>
#include <libheif/heif.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <set>

#include "engine/input/picture_size.h"
#include "engine/media/exif_orientation.h"
#include "engine/media/media_lib.h"
#include "engine/video/picture_turn.h"

namespace vexo {

namespace {

// Enough of a file's start to find its format and the chunks before its
// picture data.
constexpr size_t kHeadBytes = 64 * 1024;

using TBytes = std::vector<uint8_t>;

struct TChunk {
  std::string Type;
  size_t At = 0;    // of the chunk's first byte
  size_t Size = 0;  // of the whole chunk, header and padding or checksum included
  size_t Body = 0;  // of the body's first byte
  size_t BodySize = 0;
};

bool IsPng(const uint8_t* data, size_t size) {
  return size >= 8 && std::memcmp(data, "\x89PNG\r\n\x1A\n", 8) == 0;
}

bool IsWebp(const uint8_t* data, size_t size) {
  return size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WEBP", 4) == 0;
}

// The chunks that lie whole within the bytes.
std::vector<TChunk> PngChunks(const uint8_t* data, size_t size) {
  std::vector<TChunk> chunks;
  for (size_t at = 8; at + 12 <= size;) {
    const size_t length = BigEndian32(data + at);
    if (length > size - at - 12) break;
    chunks.push_back({std::string(reinterpret_cast<const char*>(data + at + 4), 4), at, 12 + length,
                      at + 8, length});
    at += 12 + length;
  }
  return chunks;
}

std::vector<TChunk> WebpChunks(const uint8_t* data, size_t size) {
  std::vector<TChunk> chunks;
  for (size_t at = 12; at + 8 <= size;) {
    const size_t length = LittleEndian32(data + at + 4);
    const size_t whole = 8 + length + (length & 1);
    if (length > size - at - 8) break;
    chunks.push_back({std::string(reinterpret_cast<const char*>(data + at), 4), at,
                      std::min(whole, size - at), at + 8, length});
    at += whole;
  }
  return chunks;
}

bool Has(const std::vector<TChunk>& chunks, const char* type) {
  return std::any_of(chunks.begin(), chunks.end(),
                     [type](const TChunk& c) { return c.Type == type; });
}

struct TFrameFree {
  void operator()(AVFrame* frame) const { ff::av_frame_free(&frame); }
};
using TFrame = std::unique_ptr<AVFrame, TFrameFree>;

struct TContextFree {
  void operator()(AVCodecContext* ctx) const { ff::avcodec_free_context(&ctx); }
};
using TContext = std::unique_ptr<AVCodecContext, TContextFree>;

struct TPacketFree {
  void operator()(AVPacket* packet) const { ff::av_packet_free(&packet); }
};
using TPacket = std::unique_ptr<AVPacket, TPacketFree>;

TFrame Decode(const TBytes& file, AVCodecID id, std::string& error) {
  const AVCodec* codec = ff::avcodec_find_decoder(id);
  TContext ctx(codec ? ff::avcodec_alloc_context3(codec) : nullptr);
  TPacket packet(ff::av_packet_alloc());
  TFrame frame(ff::av_frame_alloc());
  if (!ctx || !packet || !frame || file.size() > size_t(INT32_MAX)) {
    error = "No decoder for the picture";
    return nullptr;
  }
  ctx->max_pixels = kMaxPhotoPixels;
  ctx->thread_count = 1;
  if (ff::avcodec_open2(ctx.get(), codec, nullptr) < 0 ||
      ff::av_new_packet(packet.get(), int(file.size())) < 0) {
    error = "No decoder for the picture";
    return nullptr;
  }
  std::memcpy(packet->data, file.data(), file.size());
  if (ff::avcodec_send_packet(ctx.get(), packet.get()) < 0 ||
      ff::avcodec_send_packet(ctx.get(), nullptr) < 0 ||
      ff::avcodec_receive_frame(ctx.get(), frame.get()) < 0) {
    error = "The picture cannot be decoded";
    return nullptr;
  }
  return frame;
}

// Bytes of one pixel of a layout that keeps each pixel in whole bytes of one
// plane (and a palette beside it); 0 for any other.
int PixelBytes(int format) {
  const AVPixFmtDescriptor* d = ff::av_pix_fmt_desc_get(AVPixelFormat(format));
  if (!d ||
      (d->flags & (AV_PIX_FMT_FLAG_PLANAR | AV_PIX_FMT_FLAG_BITSTREAM | AV_PIX_FMT_FLAG_HWACCEL)))
    return 0;
  for (int c = 1; c < d->nb_components; ++c)
    if (d->comp[c].plane != 0 || d->comp[c].step != d->comp[0].step) return 0;
  const int step = d->comp[0].step;
  return step == 1 || step == 2 || step == 3 || step == 4 || step == 6 || step == 8 ? step : 0;
}

TFrame Turned(const AVFrame& in, TPictureTurn turn, std::string& error) {
  const int bytes = PixelBytes(in.format);
  TFrame out(ff::av_frame_alloc());
  if (bytes <= 0 || !out) {
    error = "The picture's pixel layout cannot be turned";
    return nullptr;
  }
  const bool swap = TurnSwapsAxes(turn);
  out->format = in.format;
  out->width = swap ? in.height : in.width;
  out->height = swap ? in.width : in.height;
  if (ff::av_frame_get_buffer(out.get(), 0) < 0) {
    error = "Not enough memory to turn the picture";
    return nullptr;
  }
  TurnPlane(in.data[0], in.linesize[0], in.width, in.height, bytes, turn, out->data[0],
            out->linesize[0]);
  // A palette stays as it is.
  if (in.data[1] && out->data[1] &&
      (ff::av_pix_fmt_desc_get(AVPixelFormat(in.format))->flags & AV_PIX_FMT_FLAG_PAL))
    std::memcpy(out->data[1], in.data[1], 256 * 4);
  return out;
}

TBytes Encode(const AVFrame& frame, const char* encoder, bool lossless, std::string& error) {
  const AVCodec* codec = ff::avcodec_find_encoder_by_name(encoder);
  TContext ctx(codec ? ff::avcodec_alloc_context3(codec) : nullptr);
  TPacket packet(ff::av_packet_alloc());
  if (!ctx || !packet) {
    error = std::string("No ") + encoder + " encoder";
    return {};
  }
  ctx->width = frame.width;
  ctx->height = frame.height;
  ctx->pix_fmt = AVPixelFormat(frame.format);
  ctx->time_base = {1, 1};
  if (lossless) ff::av_opt_set_int(ctx->priv_data, "lossless", 1, 0);
  if (ff::avcodec_open2(ctx.get(), codec, nullptr) < 0 ||
      ff::avcodec_send_frame(ctx.get(), &frame) < 0 ||
      ff::avcodec_send_frame(ctx.get(), nullptr) < 0 ||
      ff::avcodec_receive_packet(ctx.get(), packet.get()) < 0) {
    error = "The turned picture cannot be encoded";
    return {};
  }
  return TBytes(packet->data, packet->data + packet->size);
}

// Every pixel of `decoded` as in `expected`; where both are wholly
// transparent (WebP, `alphaAt` >= 0) the colour does not count.
bool SamePixels(const AVFrame& decoded, const AVFrame& expected, int alphaAt) {
  const int bytes = PixelBytes(expected.format);
  if (decoded.format != expected.format || decoded.width != expected.width ||
      decoded.height != expected.height || bytes <= 0)
    return false;
  for (int y = 0; y < expected.height; ++y) {
    const uint8_t* a = decoded.data[0] + ptrdiff_t(y) * decoded.linesize[0];
    const uint8_t* b = expected.data[0] + ptrdiff_t(y) * expected.linesize[0];
    if (std::memcmp(a, b, size_t(expected.width) * size_t(bytes)) == 0) continue;
    if (alphaAt < 0) return false;
    for (int x = 0; x < expected.width; ++x) {
      const uint8_t* p = a + x * bytes;
      const uint8_t* q = b + x * bytes;
      if (std::memcmp(p, q, size_t(bytes)) != 0 && (p[alphaAt] != 0 || q[alphaAt] != 0))
        return false;
    }
  }
  return true;
}

void AppendBody(TBytes& out, const TBytes& from, const TChunk& chunk) {
  out.insert(out.end(), from.begin() + ptrdiff_t(chunk.At),
             from.begin() + ptrdiff_t(chunk.At + chunk.Size));
}

// The chunk with its EXIF block's Orientation set to 1.
TBytes UprightChunk(const TBytes& from, const TChunk& chunk, size_t checksumBytes) {
  TBytes copy(from.begin() + ptrdiff_t(chunk.At), from.begin() + ptrdiff_t(chunk.At + chunk.Size));
  uint8_t* body = copy.data() + (chunk.Body - chunk.At);
  size_t size = chunk.BodySize;
  if (size >= 6 && std::memcmp(body, "Exif\0\0", 6) == 0) body += 6, size -= 6;
  MarkTiffUpright(body, size);
  if (checksumBytes) {
    // PNG's checksum covers the type and the body.
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = 4; i < 8 + chunk.BodySize; ++i) {
      crc ^= copy[i];
      for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    crc = ~crc;
    for (int i = 0; i < 4; ++i) copy[8 + chunk.BodySize + size_t(i)] = uint8_t(crc >> (24 - 8 * i));
  }
  return copy;
}

// The new PNG with the source's own chunks: those that must come before a
// palette right behind the header, the rest right before the picture data.
// Chunks the encoder wrote itself, the transparency (tied to the new
// palette) and animation are not copied.
TBytes WithPngChunks(const TBytes& encoded, const TBytes& source, bool upright) {
  const std::vector<TChunk> fresh = PngChunks(encoded.data(), encoded.size());
  std::set<std::string> written;
  for (const TChunk& c : fresh) written.insert(c.Type);
  static const std::set<std::string> beforePalette = {"iCCP", "sRGB", "gAMA",
                                                      "cHRM", "sBIT", "cICP"};
  static const std::set<std::string> never = {"tRNS", "acTL", "fcTL", "fdAT"};
  TBytes early, late;
  for (const TChunk& c : PngChunks(source.data(), source.size())) {
    if (!std::islower(static_cast<unsigned char>(c.Type[0])) || never.count(c.Type) ||
        written.count(c.Type))
      continue;
    TBytes& into = beforePalette.count(c.Type) ? early : late;
    if (c.Type == "eXIf" && upright) {
      const TBytes copy = UprightChunk(source, c, 4);
      into.insert(into.end(), copy.begin(), copy.end());
    } else {
      AppendBody(into, source, c);
    }
  }
  TBytes out(encoded.begin(), encoded.begin() + 8);
  for (const TChunk& c : fresh) {
    if (c.Type == "IDAT" && !late.empty()) {
      out.insert(out.end(), late.begin(), late.end());
      late.clear();
    }
    AppendBody(out, encoded, c);
    if (c.Type == "IHDR") out.insert(out.end(), early.begin(), early.end());
  }
  return out;
}

// The new lossless WebP with the source's colour profile, EXIF and XMP
// chunks, in the extended layout that carries them.
TBytes WithWebpChunks(const TBytes& encoded, const TBytes& source, bool upright, int width,
                      int height) {
  const std::vector<TChunk> kept = WebpChunks(source.data(), source.size());
  const std::vector<TChunk> fresh = WebpChunks(encoded.data(), encoded.size());
  const TChunk* icc = nullptr;
  std::vector<const TChunk*> after;
  for (const TChunk& c : kept) {
    if (c.Type == "ICCP") icc = &c;
    if (c.Type == "EXIF" || c.Type == "XMP ") after.push_back(&c);
  }
  if (!icc && after.empty()) return encoded;
  uint8_t flags = 0;
  TBytes image;
  for (const TChunk& c : fresh) {
    if (c.Type == "VP8X") {
      flags |= encoded[c.Body] & 0x10;  // alpha
      continue;
    }
    // A lossless picture says in its header whether it uses alpha.
    if (c.Type == "VP8L" && c.BodySize >= 5 && (LittleEndian32(&encoded[c.Body + 1]) >> 28 & 1))
      flags |= 0x10;
    AppendBody(image, encoded, c);
  }
  if (icc) flags |= 0x20;
  for (const TChunk* c : after) flags |= c->Type == "EXIF" ? 0x08 : 0x04;
  TBytes out = {'R', 'I', 'F', 'F', 0,   0,   0,  0, 'W', 'E',
                'B', 'P', 'V', 'P', '8', 'X', 10, 0, 0,   0};
  out.insert(out.end(), {flags, 0, 0, 0});
  for (int value : {width - 1, height - 1})
    for (int i = 0; i < 3; ++i) out.push_back(uint8_t(uint32_t(value) >> (8 * i)));
  if (icc) AppendBody(out, source, *icc);
  out.insert(out.end(), image.begin(), image.end());
  for (const TChunk* c : after) {
    if (c->Type == "EXIF" && upright) {
      const TBytes copy = UprightChunk(source, *c, 0);
      out.insert(out.end(), copy.begin(), copy.end());
    } else {
      AppendBody(out, source, *c);
    }
  }
  const uint32_t riff = uint32_t(out.size() - 8);
  for (int i = 0; i < 4; ++i) out[4 + size_t(i)] = uint8_t(riff >> (8 * i));
  return out;
}

// ARGB as the WebP decoder gives it, BGRA as the encoder takes it.
void SwapArgbBgra(AVFrame& frame) {
  frame.format = frame.format == AV_PIX_FMT_ARGB ? AV_PIX_FMT_BGRA : AV_PIX_FMT_ARGB;
  for (int y = 0; y < frame.height; ++y) {
    uint8_t* p = frame.data[0] + ptrdiff_t(y) * frame.linesize[0];
    for (int x = 0; x < frame.width; ++x, p += 4) {
      std::swap(p[0], p[3]);
      std::swap(p[1], p[2]);
    }
  }
}

}  // namespace

TPhotoTurnKind PhotoTurnKindOfData(const uint8_t* data, size_t size) {
  if (!data) return tkNotAPhoto;
  if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return tkJpeg;
  if (IsPng(data, size)) {
    // An animated PNG plays as a clip.
    for (const TChunk& c : PngChunks(data, size)) {
      if (c.Type == "acTL") return tkNotAPhoto;
      if (c.Type == "IDAT") break;
    }
    return tkLossless;
  }
  if (IsWebp(data, size)) {
    const std::vector<TChunk> chunks = WebpChunks(data, size);
    if (Has(chunks, "ANIM") || Has(chunks, "ANMF")) return tkNotAPhoto;
    if (Has(chunks, "VP8L")) return tkLossless;
    return tkLossyNoTurn;
  }
  if (size >= 12 && heif_check_filetype(data, int(std::min<size_t>(size, 64))) != heif_filetype_no)
    return tkHeifNoTurn;
  return tkNotAPhoto;
}

TPhotoTurnKind PhotoTurnKind(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return tkNotAPhoto;
  TBytes head(kHeadBytes);
  const ssize_t got = ::pread(fd, head.data(), head.size(), 0);
  if (got > 0 && IsWebp(head.data(), size_t(got))) {
    // A colour profile before the picture may be longer than the head: the
    // chunk headers are read where they lie, up to the picture's own.
    TBytes headers;
    uint8_t header[8];
    for (off_t at = 12; headers.size() < kHeadBytes && ::pread(fd, header, 8, at) == 8;) {
      const uint32_t length = LittleEndian32(header + 4);
      headers.insert(headers.end(), header, header + 4);
      headers.insert(headers.end(), {0, 0, 0, 0});
      if (std::memcmp(header, "VP8 ", 4) == 0 || std::memcmp(header, "VP8L", 4) == 0) break;
      at += off_t(8) + length + (length & 1);
    }
    ::close(fd);
    headers.insert(headers.begin(), head.begin(), head.begin() + 12);
    return PhotoTurnKindOfData(headers.data(), headers.size());
  }
  ::close(fd);
  return got > 0 ? PhotoTurnKindOfData(head.data(), size_t(got)) : tkNotAPhoto;
}

bool TurnLosslessPhoto(const TBytes& file, TPictureTurn turn, bool upright, TBytes& result,
                       std::string& error) {
  if (PhotoTurnKindOfData(file.data(), file.size()) != tkLossless) {
    error = "Only PNG and lossless WebP pictures are turned this way";
    return false;
  }
  const bool png = IsPng(file.data(), file.size());
  const TFrame stored = Decode(file, png ? AV_CODEC_ID_PNG : AV_CODEC_ID_WEBP, error);
  if (!stored) return false;
  if (!png && stored->format != AV_PIX_FMT_ARGB) {
    error = "The WebP picture is not stored without loss";
    return false;
  }
  const TFrame turned = Turned(*stored, turn, error);
  if (!turned) return false;
  TBytes encoded;
  if (png) {
    encoded = Encode(*turned, "png", false, error);
  } else {
    SwapArgbBgra(*turned);
    encoded = Encode(*turned, "libwebp", true, error);
    SwapArgbBgra(*turned);
  }
  if (encoded.empty()) return false;
  // Nothing is handed out that does not decode to exactly the turned pixels.
  const TFrame check = Decode(encoded, png ? AV_CODEC_ID_PNG : AV_CODEC_ID_WEBP, error);
  if (!check || !SamePixels(*check, *turned, png ? -1 : 0)) {
    error = "The turned picture does not keep every pixel";
    return false;
  }
  result = png ? WithPngChunks(encoded, file, upright)
               : WithWebpChunks(encoded, file, upright, turned->width, turned->height);
  return true;
}

}  // namespace vexo
