#pragma once
// A private home for tests of settings: HOME and XDG folders in a temporary
// folder, a program folder with the English language file, a fixed drive kind
// and a fixed day, all put back afterwards.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <vector>

#include "app/common/language_list.h"
#include "app/common/program_environment.h"
#include "app/settings/options.h"
#include "engine/media/av_types.h"
#include "platform/drive_info.h"

namespace vexo::test {

class TFakeDrives : public IDriveInfo {
 public:
  int DriveKind(const std::string&) const override { return Kind; }
  int64_t DiskFree(const std::string&) const override { return 1 << 30; }
  int Kind = dkFixed;
};

class TSettingsSandbox {
 public:
  static constexpr int kToday = 45000;

  TSettingsSandbox() {
    for (const char* name : kVariables) FSaved.push_back(qgetenv(name));
    qputenv("HOME", FHome.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", FHome.filePath(".config").toUtf8());
    qputenv("XDG_DATA_HOME", FHome.filePath(".local/share").toUtf8());
    SetDriveInfo(&Drives);
    QDir().mkpath(LanguageDir());
    QFile::copy(VEXO_SOURCE_DIR "/resources/language/English.lrf", LanguageDir() + "/English.lrf");
    InitProgramEnvironment(FProgram.path());
    LResList.Load(FProgram.path());
    AVParams = DefaultAVParams;
    TOptions::Today = [] { return kToday; };
  }
  ~TSettingsSandbox() {
    SetDriveInfo(nullptr);
    LResList.Clear();
    for (size_t i = 0; i < FSaved.size(); ++i) qputenv(kVariables[i], FSaved[i]);
  }

  QString ProgramDir() const { return FProgram.path(); }
  QString LanguageDir() const { return FProgram.filePath("language"); }
  QString ConfigFile() const { return FHome.filePath(".config/Korvane Group/Vexo Player.conf"); }
  void WriteConfig(const QByteArray& bytes) const {
    QDir().mkpath(QFileInfo(ConfigFile()).absolutePath());
    QFile file(ConfigFile());
    if (file.open(QIODevice::WriteOnly)) file.write(bytes);
  }
  QByteArray ReadConfig() const {
    QFile file(ConfigFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }

  TFakeDrives Drives;

 private:
  static constexpr const char* kVariables[] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"};
  QTemporaryDir FHome, FProgram;
  std::vector<QByteArray> FSaved;
};

}  // namespace vexo::test
