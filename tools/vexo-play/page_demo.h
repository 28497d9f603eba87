#pragma once
// vexo-play --page FOLDER: the player page in a main window with the menu
// bar, tool bar and status bar of the real program, opened on a folder.
#include "tools/vexo-play/play_options.h"

namespace vexo::play {

int RunPageDemo(const TPlayOptions& options);

}  // namespace vexo::play
