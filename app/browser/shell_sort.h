#pragma once
// The order of a folder's children: folders before files, volumes before
// other folders, then by name as people read it (case ignored, numbers by
// value) or, for files, by date.
#include <QCollator>
#include <memory>
#include <vector>

#include "app/browser/shell_node.h"

namespace vexo {

// A collator for names: numeric, case-insensitive, in the user's language
// (English rules when the locale is plain C, whose collation knows neither).
// One per thread: a collator is not to be shared between threads.
QCollator MakeNameCollator();

// Negative when a goes first.
int CompareNodes(const TShellNode& a, const TShellNode& b, bool sortByDate);

// Stable: files of the same date keep the order in which they were read.
void SortNodes(std::vector<std::unique_ptr<TShellNode>>& nodes, bool sortByDate);

}  // namespace vexo
