#include "app/browser/shell_node.h"

namespace vexo {

int TShellNode::Level() const {
  int level = 0;
  for (const TShellNode* p = Parent; p; p = p->Parent) ++level;
  return level;
}

TShellNode* TShellNode::NextInTree() const {
  if (!Children.empty()) return Children.front().get();
  for (const TShellNode* n = this; n; n = n->Parent)
    if (TShellNode* next = n->NextSibling()) return next;
  return nullptr;
}

bool TShellNode::IsAncestorOf(const TShellNode* node) const {
  for (const TShellNode* p = node ? node->Parent : nullptr; p; p = p->Parent)
    if (p == this) return true;
  return false;
}

QString TShellNode::Extension() const {
  const QString name = Text;
  const int dot = name.lastIndexOf(u'.');
  return dot < 0 ? QString() : name.mid(dot);
}

void TShellNode::RenumberChildren() {
  for (size_t i = 0; i < Children.size(); ++i) Children[i]->Row = int(i);
}

}  // namespace vexo
