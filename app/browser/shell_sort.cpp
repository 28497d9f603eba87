#include "app/browser/shell_sort.h"

#include <QFile>
#include <algorithm>

namespace vexo {

QCollator MakeNameCollator() {
  QLocale locale;
  if (locale.language() == QLocale::C) locale = QLocale(QLocale::English);
  QCollator collator(locale);
  collator.setNumericMode(true);
  collator.setCaseSensitivity(Qt::CaseInsensitive);
  return collator;
}

namespace {

bool IsDriveRootNode(const TShellNode& node) {
  return node.Kind == TNodeKind::Volume;
}

int CompareByName(const TShellNode& a, const TShellNode& b) {
  if (a.NameKey && b.NameKey) {
    const int byKey = a.NameKey->compare(*b.NameKey);
    if (byKey != 0) return byKey;
  } else {
    thread_local const QCollator collator = MakeNameCollator();
    const int byText = collator.compare(a.Text, b.Text);
    if (byText != 0) return byText;
  }
  // Names that collate alike ("a" and "A") still need a fixed order.
  return a.Path < b.Path ? -1 : (b.Path < a.Path ? 1 : 0);
}

}  // namespace

int CompareNodes(const TShellNode& a, const TShellNode& b, bool sortByDate) {
  const bool folderA = a.IsFolder(), folderB = b.IsFolder();
  if (folderA != folderB) return folderA ? -1 : 1;
  if (folderA) {
    const bool rootA = IsDriveRootNode(a), rootB = IsDriveRootNode(b);
    if (rootA != rootB) return rootA ? -1 : 1;
    if (rootA) return QFile::decodeName(a.Path).compare(QFile::decodeName(b.Path));
    return CompareByName(a, b);
  }
  if (sortByDate) {
    // Files without a date follow the dated ones, by name among themselves:
    // comparing a dated file with an undated one by name would make the
    // order go round in circles (dated z before dated a, a before undated m
    // before z), which no sort can follow.
    const bool datedA = a.SortDate.isValid(), datedB = b.SortDate.isValid();
    if (datedA != datedB) return datedA ? -1 : 1;
    if (datedA) {
      if (a.SortDate < b.SortDate) return -1;
      if (b.SortDate < a.SortDate) return 1;
      return 0;
    }
  }
  return CompareByName(a, b);
}

void SortNodes(std::vector<std::unique_ptr<TShellNode>>& nodes, bool sortByDate) {
  std::stable_sort(nodes.begin(), nodes.end(), [sortByDate](const auto& a, const auto& b) {
    return CompareNodes(*a, *b, sortByDate) < 0;
  });
}

}  // namespace vexo
