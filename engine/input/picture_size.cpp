#include "engine/input/picture_size.h"
#include "engine/media/byte_order.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

namespace vexo {

namespace {}  // namespace

TDeclaredSize DeclaredPictureSize(const std::string& fileName) {
  const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return {};
  uint8_t head[32] = {};
  const ssize_t got = ::pread(fd, head, sizeof head, 0);
  ::close(fd);
  if (got < ssize_t(sizeof head)) return {};
  if (std::memcmp(head, "\x89PNG\r\n\x1A\n", 8) == 0 && std::memcmp(head + 12, "IHDR", 4) == 0)
    return {BigEndian32(head + 16), BigEndian32(head + 20)};
  if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WEBP", 4) != 0) return {};
  const uint8_t* chunk = head + 12;
  const uint8_t* body = chunk + 8;
  if (std::memcmp(chunk, "VP8X", 4) == 0)
    return {int64_t(LittleEndian(body + 4, 3)) + 1, int64_t(LittleEndian(body + 7, 3)) + 1};
  if (std::memcmp(chunk, "VP8L", 4) == 0 && body[0] == 0x2F) {
    const uint32_t bits = LittleEndian(body + 1, 4);
    return {int64_t(bits & 0x3FFF) + 1, int64_t((bits >> 14) & 0x3FFF) + 1};
  }
  // A key frame: three bytes of frame tag, the start code, then the sizes.
  if (std::memcmp(chunk, "VP8 ", 4) == 0 && body[3] == 0x9D && body[4] == 0x01 && body[5] == 0x2A)
    return {LittleEndian(body + 6, 2) & 0x3FFF, LittleEndian(body + 8, 2) & 0x3FFF};
  return {};
}

}  // namespace vexo
