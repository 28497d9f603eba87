#include "engine/media/photo_exif.h"
#include "engine/media/byte_order.h"

#include <libexif/exif-loader.h>
#include <libheif/heif.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>

namespace vexo {

namespace {

// The EXIF block sits in the first segment of a JPEG, which is at most 64 KiB.
constexpr size_t kJpegHeadBytes = 70 * 1024;
// A block in a chunk or an item is not bound by a segment's size; anything
// beyond this is not a camera's block.
constexpr uint32_t kMaxBlockBytes = 1 << 20;
// Chunks walked at most before a PNG's or WebP's block is given up.
constexpr int kMaxChunks = 4096;

const uint8_t kExifHeader[6] = {'E', 'x', 'i', 'f', 0, 0};

// Reads up to `size` bytes at `at`; how many there were.
using TReadAt = std::function<size_t(uint64_t at, size_t size, uint8_t* out)>;

// The TIFF structure of a chunk behind the EXIF header libexif looks for;
// some writers put that header into the chunk already.
std::vector<uint8_t> WithExifHeader(std::vector<uint8_t> tiff) {
  if (tiff.size() >= 6 && std::memcmp(tiff.data(), kExifHeader, 6) == 0) return tiff;
  if (tiff.size() < 8) return {};
  tiff.insert(tiff.begin(), kExifHeader, kExifHeader + 6);
  return tiff;
}

std::vector<uint8_t> ChunkBody(const TReadAt& read, uint64_t at, uint32_t size) {
  if (size > kMaxBlockBytes) return {};
  std::vector<uint8_t> body(size);
  if (read(at, size, body.data()) != size) return {};
  return WithExifHeader(std::move(body));
}

// PNG: length, type, body, checksum, from behind the signature to IEND.
std::vector<uint8_t> PngBlock(const TReadAt& read) {
  uint64_t at = 8;
  uint8_t head[8];
  for (int n = 0; n < kMaxChunks && read(at, 8, head) == 8; ++n) {
    const uint32_t length = BigEndian32(head);
    if (length > 0x7FFFFFFF) break;
    if (std::memcmp(head + 4, "eXIf", 4) == 0) return ChunkBody(read, at + 8, length);
    if (std::memcmp(head + 4, "IEND", 4) == 0) break;
    at += 12 + uint64_t(length);
  }
  return {};
}

// WebP: a RIFF file of chunks, each padded to an even size.
std::vector<uint8_t> WebpBlock(const TReadAt& read) {
  uint64_t at = 12;
  uint8_t head[8];
  for (int n = 0; n < kMaxChunks && read(at, 8, head) == 8; ++n) {
    const uint32_t size = LittleEndian32(head + 4);
    if (std::memcmp(head, "EXIF", 4) == 0) return ChunkBody(read, at + 8, size);
    at += 8 + uint64_t(size) + (size & 1);
  }
  return {};
}

std::vector<uint8_t> JpegBlock(const TReadAt& read) {
  std::unique_ptr<ExifLoader, void (*)(ExifLoader*)> loader(exif_loader_new(), &exif_loader_unref);
  if (!loader) return {};
  uint8_t buffer[8192];
  for (uint64_t at = 0; at < kJpegHeadBytes; at += sizeof buffer) {
    const size_t size = read(at, sizeof buffer, buffer);
    if (size == 0 || !exif_loader_write(loader.get(), buffer, unsigned(size))) break;
  }
  const unsigned char* data = nullptr;
  unsigned int size = 0;
  exif_loader_get_buf(loader.get(), &data, &size);
  if (!data || size < 6) return {};
  return WithExifHeader(std::vector<uint8_t>(data, data + size));
}

// The libheif reader over a descriptor.
struct THeifSource {
  int Fd;
  int64_t Size;
  int64_t Position = 0;
};

const heif_reader kHeifReader = {
    1, [](void* user) { return static_cast<THeifSource*>(user)->Position; },
    [](void* data, size_t size, void* user) {
      auto* source = static_cast<THeifSource*>(user);
      size_t done = 0;
      while (done < size) {
        const ssize_t n = ::pread(source->Fd, static_cast<uint8_t*>(data) + done, size - done,
                                  off_t(source->Position + int64_t(done)));
        if (n <= 0) return 1;
        done += size_t(n);
      }
      source->Position += int64_t(size);
      return 0;
    },
    [](int64_t position, void* user) {
      auto* source = static_cast<THeifSource*>(user);
      if (position < 0 || position > source->Size) return 1;
      source->Position = position;
      return 0;
    },
    [](int64_t target, void* user) {
      return target > static_cast<THeifSource*>(user)->Size
                 ? heif_reader_grow_status_size_beyond_eof
                 : heif_reader_grow_status_size_reached;
    }};

// The primary image's Exif item: a 32-bit offset to the TIFF header, then
// whatever precedes it (often the EXIF header) and the structure itself.
std::vector<uint8_t> HeifBlock(int fd) {
  static const bool ready = heif_init(nullptr).code == heif_error_Ok;
  struct stat st {};
  if (!ready || ::fstat(fd, &st) != 0) return {};
  THeifSource source{fd, int64_t(st.st_size)};
  std::unique_ptr<heif_context, void (*)(heif_context*)> ctx(heif_context_alloc(),
                                                             &heif_context_free);
  if (!ctx || heif_context_read_from_reader(ctx.get(), &kHeifReader, &source, nullptr).code !=
                  heif_error_Ok)
    return {};
  heif_image_handle* raw = nullptr;
  if (heif_context_get_primary_image_handle(ctx.get(), &raw).code != heif_error_Ok) return {};
  std::unique_ptr<heif_image_handle, void (*)(const heif_image_handle*)> handle(
      raw, &heif_image_handle_release);
  heif_item_id id = 0;
  if (heif_image_handle_get_list_of_metadata_block_IDs(handle.get(), "Exif", &id, 1) < 1) return {};
  const size_t size = heif_image_handle_get_metadata_size(handle.get(), id);
  if (size < 4 || size > kMaxBlockBytes) return {};
  std::vector<uint8_t> item(size);
  if (heif_image_handle_get_metadata(handle.get(), id, item.data()).code != heif_error_Ok)
    return {};
  const uint32_t offset = BigEndian32(item.data());
  if (offset > size - 4) return {};
  return WithExifHeader(std::vector<uint8_t>(item.begin() + 4 + offset, item.end()));
}

std::vector<uint8_t> BlockOf(const TReadAt& read, int fd) {
  uint8_t head[16] = {};
  const size_t got = read(0, sizeof head, head);
  if (got >= 2 && head[0] == 0xFF && head[1] == 0xD8) return JpegBlock(read);
  if (got < sizeof head) return {};
  if (std::memcmp(head, "\x89PNG\r\n\x1A\n", 8) == 0) return PngBlock(read);
  if (std::memcmp(head, "RIFF", 4) == 0 && std::memcmp(head + 8, "WEBP", 4) == 0)
    return WebpBlock(read);
  if (fd >= 0 && heif_check_filetype(head, sizeof head) == heif_filetype_yes_supported)
    return HeifBlock(fd);
  return {};
}

}  // namespace

std::vector<uint8_t> ReadExifBlock(int fd) {
  if (fd < 0) return {};
  auto read = [fd](uint64_t at, size_t size, uint8_t* out) {
    size_t done = 0;
    while (done < size) {
      const ssize_t n = ::pread(fd, out + done, size - done, off_t(at + done));
      if (n <= 0) break;
      done += size_t(n);
    }
    return done;
  };
  return BlockOf(read, fd);
}

std::vector<uint8_t> ExifBlockOfData(const uint8_t* data, size_t size) {
  if (!data) return {};
  auto read = [data, size](uint64_t at, size_t bytes, uint8_t* out) -> size_t {
    if (at >= size) return 0;
    bytes = std::min<uint64_t>(bytes, size - at);
    std::memcpy(out, data + at, bytes);
    return bytes;
  };
  return BlockOf(read, -1);
}

}  // namespace vexo
