#pragma once
// vexo-play --options and --about: the program's dialogs on their own, with
// the user's real settings, for a look or a picture of them.
#include <string>

#include "tools/vexo-play/play_options.h"

class QDialog;

namespace vexo::play {

// Prints "options ok refresh N" or "options cancelled"; with a grab file the
// dialog is saved as a picture and closed.
int RunOptionsDialog(const TPlayOptions& options);
int RunAboutBox(const TPlayOptions& options);

// Once the dialog shows, saves it to the file (when one is named) and cancels it.
void GrabWhenShown(QDialog& dialog, const std::string& file);

}  // namespace vexo::play
