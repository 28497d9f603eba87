#pragma once
// The item model behind the browser grid: a tree of TShellNode with one top
// node, the desktop. Children appear only when the grid has enumerated them;
// the view asks for them through canFetchMore/fetchMore when a node opens.
#include <QAbstractItemModel>
#include <functional>
#include <memory>
#include <vector>

#include "app/browser/shell_node.h"

namespace vexo {

class TShellModel : public QAbstractItemModel {
  Q_OBJECT

 public:
  explicit TShellModel(QObject* parent = nullptr);
  ~TShellModel() override;

  // Called when the view opens a node that was never enumerated.
  std::function<void(TShellNode*)> OnFetch;
  // Says whether an enumeration of the node is already on its way.
  std::function<bool(const TShellNode*)> IsPending;
  // Called for every node of a subtree just before it is deleted.
  std::function<void(TShellNode*)> OnNodeDeleting;
  std::function<QIcon(const TShellNode&)> IconFor;

  void SetRoot(std::unique_ptr<TShellNode> root);
  TShellNode* Root() const { return FRoot.get(); }
  TShellNode* NodeAt(const QModelIndex& index) const;
  QModelIndex IndexOf(const TShellNode* node) const;

  // Appends children (already in their order) to node.
  void AddChildren(TShellNode* node, std::vector<std::unique_ptr<TShellNode>> children);
  void DeleteChildren(TShellNode* node);
  // The node's text, icon or expandability changed.
  void NodeChanged(TShellNode* node);
  // Orders the children of every enumerated node again.
  void SortAll(bool sortByDate);

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

 private:
  void NotifyDeleting(TShellNode* node);

  std::unique_ptr<TShellNode> FRoot;
};

}  // namespace vexo
