#include "tests/support/test_media.h"

#include <cstdlib>

namespace vexo::test {

std::string MediaDir() {
  if (const char* dir = std::getenv("VEXO_TEST_MEDIA"); dir && *dir) return dir;
  return VEXO_TEST_MEDIA_DIR;
}

std::string MediaPath(const std::string& name) { return MediaDir() + "/" + name; }

}  // namespace vexo::test
