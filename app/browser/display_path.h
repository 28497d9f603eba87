#pragma once
// Tree positions kept as text: the display texts from the root down, joined
// with '\'. Names on this system may hold '\' themselves (and volume names
// hold '/'), so a '\' or '%' inside a text is written as %5C or %25.
#include <QString>
#include <QStringList>

namespace vexo {

QString JoinDisplayPath(const QStringList& texts);
QStringList SplitDisplayPath(const QString& path);

}  // namespace vexo
