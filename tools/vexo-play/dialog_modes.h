#pragma once
// vexo-play --options and --about: the program's dialogs on their own, with
// the user's real settings, for a look or a picture of them.
#include "tools/vexo-play/play_options.h"

namespace vexo::play {

// Prints "options ok refresh N" or "options cancelled"; with a grab file the
// dialog is saved as a picture and closed.
int RunOptionsDialog(const TPlayOptions& options);
int RunAboutBox(const TPlayOptions& options);

}  // namespace vexo::play
