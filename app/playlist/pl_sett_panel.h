#pragma once
// The settings page of the playlist dialog: whether folders of the selection
// are played, with or without their subfolders, which of their media, in
// which order, and whether the dialog shows next time. Loaded from and saved
// to the options store.
#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QWidget>
#include <array>
#include <functional>

namespace vexo {

class TOptions;

class TPLSettPanel : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kWidth = 480;
  static constexpr int kHeight = 298;
  using TPlayFoldersChanged = std::function<void(TPLSettPanel& panel, bool checked)>;

  TPLSettPanel(QWidget* parent, TOptions& options);

  // Builds the controls, loads them from the options and syncs the enabled
  // states (firing onPlayFoldersChanged once).
  void Setup(TPlayFoldersChanged onPlayFoldersChanged);
  // Writes the five options back; a portable store is saved at once when
  // one of them changed.
  void Save();

  QCheckBox* PlayFoldersBox = nullptr;
  QCheckBox* SubfoldersBox = nullptr;
  std::array<QRadioButton*, 3> MediaButtons{};
  QComboBox* OrderBox = nullptr;
  QCheckBox* NoShowBox = nullptr;
  TPlayFoldersChanged OnPlayFoldersChanged;

 private:
  void PlayFoldersChange();

  TOptions& FOptions;
};

}  // namespace vexo
