#include "app/settings/opt_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/common/dialog_btn_panel.h"
#include "app/common/dialog_controls.h"
#include "app/common/language_list.h"
#include "app/common/media_extensions.h"
#include "app/common/message_boxes.h"
#include "app/common/path_utils.h"
#include "app/common/program_environment.h"
#include "app/common/text_utils.h"
#include "app/common/title_panel.h"
#include "platform/sound_outputs.h"

namespace vexo {
namespace {

const QString kSection = QStringLiteral("DlgOpt");

QString Text(int number) {
  return LResList.GetText(kSection, number);
}

enum class TCtl { Check, DropDown, Spin, SoundOutput };

struct TOptRow {
  int Option;
  TCtl Kind;
  int FirstText = 0;  // drop-down items: texts FirstText onwards
  int TextCount = 0;
  int Width = 256;     // drop-downs
  int ExtraAfter = 0;  // more room below the control
  bool Note = false;   // a word-wrapped explanation comes first
};

struct TGroup {
  int Page;
  std::vector<TOptRow> Rows;
};

constexpr int kMediaGroup = 3;
constexpr int kLanguageGroup = 5;
constexpr int kGroupTitleText = 101;  // + group number
constexpr int kVideoModeTexts = 1101;
constexpr int kOfferedVideoModes = 3;  // the rest only through the settings file
constexpr int kLastVideoMode = 4;

// Which option sits in which group, and each group on which page; options
// the store does not have are left out when the page is built.
const std::vector<TGroup>& Groups() {
  static const std::vector<TGroup> groups = {
      {opGeneral, {{oPlayExpandTree, TCtl::Check, 0, 0, 0, 11}}},
      {opGeneral, {{oPlayShowPLDlg, TCtl::Check, 0, 0, 0, 8}, {oPhotoSec, TCtl::Spin}}},
      {opBrowser, {{oSortType, TCtl::DropDown, 1001, 2}}},
      {opBrowser, {}},  // the media types
      {opPlayback,
       {{oAVVideoMode, TCtl::DropDown, kVideoModeTexts, kOfferedVideoModes, 256, 6},
        {oAVFullScreenKey, TCtl::DropDown, 1021, 3, 146, 6},
        {oAVPhotoSeek, TCtl::Check},
        {oAVTurnVideo, TCtl::Check},
        {oAVTurnPhoto, TCtl::Check},
        {oAVToneMap, TCtl::Check},
        {oAVPlanar, TCtl::Check, 0, 0, 0, 0, true}}},
      {opGeneral, {}},  // the language
      {opPlayback, {{oAVSoundDevice, TCtl::SoundOutput}}},
  };
  return groups;
}

const TOptRow* FindRow(int option) {
  for (const TGroup& group : Groups())
    for (const TOptRow& row : group.Rows)
      if (row.Option == option) return &row;
  return nullptr;
}

// Media-type boxes in columns: the heading they stand under and the
// extension indices from top to bottom.
struct TTypeColumn {
  int Heading;
  std::vector<int> Types;
};
const TTypeColumn kTypeColumns[] = {
    {0, {seAVI, seMOV, seFLV, seMPG, seMPE, seMPEG, seM1V}},
    {0, {seMP4, seDVX, seM4V, seMKV, seWEBM, seTS, seMTS}},
    {0, {seM2TS, se3GP, seWMV, seASF, seVOB, seOGV}},
    {1, {seJPG, seJPEG, seJPE, sePNG, seWEBP, seHEIC, seHEIF, seAVIF}},
    {2, {seCstm}}};
constexpr int kTypeBoxWidth = 71;
constexpr int kTypeColumnGap = 4;
constexpr int kTypeGroupGap = 20;  // between videos, pictures and the own type

// Where the controls of a page go: column 0 the indent of the controls under
// their group title, column 1 the captions, column 2 the lists and numbers.
constexpr int kIndent = 8;
constexpr int kCaptionWidth = 156;  // the lists start 180 pixels in
constexpr int kPageWidth = 456;

QString SoundOutputCaption(const TSoundOutput& output) {
  const QString name = QString::fromStdString(output.Name);
  if (output.Name == kDefaultSoundOutput) return Text(1401);
  if (output.Description.empty()) return name;
  return QString::fromStdString(output.Description) + QStringLiteral(" (") + name + u')';
}

}  // namespace

TOptDialog::TOptDialog(TOptions& options, QWidget* parent) : QDialog(parent), FOptions(options) {
  setObjectName(QStringLiteral("OptDialog"));
}

// One page's grid and the row the next control goes into.
struct TOptDialog::TPageGrid {
  explicit TPageGrid(QWidget* sheet) : Sheet(sheet), Grid(new QGridLayout(sheet)) {
    Grid->setContentsMargins(8, 8, 8, 8);
    Grid->setHorizontalSpacing(8);
    Grid->setVerticalSpacing(0);
    Grid->setColumnMinimumWidth(0, kIndent - 8);
    Grid->setColumnMinimumWidth(1, kCaptionWidth);
    Grid->setColumnStretch(2, 1);
  }
  // Room below what came last.
  void Gap(int pixels) {
    if (pixels > 0)
      Grid->addItem(new QSpacerItem(0, pixels, QSizePolicy::Minimum, QSizePolicy::Fixed), Row++, 0);
  }
  // From the left edge of the group title, or under it, across the page.
  void AddWide(QWidget* control, bool underTitle) {
    Grid->addWidget(control, Row++, underTitle ? 1 : 0, 1, underTitle ? 2 : 3);
  }
  void AddCaptioned(QLabel* caption, QWidget* control) {
    Grid->addWidget(caption, Row, 1);
    Grid->addWidget(control, Row++, 2, Qt::AlignLeft);
  }
  QWidget* Sheet;
  QGridLayout* Grid;
  int Row = 0;
};

TOptDialog::~TOptDialog() = default;

void TOptDialog::Init(int page) {
  setWindowTitle(Text(1));
  WorkOptions = std::make_unique<TOptions>();
  WorkOptions->Assign(FOptions);

  Pages = new QTabWidget(this);
  Pages->setFocusPolicy(Qt::NoFocus);
  Pages->tabBar()->setFocusPolicy(Qt::NoFocus);
  Pages->setStyleSheet(QStringLiteral("QTabBar::tab { min-width: 84px; }"));
  // Every tab shows its whole caption: the dialog widens rather than scroll them.
  Pages->setUsesScrollButtons(false);
  Pages->setElideMode(Qt::ElideNone);
  Pages->setMinimumWidth(kPageWidth);
  for (int p = 0; p < kOptPageCount; ++p) {
    auto* sheet = new QWidget;
    TPageGrid grid(sheet);
    for (int g = 0; g < int(Groups().size()); ++g)
      if (Groups()[g].Page == p) AddGroup(grid, g);
    // The pages are as high as the highest; the others keep their space below.
    grid.Grid->setRowStretch(grid.Row, 1);
    Pages->addTab(sheet, Text(11 + p));
  }
  Pages->setCurrentIndex(0);
  LoadControls();

  BtnPanel = new TDialogBtnPanel(this);
  BtnPanel->Setup(DlgBtns({bDefault, bOK, bCancel, bDlgHelp}), false, 8,
                  [this](QPushButton* button) { ButtonClick(button); });
  QPushButton* defaults = BtnPanel->Button(bDefault);
  defaults->setText(Text(2));
  defaults->setMinimumWidth(120);
  if (page >= 0 && page < kOptPageCount) Pages->setCurrentIndex(page);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  // The dialog is as large as its pages and buttons need, and no larger.
  column->setSizeConstraint(QLayout::SetFixedSize);
  auto* framed = new QVBoxLayout;
  framed->setContentsMargins(8, 8, 8, 4);
  framed->addWidget(Pages);
  column->addLayout(framed);
  column->addWidget(BtnPanel);
}

void TOptDialog::AddGroup(TPageGrid& page, int group) {
  if (page.Row > 0) page.Gap(32);
  page.AddWide(NewTitle(page.Sheet, Text(kGroupTitleText + group)), false);
  page.Gap(12);
  if (group == kMediaGroup) {
    AddMediaTypes(page);
  } else if (group == kLanguageGroup) {
    AddLanguage(page);
  } else {
    for (const TOptRow& row : Groups()[group].Rows)
      if (WorkOptions->HasOption(row.Option)) AddOption(page, row.Option);
  }
}

void TOptDialog::AddOption(TPageGrid& page, int option) {
  const TOptRow& row = *FindRow(option);
  const QString key = WorkOptions->GetOption(option).Key;
  const QString caption = LResList.GetValue(kSection, key, key);
  if (row.Kind == TCtl::Check) {
    if (row.Note) {
      page.Gap(40);
      page.AddWide(NewWrapLabel(page.Sheet, Text(5001) + u' ' + Text(5002), 3), false);
      page.Gap(12);
    }
    QCheckBox* box = NewCheckBox(page.Sheet, caption);
    OptionControls[option] = box;
    page.AddWide(box, true);
    page.Gap(2 + row.ExtraAfter);
    return;
  }
  // The label names its control for screen readers.
  QLabel* label = NewLabel(page.Sheet, caption + u':');
  if (row.Kind == TCtl::Spin) {
    const TIniPar& par = WorkOptions->GetOption(option);
    QSpinBox* spin = NewSpinEdit(page.Sheet, 80, par.MinValue, par.MaxValue);
    label->setBuddy(spin);
    OptionControls[option] = spin;
    page.AddCaptioned(label, spin);
    page.Gap(8);
    return;
  }
  QStringList items;
  for (int i = 0; i < row.TextCount; ++i) items << Text(row.FirstText + i);
  // A mode the list does not offer stays what it is, and shows what it is.
  if (option == oAVVideoMode && WorkOptions->GetOption(option).GetInt() >= kOfferedVideoModes)
    for (int mode = kOfferedVideoModes; mode <= kLastVideoMode; ++mode)
      items << Text(kVideoModeTexts + mode);
  QComboBox* box = NewDropDown(page.Sheet, items, row.Width);
  label->setBuddy(box);
  if (row.Kind == TCtl::SoundOutput) {
    for (const TSoundOutput& output : ListSoundOutputs())
      box->addItem(SoundOutputCaption(output), QString::fromStdString(output.Name));
    // A device that is not plugged in now is kept as chosen.
    const QString chosen = WorkOptions->GetOption(option).GetText();
    if (!chosen.isEmpty() && box->findData(chosen) < 0) box->addItem(chosen, chosen);
    // The names of devices are the system's and may be long: the list shows
    // them whole when it opens, the closed box may cut them.
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(16);
  }
  OptionControls[option] = box;
  page.AddCaptioned(label, box);
  page.Gap(6 + row.ExtraAfter);
}

void TOptDialog::AddMediaTypes(TPageGrid& page) {
  const QString headings[] = {LResList.GetText("AVPlayerEnc", 3021),
                              LResList.GetText("AVPlayerEnc", 3023), Text(1201)};
  auto* types = new QGridLayout;
  types->setContentsMargins(0, 0, 0, 0);
  types->setHorizontalSpacing(kTypeColumnGap);
  types->setVerticalSpacing(2);
  // Grid columns: a box column each, with a wider gap column between the kinds.
  int gridColumn = -1;
  int lastHeading = -1;
  int headingStart[3] = {0, 0, 0};
  int headingSpan[3] = {0, 0, 0};
  int rows = 0;
  for (const TTypeColumn& column : kTypeColumns) {
    if (lastHeading >= 0 && column.Heading != lastHeading)
      types->setColumnMinimumWidth(++gridColumn, kTypeGroupGap - 2 * kTypeColumnGap);
    ++gridColumn;
    if (column.Heading != lastHeading) headingStart[column.Heading] = gridColumn;
    headingSpan[column.Heading] = gridColumn - headingStart[column.Heading] + 1;
    lastHeading = column.Heading;
    types->setColumnMinimumWidth(gridColumn, kTypeBoxWidth);
    int row = 1;
    for (int type : column.Types) {
      const QString caption =
          type == seCstm ? Text(1211) : MediaExtensions()[type].mid(1).toUpper();
      QCheckBox* box = NewCheckBox(page.Sheet, caption);
      // The upper-case extension alone does not tell every user what it holds.
      box->setToolTip(LResList.GetValue(kSection, WorkOptions->GetExtOption(type)->Key, {}));
      TypeBoxes[type] = box;
      types->addWidget(box, row++, gridColumn);
    }
    if (column.Types.back() == seCstm) {
      auto* edit = NewEdit(page.Sheet, {}, 75);
      edit->setAccessibleName(Text(1211));
      OptionControls[oCustomExt] = edit;
      types->addWidget(edit, row++, gridColumn, Qt::AlignLeft);
      connect(TypeBoxes[seCstm], &QCheckBox::clicked, this, &TOptDialog::CustomTypeClicked);
    }
    rows = std::max(rows, row);
  }
  for (int h = 0; h < 3; ++h) {
    // The words also stand inside sentences, so they may start small.
    QString text = headings[h];
    if (!text.isEmpty()) text[0] = text[0].toUpper();
    QLabel* label = NewLabel(page.Sheet, text);
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    types->addWidget(label, 0, headingStart[h], 1, headingSpan[h]);
  }
  types->setColumnStretch(gridColumn + 1, 1);
  page.Grid->addLayout(types, page.Row++, 1, 1, 2);

  // The buttons go below the longest column, at the right.
  page.Gap(4);
  auto* buttons = new QHBoxLayout;
  buttons->setSpacing(4);
  buttons->addStretch(1);
  TypeButtons[0] = NewButton(page.Sheet, Text(3001), 111, 28);
  TypeButtons[1] = NewButton(page.Sheet, Text(3002), 111, 28);
  buttons->addWidget(TypeButtons[0]);
  buttons->addWidget(TypeButtons[1]);
  page.Grid->addLayout(buttons, page.Row++, 1, 1, 2);
  for (int which : {0, 1})
    connect(TypeButtons[which], &QPushButton::clicked, this, [this, which] {
      for (QCheckBox* box : TypeBoxes) box->setChecked(which == 0);
      OptionControls[oCustomExt]->setEnabled(TypeBoxes[seCstm]->isChecked());
    });
}

void TOptDialog::AddLanguage(TPageGrid& page) {
  QLabel* label = NewLabel(page.Sheet, Text(1301) + u':');
  FLanguages = ListLanguages(LanguageFolder(ResourceDir));
  QStringList names;
  for (const TLanguageEntry& language : FLanguages) names << language.DisplayName;
  FLanguageBox = NewDropDown(page.Sheet, names, 256);
  label->setBuddy(FLanguageBox);
  FLanguageBox->setCurrentIndex(
      FindLanguage(FLanguages, ReadLanguageChoice(LanguageFolder(ResourceDir))));
  page.AddCaptioned(label, FLanguageBox);
  page.Gap(6);
}

void TOptDialog::CustomTypeClicked() {
  QWidget* edit = OptionControls[oCustomExt];
  edit->setEnabled(TypeBoxes[seCstm]->isChecked());
  if (edit->isEnabled()) edit->setFocus();
}

void TOptDialog::LoadControls() {
  for (int option = 0; option < kOptionCount; ++option) {
    QWidget* control = OptionControls[option];
    if (!control) continue;
    const TIniPar& par = WorkOptions->GetOption(option);
    if (auto* box = qobject_cast<QCheckBox*>(control)) {
      box->setChecked(par.GetBool());
    } else if (auto* spin = qobject_cast<QSpinBox*>(control)) {
      spin->setValue(par.GetInt());
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
      edit->setText(par.GetText());
    } else if (auto* list = qobject_cast<QComboBox*>(control)) {
      if (par.Kind() == TIniPar::ipText) {
        const int found = list->findData(par.GetText());
        list->setCurrentIndex(found >= 0 ? found : 0);
      } else {
        const int index = par.GetInt();
        list->setCurrentIndex(index >= 0 && index < list->count() ? index : -1);
      }
    }
  }
  for (int type = 0; type < kExtOptionCount; ++type)
    if (TypeBoxes[type]) TypeBoxes[type]->setChecked(WorkOptions->GetExtOption(type)->GetBool());
  if (OptionControls[oCustomExt] && TypeBoxes[seCstm])
    OptionControls[oCustomExt]->setEnabled(TypeBoxes[seCstm]->isChecked());
}

void TOptDialog::StoreControls() {
  for (int option = 0; option < kOptionCount; ++option) {
    QWidget* control = OptionControls[option];
    if (!control) continue;
    TIniPar& par = WorkOptions->GetOption(option);
    if (auto* box = qobject_cast<QCheckBox*>(control)) {
      par.SetBool(box->isChecked());
    } else if (auto* spin = qobject_cast<QSpinBox*>(control)) {
      par.SetInt(spin->value());
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
      par.SetText(edit->text().trimmed());
    } else if (auto* list = qobject_cast<QComboBox*>(control)) {
      // Nothing chosen leaves the value as it was.
      if (list->currentIndex() < 0) continue;
      if (par.Kind() == TIniPar::ipText)
        par.SetText(list->currentData().toString());
      else
        par.SetInt(list->currentIndex());
    }
  }
  for (int type = 0; type < kExtOptionCount; ++type)
    if (TypeBoxes[type]) WorkOptions->GetExtOption(type)->SetBool(TypeBoxes[type]->isChecked());
  if (WorkOptions->HasOption(oCustomExt)) {
    TIniPar& custom = WorkOptions->GetOption(oCustomExt);
    if (custom.GetText().startsWith(u'.')) custom.SetText(custom.GetText().mid(1));
  }
}

bool TOptDialog::Validate() {
  const auto differs = [this](int option) {
    if (!WorkOptions->HasOption(option) || !FOptions.HasOption(option)) return false;
    const TIniPar& mine = WorkOptions->GetOption(option);
    const TIniPar& theirs = FOptions.GetOption(option);
    switch (mine.Kind()) {
      case TIniPar::ipInteger:
        return mine.GetInt() != theirs.GetInt();
      case TIniPar::ipBoolean:
        return mine.GetBool() != theirs.GetBool();
      case TIniPar::ipFloat:
        return mine.GetFloat() != theirs.GetFloat();
      case TIniPar::ipText:
        return mine.GetText() != theirs.GetText();
    }
    return false;
  };
  bool anyType = false;
  TreeRefreshNeeded = differs(oSortType);
  for (int type = 0; type < kExtOptionCount; ++type) {
    const bool on = WorkOptions->GetExtOption(type)->GetBool();
    anyType = anyType || on;
    if (on != FOptions.GetExtOption(type)->GetBool()) TreeRefreshNeeded = true;
  }
  // Another own extension changes what the browser lists as much as a switch.
  if (WorkOptions->GetExtOption(seCstm)->GetBool() && differs(oCustomExt)) TreeRefreshNeeded = true;
  if (!anyType) {
    Pages->setCurrentIndex(opBrowser);
    ShowInfo(Text(9001));
    return false;
  }
  return true;
}

void TOptDialog::ResetActivePage() {
  std::vector<int> options;
  for (const TGroup& group : Groups())
    if (group.Page == Pages->currentIndex())
      for (const TOptRow& row : group.Rows) options.push_back(row.Option);
  // The media types go back to their defaults from every page.
  WorkOptions->ResetDefaults(options);
}

void TOptDialog::StoreLanguage() {
  if (!FLanguageBox || FLanguageBox->currentIndex() < 0) return;
  const QString folder = LanguageFolder(ResourceDir);
  const QString chosen = FLanguages[FLanguageBox->currentIndex()].Name;
  if (chosen.compare(ReadLanguageChoice(folder), Qt::CaseInsensitive) == 0) return;
  QString reason;
  if (SaveLanguageChoice(folder, chosen, &reason))
    ShowInfo(Text(9002));
  else
    ShowError(FormatText(Text(9003), {JoinPath(folder, QStringLiteral("language.ini"))}) +
              QStringLiteral("\r\n") + reason);
}

void TOptDialog::ButtonClick(QPushButton* button) {
  switch (TDialogBtnPanel::KindOf(button)) {
    case bDefault:
      ResetActivePage();
      LoadControls();
      break;
    case bOK:
      StoreControls();
      if (!Validate()) {
        BtnPanel->KeepDialogOpen();
        return;
      }
      FOptions.Assign(*WorkOptions);
      FOptions.LoadSave(true);
      FOptions.ApplyToEngine();
      StoreLanguage();
      break;
    case bDlgHelp:
      ShowHelpContext(kHelpContext);
      break;
    default:
      break;
  }
}

bool ShowOptionsDialog(TOptions& options, int firstPage, bool& treeRefreshNeeded, QWidget* parent) {
  TOptDialog dialog(options, parent);
  dialog.Init(firstPage);
  if (dialog.exec() != QDialog::Accepted) return false;
  treeRefreshNeeded = dialog.TreeRefreshNeeded;
  return true;
}

}  // namespace vexo
