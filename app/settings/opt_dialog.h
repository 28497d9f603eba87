#pragma once
// The options dialog: three pages of settings edited on a private copy of
// the options, written back, saved and handed to the engine only when the
// user confirms and the input is valid.
#include <QDialog>
#include <array>
#include <memory>
#include <vector>

#include "app/common/help_pages.h"
#include "app/common/language_choice.h"
#include "app/settings/options.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTabWidget;

namespace vexo {

class TDialogBtnPanel;

enum TOptPage : int { opGeneral = 0, opBrowser = 1, opPlayback = 2, kOptPageCount = 3 };

class TOptDialog : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kHelpContext = kHelpOptions;

  TOptDialog(TOptions& options, QWidget* parent = nullptr);
  ~TOptDialog() override;

  void Init(int page);
  void LoadControls();
  void StoreControls();
  bool Validate();
  void ButtonClick(QPushButton* button);

  // The sort order or a media type differs from the options the dialog began with.
  bool TreeRefreshNeeded = false;

  QTabWidget* Pages = nullptr;
  TDialogBtnPanel* BtnPanel = nullptr;
  QWidget* OptionControl(int option) const { return OptionControls[option]; }
  QCheckBox* TypeBox(int ext) const { return TypeBoxes[ext]; }
  QPushButton* TypeButton(int which) const { return TypeButtons[which]; }
  QComboBox* LanguageBox() const { return FLanguageBox; }
  const TOptions& Work() const { return *WorkOptions; }

 private:
  struct TPageGrid;
  void AddGroup(TPageGrid& page, int group);
  void AddOption(TPageGrid& page, int option);
  void AddMediaTypes(TPageGrid& page);
  void AddLanguage(TPageGrid& page);
  void ResetActivePage();
  void StoreLanguage();
  void CustomTypeClicked();

  TOptions& FOptions;
  std::unique_ptr<TOptions> WorkOptions;
  std::array<QWidget*, kOptionCount> OptionControls{};
  std::array<QCheckBox*, kExtOptionCount> TypeBoxes{};
  std::array<QPushButton*, 2> TypeButtons{};
  QComboBox* FLanguageBox = nullptr;
  std::vector<TLanguageEntry> FLanguages;
};

// Shows the dialog at page 0 (general) or 1 (browser); true when it closed
// with OK, and then whether the browser has to be rebuilt.
bool ShowOptionsDialog(TOptions& options, int firstPage, bool& treeRefreshNeeded,
                       QWidget* parent = nullptr);

}  // namespace vexo
