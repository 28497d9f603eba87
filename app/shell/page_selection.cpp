#include "app/shell/page_selection.h"

#include "app/browser/shell_grid.h"
#include "app/browser/shell_node.h"
#include "app/common/language_list.h"
#include "app/common/media_extensions.h"
#include "app/shell/command_table.h"
#include "engine/input/lossless_turn.h"

namespace vexo {

namespace {

bool Movable(const TShellNode* node) {
  return node->IsFileSystem() && node->CanMove() && node->CanDelete() && !node->IsReadOnly();
}

}  // namespace

bool SelCanMakePlayList(const std::vector<TShellNode*>& selection) {
  bool result = selection.size() > 1;
  for (const TShellNode* node : selection) {
    if (!node->IsFolder()) continue;
    // The desktop and what lies directly on it are too wide to play.
    if (node->Level() <= 1) return false;
    result = true;
  }
  return result;
}

bool SelCanDelete(const std::vector<TShellNode*>& selection, const TShellGrid& grid) {
  if (selection.empty()) return false;
  for (const TShellNode* node : selection) {
    if (!Movable(node) || node->IsFolder()) return false;
    if (grid.Model().RecycleBinNode && grid.Model().RecycleBinNode->IsAncestorOf(node))
      return false;
  }
  return true;
}

bool SelCanCopy(const std::vector<TShellNode*>& selection) {
  for (const TShellNode* node : selection)
    if (!node->IsFileSystem() || !node->CanCopy()) return false;
  return true;
}

namespace {

// The one selected photo the rotate commands would act on, or null.
const TShellNode* RotationCandidate(const std::vector<TShellNode*>& selection, int64_t frames) {
  if (selection.size() != 1) return nullptr;
  const TShellNode* node = selection.front();
  const bool photo =
      Movable(node) && !node->IsFolder() && frames == 1 && IsPhotoExt(node->Extension());
  return photo ? node : nullptr;
}

}  // namespace

bool SelCanRotate(const std::vector<TShellNode*>& selection, int64_t frames) {
  const TShellNode* node = RotationCandidate(selection, frames);
  if (!node) return false;
  const TPhotoTurnKind kind = PhotoTurnKind(node->Path.toStdString());
  return kind == tkJpeg || kind == tkLossless;
}

QString RotateRefusalHint(const std::vector<TShellNode*>& selection, int64_t frames) {
  const TShellNode* node = RotationCandidate(selection, frames);
  if (!node) return {};
  switch (PhotoTurnKind(node->Path.toStdString())) {
    case tkLossyNoTurn:
    case tkHeifNoTurn:
      return LResList.GetText("AVPlayerEnc", 9006);
    default:
      return {};
  }
}

bool SelCanCopyTo(const std::vector<TShellNode*>& selection) {
  if (selection.size() != 1) return false;
  const TShellNode* node = selection.front();
  return node->IsFileSystem() && !node->IsFolder();
}

TCommandSet ManagedCommands() {
  return {mFile_CreatePL,  mFile_OptionsPL, mFile_SavePL, mEdit_Copy,   mEdit_Paste, mEdit_RotateCW,
          mEdit_RotateCCW, mEdit_CopyTo,    mEdit_Delete, mvFullScreen, mEdit_Cut};
}

TCommandSet SavePlayListCommands() {
  return {mFile_SavePL};
}

TCommandSet SelectionCommands(const std::vector<TShellNode*>& selection, const TShellGrid& grid,
                              bool playerHasFile, int64_t frames) {
  TCommandSet enabled;
  if (SelCanDelete(selection, grid)) enabled = enabled | TCommandSet{mEdit_Cut, mEdit_Delete};
  if (SelCanCopy(selection)) enabled.Include(mEdit_Copy);
  if (SelCanRotate(selection, frames))
    enabled = enabled | TCommandSet{mEdit_RotateCW, mEdit_RotateCCW};
  if (SelCanCopyTo(selection)) enabled.Include(mEdit_CopyTo);
  if (playerHasFile) enabled.Include(mvFullScreen);
  if (SelCanMakePlayList(selection))
    enabled = enabled | TCommandSet{mFile_CreatePL, mFile_OptionsPL};
  return enabled;
}

}  // namespace vexo
