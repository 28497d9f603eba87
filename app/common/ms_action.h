#pragma once
// One command of the menu system: a row of the command table, or one entry of
// a list that is filled into a menu while the program runs.
#include <QAction>
#include <QString>

namespace vexo {

class TMSAction : public QAction {
  Q_OBJECT
 public:
  // subIndex -1: the table's own command; 0 or more: position in its list.
  TMSAction(int index, int subIndex, QObject* parent);

  int Index() const { return FIndex; }
  int SubIndex() const { return FSubIndex; }
  bool IsListEntry() const { return FSubIndex >= 0; }

  // The caption as given, without the doubled ampersands that keep a file
  // path's "&" from becoming an access key.
  QString Caption() const { return FCaption; }
  void SetCaption(const QString& caption, bool accessKeys);

  // Above 0: a radio entry, checked when its command was handled.
  int GroupIndex = 0;

 private:
  int FIndex;
  int FSubIndex;
  QString FCaption;
};

}  // namespace vexo
