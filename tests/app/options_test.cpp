#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <random>
#include <vector>

#include "app/common/ini_file.h"
#include "app/common/language_list.h"
#include "app/common/media_extensions.h"
#include "app/player/volume_control.h"
#include "app/settings/options.h"
#include "engine/media/av_types.h"
#include "platform/drive_info.h"
#include "platform/platform_sound_system.h"
#include "qt_test_app.h"
#include "settings_sandbox.h"

namespace vexo {
namespace {

constexpr int kToday = 45000;

class OptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::QtApp();
    FSavedConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", FConfig.path().toUtf8());
    SetDriveInfo(&FDrives);
    TOptions::Today = [] { return kToday; };
    LResList.LoadFile(VEXO_SOURCE_DIR "/resources/language/English.lrf");
    AVParams = DefaultAVParams;
  }
  void TearDown() override {
    SetDriveInfo(nullptr);
    qputenv("XDG_CONFIG_HOME", FSavedConfig);
    LResList.Clear();
  }
  QString ConfigFile() const { return FConfig.filePath("Korvane Group/Vexo Player.conf"); }
  void WriteConfig(const QByteArray& bytes) {
    QDir().mkpath(FConfig.filePath("Korvane Group"));
    QFile file(ConfigFile());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }

  test::TFakeDrives FDrives;
  QTemporaryDir FProgram, FConfig;
  QByteArray FSavedConfig;
};

TEST_F(OptionsTest, FirstStartGivesDefaults) {
  TOptions options(FProgram.path());
  test::TBoxRecorder boxes;
  options.LoadSave(false);
  EXPECT_TRUE(options.Loaded);
  EXPECT_FALSE(options.Portable);
  EXPECT_TRUE(options.Recent().isEmpty());
  EXPECT_EQ(options.GetOption(oPhotoSec).GetInt(), 2);
  EXPECT_EQ(options.GetOption(oPlayMirraDay).GetInt(), kToday + 2);
  EXPECT_EQ(options.GetOption(oAVVideoMode).GetInt(), 1);
  EXPECT_EQ(options.GetOption(oPlayFolderMedia).GetInt(), 2);
  EXPECT_TRUE(options.GetOption(oPlayShowPLDlg).GetBool());
  EXPECT_FALSE(options.GetOption(oPlaySubfolders).GetBool());
  EXPECT_EQ(options.GetDynamic(dGridWidth)->GetInt(), 250);
  EXPECT_EQ(AVParams.PhotoDurationMs, 2000);
  EXPECT_EQ(AVParams.VideoMode, vmGLShader);
  EXPECT_EQ(AVParams.PhotoSeek, 1);
  EXPECT_FALSE(options.HasOption(0));
  EXPECT_FALSE(options.HasOption(oAVPlanar + 1));
  EXPECT_EQ(options.GetDynamic(10), nullptr);
  EXPECT_EQ(options.GetDynamic(15), nullptr);
  EXPECT_EQ(options.StorePath(), ConfigFile());
  EXPECT_EQ(options.ProductTitle(), "Vexo Player");
  EXPECT_TRUE(boxes.Boxes.empty());
}

TEST_F(OptionsTest, SavedValuesComeBackAndReachTheEngine) {
  {
    TOptions options(FProgram.path());
    options.LoadSave(false);
    options.GetOption(oPhotoSec).SetInt(5);
    options.GetOption(oAVVideoMode).SetInt(vmRaster);
    options.GetOption(oAVPhotoSeek).SetBool(false);
    options.GetOption(oCustomExt).SetText("mkv");
    options.GetExtOption(seFLV)->SetBool(false);
    options.AddRecent("/media/a, b.asx");
    options.AddRecent("/media/c.asx");
    options.SnapshotDir = FProgram.path();
    options.LoadSave(true);
  }
  AVParams = DefaultAVParams;
  TOptions options(FProgram.path());
  options.LoadSave(false);
  EXPECT_EQ(options.GetOption(oPhotoSec).GetInt(), 5);
  EXPECT_EQ(options.GetOption(oCustomExt).GetText(), "mkv");
  EXPECT_FALSE(options.IsMediaExtension(".flv"));
  EXPECT_EQ(options.Recent(), QStringList({"/media/c.asx", "/media/a, b.asx"}));
  EXPECT_EQ(options.SnapshotDir, FProgram.path());
  EXPECT_EQ(options.GetOption(oPlayMirraDay).GetInt(), kToday + 2);
  EXPECT_EQ(AVParams.PhotoDurationMs, 5000);
  EXPECT_EQ(AVParams.VideoMode, vmRaster);
  EXPECT_EQ(AVParams.PhotoSeek, 0);
}

