#pragma once
// The browser's namespace above the file system: the desktop root with the
// computer, the home folder, the desktop folder and the trash, and the
// computer's mounted volumes.
#include <QByteArray>
#include <memory>
#include <vector>

#include "app/browser/shell_node.h"

namespace vexo {

std::unique_ptr<TShellNode> MakeDesktopNode();
// The desktop's children in their fixed order.
std::vector<std::unique_ptr<TShellNode>> DesktopChildren();
// The mounted volumes with real file systems, in mount-point order. Reads the
// mount table and each volume; run it off the user-interface thread.
std::vector<std::unique_ptr<TShellNode>> ComputerVolumes();

// Where the freedesktop trash keeps the trashed files themselves.
QByteArray TrashFilesPath();

}  // namespace vexo
