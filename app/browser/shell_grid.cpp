#include "app/browser/shell_grid.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTimer>
#include <atomic>

#include "app/browser/display_path.h"
#include "app/browser/folder_reader.h"
#include "app/browser/mount_watcher.h"
#include "app/browser/photo_date.h"
#include "app/browser/playlist_collector.h"
#include "app/browser/shell_icons.h"
#include "app/browser/shell_namespace.h"
#include "app/browser/shell_texts.h"
#include "app/common/language_list.h"
#include "app/common/media_extensions.h"

namespace vexo {

namespace {

// Longest stretch of the owner's per-item events between two looks at the
// window's events.
constexpr qint64 kSliceMs = 8;

QByteArray WithoutFinalSlash(QByteArray path) {
  while (path.size() > 1 && path.endsWith('/')) path.chop(1);
  return path;
}

// Exact text first: names differing only in case are different files here.
TShellNode* MatchChild(const TShellNode* parent, const QString& text) {
  for (const auto& child : parent->Children)
    if (child->Text == text) return child.get();
  for (const auto& child : parent->Children)
    if (child->Text.compare(text, Qt::CaseInsensitive) == 0) return child.get();
  return nullptr;
}

// True when path is base itself or lies below it.
bool PathIsBelow(const QByteArray& path, const QByteArray& base) {
  if (base.isEmpty()) return false;
  if (base == "/") return path.startsWith('/');
  return path == base || (path.startsWith(base) && path[base.size()] == '/');
}

}  // namespace

struct TShellGrid::TEnumJob {
  uint64_t Id = 0;
  std::shared_ptr<std::atomic<bool>> Cancel = std::make_shared<std::atomic<bool>>(false);
  std::vector<std::unique_ptr<TShellNode>> Items;
  size_t Next = 0;
  std::vector<std::unique_ptr<TShellNode>> Kept;
  std::vector<std::function<void(bool)>> Waiters;
  bool BusyCursor = false;
  int ReadError = 0;
};

TShellGrid::TShellGrid(QWidget* parent) : QTreeView(parent) {
  setAccessibleName(LResList.ReadValue("Accessible", "Browser", {}));
  FModel = new TShellModel(this);
  FModel->OnFetch = [this](TShellNode* node) { StartEnumeration(node, {}); };
  FModel->IsPending = [this](const TShellNode* node) { return FJobs.count(node) > 0; };
  FModel->OnNodeDeleting = [this](TShellNode* node) { NodeDeleting(node); };
  FModel->IconFor = [](const TShellNode& node) { return ShellIcon(node); };
  setModel(FModel);
  FCollector = new TPlaylistCollector(
      [this](TShellNode* node, std::function<void(bool)> done) {
        StartEnumeration(node, std::move(done));
      },
      this);
  FMountWatcher = new TMountWatcher(this);
  connect(FMountWatcher, &TMountWatcher::Changed, this, &TShellGrid::RefreshMyComputer);
  FPool.setMaxThreadCount(2);
}

TShellGrid::~TShellGrid() {
  for (auto& [node, job] : FJobs) {
    job->Cancel->store(true);
    if (job->BusyCursor) QGuiApplication::restoreOverrideCursor();
  }
  FPool.waitForDone();
  FJobs.clear();
  FModel->OnNodeDeleting = nullptr;
}

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
  MyComputerName = LResList.GetText("ShellGrid", 2);
  RecycleBinName = LResList.GetText("ShellGrid", 4);
  FModel->SetRoot(MakeDesktopNode());
  TShellNode* root = RootNode();
  ExpandNode(root, [this, root](bool) {
    if (RootNode() == root && !SelectedNode()) SelectNode(root);
  });
}

// ---- enumeration ----

