#include "app/common/menu_system.h"

#include <QActionGroup>
#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <cassert>
#include <functional>

#include "app/common/language_list.h"
#include "app/common/shortcut_text.h"

namespace vexo {

namespace {

constexpr int kToolBarGap = 7;
constexpr int kToolBarImageSize = 20;

QString MenuText(const QString& key, bool checked) {
  const QString section = QString::fromLatin1(kMenuSection);
  return checked ? LResList.GetValue(section, key, QString())
                 : LResList.ReadValue(section, key, QString());
}

bool IsInside(const QObject* object, const QObject* ancestor) {
  for (; object; object = object->parent())
    if (object == ancestor) return true;
  return false;
}

// A menu item that opens a sub-menu is the sub-menu's own action; it shows
// what the command's action shows and follows its changes.
void FollowAction(QAction* item, const TMSAction* action) {
  auto copy = [item, action] {
    item->setText(action->text());
    item->setIcon(action->icon());
    item->setStatusTip(action->statusTip());
    item->setToolTip(action->toolTip());
    item->setEnabled(action->isEnabled());
    item->setVisible(action->isVisible());
  };
  copy();
  item->setData(action->Index());
  QObject::connect(action, &QAction::changed, item, copy);
}

// A caption without its keyboard marker.
QString PlainCaption(QString caption) {
  caption.replace(QLatin1String("&&"), QString(QChar(1)));
  caption.remove(u'&');
  caption.replace(QChar(1), u'&');
  return caption;
}

// What a screen reader calls a command: its caption without the keyboard
// marker or, where the command shows only a picture, its hint.
QString SpokenName(const QAction* action) {
  const QString plain = PlainCaption(action->text());
  return plain.isEmpty() ? action->toolTip() : plain;
}

// A tool bar button is named by its caption there or, where it shows only a
// picture, by its hint.
void NameToolButton(QToolBar* bar, QAction* action, const QString& caption) {
  QWidget* button = bar->widgetForAction(action);
  if (!button) return;
  auto name = [button, action, caption] {
    button->setAccessibleName(caption.isEmpty() ? action->toolTip() : caption);
  };
  name();
  QObject::connect(action, &QAction::changed, button, name);
}

// The button (and its menu) that a bar too narrow for its commands shows at
// its end; the toolkit makes them without a name, the menu only once the bar
// is laid out, so they are named again whenever the bar changes its size.
void NameOverflow(QWidget* bar, const char* buttonName) {
  auto name = [bar, buttonName] {
    auto* more = bar->findChild<QToolButton*>(QLatin1String(buttonName));
    if (!more) return;
    more->setAccessibleName(LResList.ReadValue("Accessible", "MoreCommands", {}));
    if (more->menu()) more->menu()->setAccessibleName(more->accessibleName());
  };
  name();
  class TResizeWatch : public QObject {
   public:
    TResizeWatch(QObject* parent, std::function<void()> act)
        : QObject(parent), FAct(std::move(act)) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
      if (event->type() == QEvent::Resize) QTimer::singleShot(0, watched, FAct);
      return false;
    }

   private:
    std::function<void()> FAct;
  };
  bar->installEventFilter(new TResizeWatch(bar, name));
}

// A pop-up menu opened by a right click belongs to no menu bar, so its hints
// are passed to the owner window (and its status bar) by hand.
void ShowHintsIn(QMenu* menu, QWidget* owner) {
  auto show = [owner](const QString& hint) {
    QStatusTipEvent tip(hint);
    QCoreApplication::sendEvent(owner, &tip);
  };
  QObject::connect(menu, &QMenu::hovered, owner,
                   [show](QAction* action) { show(action->statusTip()); });
  QObject::connect(menu, &QMenu::aboutToHide, owner, [show] { show(QString()); });
}

}  // namespace

TMenuSystem::TMenuSystem(QWidget* owner, const TMenuTable& table, std::vector<QIcon> images)
    : QObject(owner),
      FOwner(owner),
      FTable(table),
      FImages(std::move(images)),
      FActions(table.Rows.size(), nullptr),
      FMinIndex(int(table.Rows.size()) - 1) {}

TMenuSystem::~TMenuSystem() = default;

QIcon TMenuSystem::Image(int index) const {
  return index >= 0 && index < int(FImages.size()) ? FImages[index] : QIcon();
}

void TMenuSystem::SetHint(int row, const QString& hint) {
  TMSAction* action = FindAction(row);
  if (!action) return;
  if (hint.isEmpty()) return ShowOwnHints(*action);
  action->setStatusTip(hint);
  action->setToolTip(hint);
}

