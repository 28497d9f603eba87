#include "app/settings/opt_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>

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

// Media-type boxes in columns: x and the extension indices from top to bottom.
struct TTypeColumn {
  int X;
  std::vector<int> Types;
};
const TTypeColumn kTypeColumns[] = {
    {16, {seAVI, seMOV, seFLV, seMPG, seMPE, seMPEG, seM1V}},
    {91, {seMP4, seDVX, seM4V, seMKV, seWEBM, seTS, seMTS}},
    {166, {seM2TS, se3GP, seWMV, seASF, seVOB, seOGV}},
    {257, {seJPG, seJPEG, seJPE, sePNG, seWEBP, seHEIC, seHEIF, seAVIF}},
    {361, {seCstm}}};

QString SoundOutputCaption(const TSoundOutput& output) {
  const QString name = QString::fromStdString(output.Name);
  if (output.Name == kDefaultSoundOutput) return Text(1401);
  if (output.Description.empty()) return name;
  return QString::fromStdString(output.Description) + QStringLiteral(" (") + name + u')';
}

}  // namespace

TOptDialog::TOptDialog(TOptions& options, QWidget* parent) : QDialog(parent), FOptions(options) {
  setObjectName(QStringLiteral("OptDialog"));
  QFont font(QStringLiteral("Verdana"));
  font.setPixelSize(13);
  setFont(font);
}

TOptDialog::~TOptDialog() = default;

void TOptDialog::Init(int page) {
  setWindowTitle(Text(1));
  WorkOptions = std::make_unique<TOptions>();
  WorkOptions->Assign(FOptions);

  Pages = new QTabWidget(this);
  Pages->setFocusPolicy(Qt::NoFocus);
  Pages->tabBar()->setFocusPolicy(Qt::NoFocus);
  Pages->setStyleSheet(QStringLiteral("QTabBar::tab { min-width: 84px; }"));
  int largest = 0;
  for (int p = 0; p < kOptPageCount; ++p) {
    auto* sheet = new QWidget;
    int y = 8;
    for (int g = 0; g < int(Groups().size()); ++g)
      if (Groups()[g].Page == p) AddGroup(sheet, g, y);
    largest = std::max(largest, y);
    Pages->addTab(sheet, Text(11 + p));
  }
  Pages->setGeometry(8, 8, 456, largest + 40);
  Pages->setCurrentIndex(0);
  LoadControls();

  BtnPanel = new TDialogBtnPanel(this);
  BtnPanel->Setup(DlgBtns({bDefault, bOK, bCancel, bDlgHelp}), false, 8,
                  [this](QPushButton* button) { ButtonClick(button); });
  QPushButton* defaults = BtnPanel->Button(bDefault);
  defaults->setText(Text(2));
  defaults->setMinimumWidth(120);
  if (page >= 0 && page < kOptPageCount) Pages->setCurrentIndex(page);
  const int width = Pages->width() + 16;
  const int height = Pages->height() + TDialogBtnPanel::kHeight + 12;
  BtnPanel->setGeometry(0, height - TDialogBtnPanel::kHeight, width, TDialogBtnPanel::kHeight);
  setFixedSize(width, height);
}

void TOptDialog::AddGroup(QWidget* page, int group, int& y) {
  if (y > 8) y += 32;
  TTitlePanel* title = NewTitle(page, Text(kGroupTitleText + group), 8, y, 428);
  y += title->height() + 12;
  if (group == kMediaGroup) {
    AddMediaTypes(page, y);
  } else if (group == kLanguageGroup) {
    AddLanguage(page, y);
  } else {
    for (const TOptRow& row : Groups()[group].Rows)
      if (WorkOptions->HasOption(row.Option)) AddOption(page, row.Option, y);
  }
}