void TShellGrid::StartEnumeration(TShellNode* node, std::function<void(bool)> waiter) {
  if (node->Enumerated || !node->HasChildren) {
    if (waiter) waiter(true);
    return;
  }
  if (auto it = FJobs.find(node); it != FJobs.end()) {
    if (waiter) it->second->Waiters.push_back(std::move(waiter));
    return;
  }
  auto job = std::make_unique<TEnumJob>();
  const uint64_t id = job->Id = FNextJobId++;
  if (waiter) job->Waiters.push_back(std::move(waiter));
  const auto cancel = job->Cancel;
  if (!OnBeginEnum) {
    QGuiApplication::setOverrideCursor(Qt::BusyCursor);
    job->BusyCursor = true;
  }
  FJobs[node] = std::move(job);
  if (OnBeginEnum) OnBeginEnum(node);

  auto deliver = [this, node, id](std::vector<std::unique_ptr<TShellNode>> items, int readError) {
    auto shared = std::make_shared<std::vector<std::unique_ptr<TShellNode>>>(std::move(items));
    QMetaObject::invokeMethod(
        this,
        [this, node, id, shared, readError] { Arrive(node, id, std::move(*shared), readError); },
        Qt::QueuedConnection);
  };
  if (node->Kind == TNodeKind::Desktop) {
    deliver(DesktopChildren(), 0);
    return;
  }
  const bool computer = node->Kind == TNodeKind::Computer;
  TFolderRequest request;
  request.Path = node->Path;
  request.FoldersOnly = false;
  request.ReadPhotoDates = ReadPhotoDates;
  request.SortByDate = FSortByDate;
  FPool.start([computer, request, cancel, deliver] {
    if (computer) {
      std::vector<std::unique_ptr<TShellNode>> volumes = ComputerVolumes();
      if (!cancel->load()) deliver(std::move(volumes), 0);
      return;
    }
    TFolderListing listing = ReadFolder(request, *cancel);
    if (!cancel->load()) deliver(std::move(listing.Nodes), listing.Error);
  });
}

void TShellGrid::Arrive(TShellNode* node, uint64_t id,
                        std::vector<std::unique_ptr<TShellNode>> items, int readError) {
  auto it = FJobs.find(node);
  if (it == FJobs.end() || it->second->Id != id) return;
  it->second->Items = std::move(items);
  it->second->ReadError = readError;
  ProcessSlice(node, id);
}

void TShellGrid::ProcessSlice(TShellNode* node, uint64_t id) {
  auto alive = [this, node, id]() -> TEnumJob* {
    auto it = FJobs.find(node);
    return it != FJobs.end() && it->second->Id == id ? it->second.get() : nullptr;
  };
  QElapsedTimer slice;
  slice.start();
  for (TEnumJob* job = alive(); job && job->Next < job->Items.size(); job = alive()) {
    if (slice.elapsed() >= kSliceMs) {
      QTimer::singleShot(0, this, [this, node, id] { ProcessSlice(node, id); });
      return;
    }
    TShellNode* item = job->Items[job->Next++].get();
    item->Parent = node;
    bool abort = false;
    if (OnEnumItem) OnEnumItem(item, abort);
    if (!alive()) return;  // the handler refreshed the tree
    if (abort) return EndEnumeration(node, false);
    bool accept = true;
    if (OnFilterNode) OnFilterNode(item, accept);
    if (!(job = alive())) return;
    if (!accept) continue;
    if (node == RootNode()) {
      if (item->Kind == TNodeKind::Computer) MyComputerNode = item;
      if (item->Kind == TNodeKind::Trash) RecycleBinNode = item;
    }
    job->Kept.push_back(std::move(job->Items[job->Next - 1]));
  }
  if (alive()) EndEnumeration(node, true);
}

