#include "tests/support/test_media.h"

#include <cstdlib>

namespace vexo::test {

std::string MediaDir() {
  if (const char* dir = std::getenv("VEXO_TEST_MEDIA"); dir && *dir) return dir;
  return VEXO_TEST_MEDIA_DIR;
}

std::string MediaPath(const std::string& name) {
  return MediaDir() + "/" + name;
}

}  // namespace vexo::test

#include <gtest/gtest.h>

#include "engine/media/media_lib.h"

namespace vexo::test {

void LoadMediaLib() {
  static const bool loaded = [] {
    bool ok = MediaLibLoad();
    if (ok) MediaLibInit();
    return ok;
  }();
  ASSERT_TRUE(loaded) << MediaLibFailureText();
}

}  // namespace vexo::test
