#pragma once
// Deleting files from the browser: into the desktop's trash, from where the
// user can restore them, or for good. The user confirms first; a file whose
// volume offers no trash is deleted for good only after a second question.
#include <QString>
#include <QStringList>
#include <functional>

namespace vexo {

enum class TDeleteKind { ToTrash, Permanently };

struct TDeleteOutcome {
  bool Declined = false;  // the user said no to the first question
  QStringList Deleted;    // gone from their folders
  QStringList Kept;       // still there: failed or declined
};

// Asks, deletes and reports what failed with the system's reasons. release
// runs once the user has agreed, before the first file goes.
TDeleteOutcome DeleteFiles(const QStringList& paths, TDeleteKind kind,
                           const std::function<void()>& release = {});

}  // namespace vexo