void TShellGrid::EndEnumeration(TShellNode* node, bool complete) {
  std::unique_ptr<TEnumJob> job = std::move(FJobs[node]);
  FJobs.erase(node);
  if (complete) {
    node->Enumerated = true;
    if (job->Kept.empty()) {
      node->HasChildren = false;
      FModel->NodeChanged(node);
      collapse(IndexOf(node));
    } else {
      FModel->AddChildren(node, std::move(job->Kept));
    }
  } else {
    if (node == RootNode()) MyComputerNode = RecycleBinNode = nullptr;
    collapse(IndexOf(node));
  }
  if (job->BusyCursor) QGuiApplication::restoreOverrideCursor();
  if (OnEndEnum) OnEndEnum(node);
  if (complete && job->ReadError != 0 && OnReadFailed) OnReadFailed(node, job->ReadError);
  for (auto& waiter : job->Waiters) waiter(complete);
}

void TShellGrid::NodeDeleting(TShellNode* node) {
  ++FGeneration;
  FCollector->Cancel();
  if (node == MyComputerNode) MyComputerNode = nullptr;
  if (node == RecycleBinNode) RecycleBinNode = nullptr;
  CancelEnumeration(node);
}

void TShellGrid::CancelEnumeration(TShellNode* node) {
  auto it = FJobs.find(node);
  if (it == FJobs.end()) return;
  std::unique_ptr<TEnumJob> job = std::move(it->second);
  FJobs.erase(it);
  job->Cancel->store(true);
  if (job->BusyCursor) QGuiApplication::restoreOverrideCursor();
  if (OnEndEnum) OnEndEnum(node);
  // The waiters hear of it once the deletion is over.
  QTimer::singleShot(0, this, [waiters = std::move(job->Waiters)] {
    for (auto& waiter : waiters) waiter(false);
  });
}

void TShellGrid::Enumerate(TShellNode* node, std::function<void(bool)> done) {
  StartEnumeration(node, std::move(done));
}

void TShellGrid::ExpandNode(TShellNode* node, std::function<void(bool)> done) {
  // A node deleted meanwhile has its reading cancelled: complete means alive.
  StartEnumeration(node, [this, node, done = std::move(done)](bool complete) {
    if (complete && !node->Children.empty()) expand(IndexOf(node));
    if (done) done(complete);
  });
}

void TShellGrid::CollapseNode(TShellNode* node) {
  collapse(IndexOf(node));
}

void TShellGrid::MarkForReEnumeration(TShellNode* node) {
  collapse(IndexOf(node));
  CancelEnumeration(node);  // a reading on its way is stale now
  FModel->DeleteChildren(node);
  node->Enumerated = false;
  node->HasChildren = true;
  FModel->NodeChanged(node);
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
  const QStringList texts = SplitDisplayPath(path);
  TShellNode* root = RootNode();
  if (texts.isEmpty() || !root || root->Text.compare(texts[0], Qt::CaseInsensitive) != 0)
    return done(nullptr);
  FindStep(root, texts.mid(1), std::move(done));
}

void TShellGrid::FindStep(TShellNode* node, QStringList texts,
                          std::function<void(TShellNode*)> done) {
  if (texts.isEmpty()) return done(node);
  ExpandNode(node, [this, node, texts, done](bool complete) {
    if (!complete) return done(nullptr);
    TShellNode* child = MatchChild(node, texts[0]);
    if (!child) return done(node);
    FindStep(child, texts.mid(1), done);
  });
}

