#pragma once
// The base of the main window's pages: the links to the menu system and the
// status bar, the commands' enabled states as last set, the page's playlist,
// the status text, and a hidden log pane at the bottom that receives the
// engine's log lines while it is shown (Ctrl+Shift+L).
#include <QFrame>
#include <QSplitter>
#include <QString>

#include "app/common/command_set.h"
#include "engine/playlist/av_playlist.h"

namespace vexo {

class TMenuSystem;
class TPageLogView;
class TStatusPanels;

class TBasePage : public QFrame {
  Q_OBJECT

 public:
  static constexpr int kStatusTextPanel = 3;

  explicit TBasePage(QWidget* parent = nullptr);
  ~TBasePage() override;

  void Init(TMenuSystem* menuSystem, TStatusPanels* statusBar);

  // Passes the pair to the menu system only when one of them changed.
  void SetCommandStates(const TCommandSet& enabled, const TCommandSet& disabled);
  void SetStatusText(const QString& text);
  void SetStatusPanel(int panel, const QString& text);
  void SetLogVisible(bool visible);
  bool LogVisible() const;

  virtual void AfterShow() {}
  virtual void BeforeClose() {}
  virtual void SetSkinActive(bool /*on*/) {}
  virtual void FocusDefault() {}
  virtual void Reposition() {}
  virtual void SaveLayout() {}

  TMenuSystem* MenuSystem() const { return FMenuSystem; }
  TStatusPanels* StatusBar() const { return FStatusBar; }
  const TCommandSet& EnabledCommands() const { return FEnabledCommands; }
  const TCommandSet& DisabledCommands() const { return FDisabledCommands; }
  const QString& StatusText() const { return FStatusText; }
  TAVPlayList& CurrentList() { return FCurrentList; }
  TPageLogView* LogMemo() const { return FLogMemo; }

 protected:
  // Where a page puts its own controls, above the log pane.
  QWidget* Client() const { return FClient; }

  QString SavedStatus;

 private:
  QSplitter* FLogSplitter = nullptr;
  TPageLogView* FLogMemo = nullptr;
  QWidget* FClient = nullptr;
  TMenuSystem* FMenuSystem = nullptr;
  TStatusPanels* FStatusBar = nullptr;
  TCommandSet FEnabledCommands;
  TCommandSet FDisabledCommands;
  TAVPlayList FCurrentList;
  QString FStatusText;
  bool FHasCommandStates = false;
};

}  // namespace vexo
