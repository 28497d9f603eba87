#include "app/browser/shell_grid.h"

#include <QContextMenuEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>

#include "app/browser/display_path.h"
#include "app/browser/folder_reader.h"
#include "app/browser/shell_icons.h"
#include "app/browser/shell_namespace.h"
#include "app/browser/shell_texts.h"
#include "app/common/language_list.h"

namespace vexo {

TShellGrid::TShellGrid(QWidget* parent) : QTreeView(parent) {
  setAccessibleName(LResList.ReadValue("Accessible", "Browser", {}));
  FModel = new TShellModel(this);
  FModel->IconFor = [](const TShellNode& node) { return ShellIcon(node); };
  setModel(FModel);
  // A folder that turned out empty, or whose reading was aborted, shows closed.
  connect(FModel, &TShellModel::EnumerationEnded, this, [this](TShellNode* node, bool complete) {
    if (!complete || node->Children.empty()) collapse(IndexOf(node));
  });
  // The user's place among the volumes stays when one comes or goes.
  connect(FModel, &TShellModel::VolumesChanged, this, &TShellGrid::RefreshMyComputer);
}

TShellGrid::~TShellGrid() = default;

void TShellGrid::Init() {
  setHeaderHidden(true);
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setAutoExpandDelay(-1);
  setAutoScroll(false);
  setAnimated(false);
  setExpandsOnDoubleClick(true);
  FModel->MyComputerName = LResList.GetText("ShellGrid", 2);
  FModel->RecycleBinName = LResList.GetText("ShellGrid", 4);
  FModel->SetRoot(MakeDesktopNode());
  TShellNode* root = RootNode();
  ExpandNode(root, [this, root](bool) {
    if (RootNode() == root && !SelectedNode()) SelectNode(root);
  });
}

// ---- opening and closing ----

void TShellGrid::ExpandNode(TShellNode* node, std::function<void(bool)> done) {
  // A node deleted meanwhile has its reading cancelled: complete means alive.
  FModel->Enumerate(node, [this, node, done = std::move(done)](bool complete) {
    if (complete && !node->Children.empty()) expand(IndexOf(node));
    if (done) done(complete);
  });
}

void TShellGrid::CollapseNode(TShellNode* node) {
  collapse(IndexOf(node));
}

void TShellGrid::MarkForReEnumeration(TShellNode* node) {
  collapse(IndexOf(node));
  FModel->MarkForReEnumeration(node);
}

// ---- paths and tree state ----

QString TShellGrid::NodePath(const TShellNode* node) const {
  return node ? QFile::decodeName(node->Path) : QString();
}

QString TShellGrid::NodeDisplayPath(const TShellNode* node) const {
  QStringList texts;
  for (const TShellNode* n = node; n; n = n->Parent) texts.prepend(n->Text);
  return JoinDisplayPath(texts);
}

void TShellGrid::FindByDisplayPath(const QString& path, std::function<void(TShellNode*)> done) {
  FModel->FindByDisplayPath(path, std::move(done), OpenFolder());
}

void TShellGrid::LocatePath(const QByteArray& path, std::function<void(TShellNode*)> done) {
  FModel->LocatePath(path, std::move(done), OpenFolder());
}

TShellModel::TOpenFolder TShellGrid::OpenFolder() {
  return [this](TShellNode* node, std::function<void(bool)> done) {
    ExpandNode(node, std::move(done));
  };
}

TShellTreeState TShellGrid::GetTreeState() const {
  TShellTreeState state;
  state.TopPath = NodeDisplayPath(NodeAt(indexAt(QPoint(1, 1))));
  if (TShellNode* selected = SelectedNode()) {
    state.SelectedPath = NodeDisplayPath(selected);
    state.SelectedExpanded = isExpanded(IndexOf(selected));
  }
  return state;
}

void TShellGrid::RestoreTreeState(const TShellTreeState& state, std::function<void()> done) {
  ++FRestoring;
  FindByDisplayPath(state.TopPath, [this, state, done](TShellNode* top) {
    const uint64_t generation = FModel->Generation();
    FindByDisplayPath(state.SelectedPath, [this, state, done, top, generation](TShellNode* sel) {
      auto finish = [this, done] {
        --FRestoring;
        if (done) done();
      };
      if (top && generation == FModel->Generation()) scrollTo(IndexOf(top), PositionAtTop);
      if (!sel) return finish();
      SelectNode(sel);
      scrollTo(IndexOf(sel), EnsureVisible);
      if (!state.SelectedExpanded) return finish();
      ExpandNode(sel, [finish](bool) { finish(); });
    });
  });
}

// ---- refreshing ----

QStringList TShellGrid::OpenFolderPaths() const {
  QStringList paths;
  // Only folders the user can see open: a parent closed hides its children's state.
  std::function<void(const TShellNode*)> walk = [&](const TShellNode* node) {
    for (const auto& child : node->Children) {
      if (!child->IsFolder() || !isExpanded(IndexOf(child.get()))) continue;
      paths << NodeDisplayPath(child.get());
      walk(child.get());
    }
  };
  if (const TShellNode* root = RootNode()) walk(root);
  return paths;
}

void TShellGrid::ReopenFolders(QStringList paths, std::function<void()> done) {
  if (paths.isEmpty()) return done();
  const QString path = paths.takeFirst();
  FindByDisplayPath(path, [this, path, paths, done](TShellNode* node) {
    // A folder that is gone leaves its nearest parent as it is.
    if (!node || NodeDisplayPath(node).compare(path, Qt::CaseInsensitive) != 0)
      return ReopenFolders(paths, done);
    ExpandNode(node, [this, paths, done](bool) { ReopenFolders(paths, done); });
  });
}

void TShellGrid::RefreshAll(std::function<void()> done) {
  TShellNode* root = RootNode();
  if (!root) return;
  const TShellTreeState state = GetTreeState();
  // The user's place is more than the selection: the folders left open stay open.
  const QStringList open = OpenFolderPaths();
  ++FRestoring;
  MarkForReEnumeration(root);
  ExpandNode(root, [this, state, open, done](bool) {
    ReopenFolders(open, [this, state, done] {
      RestoreTreeState(state, [this, done] {
        --FRestoring;
        if (done) done();
      });
    });
  });
}

void TShellGrid::ReselectChild(TShellNode* parent, const QByteArray& path) {
  if (path.isEmpty()) return;
  for (const auto& child : parent->Children)
    if (child->Path == path) return SelectNode(child.get());
}

void TShellGrid::RefreshFolder(const QByteArray& rawPath) {
  const QByteArray path = WithoutFinalSlash(rawPath);
  std::vector<TShellNode*> matches;
  for (TShellNode* n = RootNode(); n; n = n->NextInTree())
    if (n->IsFolder() && n->Kind != TNodeKind::Computer && !n->Path.isEmpty() &&
        WithoutFinalSlash(n->Path) == path)
      matches.push_back(n);
  TShellNode* selected = SelectedNode();
  ++FRestoring;
  for (auto it = matches.rbegin(); it != matches.rend(); ++it) {
    TShellNode* folder = *it;
    const bool wasOpen = isExpanded(IndexOf(folder));
    const QByteArray selectedPath =
        selected && folder->IsAncestorOf(selected) ? selected->Path : QByteArray();
    MarkForReEnumeration(folder);
    // The user's place stays: an open folder is read and opened again.
    if (wasOpen) {
      ++FRestoring;
      ExpandNode(folder, [this, folder, selectedPath](bool complete) {
        if (complete) ReselectChild(folder, selectedPath);
        --FRestoring;
      });
    }
  }
  --FRestoring;
}

void TShellGrid::RefreshMyComputer() {
  TShellNode* computer = FModel->MyComputerNode;
  if (!computer || !computer->Enumerated) return;
  const bool wasOpen = isExpanded(IndexOf(computer));
  TShellNode* selected = SelectedNode();
  const QByteArray selectedPath =
      selected && selected->Parent == computer ? selected->Path : QByteArray();
  ++FRestoring;
  MarkForReEnumeration(computer);
  if (!wasOpen) {
    --FRestoring;
    return;
  }
  ExpandNode(computer, [this, computer, selectedPath](bool complete) {
    if (complete) ReselectChild(computer, selectedPath);
    --FRestoring;
  });
}

void TShellGrid::ClearSelectionAndRefreshRecycleBin(bool refresh) {
  clearSelection();
  if (TShellNode* trash = FModel->RecycleBinNode; refresh && trash) {
    const bool wasOpen = isExpanded(IndexOf(trash));
    MarkForReEnumeration(trash);
    if (wasOpen) ExpandNode(trash);
  }
}

void TShellGrid::FindDrive(const QByteArray& mountPoint, std::function<void(TShellNode*)> done) {
  FModel->FindDrive(mountPoint, std::move(done), OpenFolder());
}

// ---- playlists ----

bool TShellGrid::AddSelectedToPlayList(TAVPlayList& list, bool playFolders, bool subfolders,
                                       std::function<void(bool)> done) {
  return FModel->Collect(SelectedNodes(), list, playFolders, subfolders, std::move(done));
}

// ---- selection and keys ----

TShellNode* TShellGrid::SelectedNode() const {
  const QModelIndex current = currentIndex();
  if (current.isValid() && selectionModel()->isSelected(current)) return NodeAt(current);
  const QModelIndexList selected = selectionModel()->selectedIndexes();
  return selected.isEmpty() ? nullptr : NodeAt(selected.first());
}

int TShellGrid::SelectedCount() const {
  return int(selectionModel()->selectedIndexes().size());
}

std::vector<TShellNode*> TShellGrid::SelectedNodes() const {
  std::vector<std::pair<std::vector<int>, TShellNode*>> ordered;
  for (const QModelIndex& index : selectionModel()->selectedIndexes()) {
    std::vector<int> rows;
    for (const TShellNode* n = NodeAt(index); n; n = n->Parent) rows.insert(rows.begin(), n->Row);
    ordered.emplace_back(std::move(rows), NodeAt(index));
  }
  std::sort(ordered.begin(), ordered.end());
  std::vector<TShellNode*> nodes;
  for (auto& [rows, node] : ordered) nodes.push_back(node);
  return nodes;
}

void TShellGrid::SelectNode(TShellNode* node) {
  const QModelIndex index = IndexOf(node);
  selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
  scrollTo(index, EnsureVisible);
}

void TShellGrid::StepFile(int& key) {
  TShellNode* current = SelectedNode();
  if (!current || current->IsFolder() || !current->Parent) return;
  TShellNode* parent = current->Parent;
  TShellNode* target = nullptr;
  if (key == Qt::Key_Left || key == Qt::Key_Up) {
    target = current->PrevSibling();
    if (!target || target->IsFolder()) target = parent->LastChild();
  } else if (key == Qt::Key_Right || key == Qt::Key_Down) {
    target = current->NextSibling();
    if (!target || target->IsFolder()) {
      target = nullptr;
      for (const auto& child : parent->Children)
        if (!child->IsFolder()) {
          target = child.get();
          break;
        }
    }
  } else {
    return;
  }
  if (target && !target->IsFolder() && target != current) {
    SelectNode(target);
    key = 0;
  }
}

void TShellGrid::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    TShellNode* node = SelectedNode();
    if (node && FModel->hasChildren(IndexOf(node))) {
      if (isExpanded(IndexOf(node)))
        collapse(IndexOf(node));
      else
        ExpandNode(node);
      event->accept();
      return;
    }
  }
  if (ArrowStepping && event->modifiers() == Qt::NoModifier) {
    int stepped = key;
    StepFile(stepped);
    if (stepped == 0) {
      event->accept();
      return;
    }
  }
  QTreeView::keyPressEvent(event);
}