void TShellGrid::LocatePath(const QByteArray& rawPath, std::function<void(TShellNode*)> done) {
  const QByteArray path = WithoutFinalSlash(rawPath);
  auto walk = [this, path, done](TShellNode* base) {
    if (!base) return done(nullptr);
    // One name at a time from the base down.
    auto step = std::make_shared<std::function<void(TShellNode*)>>();
    std::weak_ptr<std::function<void(TShellNode*)>> weakStep = step;
    *step = [this, path, done, weakStep](TShellNode* node) {
      if (node->Path == path) return done(node);
      ExpandNode(node, [this, node, path, done, step = weakStep.lock()](bool complete) {
        if (!complete) return done(nullptr);
        for (const auto& child : node->Children)
          if (child->IsFolder() ? PathIsBelow(path, child->Path) : child->Path == path)
            return (*step)(child.get());
        done(nullptr);
      });
    };
    (*step)(base);
  };
  auto best = [path](TShellNode* parent, bool volumes) -> TShellNode* {
    TShellNode* found = nullptr;
    for (const auto& child : parent->Children)
      if ((child->Kind == TNodeKind::Volume) == volumes && PathIsBelow(path, child->Path) &&
          (!found || child->Path.size() > found->Path.size()))
        found = child.get();
    return found;
  };
  TShellNode* root = RootNode();
  if (!root) return done(nullptr);
  ExpandNode(root, [this, root, best, walk](bool) {
    if (TShellNode* base = best(root, false); base && base->Kind != TNodeKind::Trash)
      return walk(base);
    if (!MyComputerNode) return walk(nullptr);
    TShellNode* computer = MyComputerNode;
    Enumerate(computer, [computer, best, walk](bool complete) {
      walk(complete ? best(computer, true) : nullptr);
    });
  });
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
    const uint64_t generation = FGeneration;
    FindByDisplayPath(state.SelectedPath, [this, state, done, top, generation](TShellNode* sel) {
      auto finish = [this, done] {
        --FRestoring;
        if (done) done();
      };
      if (top && generation == FGeneration) scrollTo(IndexOf(top), PositionAtTop);
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
  TShellNode* computer = MyComputerNode;
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
  if (refresh && RecycleBinNode) {
    const bool wasOpen = isExpanded(IndexOf(RecycleBinNode));
    TShellNode* trash = RecycleBinNode;
    MarkForReEnumeration(trash);
    if (wasOpen) ExpandNode(trash);
  }
}

void TShellGrid::FindDrive(const QByteArray& mountPoint, std::function<void(TShellNode*)> done) {
  TShellNode* computer = MyComputerNode;
  if (!computer) return done(nullptr);
  const QByteArray wanted = WithoutFinalSlash(mountPoint);
  ExpandNode(computer, [computer, wanted, done](bool) {
    for (const auto& child : computer->Children)
      if (WithoutFinalSlash(child->Path) == wanted) return done(child.get());
    done(nullptr);
  });
}

// ---- playlists ----

bool TShellGrid::AddSelectedToPlayList(TAVPlayList& list, bool playFolders, bool subfolders,
                                       std::function<void(bool)> done) {
  FCollector->OnAddFile = OnAddFile;
  FCollector->OnCheckAbort = OnCheckAbort;
  return FCollector->Start(SelectedNodes(), list, playFolders, subfolders, std::move(done));
}

bool TShellGrid::AddFolderFiles(TShellNode* folder, TAVPlayList& list, bool recurse,
                                std::function<void(bool)> done) {
  FCollector->OnAddFile = OnAddFile;
  FCollector->OnCheckAbort = OnCheckAbort;
  return FCollector->Start({folder}, list, true, recurse, std::move(done));
}

bool TShellGrid::Collecting() const {
  return FCollector->Running();
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

void TShellGrid::UpdateSize(TShellNode* node) {
  struct stat info {};
  if (node && !node->IsFolder() && ::stat(node->Path.constData(), &info) == 0)
    node->Size = uint64_t(info.st_size);
}

void TShellGrid::ExaminePhoto(TShellNode* node) {
  if (!node || node->Tag != ptUnexamined || node->IsFolder() || !IsPhotoExt(node->Extension()))
    return;
  const QDateTime taken = ReadPhotoDate(node->Path);
  node->Tag = taken.isValid() ? ptDated : ptNoDate;
  if (taken.isValid()) node->SortDate = taken;
}

void TShellGrid::SetSortByDate(bool byDate) {
  if (FSortByDate == byDate) return;
  FSortByDate = byDate;
  FModel->SortAll(byDate);
}

}  // namespace vexo
