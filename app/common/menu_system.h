#pragma once
// The commands of one window: one action per command-table row with caption,
// hint and shortcut from the language file, shared by the menu bar, the tool
// bars and the pop-up menus built from sets of rows, so that its state shows
// the same in each. A command runs the handler that the part owning it
// registered for its row.
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <list>
#include <map>
#include <vector>

#include "app/common/command_set.h"
#include "app/common/menu_rec.h"
#include "app/common/ms_action.h"

class QActionGroup;
class QMenu;
class QMenuBar;
class QToolBar;
class QWidget;

namespace vexo {

// Language section of the command texts: Name (caption), Name + "H" (hint)
// and Name + "S" (shortcut text such as "Ctrl+O").
inline constexpr const char* kMenuSection = "Menu";

class TMenuSystem : public QObject {
  Q_OBJECT
 public:
  // handled is false on entry; set it when the command was dealt with.
  using TExecuteHandler = std::function<void(TMSAction& action, bool& handled)>;
  using TCommandHandler = std::function<void(TMSAction& action)>;

  // The table must outlive the menu system; images are indexed by the rows'
  // ImageIndex. Menus and tool bars are children of owner, and the table's
  // actions are added to owner so that their shortcuts work window-wide.
  TMenuSystem(QWidget* owner, const TMenuTable& table, std::vector<QIcon> images);
  ~TMenuSystem() override;

  // Creates the missing actions of the set.
  void RegisterCommands(const TCommandSet& set);
  // The owner's menu bar (set on the owner when it is a main window).
  QMenuBar* BuildMainMenu(const TCommandSet& set);
  // A new tool bar (added to the owner when it is a main window).
  QToolBar* BuildToolBar(const TCommandSet& set);
  // Null for an empty set; otherwise also kept as the next pop-up number.
  QMenu* BuildPopupMenu(const TCommandSet& set);
  QMenu* GetPopupMenu(int number) const;
  int PopupMenuCount() const { return int(FPopupMenus.size()); }

  // Refills the run-time list under every menu item of row: an empty string
  // gives a separator, "caption|hint" an entry; checked is the position that
  // carries the check mark (-1 none), image an image index (-1 none).
  void FillList(int row, const QStringList& items, int checked = -1, int image = -1);

  void SetChecked(int row, bool checked);
  // A row in enable is enabled; otherwise a row in disable is disabled;
  // other rows keep their state.
  void EnableCommands(const TCommandSet& enable, const TCommandSet& disable);
  void ShowCommands(const TCommandSet& show, const TCommandSet& hide);
  // One row at a time.
  void SetEnabled(int row, bool enabled);
  // Shows `hint` for the row's command instead of its own; empty gives the
  // row's own back.
  void SetHint(int row, const QString& hint);
  void SetVisible(int row, bool visible);

  // The table's action of the row, or null when the row has none yet.
  TMSAction* FindAction(int row) const;
  // Runs the command; false when no handler took it.
  bool ExecuteAction(TMSAction* action);

  // The handler of the commands of one row (table command and list
  // entries), given by the part that owns the command; it counts as
  // handling the command. An empty handler takes it back.
  void SetCommandHandler(int row, TCommandHandler handler);
  // Gets the commands without a handler of their own.
  TExecuteHandler OnExecuteCommand;

  const TMenuTable& Table() const { return FTable; }
  int MinIndex() const { return FMinIndex; }
  int MaxIndex() const { return FMaxIndex; }

 private:
  struct TDynamicParent {
    int Row;
    QPointer<QMenu> Menu;
    QPointer<QActionGroup> Group;
    QPointer<TMSAction> Confirmed;  // the radio entry last checked by the program
  };

  TMSAction* CreateAction(int row);
  // The row's own hints: its menu hint, and its tool-bar hint as tool tip.
  void ShowOwnHints(TMSAction& action);
  // What the command's tool bar button says; empty for a picture alone.
  QString BarCaption(const TMSAction& action) const;
  QIcon Image(int index) const;
  bool IsExecutable(const TMSAction& action) const;
  // The rows of the set that have actions, ascending.
  std::vector<int> ActionRows(const TCommandSet& set) const;
  void BuildSubMenu(QMenu* menu, const TCommandSet& set);
  // A menu item that opens a sub-menu and follows the row's action.
  QMenu* AddSubMenuItem(QWidget* parent, int row);
  void AddMenuItem(QMenu* menu, int row);
  // A row in on gets true; otherwise a row in off gets false.
  void ApplyPair(const TCommandSet& on, const TCommandSet& off, void (QAction::*set)(bool));
  void ClearList(TDynamicParent& parent);
  TDynamicParent* FindListOf(const TMSAction& entry);
  void OnTriggered(TMSAction* action);

  QWidget* FOwner;
  const TMenuTable& FTable;
  std::vector<QIcon> FImages;
  std::vector<TMSAction*> FActions;           // one per row, null until used
  std::list<TDynamicParent> FDynamicParents;  // stable while lists are rebuilt
  QPointer<QMenuBar> FMainMenu;
  std::vector<QPointer<QMenu>> FPopupMenus;
  std::map<int, TCommandHandler> FCommandHandlers;
  int FMinIndex;
  int FMaxIndex = 0;
};

}  // namespace vexo