void TShellGrid::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::RightButton) return QTreeView::mousePressEvent(event);
  // The context menu is about to apply to the node under the pointer; a
  // selection that already holds it is kept whole.
  if (!(event->buttons() & Qt::LeftButton)) {
    const QPoint at = event->position().toPoint();
    const QModelIndex index = indexAt(at);
    if (index.isValid() && visualRect(index).contains(at) && !selectionModel()->isSelected(index))
      SelectNode(NodeAt(index));
  }
  event->accept();
}

void TShellGrid::contextMenuEvent(QContextMenuEvent* event) {
  emit ContextMenuRequested(event->globalPos());
  if (FPopupMenu && SelectedCount() > 0) FPopupMenu->popup(event->globalPos());
  event->accept();
}

void TShellGrid::selectionChanged(const QItemSelection& selected,
                                  const QItemSelection& deselected) {
  QTreeView::selectionChanged(selected, deselected);
  emit SelectionChanged();
}

// ---- texts about a node ----

QString TShellGrid::SizeText(const TShellNode* node) const {
  return node ? vexo::SizeText(*node) : QString();
}

QString TShellGrid::CreatedText(const TShellNode* node) const {
  return node ? DateTimeText(node->Created) : QString();
}

QString TShellGrid::DateText(const TShellNode* node) const {
  return node ? DateTimeText(node->Modified) : QString();
}

QString TShellGrid::TypeName(const TShellNode* node) const {
  return node ? vexo::TypeName(*node) : QString();
}

}  // namespace vexo
