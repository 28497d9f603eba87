#pragma once
// The file-system browser: a one-column tree from the desktop down to the
// folders and media files. It shows the model's tree and selects in it; the
// model reads the folders and collects playlists.
#include <QMenu>
#include <QPointer>
#include <QTreeView>
#include <functional>
#include <memory>

#include "app/browser/shell_model.h"
#include "app/browser/shell_node.h"

namespace vexo {

class TAVPlayList;

// A tree position as text, for the options.
struct TShellTreeState {
  QString TopPath;
  QString SelectedPath;
  bool SelectedExpanded = false;
};

class TShellGrid : public QTreeView {
  Q_OBJECT

 public:
  explicit TShellGrid(QWidget* parent = nullptr);
  ~TShellGrid() override;

  // Builds the root and reads the desktop level.
  void Init();

  // Arrow keys step between the files of a folder (StepFile) before the tree
  // sees them.
  bool ArrowStepping = false;

  // True while the grid itself rebuilds or re-selects nodes.
  bool Restoring() const { return FRestoring > 0; }

  TShellModel& Model() { return *FModel; }
  const TShellModel& Model() const { return *FModel; }
  TShellNode* RootNode() const { return FModel->Root(); }
  TShellNode* NodeAt(const QModelIndex& index) const { return FModel->NodeAt(index); }
  QModelIndex IndexOf(const TShellNode* node) const { return FModel->IndexOf(node); }

  // The item's path for showing; NodeNativePath is the path to open.
  QString NodePath(const TShellNode* node) const;
  QByteArray NodeNativePath(const TShellNode* node) const {
    return node ? node->Path : QByteArray();
  }
  QString NodeDisplayPath(const TShellNode* node) const;
  // The model's lookups (TShellModel), opening the folders on the way on screen.
  void FindByDisplayPath(const QString& path, std::function<void(TShellNode*)> done);
  void LocatePath(const QByteArray& path, std::function<void(TShellNode*)> done);

  TShellTreeState GetTreeState() const;
  void RestoreTreeState(const TShellTreeState& state, std::function<void()> done = {});
  void RefreshAll(std::function<void()> done = {});
  // Reads the folders with this path again; open ones stay open.
  void RefreshFolder(const QByteArray& path);
  void RefreshMyComputer();
  void ClearSelectionAndRefreshRecycleBin(bool refresh);
  void FindDrive(const QByteArray& mountPoint, std::function<void(TShellNode*)> done);

  // Reads the folder when needed, then opens it.
  void ExpandNode(TShellNode* node, std::function<void(bool)> done = {});
  void CollapseNode(TShellNode* node);
  bool IsExpanded(const TShellNode* node) const { return isExpanded(IndexOf(node)); }

  // Has the model collect the selection (TShellModel::Collect).
  bool AddSelectedToPlayList(TAVPlayList& list, bool playFolders, bool subfolders,
                             std::function<void(bool aborted)> done);

  // The menu shown for the selection on a right click; the owner builds it
  // and keeps it. Null shows none (the request signal still comes).
  void SetPopupMenu(QMenu* menu) { FPopupMenu = menu; }
  QMenu* PopupMenu() const { return FPopupMenu; }

  // key is a Qt key code; set to 0 when a step was taken.
  void StepFile(int& key);

  TShellNode* SelectedNode() const;
  int SelectedCount() const;
  // The selected nodes in tree order.
  std::vector<TShellNode*> SelectedNodes() const;
  void SelectNode(TShellNode* node);

  QString SizeText(const TShellNode* node) const;
  QString CreatedText(const TShellNode* node) const;
  QString DateText(const TShellNode* node) const;
  QString TypeName(const TShellNode* node) const;

 signals:
  // The selection changed; the owner plays a single selected file.
  void SelectionChanged();
  // The context menu is wanted at this screen position, for the selection.
  void ContextMenuRequested(const QPoint& globalPos);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;

 private:
  // Collapses, forgets the children and lets the next opening read again.
  void MarkForReEnumeration(TShellNode* node);
  TShellModel::TOpenFolder OpenFolder();
  void ReselectChild(TShellNode* parent, const QByteArray& path);
  // Display paths of the open folders, parents first.
  QStringList OpenFolderPaths() const;
  void ReopenFolders(QStringList paths, std::function<void()> done);

  TShellModel* FModel;
  QPointer<QMenu> FPopupMenu;
  int FRestoring = 0;
};

}  // namespace vexo
