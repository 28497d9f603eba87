#include "app/shell/portable_target_checks.h"

#include <algorithm>

#include "app/common/language_list.h"
#include "app/common/message_boxes.h"
#include "app/common/path_utils.h"
#include "app/common/text_utils.h"
#include "app/shell/portable_dialog.h"
#include "app/shell/portable_file_set.h"
#include "platform/drive_info.h"

namespace vexo {

bool CopyPlayerToTarget(const TPortableTarget& target, const QString& programDir,
                        const TShowPortableDialog& showDialog) {
  constexpr int help = TPortableDialog::kHelpContext;
  if (!IsDriveRoot(target.Path)) {
    ShowInfoHelp(LResList.GetTextRange("Player", 2011, 2, QStringLiteral("\n\n")), help);
    return false;
  }
  const QString drive = ExcludeSlash(target.Path);
  // The copy is built beside any old one before it replaces it, so the
  // drive needs room for all of it; -1 (unknown) counts as too little.
  const qint64 needed = std::max(kPortableMinFree, PortableFileSet(programDir).Bytes);
  if (DiskFree(drive) < needed) {
    ShowInfoHelp(FormatText(LResList.GetText("Player", 2015), {drive}), help);
    return false;
  }
  if (DriveKind(drive) == dkNoRoot &&
      !AskYesNo(FormatText(LResList.GetText("Player", 2021), {drive}), help))
    return false;
  if (!target.Removable && !AskYesNo(FormatText(LResList.GetText("Player", 2022), {drive}), help))
    return false;
  return showDialog(drive, target.DisplayText);
}

}  // namespace vexo