// The loudness is set while the program runs, away from the options: what
// was heard last is what the next start begins with, hand-edited values
// brought into range.
TEST_F(OptionsTest, TheVolumeHeardLastComesBack) {
  TVolumeControl& volume = TVolumeControl::Instance();
  {
    TOptions options(FProgram.path());
    options.LoadSave(false);
    EXPECT_EQ(volume.Volume(), (TSoundVolume{1, false}));
    volume.Set({0.35, true});
    options.LoadSave(true);
  }
  volume.Set({1, false});
  {
    TOptions options(FProgram.path());
    options.LoadSave(false);
    EXPECT_EQ(volume.Volume(), (TSoundVolume{0.35, true}));
    EXPECT_EQ(SoundVolume(), (TSoundVolume{0.35, true}));
  }
  WriteConfig("[Options]\noAVVolume=250\noAVMute=0\n");
  TOptions options(FProgram.path());
  options.LoadSave(false);
  EXPECT_EQ(volume.Volume(), (TSoundVolume{1, false}));
}

// Settings files from before the tone-mapping switch existed tone-map HDR
// videos; switched off, the engine shows their samples as they are.
TEST_F(OptionsTest, ToneMappingIsOnUnlessSwitchedOff) {
  for (const auto& [file, on] : {std::pair<QByteArray, bool>{"[Options]\noAVPlanar=0\n", true},
                                 std::pair<QByteArray, bool>{"[Options]\noAVToneMap=0\n", false}}) {
    SCOPED_TRACE(file.toStdString());
    WriteConfig(file);
    AVParams.ToneMap = on ? 0 : 1;
    TOptions options(FProgram.path());
    options.LoadSave(false);
    EXPECT_EQ(options.GetOption(oAVToneMap).GetBool(), on);
    EXPECT_EQ(AVParams.ToneMap, on ? 1 : 0);
  }
}

// Settings files from before the turn switches existed turn pictures upright.
TEST_F(OptionsTest, TurnSwitchesAreOnUnlessSwitchedOff) {
  struct Case {
    QByteArray file;
    bool on;
  };
  for (const Case& c : {Case{"[Options]\noAVPlanar=0\n", true},
                        Case{"[Options]\noAVTurnVideo=0\noAVTurnPhoto=0\n", false}}) {
    SCOPED_TRACE(c.file.toStdString());
    WriteConfig(c.file);
    AVParams.TurnVideos = AVParams.TurnPhotos = c.on ? 0 : 1;
    TOptions options(FProgram.path());
    options.LoadSave(false);
    EXPECT_EQ(options.GetOption(oAVTurnVideo).GetBool(), c.on);
    EXPECT_EQ(options.GetOption(oAVTurnPhoto).GetBool(), c.on);
    EXPECT_EQ(AVParams.TurnVideos, c.on ? 1 : 0);
    EXPECT_EQ(AVParams.TurnPhotos, c.on ? 1 : 0);
  }
}

TEST_F(OptionsTest, RecentListKeepsSevenNewestWithoutDuplicates) {
  TOptions options(FProgram.path());
  for (int i = 1; i <= 8; ++i) options.AddRecent(QString("/f%1.asx").arg(i));
  ASSERT_EQ(options.Recent().size(), 7);
  EXPECT_EQ(options.Recent().first(), "/f8.asx");
  EXPECT_EQ(options.Recent().last(), "/f2.asx");
  options.AddRecent("/f4.asx");
  EXPECT_EQ(options.Recent().size(), 7);
  EXPECT_EQ(options.Recent().first(), "/f4.asx");
  EXPECT_EQ(options.Recent().count("/f4.asx"), 1);
}

