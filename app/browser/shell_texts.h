#pragma once
// The texts the browser shows about a node: size, dates and type.
#include <QDateTime>
#include <QString>

#include "app/browser/shell_node.h"

namespace vexo {

// Empty for a folder; "1 KB" below 1024 bytes, then KB or MB with two decimals.
QString SizeText(const TShellNode& node);
// Short date and long time in the user's format; empty when unknown.
QString DateTimeText(const QDateTime& time);
// The desktop's name for the kind of file, at most 80 characters.
QString TypeName(const TShellNode& node);

}  // namespace vexo
