#pragma once
// Size and place windows within the work area measured at start, and keep a
// window's placement in the settings file.
#include <QSize>
#include <QString>

class QWidget;

namespace vexo {

class TSIniFile;

void CenterInWorkArea(QWidget* window);
QSize PercentOfWorkArea(int percent);
// A placement stored at another pixel density is not applied (false). Returns
// the stored maximised flag.
bool LoadWindowPlacement(QWidget* window, const TSIniFile& ini, const QString& section);
void SaveWindowPlacement(const QWidget* window, TSIniFile& ini, const QString& section);

}  // namespace vexo
