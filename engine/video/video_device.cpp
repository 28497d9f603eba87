#include "engine/video/video_device.h"

#include <atomic>

namespace vexo {

namespace {
std::atomic<TVideoSystem*> theVideoSystem{nullptr};
}

TVideoSystem* CurrentVideoSystem() {
  return theVideoSystem.load();
}

void SetVideoSystem(TVideoSystem* system) {
  theVideoSystem.store(system);
}

}  // namespace vexo
