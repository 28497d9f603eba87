#pragma once
// The player's loudness as the user sets it: the control strip's slider and
// mute button, the keys, the mouse wheel over the picture and the media
// controls of the desktop all go through the one control, which sets the
// sound outputs and tells every view of the volume.
#include <QObject>

#include "engine/playback/sound_device.h"

namespace vexo {

class TVolumeControl : public QObject {
  Q_OBJECT

 public:
  // One step of the keys and of one notch of the mouse wheel.
  static constexpr double kStep = 0.05;

  static TVolumeControl& Instance();

  TSoundVolume Volume() const { return SoundVolume(); }
  // Sets the outputs at once; Changed follows when anything changed.
  void Set(TSoundVolume volume);
  void SetLevel(double level);
  void SetMuted(bool muted);
  void ToggleMute() { SetMuted(!Volume().Muted); }
  // Moves the level by `steps` of kStep; a step up brings a muted sound back.
  void Step(int steps);
  // A turn of the mouse wheel by `angleDelta` (120 a notch): a step a notch,
  // what a fine-grained wheel turns short of a notch kept for the next turn.
  void TurnWheel(int angleDelta);

 signals:
  void Changed(TSoundVolume volume);

 private:
  TVolumeControl() = default;

  int FWheelRest = 0;
};

}  // namespace vexo
