#include "app/settings/options.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QtGlobal>
#include <algorithm>
#include <cmath>

#include "app/common/ini_file.h"
#include "app/common/language_list.h"
#include "app/common/media_extensions.h"
#include "app/common/message_boxes.h"
#include "app/common/path_utils.h"
#include "app/common/program_environment.h"
#include "app/common/text_utils.h"
#include "app/player/volume_control.h"
#include "engine/media/av_types.h"
#include "engine/playback/sound_device.h"
#include "platform/drive_info.h"
#include "platform/sound_outputs.h"

namespace vexo {
namespace {

const QString kOptionsSection = QStringLiteral("Options");
const QString kDynamicSection = QStringLiteral("Dynamic");

struct TParDef {
  int Index;
  TIniPar::TKind Kind;
  const char* Default;
  const char* Key;
  int Min = 0;  // an integer read outside Min..Max is brought inside; none when equal
  int Max = 0;
};

// The video mode defaults to the OpenGL picture (mode 1) on this desktop.
constexpr TParDef kOptionDefs[] = {
    {oSkinName, TIniPar::ipText, "", "oSkinName"},
    {oPlayExpandTree, TIniPar::ipBoolean, "", "oPlayExpandTree"},
    {oPlayShowPLDlg, TIniPar::ipBoolean, "1", "oPlayShowPLDlg"},
    {oSortType, TIniPar::ipInteger, "", "oSortType", 0, 1},
    {oPhotoSec, TIniPar::ipInteger, "2", "oPhotoSec", 1, 15},
    {oCustomExt, TIniPar::ipText, "", "oCustomExt"},
    {oPlayFolders, TIniPar::ipBoolean, "1", "oPlayFolders"},
    {oPlayFolderMedia, TIniPar::ipInteger, "2", "oPlayFolderMedia"},
    {oPlaySubfolders, TIniPar::ipBoolean, "", "oPlaySubfolders"},
    {oPlayOrder, TIniPar::ipInteger, "", "oPlayOrder"},
    {oPlayMirraDay, TIniPar::ipInteger, "", "oPlayMirraDay"},
    {oAVVideoMode, TIniPar::ipInteger, "1", "oAVVideoMode", 0, 4},
    {oAVFullScreenKey, TIniPar::ipInteger, "", "oAVFullScreenKey", 0, 2},
    {oAVPhotoSeek, TIniPar::ipBoolean, "1", "oAVPhotoSeek"},
    {oAVPlanar, TIniPar::ipBoolean, "1", "oAVPlanar"},
    {oAVSoundDevice, TIniPar::ipText, "default", "oAVSoundDevice"},
    {oAVTurnVideo, TIniPar::ipBoolean, "1", "oAVTurnVideo"},
    {oAVTurnPhoto, TIniPar::ipBoolean, "1", "oAVTurnPhoto"},
    {oAVToneMap, TIniPar::ipBoolean, "1", "oAVToneMap"},
    {oAVVolume, TIniPar::ipInteger, "100", "oAVVolume", 0, 100},
    {oAVMute, TIniPar::ipBoolean, "", "oAVMute"},
};

constexpr TParDef kDynamicDefs[] = {
    {0, TIniPar::ipText, "", "dRecent1"},
    {1, TIniPar::ipText, "", "dRecent2"},
    {2, TIniPar::ipText, "", "dRecent3"},
    {3, TIniPar::ipText, "", "dRecent4"},
    {4, TIniPar::ipText, "", "dRecent5"},
    {5, TIniPar::ipText, "", "dRecent6"},
    {6, TIniPar::ipText, "", "dRecent7"},
    {dFilePath, TIniPar::ipText, "", "dFilePath"},
    {dImagePath, TIniPar::ipText, "", "dImagePath"},
    {dGridWidth, TIniPar::ipInteger, "250", "dGridWidth"},
    {dPlayTreeTop, TIniPar::ipText, "", "dPlayTreeTop"},
    {dPlayTreeSel, TIniPar::ipText, "", "dPlayTreeSel"},
    {dPlayTreeExp, TIniPar::ipBoolean, "", "dPlayTreeExp"},
};

constexpr const char* kExtKeys[kExtOptionCount] = {
    "seAVI", "seMOV",  "seFLV", "seMPG",  "seMPE", "seMPEG", "seM1V",  "seMP4",  "seDVX",  "seM4V",
    "seJPG", "seJPEG", "seJPE", "seCstm", "seMKV", "seWEBM", "seTS",   "seMTS",  "seM2TS", "se3GP",
    "seWMV", "seASF",  "seVOB", "seOGV",  "sePNG", "seWEBP", "seHEIC", "seHEIF", "seAVIF"};
static_assert(kExtOptionCount == kMediaExtCount);

template <size_t N, size_t M>
void CreateTable(std::array<std::unique_ptr<TIniPar>, N>& table, const TParDef (&defs)[M]) {
  for (const TParDef& def : defs) {
    table[def.Index] = std::make_unique<TIniPar>(def.Kind, QString::fromLatin1(def.Default),
                                                 QString::fromLatin1(def.Key));
    table[def.Index]->MinValue = def.Min;
    table[def.Index]->MaxValue = def.Max;
  }
}

// The output the engine was last told of, so that coming back to the
// server's default retries the server even after it once failed.
std::string gAppliedSoundOutput = kDefaultSoundOutput;

void ApplySoundOutput(QString name) {
  name = name.trimmed();
  if (name.isEmpty()) name = QString::fromLatin1(kDefaultSoundOutput);
  const std::string chosen = name.toStdString();
  const bool serverDefault = chosen == kDefaultSoundOutput;
  if (!serverDefault)
    AVParams.UseSoundServer = 0;
  else if (gAppliedSoundOutput != kDefaultSoundOutput)
    AVParams.UseSoundServer = DefaultAVParams.UseSoundServer;
  gAppliedSoundOutput = chosen;
  if (TSoundSystem* sound = SoundSystem()) sound->SelectOutput(chosen);
}

// A folder that cannot take the settings is reported once in a run, not at
// every save.
bool gStoreErrorShown = false;

QString ConfigFolder() {
  return JoinPath(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
                  QStringLiteral("Korvane Group"));
}

}  // namespace

std::function<int()> TOptions::Today = [] { return DayNumber(QDate::currentDate()); };
std::function<double()> TOptions::Random = [] {
  return QRandomGenerator::global()->generateDouble();
};

int DayNumber(const QDate& date) {
  return int(QDate(1899, 12, 30).daysTo(date));
}

QString TOptions::SiblingProductMarker() {
  return JoinPath(ConfigFolder(), QStringLiteral("Vexo DVD Mirra.conf"));
}

TOptions::TOptions(const QString& programDir)
    : FProgramDir(ExcludeSlash(programDir.isEmpty() ? ProgramDir : programDir)) {
  CreateTable(FOptions, kOptionDefs);
  for (int i = 0; i < kOptionCount; ++i)
    if (FOptions[i]) FOptions[i]->OnChange = [this, i] { emit Changed(i); };
  CreateTable(FDynamic, kDynamicDefs);
  for (int i = 0; i < kExtOptionCount; ++i)
    FExtensions[i] = std::make_unique<TIniPar>(TIniPar::ipBoolean, i == seCstm ? "" : "1",
                                               QString::fromLatin1(kExtKeys[i]));
  // A copy made by the player carries its settings file: it stays portable
  // on a stick the system does not report as removable (card readers, fuse
  // mounts) and on a fixed disk it was copied to.
  const int kind = DriveKind(FProgramDir);
  Portable = kind == dkRemovable || kind == dkCdRom ||
             QFileInfo(JoinPath(FProgramDir, kPortableIniName)).isFile();
}

TOptions::~TOptions() = default;

TIniPar& TOptions::GetOption(int index) const {
  if (!HasOption(index))
    qFatal("Assertion failure in options.cpp, line %d: option %d does not exist", __LINE__, index);
  return *FOptions[index];
}

QString TOptions::SkinName() const {
  return GetOption(oSkinName).GetText();
}

void TOptions::SetSkinName(const QString& name) {
  GetOption(oSkinName).SetText(name);
}

bool TOptions::ExpandTreeAtStart() const {
  return GetOption(oPlayExpandTree).GetBool();
}

bool TOptions::ShowPlayListDialog() const {
  return GetOption(oPlayShowPLDlg).GetBool();
}

bool TOptions::SortByDate() const {
  return GetOption(oSortType).GetInt() == 1;
}

bool TOptions::PlayFolders() const {
  return GetOption(oPlayFolders).GetBool();
}

int TOptions::FolderMedia() const {
  return GetOption(oPlayFolderMedia).GetInt();
}

bool TOptions::PlaySubfolders() const {
  return GetOption(oPlaySubfolders).GetBool();
}

int TOptions::PlayOrder() const {
  return GetOption(oPlayOrder).GetInt();
}

uint8_t TOptions::VideoMode() const {
  // A hand-edited file may hold anything; the engine gets a mode it knows.
  return static_cast<uint8_t>(qBound(0, GetOption(oAVVideoMode).GetInt(), 4));
}

QString TOptions::SoundDevice() const {
  return GetOption(oAVSoundDevice).GetText();
}

bool TOptions::HasOption(int index) const {
  return index >= 0 && index < kOptionCount && FOptions[index] != nullptr;
}

TIniPar* TOptions::GetDynamic(int index) const {
  return index >= 0 && index < kDynamicCount ? FDynamic[index].get() : nullptr;
}

TIniPar* TOptions::GetExtOption(int index) const {
  return index >= 0 && index < kExtOptionCount ? FExtensions[index].get() : nullptr;
}

int TOptions::FullScreenKey() const {
  return GetOption(oAVFullScreenKey).GetInt();
}

QString TOptions::StorePath() const {
  if (Portable) return JoinPath(FProgramDir, kPortableIniName);
  return JoinPath(ConfigFolder(), QStringLiteral("Vexo Player.conf"));
}

std::unique_ptr<TSIniFile> TOptions::CreateStore() const {
  return std::make_unique<TSIniFile>(StorePath());
}

void TOptions::LoadSave(bool save, TSIniFile* store, bool skipOptions) {
  std::unique_ptr<TSIniFile> own;
  if (!store) {
    own = CreateStore();
    store = own.get();
  }
  if (save) {
    // The volume changes while the program runs, without the options.
    const TSoundVolume volume = TVolumeControl::Instance().Volume();
    GetOption(oAVVolume).SetInt(int(std::lround(volume.Level * 100)));
    GetOption(oAVMute).SetBool(volume.Muted);
    GetDynamic(dImagePath)->SetText(SnapshotDir);
    for (int i = 0; i < kRecentMax; ++i)
      GetDynamic(dRecent1 + i)->SetText(i < FRecent.size() ? FRecent[i] : QString());
  }
  if (!skipOptions)
    for (auto& par : FOptions)
      if (par) par->ReadWrite(save, store, {}, kOptionsSection);
  for (auto& par : FDynamic)
    if (par) par->ReadWrite(save, store, {}, kDynamicSection);
  for (auto& par : FExtensions) par->ReadWrite(save, store, {}, kOptionsSection);

  if (save) {
    QString reason;
    if (!store->Flush(&reason) && !gStoreErrorShown) {
      gStoreErrorShown = true;
      ShowError(FormatText(LResList.GetText("Options", 1), {store->FileName()}) +
                QStringLiteral("\r\n") + reason);
    }
    return;
  }
  const QString imageDir = GetDynamic(dImagePath)->GetText();
  if (!imageDir.isEmpty() && QFileInfo(imageDir).isDir()) SnapshotDir = imageDir;
  FRecent.clear();
  for (int i = 0; i < kRecentMax; ++i) {
    const QString path = GetDynamic(dRecent1 + i)->GetText();
    if (!path.isEmpty() && !FRecent.contains(path)) FRecent << path;
  }
  Loaded = true;
  if (GetOption(oPlayMirraDay).GetInt() == 0) GetOption(oPlayMirraDay).SetInt(Today() + 2);
  if (!skipOptions)
    TVolumeControl::Instance().Set(
        {GetOption(oAVVolume).GetInt() / 100.0, GetOption(oAVMute).GetBool()});
  ApplyToEngine();
}

void TOptions::ApplyToEngine() const {
  // A hand-edited file may hold anything; the engine gets values it can use.
  const int seconds = GetOption(oPhotoSec).GetInt();
  AVParams.PhotoDurationMs = qBound(0, seconds, 24 * 3600) * 1000;
  AVParams.VideoMode = VideoMode();
  AVParams.PhotoSeek = GetOption(oAVPhotoSeek).GetBool() ? 1 : 0;
  // The dialog offers this switch; it would mislead if the engine never saw it.
  AVParams.Planar = GetOption(oAVPlanar).GetBool() ? 1 : 0;
  AVParams.TurnVideos = GetOption(oAVTurnVideo).GetBool() ? 1 : 0;
  AVParams.TurnPhotos = GetOption(oAVTurnPhoto).GetBool() ? 1 : 0;
  AVParams.ToneMap = GetOption(oAVToneMap).GetBool() ? 1 : 0;
  ApplySoundOutput(SoundDevice());
}

void TOptions::Assign(const TOptions& other) {
  for (int i = 0; i < kOptionCount; ++i)
    if (FOptions[i] && other.FOptions[i]) FOptions[i]->CopyFrom(*other.FOptions[i]);
  for (int i = 0; i < kExtOptionCount; ++i) FExtensions[i]->CopyFrom(*other.FExtensions[i]);
}

void TOptions::ResetDefaults(const std::vector<int>& options) {
  for (int index : options)
    if (HasOption(index)) FOptions[index]->Reset();
  for (auto& par : FExtensions) par->Reset();
}

void TOptions::AddRecent(const QString& path) {
  FRecent.removeAll(path);
  FRecent.prepend(path);
  while (FRecent.size() > kRecentMax) FRecent.removeLast();
}

bool TOptions::IsMediaExtension(const QString& extWithDot) const {
  for (int i = 0; i < kExtOptionCount; ++i)
    if (i != seCstm && MediaExtensions()[i].compare(extWithDot, Qt::CaseInsensitive) == 0)
      return FExtensions[i]->GetBool();
  if (!FExtensions[seCstm]->GetBool()) return false;
  const QString custom = GetOption(oCustomExt).GetText();
  if (custom.isEmpty()) return extWithDot.isEmpty();
  return extWithDot.compare(u'.' + custom, Qt::CaseInsensitive) == 0;
}

QString TOptions::ProductTitle() const {
  const QString name = QStringLiteral("Vexo Player");
  if (!Portable) return name;
  return name + QStringLiteral(" (") + LResList.GetText("Player", 2001) + u')';
}

QString TOptions::SkinMarkerPath() const {
  // An installed program keeps its pictures with its other files.
  return JoinPath(ResourceFolderFor(FProgramDir), QStringLiteral("VexoPlayer.skn"));
}

bool TOptions::ShowMirraPanelToday() {
  const int today = Today();
  TIniPar& day = GetOption(oPlayMirraDay);
  if (day.GetInt() > today || Portable || !QFileInfo(SkinMarkerPath()).isFile()) return false;
  if (QFileInfo(SiblingProductMarker()).exists()) {
    day.SetInt(today + 180);
    return false;
  }
  if (Random() > 0.5) {
    day.SetInt(today + 3 + std::min(6, int(Random() * 7)));
    return true;
  }
  return false;
}

}  // namespace vexo