void TOptDialog::AddOption(QWidget* page, int option, int& y) {
  const TOptRow& row = *FindRow(option);
  const QString key = WorkOptions->GetOption(option).Key;
  const QString caption = LResList.GetValue(kSection, key, key);
  if (row.Kind == TCtl::Check) {
    if (row.Note) {
      y += 40;
      QLabel* note = NewWrapLabel(page, Text(5001) + u' ' + Text(5002), 8, y, 420, 3);
      y += note->height() + 12;
    }
    QCheckBox* box = NewCheckBox(page, caption, 16, y, 412);
    OptionControls[option] = box;
    y += box->height() + 2 + row.ExtraAfter;
    return;
  }
  // The label names its control for screen readers.
  QLabel* label = NewLabel(page, caption + u':', 16, y + 3);
  if (row.Kind == TCtl::Spin) {
    const TIniPar& par = WorkOptions->GetOption(option);
    QSpinBox* spin = NewSpinEdit(page, 210, y, 80, par.MinValue, par.MaxValue);
    label->setBuddy(spin);
    OptionControls[option] = spin;
    y += spin->height() + 8;
    return;
  }
  QStringList items;
  for (int i = 0; i < row.TextCount; ++i) items << Text(row.FirstText + i);
  // A mode the list does not offer stays what it is, and shows what it is.
  if (option == oAVVideoMode && WorkOptions->GetOption(option).GetInt() >= kOfferedVideoModes)
    for (int mode = kOfferedVideoModes; mode <= kLastVideoMode; ++mode)
      items << Text(kVideoModeTexts + mode);
  QComboBox* box = NewDropDown(page, items, 180, y, row.Width);
  label->setBuddy(box);
  if (row.Kind == TCtl::SoundOutput) {
    for (const TSoundOutput& output : ListSoundOutputs())
      box->addItem(SoundOutputCaption(output), QString::fromStdString(output.Name));
    // A device that is not plugged in now is kept as chosen.
    const QString chosen = WorkOptions->GetOption(option).GetText();
    if (!chosen.isEmpty() && box->findData(chosen) < 0) box->addItem(chosen, chosen);
  }
  OptionControls[option] = box;
  y += box->height() + 6 + row.ExtraAfter;
}

void TOptDialog::AddMediaTypes(QWidget* page, int& y) {
  const struct {
    QString Text;
    int X;
  } headings[] = {{LResList.GetText("AVPlayerEnc", 3021), 16},
                  {LResList.GetText("AVPlayerEnc", 3023), 257},
                  {Text(1201), 361}};
  int headingHeight = 0;
  for (const auto& heading : headings) {
    // The words also stand inside sentences, so they may start small.
    QString text = heading.Text;
    if (!text.isEmpty()) text[0] = text[0].toUpper();
    QLabel* label = NewLabel(page, text, heading.X, y - 6);
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    headingHeight = label->height();
  }
  y += headingHeight + 4;
  int lowestColumnBottom = y;
  for (const TTypeColumn& column : kTypeColumns) {
    int columnY = y;
    for (int type : column.Types) {
      const QString caption =
          type == seCstm ? Text(1211) : MediaExtensions()[type].mid(1).toUpper();
      QCheckBox* box = NewCheckBox(page, caption, column.X, columnY, 71);
      // The upper-case extension alone does not tell every user what it holds.
      box->setToolTip(LResList.GetValue(kSection, WorkOptions->GetExtOption(type)->Key, {}));
      TypeBoxes[type] = box;
      columnY += box->height() + 2;
    }
    // The buttons go below the longest column.
    lowestColumnBottom = std::max(lowestColumnBottom, columnY);
    if (column.Types.back() == seCstm) {
      OptionControls[oCustomExt] = NewEdit(page, {}, column.X, columnY, 75);
      OptionControls[oCustomExt]->setAccessibleName(Text(1211));
      connect(TypeBoxes[seCstm], &QCheckBox::clicked, this, &TOptDialog::CustomTypeClicked);
    }
  }
  const int buttonsY = lowestColumnBottom + 4;
  TypeButtons[0] = NewButton(page, Text(3001), 210, buttonsY, 111, 28);
  TypeButtons[1] = NewButton(page, Text(3002), 325, buttonsY, 111, 28);
  for (int which : {0, 1})
    connect(TypeButtons[which], &QPushButton::clicked, this, [this, which] {
      for (QCheckBox* box : TypeBoxes) box->setChecked(which == 0);
      OptionControls[oCustomExt]->setEnabled(TypeBoxes[seCstm]->isChecked());
    });
  y = buttonsY + 28;
}

void TOptDialog::AddLanguage(QWidget* page, int& y) {
  QLabel* label = NewLabel(page, Text(1301) + u':', 16, y + 3);
  FLanguages = ListLanguages(LanguageFolder(ResourceDir));
  QStringList names;
  for (const TLanguageEntry& language : FLanguages) names << language.DisplayName;
  FLanguageBox = NewDropDown(page, names, 180, y, 256);
  label->setBuddy(FLanguageBox);
  FLanguageBox->setCurrentIndex(
      FindLanguage(FLanguages, ReadLanguageChoice(LanguageFolder(ResourceDir))));
  y += FLanguageBox->height() + 6;
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
