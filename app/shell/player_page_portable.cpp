// The page's command that copies the player onto the drive selected in the
// browser; the work itself lives with the portable-copy dialog.
#include <QFile>
#include <QTimer>

#include "app/browser/shell_grid.h"
#include "app/browser/shell_node.h"
#include "app/common/program_environment.h"
#include "app/shell/player_page.h"
#include "app/shell/portable_dialog.h"
#include "app/shell/portable_target_checks.h"

namespace vexo {

void TPlayerPage::CopyPlayerToMedia() {
  TPortableTarget target;
  if (const TShellNode* node = FGrid->SelectedNode()) {
    target.Path = QFile::decodeName(node->Path);
    target.DisplayText = node->Text;
    target.Removable = node->IsRemovable();
  }
  const bool changed =
      CopyPlayerToTarget(target, ProgramDir, [this](const QString& drive, const QString& name) {
        return ShowPortableDialog(this, FOptions, drive, name);
      });
  // The drive's new or vanished folder shows once the dialog has gone.
  if (changed) QTimer::singleShot(0, FGrid, [grid = FGrid] { grid->RefreshMyComputer(); });
}

}  // namespace vexo