TEST_F(OptionsTest, MediaExtensions) {
  TOptions options(FProgram.path());
  struct Case {
    const char* Ext;
    bool Custom;
    const char* CustomExt;
    bool Media;
  } cases[] = {
      {".AVI", false, "", true},       {".jpe", false, "", true},     {".rmvb", false, "", false},
      {".rmvb", false, "rmvb", false}, {".rmvb", true, "rmvb", true}, {".RMVB", true, "rmvb", true},
      {".rmvb", true, ".rmvb", false}, {".rmvb", true, "", false},    {"", true, "", true},
      {"", false, "", false},          {".avi", true, "rmvb", true},  {".y4m", true, "rmvb", false},
      {".MKV", false, "", true},       {".m2ts", true, "rmvb", true},
  };
  for (const Case& c : cases) {
    options.GetExtOption(seCstm)->SetBool(c.Custom);
    options.GetOption(oCustomExt).SetText(c.CustomExt);
    EXPECT_EQ(options.IsMediaExtension(c.Ext), c.Media)
        << c.Ext << " custom " << c.Custom << " " << c.CustomExt;
  }
  options.GetExtOption(seAVI)->SetBool(false);
  EXPECT_FALSE(options.IsMediaExtension(".avi"));
  options.ResetDefaults({oPhotoSec});
  EXPECT_TRUE(options.IsMediaExtension(".avi"));
  EXPECT_FALSE(options.GetExtOption(seCstm)->GetBool());
}

// The containers of phones, camcorders and the web, and the photo formats of
// phones, screenshots and the web: each is a video or a photo type with a
// switch of its own that leaves every other type alone.
TEST_F(OptionsTest, LaterTypesAreVideosOrPhotosWithOneSwitchEach) {
  TOptions options(FProgram.path());
  for (int type = kFirstLaterVideoExt; type < kExtOptionCount; ++type) {
    const QString ext = MediaExtensions()[type];
    SCOPED_TRACE(ext.toStdString());
    const bool video = type < kFirstLaterPhotoExt;
    EXPECT_EQ(IsVideoExt(ext.toUpper()), video);
    EXPECT_EQ(IsPhotoExt(ext.toUpper()), !video);
    EXPECT_TRUE(options.IsMediaExtension(ext));
    options.GetExtOption(type)->SetBool(false);
    EXPECT_FALSE(options.IsMediaExtension(ext.toUpper()));
    for (int other = 0; other < kExtOptionCount; ++other) {
      if (other != type && other != seCstm) {
        EXPECT_TRUE(options.IsMediaExtension(MediaExtensions()[other])) << other;
      }
    }
    options.GetExtOption(type)->SetBool(true);
  }
  // A switched-off type is not let in again as the user's own.
  options.GetExtOption(seMKV)->SetBool(false);
  options.GetExtOption(seCstm)->SetBool(true);
  options.GetOption(oCustomExt).SetText("mkv");
  EXPECT_FALSE(options.IsMediaExtension(".mkv"));
}

// A settings file from before these types has none of their keys: they read
// as on, while what the file says stays; a saved "off" comes back off.
TEST_F(OptionsTest, SettingsWithoutTheLaterTypesReadThemAsOn) {
  WriteConfig(
      "[Options]\nseAVI=0\nseMOV=1\nseFLV=1\nseMPG=1\nseMPE=1\nseMPEG=1\nseM1V=1\n"
      "seMP4=1\nseDVX=1\nseM4V=1\nseJPG=1\nseJPEG=1\nseJPE=1\nseCstm=1\noCustomExt=rmvb\n");
  {
    TOptions options(FProgram.path());
    options.LoadSave(false);
    EXPECT_FALSE(options.IsMediaExtension(".avi"));
    EXPECT_TRUE(options.IsMediaExtension(".rmvb"));
    for (int type = kFirstLaterVideoExt; type < kExtOptionCount; ++type)
      EXPECT_TRUE(options.GetExtOption(type)->GetBool()) << type;
    options.GetExtOption(seWEBM)->SetBool(false);
    options.GetExtOption(seVOB)->SetBool(false);
    options.LoadSave(true);
  }
  TOptions options(FProgram.path());
  options.LoadSave(false);
  EXPECT_FALSE(options.IsMediaExtension(".webm"));
  EXPECT_FALSE(options.IsMediaExtension(".vob"));
  EXPECT_TRUE(options.IsMediaExtension(".mkv"));
  EXPECT_FALSE(options.IsMediaExtension(".avi"));
  // Restoring the defaults switches them on again.
  options.ResetDefaults({});
  EXPECT_TRUE(options.IsMediaExtension(".webm"));
}

