#pragma once
// Every persistent setting of the player, with its key, kind and default, the
// recent-file list, and the file extensions treated as media.
#include <QDate>
#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "app/common/ini_par.h"

namespace vexo {

class TSIniFile;

// Rows of the option table ("Options"); the player creates only these.
enum TOptionIndex : int {
  oSkinName = 3,
  oPlayExpandTree = 14,
  oPlayShowPLDlg = 15,
  oSortType = 16,
  oPhotoSec = 40,
  oCustomExt = 41,
  oPlayFolders = 49,
  oPlayFolderMedia = 50,
  oPlaySubfolders = 51,
  oPlayOrder = 52,
  oPlayMirraDay = 53,
  oAVVideoMode = 54,
  oAVFullScreenKey = 55,
  oAVPhotoSeek = 56,
  oAVPlanar = 57,
  // Beyond the table shared with the sibling product: the player's own.
  oAVSoundDevice = 67,
  // Portrait videos by their display matrix, photos by their EXIF tag.
  oAVTurnVideo = 68,
  oAVTurnPhoto = 69,
  // High-dynamic-range videos tone-mapped to an ordinary screen's colours.
  oAVToneMap = 70,
  // The player's loudness in percent, and whether it is muted.
  oAVVolume = 71,
  oAVMute = 72,
  kOptionCount = 73
};

// Rows of the dynamic table ("Dynamic"): values the program keeps for itself.
enum TDynamicIndex : int {
  dRecent1 = 0,
  dRecent7 = 6,
  dFilePath = 7,
  dImagePath = 8,
  dGridWidth = 9,
  dPlayTreeTop = 12,
  dPlayTreeSel = 13,
  dPlayTreeExp = 14,
  kDynamicCount = 15
};

// Media-type switches, one per entry of MediaExtensions().
enum TExtIndex : int {
  seAVI,
  seMOV,
  seFLV,
  seMPG,
  seMPE,
  seMPEG,
  seM1V,
  seMP4,
  seDVX,
  seM4V,
  seJPG,
  seJPEG,
  seJPE,
  seCstm,
  // Video containers of phones, camcorders and the web.
  seMKV,
  seWEBM,
  seTS,
  seMTS,
  seM2TS,
  se3GP,
  seWMV,
  seASF,
  seVOB,
  seOGV,
  // Photos of phones, screenshots and the web.
  sePNG,
  seWEBP,
  seHEIC,
  seHEIF,
  seAVIF,
  kExtOptionCount
};

constexpr int kRecentMax = 7;
// The settings file beside a portable program; its presence alone makes the
// program portable.
inline const QString kPortableIniName = QStringLiteral("vexoplayer.ini");

class TOptions : public QObject {
  Q_OBJECT

 public:
  // programDir holds the program (and, in portable mode, its settings file);
  // empty means ProgramDir.
  explicit TOptions(const QString& programDir = {});
  ~TOptions();
  TOptions(const TOptions&) = delete;
  TOptions& operator=(const TOptions&) = delete;

  TIniPar& GetOption(int index) const;  // must be one the player creates
  bool HasOption(int index) const;
  TIniPar* GetDynamic(int index) const;
  TIniPar* GetExtOption(int index) const;
  int FullScreenKey() const;

  // Typed reads of the options the program acts on.
  QString SkinName() const;
  void SetSkinName(const QString& name);
  bool ExpandTreeAtStart() const;
  bool ShowPlayListDialog() const;
  bool SortByDate() const;
  bool PlayFolders() const;
  int FolderMedia() const;
  bool PlaySubfolders() const;
  int PlayOrder() const;
  uint8_t VideoMode() const;
  QString SoundDevice() const;

  // The user's settings file, or vexoplayer.ini beside the program when portable.
  QString StorePath() const;
  std::unique_ptr<TSIniFile> CreateStore() const;
  // Reads or writes every setting; with no store given one is made for the
  // call. A save that cannot reach the disk is reported once per run.
  void LoadSave(bool save, TSIniFile* store = nullptr, bool skipOptions = false);
  void ApplyToEngine() const;
  // Takes over every option and media-type switch of other.
  void Assign(const TOptions& other);
  // Returns the chosen options and every media-type switch to their defaults.
  void ResetDefaults(const std::vector<int>& options);
  void AddRecent(const QString& path);
  const QStringList& Recent() const { return FRecent; }
  bool IsMediaExtension(const QString& extWithDot) const;
  QString ProductTitle() const;
  QString SkinMarkerPath() const;
  bool ShowMirraPanelToday();

  bool Portable = false;
  bool Loaded = false;
  // Folder where snapshots go; kept in dImagePath.
  QString SnapshotDir;

  // Today's day number (days since 30 December 1899), replaceable for tests.
  static std::function<int()> Today;
  // A number in [0, 1) for the sibling-product panel's chance.
  static std::function<double()> Random;
  // Path whose existence tells that the sibling product is installed.
  static QString SiblingProductMarker();

 signals:
  // An option (a TOptionIndex) took another value through its setter or Assign.
  void Changed(int option);

 private:
  QString FProgramDir;
  std::array<std::unique_ptr<TIniPar>, kOptionCount> FOptions;
  std::array<std::unique_ptr<TIniPar>, kDynamicCount> FDynamic;
  std::array<std::unique_ptr<TIniPar>, kExtOptionCount> FExtensions;
  QStringList FRecent;
};

// Day number of a date in the platform's date serial.
int DayNumber(const QDate& date);

}  // namespace vexo
