#pragma once
// The entries of the Subtitles menu for the file on show: "Off", then each
// track by its number, language and title, a sidecar by its file name.
#include <QStringList>

namespace vexo {

class TSubtitleSet;

// Empty without a set (no file, or a photo). `checked`: the entry of the
// track shown, 0 for "Off".
QStringList SubtitleMenuItems(const TSubtitleSet* set, int& checked);

}  // namespace vexo