TEST_F(OptionsTest, AssignAndResetDefaults) {
  TOptions main(FProgram.path()), work(FProgram.path());
  work.GetOption(oSortType).SetInt(3);
  work.GetOption(oPhotoSec).SetInt(9);
  work.GetExtOption(seMOV)->SetBool(false);
  work.GetExtOption(seM2TS)->SetBool(false);
  work.GetDynamic(dGridWidth)->SetInt(10);
  main.Assign(work);
  EXPECT_EQ(main.GetOption(oSortType).GetInt(), 3);
  EXPECT_FALSE(main.IsMediaExtension(".mov"));
  EXPECT_FALSE(main.IsMediaExtension(".m2ts"));
  EXPECT_EQ(main.GetDynamic(dGridWidth)->GetInt(), 250);  // not an option
  main.ResetDefaults({oSortType});
  EXPECT_EQ(main.GetOption(oSortType).GetInt(), 0);
  EXPECT_EQ(main.GetOption(oPhotoSec).GetInt(), 9);
  EXPECT_TRUE(main.IsMediaExtension(".mov"));
}

// Whoever acts on an option hears of a new value, whether set directly or
// taken over from the dialog's copy, and of nothing else.
TEST_F(OptionsTest, ChangedTellsEachOptionThatTookANewValue) {
  TOptions main(FProgram.path()), work(FProgram.path());
  std::vector<int> changed;
  QObject::connect(&main, &TOptions::Changed, [&](int option) { changed.push_back(option); });
  main.GetOption(oSortType).SetInt(1);
  main.GetOption(oSortType).SetInt(1);
  EXPECT_EQ(changed, std::vector<int>{oSortType});
  EXPECT_TRUE(main.SortByDate());
  changed.clear();
  work.Assign(main);
  work.GetOption(oPhotoSec).SetInt(9);
  work.GetOption(oSkinName).SetText("DarkGlass");
  main.Assign(work);
  EXPECT_EQ(changed, (std::vector<int>{oSkinName, oPhotoSec}));
  EXPECT_EQ(main.SkinName(), "DarkGlass");
  changed.clear();
  main.Assign(work);
  EXPECT_TRUE(changed.empty());
}

TEST_F(OptionsTest, RemovableOrOpticalProgramFolderIsPortable) {
  for (int kind : {dkRemovable, dkCdRom}) {
    FDrives.Kind = kind;
    TOptions options(FProgram.path());
    EXPECT_TRUE(options.Portable);
    EXPECT_EQ(options.StorePath(), FProgram.filePath("vexoplayer.ini"));
    EXPECT_EQ(options.ProductTitle(), "Vexo Player (" + LResList.GetText("Player", 2001) + ")");
  }
  QFile ini(FProgram.filePath("vexoplayer.ini"));
  ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
  ini.write("[Options]\noPhotoSec=7\n");
  ini.close();
  TOptions options(FProgram.path());
  options.LoadSave(false);
  EXPECT_EQ(options.GetOption(oPhotoSec).GetInt(), 7);
  ASSERT_TRUE(ini.remove());
  for (int kind : {dkFixed, dkRemote, dkRamDisk, dkNoRoot}) {
    FDrives.Kind = kind;
    EXPECT_FALSE(TOptions(FProgram.path()).Portable) << kind;
  }
}

