#include "app/player/volume_control.h"

#include <algorithm>
#include <cmath>

namespace vexo {

TVolumeControl& TVolumeControl::Instance() {
  static TVolumeControl control;
  return control;
}

void TVolumeControl::Set(TSoundVolume volume) {
  // Whole percent steps, as the options keep it, so that what is saved is
  // what was heard.
  volume.Level = std::round(std::clamp(volume.Level, 0.0, 1.0) * 100) / 100;
  if (volume == SoundVolume()) return;
  SetSoundVolume(volume);
  emit Changed(volume);
}

void TVolumeControl::SetLevel(double level) {
  Set({level, Volume().Muted});
}

void TVolumeControl::SetMuted(bool muted) {
  Set({Volume().Level, muted});
}

void TVolumeControl::Step(int steps) {
  const TSoundVolume now = Volume();
  Set({now.Level + steps * kStep, steps > 0 ? false : now.Muted});
}

void TVolumeControl::TurnWheel(int angleDelta) {
  constexpr int kNotch = 120;
  FWheelRest += angleDelta;
  const int notches = FWheelRest / kNotch;
  FWheelRest -= notches * kNotch;
  if (notches != 0) Step(notches);
}

}  // namespace vexo
