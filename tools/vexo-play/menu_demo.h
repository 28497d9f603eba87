#pragma once
// vexo-play --menus: a bare main window with the player's menu bar, tool bar
// and status bar built by the menu system, its run-time lists filled with
// sample entries. Each command that runs is printed as "command <row name>"
// (with the entry's caption for a list entry). With --grab the File menu is
// opened, its recent-playlists list unfolded, the screen around the window
// saved as a PNG and the program ends.
#include "tools/vexo-play/play_options.h"

namespace vexo::play {

int RunMenuDemo(const TPlayOptions& options);

}  // namespace vexo::play