// A copy the player made of itself keeps its settings beside it, wherever the
// folder was carried to and whatever the system says of the drive.
TEST_F(OptionsTest, SettingsFileBesideTheProgramMakesItPortable) {
  QFile ini(FProgram.filePath("vexoplayer.ini"));
  ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
  ini.write("[Options]\noPhotoSec=5\n");
  ini.close();
  for (int kind : {dkFixed, dkRemote, dkUnknown}) {
    FDrives.Kind = kind;
    TOptions options(FProgram.path());
    EXPECT_TRUE(options.Portable) << kind;
    EXPECT_EQ(options.StorePath(), FProgram.filePath("vexoplayer.ini"));
    options.LoadSave(false);
    EXPECT_EQ(options.GetOption(oPhotoSec).GetInt(), 5);
  }
  // A folder of that name is no settings file.
  ASSERT_TRUE(ini.remove());
  ASSERT_TRUE(QDir(FProgram.path()).mkdir("vexoplayer.ini"));
  FDrives.Kind = dkFixed;
  EXPECT_FALSE(TOptions(FProgram.path()).Portable);
}

// A damaged settings file: each value that can still be read is kept, the
// rest falls back to its default.
struct DamagedFileCase {
  const char* name;
  QByteArray bytes;
  int photoSec;
  uint8_t videoMode;
  bool photoSeek;
  int gridWidth;
};

void PrintTo(const DamagedFileCase& c, std::ostream* out) {
  *out << c.name;
}

QByteArray Noise() {
  std::mt19937 random(7);
  QByteArray noise(4096, '\0');
  for (char& c : noise) c = char(random());
  return noise;
}

class OptionsDamagedFile : public OptionsTest,
                           public ::testing::WithParamInterface<DamagedFileCase> {};

TEST_P(OptionsDamagedFile, LoadsWhatCanBeReadAndDefaultsTheRest) {
  const DamagedFileCase& c = GetParam();
  WriteConfig(c.bytes);
  TOptions options(FProgram.path());
  options.LoadSave(false);
  EXPECT_EQ(options.GetOption(oPhotoSec).GetInt(), c.photoSec);
  EXPECT_EQ(AVParams.PhotoDurationMs, c.photoSec * 1000);
  EXPECT_EQ(AVParams.VideoMode, c.videoMode);
  EXPECT_EQ(options.GetOption(oAVPhotoSeek).GetBool(), c.photoSeek);
  EXPECT_EQ(options.GetDynamic(dGridWidth)->GetInt(), c.gridWidth);
}

INSTANTIATE_TEST_SUITE_P(
    Files, OptionsDamagedFile,
    ::testing::Values(
        DamagedFileCase{"UnreadableValues",
                        "[Options]\noPhotoSec=lots\noAVVideoMode=\noAVPhotoSeek=perhaps\n"
                        "[Dynamic]\ndGridWidth=1e9\n",
                        2, vmGLShader, true, 250},
        // The section's missing bracket is forgiven; the binary key is not a setting.
        DamagedFileCase{"BrokenSectionAndBinaryKeys",
                        QByteArray("[Options\noPhotoSec=3\n\x00\x01\x02=\xFF\xFE\n[Dynamic]\n"
                                   "dRecent1=@Variant(\x00\x00\x00\x7f)\n",
                                   62),
                        3, vmGLShader, true, 250},
        DamagedFileCase{"Utf16Text", QByteArray("\xFF\xFE[\0O\0p\0t\0", 10), 2, vmGLShader, true,
                        250},
        DamagedFileCase{"CutOffWithoutALineEnd", "[Options]\noPhotoSec=4\noAVVideoMode=2", 4,
                        vmRaster, true, 250},
        DamagedFileCase{"RandomBytes", Noise(), 2, vmGLShader, true, 250}),
    [](const ::testing::TestParamInfo<DamagedFileCase>& info) { return info.param.name; });

TEST_F(OptionsTest, HandEditedOutOfRangeValuesAreBroughtIntoRange) {
  WriteConfig("[Options]\noPhotoSec=-3\noAVVideoMode=77\noSortType=9\noAVFullScreenKey=-2\n");
  TOptions options(FProgram.path());
  options.LoadSave(false);
  EXPECT_EQ(options.GetOption(oPhotoSec).GetInt(), 1);
  EXPECT_EQ(AVParams.PhotoDurationMs, 1000);
  EXPECT_EQ(AVParams.VideoMode, 4);
  EXPECT_EQ(options.GetOption(oSortType).GetInt(), 1);
  EXPECT_EQ(options.GetOption(oAVFullScreenKey).GetInt(), 0);
}

