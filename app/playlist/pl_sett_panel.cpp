#include "app/playlist/pl_sett_panel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "app/common/language_list.h"
#include "app/common/title_panel.h"
#include "app/settings/options.h"

namespace vexo {

namespace {

// Each row keeps at least the height it was drawn with; a longer text or a
// bigger font takes more.
constexpr int kRowPitch = 24;
constexpr int kRadioPitch = 20;
constexpr int kGroupGap = 12;
constexpr int kComboRowPitch = 34;
constexpr int kComboLeft = 220;  // where the order list starts

void AddRow(QVBoxLayout* column, QWidget* control, int indent, int pitch) {
  control->setMinimumHeight(pitch);
  auto* row = new QHBoxLayout;
  row->setContentsMargins(indent, 0, 0, 0);
  row->setSpacing(0);
  row->addWidget(control);
  column->addLayout(row);
}

}  // namespace

TPLSettPanel::TPLSettPanel(QWidget* parent, TOptions& options)
    : QWidget(parent), FOptions(options) {
  setObjectName(QStringLiteral("PLSettPanel"));
  setMinimumSize(kWidth, kHeight);
}

void TPLSettPanel::Setup(TPlayFoldersChanged onPlayFoldersChanged) {
  OnPlayFoldersChanged = std::move(onPlayFoldersChanged);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(12, 10, 12, 0);
  column->setSpacing(0);
  AddRow(column, new TTitlePanel(this, LResList.GetText("PlaylistDialog", 1001)), 0, kRowPitch);
  PlayFoldersBox = new QCheckBox(LResList.GetText("PlaylistDialog", 1011), this);
  PlayFoldersBox->setChecked(FOptions.PlayFolders());
  AddRow(column, PlayFoldersBox, 12, kRowPitch);
  SubfoldersBox = new QCheckBox(LResList.GetText("PlaylistDialog", 1012), this);
  SubfoldersBox->setChecked(FOptions.PlaySubfolders());
  AddRow(column, SubfoldersBox, 36, kRowPitch);
  column->addSpacing(kGroupGap);

  AddRow(column, new TTitlePanel(this, LResList.GetText("PlaylistDialog", 1021)), 0, kRowPitch);
  const int checkedMedia = FOptions.FolderMedia();
  for (int i = 0; i < 3; ++i) {
    MediaButtons[size_t(i)] = new QRadioButton(LResList.GetText("PlaylistDialog", 1031 + i), this);
    MediaButtons[size_t(i)]->setChecked(i == checkedMedia);
    AddRow(column, MediaButtons[size_t(i)], 12, i < 2 ? kRadioPitch : kRowPitch);
  }
  column->addSpacing(kGroupGap);

  AddRow(column, new TTitlePanel(this, LResList.GetText("PlaylistDialog", 1051)), 0, kRowPitch);
  auto* orderRow = new QHBoxLayout;
  orderRow->setContentsMargins(12, 0, 0, 0);
  orderRow->setSpacing(0);
  auto* orderLabel = new QLabel(LResList.GetText("PlaylistDialog", 1061), this);
  orderLabel->setMinimumSize(kComboLeft - 24, kComboRowPitch);
  OrderBox = new QComboBox(this);
  OrderBox->addItems({LResList.GetText("PlaylistDialog", 1071),
                      LResList.GetText("PlaylistDialog", 1072),
                      LResList.GetText("PlaylistDialog", 1073)});
  OrderBox->setMinimumWidth(kWidth - kComboLeft - 12);
  OrderBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  OrderBox->setCurrentIndex(FOptions.PlayOrder());
  orderLabel->setBuddy(OrderBox);
  orderRow->addWidget(orderLabel);
  orderRow->addWidget(OrderBox, 1);
  column->addLayout(orderRow);
  column->addSpacing(3);

  column->addWidget(new THLine(this));
  column->addSpacing(kGroupGap);
  NoShowBox = new QCheckBox(LResList.GetText("PlaylistDialog", 1101), this);
  NoShowBox->setChecked(!FOptions.ShowPlayListDialog());
  AddRow(column, NoShowBox, 0, kRowPitch);
  column->addStretch(1);

  connect(PlayFoldersBox, &QCheckBox::clicked, this, [this] { PlayFoldersChange(); });
  PlayFoldersChange();
}

void TPLSettPanel::PlayFoldersChange() {
  const bool checked = PlayFoldersBox->isChecked();
  SubfoldersBox->setEnabled(checked);
  if (OnPlayFoldersChanged) OnPlayFoldersChanged(*this, checked);
}

void TPLSettPanel::Save() {
  // A stored value outside the choices shows nothing chosen and stays as it is.
  int media = -1;
  for (int i = 0; i < 3; ++i)
    if (MediaButtons[size_t(i)]->isChecked()) media = i;
  bool changed = false;
  auto setBool = [&](int index, bool value) {
    TIniPar& par = FOptions.GetOption(index);
    changed |= par.GetBool() != value;
    par.SetBool(value);
  };
  auto setInt = [&](int index, int value) {
    TIniPar& par = FOptions.GetOption(index);
    changed |= par.GetInt() != value;
    par.SetInt(value);
  };
  setBool(oPlayFolders, PlayFoldersBox->isChecked());
  setBool(oPlaySubfolders, SubfoldersBox->isChecked());
  if (OrderBox->currentIndex() >= 0) setInt(oPlayOrder, OrderBox->currentIndex());
  setBool(oPlayShowPLDlg, !NoShowBox->isChecked());
  if (media >= 0) setInt(oPlayFolderMedia, media);
  // A portable copy writes nothing at exit, so what the user chose here is
  // kept now or never.
  if (FOptions.Portable && changed) FOptions.LoadSave(true);
}

}  // namespace vexo
