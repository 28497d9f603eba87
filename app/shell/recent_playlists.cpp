#include "app/shell/recent_playlists.h"

#include "app/common/menu_system.h"
#include "app/settings/options.h"
#include "app/shell/command_table.h"

namespace vexo {

void RecordRecentPlayList(TOptions& options, TMenuSystem* menuSystem, const QString& fileName) {
  if (!fileName.isEmpty()) options.AddRecent(fileName);
  if (menuSystem) menuSystem->FillList(mFile_OpenRecent, options.Recent());
}

}  // namespace vexo
