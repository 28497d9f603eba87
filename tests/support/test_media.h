#pragma once
// Paths of the generated test media and of the source tree.
#include <string>

namespace vexo::test {

// Folder of the media made by tests/media/make-media.sh.
std::string MediaDir();
// Full path of one generated media file.
std::string MediaPath(const std::string& name);

}  // namespace vexo::test

namespace vexo::test {

// Binds FFmpeg for the test process once; fails the calling test if it cannot.
void LoadMediaLib();

}  // namespace vexo::test
