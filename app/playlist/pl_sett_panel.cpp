#include "app/playlist/pl_sett_panel.h"

#include <QLabel>

#include "app/common/language_list.h"
#include "app/common/title_panel.h"
#include "app/settings/options.h"

namespace vexo {

namespace {

constexpr int kRadioHeight = 24;
constexpr int kRadioStep = 20;

}  // namespace

TPLSettPanel::TPLSettPanel(QWidget* parent, TOptions& options)
    : QWidget(parent), FOptions(options) {
  setObjectName(QStringLiteral("PLSettPanel"));
  resize(kWidth, kHeight);
}

void TPLSettPanel::Setup(TPlayFoldersChanged onPlayFoldersChanged) {
  OnPlayFoldersChanged = std::move(onPlayFoldersChanged);
  const int w = kWidth;
  int y = 10;
  new TTitlePanel(this, LResList.GetText("PlaylistDialog", 1001), 12, y, w - 24);
  y += 24;
  PlayFoldersBox = new QCheckBox(LResList.GetText("PlaylistDialog", 1011), this);
  PlayFoldersBox->setGeometry(24, y, w - 24, kRadioHeight);
  PlayFoldersBox->setChecked(FOptions.PlayFolders());
  y += 24;
  SubfoldersBox = new QCheckBox(LResList.GetText("PlaylistDialog", 1012), this);
  SubfoldersBox->setGeometry(48, y, w - 60, kRadioHeight);
  SubfoldersBox->setChecked(FOptions.PlaySubfolders());
  y += 36;

  new TTitlePanel(this, LResList.GetText("PlaylistDialog", 1021), 12, y, w - 24);
  y += 24;
  const QString media[3] = {LResList.GetText("PlaylistDialog", 1031),
                            LResList.GetText("PlaylistDialog", 1032),
                            LResList.GetText("PlaylistDialog", 1033)};
  const int checkedMedia = FOptions.FolderMedia();
  for (int i = 0; i < 3; ++i) {
    MediaButtons[size_t(i)] = new QRadioButton(media[i], this);
    MediaButtons[size_t(i)]->setGeometry(24, y, w - 36, kRadioHeight);
    MediaButtons[size_t(i)]->setChecked(i == checkedMedia);
    if (i < 2) y += kRadioStep;
  }
  y += 36;

  new TTitlePanel(this, LResList.GetText("PlaylistDialog", 1051), 12, y, w - 24);
  y += 24;
  auto* orderLabel = new QLabel(LResList.GetText("PlaylistDialog", 1061), this);
  orderLabel->move(24, y + 3);
  OrderBox = new QComboBox(this);
  OrderBox->addItems({LResList.GetText("PlaylistDialog", 1071),
                      LResList.GetText("PlaylistDialog", 1072),
                      LResList.GetText("PlaylistDialog", 1073)});
  OrderBox->setGeometry(220, y, w - 232, OrderBox->sizeHint().height());
  OrderBox->setCurrentIndex(FOptions.PlayOrder());
  y += 34 + 3;

  auto* line = new THLine(this, 12, y, w - 24);
  y = line->geometry().bottom() + 1 + 12;
  NoShowBox = new QCheckBox(LResList.GetText("PlaylistDialog", 1101), this);
  NoShowBox->setGeometry(12, y, w - 24, kRadioHeight);
  NoShowBox->setChecked(!FOptions.ShowPlayListDialog());

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