void TMenuSystem::ShowOwnHints(TMSAction& action) {
  const TMenuRec& rec = FTable.Rows[action.Index()];
  const QString hint = MenuText(QString::fromLatin1(rec.Name) + QLatin1Char('H'), false);
  // Menus show the status tip, tool bar buttons the tool tip.
  action.setStatusTip(hint);
  action.setToolTip(
      rec.BarName ? MenuText(QString::fromLatin1(rec.BarName) + QLatin1Char('H'), false) : hint);
}

QString TMenuSystem::BarCaption(const TMSAction& action) const {
  const char* key = FTable.Rows[action.Index()].BarName;
  return key ? MenuText(QString::fromLatin1(key), false) : action.iconText();
}

TMSAction* TMenuSystem::CreateAction(int row) {
  const TMenuRec& rec = FTable.Rows[row];
  if (!rec.Name) return nullptr;
  const QString name = QString::fromLatin1(rec.Name);
  auto* action = new TMSAction(row, -1, this);
  action->SetCaption(MenuText(name, true), true);
  action->setIcon(Image(rec.ImageIndex));
  ShowOwnHints(*action);
  action->setShortcut(ShortcutFromText(MenuText(name + QLatin1Char('S'), false)));
  action->setCheckable(FTable.AutoCheck.Contains(row));
  connect(action, &QAction::triggered, this, [this, action] { OnTriggered(action); });
  if (FOwner) FOwner->addAction(action);
  return action;
}

void TMenuSystem::RegisterCommands(const TCommandSet& set) {
  for (int row : set.Rows()) {
    if (row >= int(FActions.size())) break;
    if (!FActions[row]) FActions[row] = CreateAction(row);
    if (!FActions[row]) continue;
    FMinIndex = std::min(FMinIndex, row);
    FMaxIndex = std::max(FMaxIndex, row);
  }
}

std::vector<int> TMenuSystem::ActionRows(const TCommandSet& set) const {
  std::vector<int> rows;
  for (int row = FMinIndex; row <= FMaxIndex; ++row)
    if (set.Contains(row) && FActions[row]) rows.push_back(row);
  for (const TMenuPlacement& placed : FTable.PlacedAfter) {
    auto row = std::find(rows.begin(), rows.end(), placed.Row);
    if (row == rows.end() || std::find(rows.begin(), rows.end(), placed.After) == rows.end())
      continue;
    rows.erase(row);
    rows.insert(std::find(rows.begin(), rows.end(), placed.After) + 1, placed.Row);
  }
  return rows;
}

QMenu* TMenuSystem::AddSubMenuItem(QWidget* parent, int row) {
  auto* menu = new QMenu(parent);
  FollowAction(menu->menuAction(), FActions[row]);
  // A closed menu is known to a screen reader by its own name only.
  auto name = [menu] { menu->setAccessibleName(SpokenName(menu->menuAction())); };
  name();
  QObject::connect(menu->menuAction(), &QAction::changed, menu, name);
  return menu;
}

void TMenuSystem::AddMenuItem(QMenu* menu, int row) {
  if (FTable.MenuSeparators.Contains(row) && !menu->actions().isEmpty()) menu->addSeparator();
  const TMenuRec& rec = FTable.Rows[row];
  if (FTable.RunTimeLists.Contains(row)) {
    // Stays disabled until its list is filled.
    FActions[row]->setEnabled(false);
    QMenu* list = AddSubMenuItem(menu, row);
    menu->addAction(list->menuAction());
    FDynamicParents.push_back({row, list, nullptr, nullptr});
  } else if (!rec.SubItems.Empty()) {
    QMenu* sub = AddSubMenuItem(menu, row);
    menu->addAction(sub->menuAction());
    BuildSubMenu(sub, rec.SubItems);
  } else {
    menu->addAction(FActions[row]);
  }
}

void TMenuSystem::BuildSubMenu(QMenu* menu, const TCommandSet& set) {
  RegisterCommands(set);
  for (int row : ActionRows(set)) AddMenuItem(menu, row);
}

