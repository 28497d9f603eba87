#include "engine/playback/av_thread_lock.h"

namespace vexo {

std::mutex AVThreadLock;

}  // namespace vexo
