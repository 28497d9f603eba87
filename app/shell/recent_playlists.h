#pragma once
// The File menu's list of recently used playlist files, kept in the options.
#include <QString>

namespace vexo {

class TMenuSystem;
class TOptions;

// Puts fileName at the top of the recent list (when not empty) and refills
// the menu's list from it; menuSystem may be null.
void RecordRecentPlayList(TOptions& options, TMenuSystem* menuSystem, const QString& fileName);

}  // namespace vexo