QMenuBar* TMenuSystem::BuildMainMenu(const TCommandSet& set) {
  RegisterCommands(set);
  auto* bar = new QMenuBar(FOwner);
  bar->setAccessibleName(LResList.ReadValue("Accessible", "MainMenu", {}));
  NameOverflow(bar, "qt_menubar_ext_button");
  if (auto* window = qobject_cast<QMainWindow*>(FOwner)) window->setMenuBar(bar);
  FMainMenu = bar;
  for (int row : ActionRows(set & FTable.TopLevel)) {
    const TMenuRec& rec = FTable.Rows[row];
    if (rec.SubItems.Empty()) {
      bar->addAction(FActions[row]);
      continue;
    }
    QMenu* menu = AddSubMenuItem(bar, row);
    bar->addAction(menu->menuAction());
    BuildSubMenu(menu, set & rec.SubItems);
  }
  return bar;
}

QToolBar* TMenuSystem::BuildToolBar(const TCommandSet& set) {
  RegisterCommands(set);
  auto* bar = new QToolBar(FOwner);
  bar->setAccessibleName(LResList.ReadValue("Accessible", "ToolBar", {}));
  NameOverflow(bar, "qt_toolbar_ext_button");
  bar->setMovable(false);
  bar->setFloatable(false);
  bar->setFont(QApplication::font("QMenu"));
  bar->setIconSize(QSize(kToolBarImageSize, kToolBarImageSize));
  bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  if (auto* window = qobject_cast<QMainWindow*>(FOwner)) window->addToolBar(bar);
  for (int row : ActionRows(set)) {
    if (FTable.ToolBarSeparators.Contains(row)) {
      if (QWidget* gap = bar->widgetForAction(bar->addSeparator())) gap->setFixedWidth(kToolBarGap);
    }
    const TMenuRec& rec = FTable.Rows[row];
    if (rec.SubItems.Empty()) {
      // The menus' own action, so that its state shows the same everywhere;
      // only its caption here may be shorter, or none.
      TMSAction* action = FActions[row];
      const QString caption = PlainCaption(BarCaption(*action));
      if (!caption.isEmpty()) action->setIconText(caption);
      bar->addAction(action);
      auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(action));
      if (button && caption.isEmpty()) button->setToolButtonStyle(Qt::ToolButtonIconOnly);
      NameToolButton(bar, action, caption);
      continue;
    }
    QMenu* menu = AddSubMenuItem(bar, row);
    BuildSubMenu(menu, rec.SubItems);
    bar->addAction(menu->menuAction());
    if (auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(menu->menuAction())))
      button->setPopupMode(QToolButton::InstantPopup);
  }
  return bar;
}

QMenu* TMenuSystem::BuildPopupMenu(const TCommandSet& set) {
  if (set.Empty()) return nullptr;
  auto* menu = new QMenu(FOwner);
  menu->setAccessibleName(LResList.ReadValue("Accessible", "ContextMenu", {}));
  BuildSubMenu(menu, set);
  if (FOwner) ShowHintsIn(menu, FOwner);
  FPopupMenus.push_back(menu);
  return menu;
}

QMenu* TMenuSystem::GetPopupMenu(int number) const {
  assert(number >= 0 && number < int(FPopupMenus.size()) && "no pop-up menu of that number");
  if (number < 0 || number >= int(FPopupMenus.size())) return nullptr;
  return FPopupMenus[number];
}

void TMenuSystem::ClearList(TDynamicParent& parent) {
  QMenu* menu = parent.Menu;
  // Lists below this one go with it; they are rebuilt empty after the entries.
  FDynamicParents.remove_if(
      [&](const TDynamicParent& other) { return &other != &parent && IsInside(other.Menu, menu); });
  // An entry may be running its command right now (a handler that refills
  // its own list), so entries and nested menus leave at the next event turn.
  for (QAction* item : menu->actions()) {
    menu->removeAction(item);
    if (QObject* nested = item->parent(); nested != menu && IsInside(nested, menu))
      nested->deleteLater();
    else if (item->parent() == menu)
      item->deleteLater();
  }
  if (parent.Group) parent.Group->deleteLater();
  parent.Group = nullptr;
  parent.Confirmed = nullptr;
}

