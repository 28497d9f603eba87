#pragma once
// The one process-wide lock of playback: the video thread holds it while the
// user-interface thread decodes pictures on its behalf, the audio thread while
// it fetches decoded sound; both use the same file list. The user-interface
// thread never takes it.
#include <mutex>

namespace vexo {

extern std::mutex AVThreadLock;

}  // namespace vexo
