#pragma once
// What the browser's selection allows: the tests behind the enabled state of
// the page's commands.
#include <QString>
#include <vector>

#include "app/common/command_set.h"

namespace vexo {

class TShellNode;
class TShellGrid;

bool SelCanMakePlayList(const std::vector<TShellNode*>& selection);
bool SelCanDelete(const std::vector<TShellNode*>& selection, const TShellGrid& grid);
bool SelCanCopy(const std::vector<TShellNode*>& selection);
// frames: the frame count the open media reports. Only photos that can be
// turned without loss: JPEG, PNG and lossless WebP.
bool SelCanRotate(const std::vector<TShellNode*>& selection, int64_t frames);
// Why the rotate commands are off for the selection when the reason is the
// photo's format (a lossy WebP, HEIC or AVIF); empty otherwise.
QString RotateRefusalHint(const std::vector<TShellNode*>& selection, int64_t frames);
bool SelCanCopyTo(const std::vector<TShellNode*>& selection);

// The commands whose state follows the selection.
TCommandSet ManagedCommands();
// Saving a playlist: offered while one of two or more files plays.
TCommandSet SavePlayListCommands();
// The managed commands the selection enables.
TCommandSet SelectionCommands(const std::vector<TShellNode*>& selection, const TShellGrid& grid,
                              bool playerHasFile, int64_t frames);

}  // namespace vexo