TEST_F(OptionsTest, ChosenSoundOutputReachesTheSoundSystem) {
  TPlatformSoundSystem sound;
  SetSoundSystem(&sound);
  TOptions options(FProgram.path());
  options.LoadSave(false);
  EXPECT_EQ(options.GetOption(oAVSoundDevice).GetText(), "default");
  EXPECT_EQ(AVParams.UseSoundServer, 1);
  // A device of its own bypasses the sound server.
  options.GetOption(oAVSoundDevice).SetText("plughw:CARD=Test,DEV=0");
  options.ApplyToEngine();
  EXPECT_EQ(AVParams.UseSoundServer, 0);
  EXPECT_EQ(sound.AlsaDevice(), "plughw:CARD=Test,DEV=0");
  // Back to the default: the server is tried again.
  options.GetOption(oAVSoundDevice).SetText("default");
  options.ApplyToEngine();
  EXPECT_EQ(AVParams.UseSoundServer, 1);
  EXPECT_EQ(sound.AlsaDevice(), "default");
  // A server that failed once stays given up while the choice stays the same.
  AVParams.UseSoundServer = 0;
  options.ApplyToEngine();
  EXPECT_EQ(AVParams.UseSoundServer, 0);
  SetSoundSystem(nullptr);
}

TEST_F(OptionsTest, UnwritableSettingsFolderIsReportedOnceAndWorkGoesOn) {
  // A file where the folder should be: nothing can be written below it.
  QFile blocker(FConfig.filePath("Korvane Group"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  test::TBoxRecorder boxes;
  TOptions options(FProgram.path());
  options.LoadSave(false);
  options.LoadSave(true);
  options.LoadSave(true);
  ASSERT_EQ(boxes.Boxes.size(), 1u);
  EXPECT_EQ(boxes.Boxes[0].Kind, TMsgKind::Error);
  EXPECT_TRUE(boxes.Boxes[0].Text.contains(ConfigFile()));
  EXPECT_GT(boxes.Boxes[0].Text.indexOf("\r\n"), 0);
  EXPECT_FALSE(boxes.Boxes[0].Text.endsWith("\r\n"));
}

TEST_F(OptionsTest, SiblingPanelDayRules) {
  TOptions options(FProgram.path());
  options.LoadSave(false);
  auto& day = options.GetOption(oPlayMirraDay);
  QFile marker(options.SkinMarkerPath());
  double chance = 0.9;
  TOptions::Random = [&chance] { return chance; };

  day.SetInt(kToday);
  EXPECT_FALSE(options.ShowMirraPanelToday()) << "no picture file";
  ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
  marker.close();

  day.SetInt(kToday + 1);
  EXPECT_FALSE(options.ShowMirraPanelToday()) << "day not reached";
  EXPECT_EQ(day.GetInt(), kToday + 1);

  day.SetInt(kToday);
  EXPECT_TRUE(options.ShowMirraPanelToday());
  EXPECT_EQ(day.GetInt(), kToday + 3 + 6);

  chance = 0.5;
  day.SetInt(kToday - 4);
  EXPECT_FALSE(options.ShowMirraPanelToday());
  EXPECT_EQ(day.GetInt(), kToday - 4);

  QDir().mkpath(FConfig.filePath("Korvane Group"));
  QFile sibling(TOptions::SiblingProductMarker());
  ASSERT_TRUE(sibling.open(QIODevice::WriteOnly));
  sibling.close();
  chance = 0.9;
  EXPECT_FALSE(options.ShowMirraPanelToday());
  EXPECT_EQ(day.GetInt(), kToday + 180);

  QFile::remove(TOptions::SiblingProductMarker());
  FDrives.Kind = dkRemovable;
  TOptions portable(FProgram.path());
  portable.GetOption(oPlayMirraDay).SetInt(kToday);
  EXPECT_FALSE(portable.ShowMirraPanelToday());
}

TEST(DayNumber, CountsFromTheEndOf1899) {
  EXPECT_EQ(DayNumber(QDate(1899, 12, 30)), 0);
  EXPECT_EQ(DayNumber(QDate(1900, 1, 1)), 2);
  EXPECT_EQ(DayNumber(QDate(2024, 1, 1)), 45292);
}

}  // namespace
}  // namespace vexo
