#pragma once
// The strip of push buttons along the bottom of the program's dialogs. A
// dialog asks for a set of button kinds; the strip shows them in one fixed
// order with captions from the language file, gives Enter to the first
// confirming button and Escape to the cancelling one, and sends every click
// to one handler of the dialog.
#include <QPushButton>
#include <QWidget>
#include <array>
#include <bitset>
#include <functional>

class QShortcut;

namespace vexo {

enum TDlgBtnKind : int {
  bAdd,
  bEdit,
  bDelete,
  bDefault,
  bOK,
  bSave,
  bProceed,
  bCommit,
  bBack,
  bNext,
  bRetry,
  bAbort,
  bViewLog,
  bClose,
  bRollback,
  bCancel,
  bFinish,
  bStop,
  bPrint,
  bDlgHelp,
  bNew,
  bSetup,
  kDlgBtnKindCount
};

// What pressing the button does to its dialog besides calling the handler.
enum class TDlgBtnResult { None, OK, Cancel };

struct TDlgBtnRec {
  const char* Key;
  const char* Caption;  // used when the language file has no text
  TDlgBtnResult Result;
};

const TDlgBtnRec& DlgBtnRec(int kind);

using TDlgBtnSet = std::bitset<kDlgBtnKindCount>;
TDlgBtnSet DlgBtns(std::initializer_list<TDlgBtnKind> kinds);

class TDialogBtnPanel : public QWidget {
  Q_OBJECT
 public:
  using TClickHandler = std::function<void(QPushButton* button)>;

  static constexpr int kHeight = 50;  // the least; a bigger font makes it higher
  static constexpr int kButtonWidth = 90;
  static constexpr int kButtonHeight = 28;
  static constexpr int kButtonTop = 12;
  static constexpr int kButtonGap = 4;
  static constexpr int kGapBeforeNext = 16;  // extra room right of "Next"

  explicit TDialogBtnPanel(QWidget* parent);

  // Builds the buttons once; the player's dialogs pass spacing 8.
  void Setup(TDlgBtnSet kinds, bool drawLine, int spacing, TClickHandler onClick);

  QPushButton* Button(int kind) const;
  // The kind of a button of this strip, -1 for anything else.
  static int KindOf(const QPushButton* button);
  // A kind in both sets is enabled.
  void EnableButtons(TDlgBtnSet enable, TDlgBtnSet disable);
  QString Caption(int kind) const;

  QPushButton* DefaultButton() const { return FDefault; }
  QPushButton* CancelButton() const { return FCancel; }

  // Called from the click handler: the dialog stays open although the
  // clicked button would close it (for example when a value is invalid).
  void KeepDialogOpen() { FKeepOpen = true; }

  bool DrawLine = false;
  int Spacing = 8;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void Clicked(QPushButton* button);
  void LayoutButtons();
  void EscapePressed();

  std::array<QPushButton*, kDlgBtnKindCount> Buttons{};
  QPushButton* FDefault = nullptr;
  QPushButton* FCancel = nullptr;
  QShortcut* FEscape = nullptr;
  TClickHandler FOnClick;
  bool FKeepOpen = false;
};

}  // namespace vexo
