#include "app/common/dialog_btn_panel.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QPaintEvent>
#include <QPainter>
#include <QShortcut>

#include "app/common/language_list.h"
#include "app/common/skin_background.h"

namespace vexo {
namespace {

using R = TDlgBtnResult;

constexpr TDlgBtnRec kDlgBtnTable[kDlgBtnKindCount] = {
    {"bAdd", "&New", R::None},
    {"bEdit", "&Edit", R::None},
    {"bDelete", "&Delete", R::None},
    {"bDefault", "&Default", R::None},
    {"bOK", "&OK", R::OK},
    {"bSave", "&Save", R::OK},
    {"bProceed", "&Proceed", R::OK},
    {"bCommit", "&Commit", R::OK},
    {"bBack", "<< &Back", R::None},
    {"bNext", "&Next >>", R::None},
    {"bRetry", "&Retry", R::None},
    {"bAbort", "&Abort", R::None},
    {"bViewLog", "&View Log", R::None},
    {"bClose", "&Close", R::Cancel},
    {"bRollback", "&Rollback", R::Cancel},
    {"bCancel", "&Cancel", R::Cancel},
    {"bFinish", "&Finish", R::None},
    {"bStop", "&Stop", R::None},
    {"bPrint", "&Print", R::None},
    {"bHelp", "&Help", R::None},
    {"bNew", "&New", R::None},
    {"bSetup", "&Setup", R::None},
};

// Kinds laid out from the left edge; all others line up on the right.
const TDlgBtnSet kLeftKinds = DlgBtns({bAdd, bEdit, bDelete, bDefault});
// The first of these that a dialog asks for answers Enter.
const TDlgBtnSet kDefaultCandidates =
    DlgBtns({bOK, bSave, bProceed, bCommit, bNext, bClose, bCancel});

const char* const kKindProperty = "vexoDlgBtnKind";

}  // namespace

const TDlgBtnRec& DlgBtnRec(int kind) {
  return kDlgBtnTable[kind];
}

TDlgBtnSet DlgBtns(std::initializer_list<TDlgBtnKind> kinds) {
  TDlgBtnSet set;
  for (TDlgBtnKind kind : kinds) set.set(kind);
  return set;
}

TDialogBtnPanel::TDialogBtnPanel(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("A_DlgBtnPanel"));
  // The strip paints its own background rather than showing the parent's.
  setAutoFillBackground(true);
  // As high as its buttons need, and never lower than the strip always was.
  setMinimumHeight(kHeight);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QString TDialogBtnPanel::Caption(int kind) const {
  const TDlgBtnRec& rec = DlgBtnRec(kind);
  return LResList.ReadValue(objectName(), QString::fromLatin1(rec.Key),
                            QString::fromLatin1(rec.Caption));
}

void TDialogBtnPanel::Setup(TDlgBtnSet kinds, bool drawLine, int spacing, TClickHandler onClick) {
  DrawLine = drawLine;
  Spacing = spacing;
  FOnClick = std::move(onClick);
  std::vector<QPushButton*> tabChain;
  for (int kind = 0; kind < kDlgBtnKindCount; ++kind) {
    if (!kinds.test(kind) || Buttons[kind]) continue;
    auto* button = new QPushButton(Caption(kind), this);
    button->setProperty(kKindProperty, kind);
    // A longer caption or a bigger font widens the button.
    button->setMinimumSize(kButtonWidth, kButtonHeight);
    if (!FDefault && kDefaultCandidates.test(kind)) {
      FDefault = button;
      button->setDefault(true);
      tabChain.insert(tabChain.begin(), button);
    } else {
      tabChain.push_back(button);
    }
    if (!FCancel && DlgBtnRec(kind).Result == TDlgBtnResult::Cancel) FCancel = button;
    connect(button, &QPushButton::clicked, this, [this, button] { Clicked(button); });
    Buttons[kind] = button;
  }
  for (size_t i = 1; i < tabChain.size(); ++i) setTabOrder(tabChain[i - 1], tabChain[i]);
  // A dialog without a default button would otherwise hand Enter to the
  // first button it finds.
  if (!FDefault)
    for (QPushButton* button : tabChain) button->setAutoDefault(false);
  // Escape belongs to the cancelling button; without one it does nothing,
  // so a dialog never closes behind the handler's back.
  if (!FEscape) {
    FEscape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    FEscape->setContext(Qt::WindowShortcut);
    connect(FEscape, &QShortcut::activated, this, &TDialogBtnPanel::EscapePressed);
  }
  LayoutButtons();
  update();
}

void TDialogBtnPanel::LayoutButtons() {
  delete layout();
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(Spacing, kButtonTop, Spacing, kHeight - kButtonTop - kButtonHeight);
  row->setSpacing(kButtonGap);
  int kind = 0;
  for (; kind < kDlgBtnKindCount && kLeftKinds.test(kind); ++kind)
    if (Buttons[kind]) row->addWidget(Buttons[kind]);
  // The rest stand together at the right edge, in kind order.
  row->addStretch(1);
  for (; kind < kDlgBtnKindCount; ++kind) {
    if (!Buttons[kind]) continue;
    row->addWidget(Buttons[kind]);
    if (kind == bNext) row->addSpacing(kGapBeforeNext);
  }
  // The buttons stand in order at once, before the dialog is first shown;
  // the dialog's layout gives the strip its width afterwards.
  resize(size().expandedTo(row->sizeHint()));
  row->activate();
}

QPushButton* TDialogBtnPanel::Button(int kind) const {
  return kind >= 0 && kind < kDlgBtnKindCount ? Buttons[kind] : nullptr;
}

int TDialogBtnPanel::KindOf(const QPushButton* button) {
  if (!button) return -1;
  const QVariant kind = button->property(kKindProperty);
  return kind.isValid() ? kind.toInt() : -1;
}

void TDialogBtnPanel::EnableButtons(TDlgBtnSet enable, TDlgBtnSet disable) {
  for (int kind = 0; kind < kDlgBtnKindCount; ++kind) {
    if (!Buttons[kind]) continue;
    if (enable.test(kind))
      Buttons[kind]->setEnabled(true);
    else if (disable.test(kind))
      Buttons[kind]->setEnabled(false);
  }
}

void TDialogBtnPanel::EscapePressed() {
  if (FCancel && FCancel->isEnabled() && FCancel->isVisible()) FCancel->click();
}

void TDialogBtnPanel::Clicked(QPushButton* button) {
  FKeepOpen = false;
  if (FOnClick) FOnClick(button);
  const TDlgBtnResult result = DlgBtnRec(KindOf(button)).Result;
  if (result == TDlgBtnResult::None || FKeepOpen) return;
  if (auto* dialog = qobject_cast<QDialog*>(window()))
    dialog->done(result == TDlgBtnResult::OK ? QDialog::Accepted : QDialog::Rejected);
}

void TDialogBtnPanel::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  // A skin draws the strip its own way, line and all.
  if (SkinSheetActive()) return PaintSkinBackground(*this, painter, event->rect());
  if (!DrawLine) return;
  painter.fillRect(QRect(Spacing, 0, width() - 2 * Spacing, 2), palette().color(QPalette::Dark));
}

}  // namespace vexo
