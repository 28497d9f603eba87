#pragma once
// What the command "copy the player to a drive" checks of the browser's
// selection before it opens the portable-copy dialog.
#include <QString>
#include <functional>

namespace vexo {

struct TPortableTarget {
  QString Path;         // of the selected browser node; empty without one
  QString DisplayText;  // how the browser names it
  bool Removable = false;
};

// Free bytes a drive needs at least, whatever the copy's size.
constexpr qint64 kPortableMinFree = 10000000;

using TShowPortableDialog = std::function<bool(const QString& drive, const QString& displayName)>;

// Tells the user why the target does not do, or asks when it is doubtful,
// then shows the dialog. True when the dialog ended with its work done.
bool CopyPlayerToTarget(const TPortableTarget& target, const QString& programDir,
                        const TShowPortableDialog& showDialog);

}  // namespace vexo
