#include "tests/support/hdr_reference.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include <gtest/gtest.h>

namespace vexo::test {

const char* const kToneMapChain =
    "zscale=t=linear:npl=100,format=gbrpf32le,zscale=p=bt709,tonemap=hable:desat=0,"
    "zscale=t=bt709:m=bt709:r=tv,format=yuv420p,scale=in_color_matrix=bt709:in_range=tv";

std::vector<uint8_t> FfmpegBgra(const std::string& path, const std::string& filters) {
  char name[] = "/tmp/vexo-bgra-XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0) return {};
  close(fd);
  const std::string command = "ffmpeg -hide_banner -loglevel error -nostdin -y -i '" + path +
                              "' -frames:v 1 " + (filters.empty() ? "" : "-vf '" + filters + "' ") +
                              "-pix_fmt bgra -f rawvideo '" + name + "'";
  std::vector<uint8_t> bytes;
  if (std::system(command.c_str()) == 0) {
    std::ifstream in(name, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::remove(name);
  return bytes;
}

std::vector<uint8_t> CpuBgra(const TAVPicture& src, int32_t pixFmt, int32_t w, int32_t h) {
  std::vector<uint8_t> bgra(size_t(w) * h * 4);
  TAVPicture dst;
  dst.data[0] = bgra.data();
  dst.linesize[0] = w * 4;
  std::string error;
  ConvertPicture(src, dst, w, error, 1, FCC_ARGB, pixFmt, h, w, h, w, h);
  EXPECT_EQ(error, "");
  return bgra;
}

double Psnr(double sumSquares, size_t samples) {
  if (sumSquares == 0) return 99;
  return 10 * std::log10(255.0 * 255.0 * double(samples) / sumSquares);
}

double MeanLuma(const std::vector<uint8_t>& bgra) {
  double sum = 0;
  for (size_t i = 0; i + 3 < bgra.size(); i += 4)
    sum += 0.0722 * bgra[i] + 0.7152 * bgra[i + 1] + 0.2126 * bgra[i + 2];
  return sum / double(bgra.size() / 4);
}

double LumaPsnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  double sum = 0;
  size_t n = 0;
  for (size_t i = 0; i + 3 < a.size() && i + 3 < b.size(); i += 4) {
    const double d = (0.0722 * a[i] + 0.7152 * a[i + 1] + 0.2126 * a[i + 2]) -
                     (0.0722 * b[i] + 0.7152 * b[i + 1] + 0.2126 * b[i + 2]);
    sum += d * d, ++n;
  }
  return Psnr(sum, n);
}

}  // namespace vexo::test