void TMenuSystem::FillList(int row, const QStringList& items, int checked, int image) {
  FDynamicParents.remove_if([](const TDynamicParent& parent) { return !parent.Menu; });
  std::vector<TDynamicParent*> parents;
  for (TDynamicParent& parent : FDynamicParents)
    if (parent.Row == row) parents.push_back(&parent);
  const bool radio = FTable.RadioLists.Contains(row);
  for (TDynamicParent* parent : parents) {
    ClearList(*parent);
    QMenu* menu = parent->Menu;
    if (radio) parent->Group = new QActionGroup(menu);
    for (int k = 0; k < items.size(); ++k) {
      if (items[k].isEmpty()) {
        menu->addSeparator();
        continue;
      }
      auto* entry = new TMSAction(row, k, menu);
      const qsizetype bar = items[k].indexOf(QLatin1Char('|'));
      entry->SetCaption(items[k].left(bar), false);
      if (bar >= 0) entry->setStatusTip(items[k].mid(bar + 1));
      if (image >= 0) entry->setIcon(Image(image));
      if (radio) {
        entry->GroupIndex = 1;
        entry->setCheckable(true);
        entry->setActionGroup(parent->Group);
      }
      if (k == checked) {
        entry->setCheckable(true);
        entry->setChecked(true);
        if (radio) parent->Confirmed = entry;
      }
      connect(entry, &QAction::triggered, this, [this, entry] { OnTriggered(entry); });
      menu->addAction(entry);
    }
    BuildSubMenu(menu, FTable.Rows[row].SubItems);
    FActions[row]->setEnabled(!menu->actions().isEmpty());
  }
}

void TMenuSystem::SetChecked(int row, bool checked) {
  TMSAction* action = FindAction(row);
  if (!action) return;
  action->setCheckable(true);
  action->setChecked(checked);
}

void TMenuSystem::ApplyPair(const TCommandSet& on, const TCommandSet& off,
                            void (QAction::*set)(bool)) {
  for (int row = FMinIndex; row <= FMaxIndex; ++row) {
    if (!FActions[row]) continue;
    if (on.Contains(row))
      (FActions[row]->*set)(true);
    else if (off.Contains(row))
      (FActions[row]->*set)(false);
  }
}

void TMenuSystem::EnableCommands(const TCommandSet& enable, const TCommandSet& disable) {
  ApplyPair(enable, disable, &QAction::setEnabled);
}

void TMenuSystem::ShowCommands(const TCommandSet& show, const TCommandSet& hide) {
  ApplyPair(show, hide, &QAction::setVisible);
}

void TMenuSystem::SetEnabled(int row, bool enabled) {
  if (TMSAction* action = FindAction(row)) action->setEnabled(enabled);
}

void TMenuSystem::SetVisible(int row, bool visible) {
  if (TMSAction* action = FindAction(row)) action->setVisible(visible);
}

TMSAction* TMenuSystem::FindAction(int row) const {
  return row >= 0 && row < int(FActions.size()) ? FActions[row] : nullptr;
}

void TMenuSystem::SetCommandHandler(int row, TCommandHandler handler) {
  if (handler)
    FCommandHandlers[row] = std::move(handler);
  else
    FCommandHandlers.erase(row);
}

bool TMenuSystem::IsExecutable(const TMSAction& action) const {
  if (action.IsListEntry()) return true;
  return FTable.Rows[action.Index()].SubItems.Empty() &&
         !FTable.RunTimeLists.Contains(action.Index());
}

TMenuSystem::TDynamicParent* TMenuSystem::FindListOf(const TMSAction& entry) {
  for (TDynamicParent& parent : FDynamicParents)
    if (parent.Group && parent.Group == entry.actionGroup()) return &parent;
  return nullptr;
}

bool TMenuSystem::ExecuteAction(TMSAction* action) {
  if (!action || !IsExecutable(*action)) return false;
  QPointer<TMSAction> alive = action;
  bool handled = false;
  if (auto own = FCommandHandlers.find(action->Index()); own != FCommandHandlers.end()) {
    const TCommandHandler handler = own->second;  // may be replaced while it runs
    handler(*action);
    handled = true;
  } else if (OnExecuteCommand) {
    OnExecuteCommand(*action, handled);
  }
  if (handled && alive && action->GroupIndex > 0) {
    action->setChecked(true);
    if (TDynamicParent* list = FindListOf(*action)) list->Confirmed = action;
  }
  return handled;
}

void TMenuSystem::OnTriggered(TMSAction* action) {
  // The check mark is the program's to set, not the click's: undo the
  // toggle the click made, unless the command checks itself.
  if (action->isCheckable() &&
      (action->IsListEntry() || !FTable.AutoCheck.Contains(action->Index()))) {
    if (action->actionGroup()) {
      TDynamicParent* list = FindListOf(*action);
      if (list && list->Confirmed)
        list->Confirmed->setChecked(true);
      else
        action->setChecked(false);
    } else {
      action->setChecked(!action->isChecked());
    }
  }
  ExecuteAction(action);
}

}  // namespace vexo
