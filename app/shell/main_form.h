#pragma once
// The program's main window: checks what the program needs to run (language
// file, media libraries), owns the options store, builds its menus, tool bar
// and status bar, hosts the player page, runs the commands that are not the
// page's, keeps the desktop awake while it lives and saves its placement and
// the options when it goes.
#include <QMainWindow>
#include <QTimer>
#include <memory>

namespace vexo {

class TKeepAwake;
class TMenuSystem;
class TMSAction;
class TOptions;
class TPlayerPage;
class TSkinManager;
class TStatusPanels;

class TPLMainForm : public QMainWindow {
  Q_OBJECT
 public:
  static constexpr int kMinWidth = 500, kMinHeight = 350;
  static constexpr int kDefaultMinWidth = 800, kDefaultMinHeight = 620;
  static constexpr int kHelpContext = 50;
  static constexpr const char* kPlacementSection = "Window";

  // Shows the failure itself when the language file or the media libraries
  // are missing; Created() then says the program cannot go on.
  explicit TPLMainForm(QWidget* parent = nullptr);
  ~TPLMainForm() override;

  bool Created() const { return FOptions != nullptr; }

  // A later start of the program asked for this window.
  void BringToFront();
  // The memory the process uses, into the first status panel.
  void ShowMemory();
  // The skin named in the options, applied on the next turn of the event loop.
  void PostApplySkin();

  TOptions* Options() const { return FOptions.get(); }
  TMenuSystem* MenuSystem() const { return FMenuSystem; }
  TPlayerPage* Page() const { return FPage; }
  TStatusPanels* StatusPanels() const { return FStatusPanels.get(); }
  TKeepAwake* KeepAwake() const { return FKeepAwake; }
  TSkinManager* SkinManager() const { return FSkinManager; }
  QTimer& TimerMem() { return FTimerMem; }

  void setVisible(bool visible) override;

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  bool focusNextPrevChild(bool next) override;

 private:
  void FormShow();
  void AfterFirstShow();
  void BuildSkinMenus();
  void ApplySkin();
  void RefillRecent();
  // The window's own commands run its handlers; the page registers its own.
  void RegisterCommandHandlers();
  void ChooseSkin(const TMSAction& entry);
  void TitleChanged();
  void SaveSettings();

  TSkinManager* FSkinManager = nullptr;
  std::unique_ptr<TOptions> FOptions;
  // Declared before the page, which writes to the panels to its end.
  std::unique_ptr<TStatusPanels> FStatusPanels;
  TMenuSystem* FMenuSystem = nullptr;
  TPlayerPage* FPage = nullptr;
  TKeepAwake* FKeepAwake = nullptr;
  QTimer FTimerMem;
  bool FRestoreMaximized = false;
};

}  // namespace vexo
