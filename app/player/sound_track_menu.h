#pragma once
// The entries of the Sound track menu: one per sound stream of the file on
// show, named by its language and title, or by its codec and channels where
// it has no title.
#include <QStringList>
#include <vector>

#include "engine/input/audio_streams.h"

namespace vexo {

class TAVPlayer;
class TMenuSystem;

// "Track 2: German (Commentary)", "Track 1: aac, Stereo" ...; `number` counts
// from 1.
QString SoundTrackCaption(const TAudioStreamInfo& stream, int number);
// The menu's entries; empty when the file offers no choice (one stream or none).
QStringList SoundTrackEntries(const std::vector<TAudioStreamInfo>& streams);
// The entry of the stream `streamIndex`, or -1.
int SoundTrackEntryOf(const std::vector<TAudioStreamInfo>& streams, int streamIndex);

// Fills the Sound track list (mvSoundTrack) for the player's file on show,
// the stream playing checked.
void FillSoundTrackMenu(TMenuSystem& menus, const TAVPlayer& player);
// Plays the stream of the list's entry `entry`.
void ChooseSoundTrack(TAVPlayer& player, int entry);

}  // namespace vexo
