// The installed program: `cmake --install` into a private prefix, the program
// started from there on a private desktop, and the Debian package built from
// the same tree.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/test_desktop.h"
#include "tests/support/test_media.h"

namespace vexo {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A shell command's standard output and error together, and its status.
test::TRunResult Shell(const std::string& command, std::chrono::seconds timeout = 120s) {
  return test::RunProgram({"/bin/sh", "-c", command + " 2>&1"}, {}, timeout);
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + '\n';
  return text;
}

std::string Quoted(const fs::path& path) {
  return "'" + path.string() + "'";
}

fs::path MakeTempFolder(const std::string& stem) {
  std::string pattern = (fs::temp_directory_path() / (stem + "-XXXXXX")).string();
  if (!mkdtemp(pattern.data())) return {};
  return pattern;
}

bool HasFiles(const fs::path& folder) {
  std::error_code error;
  for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error))
    if (it->is_regular_file()) return true;
  return false;
}

// One prefix installed for the whole test program; the build is not touched.
class InstalledProgram : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Root = MakeTempFolder("vexo-install");
    Prefix = Root / "prefix";
    InstallLog = Shell(VEXO_CMAKE_COMMAND " --install " + Quoted(VEXO_BUILD_DIR) + " --prefix " +
                       Quoted(Prefix));
  }
  static void TearDownTestSuite() {
    std::error_code ignored;
    fs::remove_all(Root, ignored);
  }
  void SetUp() override { ASSERT_EQ(InstallLog.Status, 0) << Joined(InstallLog.Lines); }

  static fs::path Root, Prefix;
  static test::TRunResult InstallLog;
};

fs::path InstalledProgram::Root;
fs::path InstalledProgram::Prefix;
test::TRunResult InstalledProgram::InstallLog;

TEST_F(InstalledProgram, LaysOutProgramResourcesDesktopEntryAndIcons) {
  for (const char* file :
       {"bin/vexoplayer", "share/vexoplayer/language/English.lrf",
        "share/vexoplayer/language/language.ini", "share/vexoplayer/Skins/DarkGlass.qss",
        "share/applications/vexoplayer.desktop", "share/icons/hicolor/scalable/apps/vexoplayer.svg",
        "share/icons/hicolor/48x48/apps/vexoplayer.png",
        "share/icons/hicolor/128x128/apps/vexoplayer.png"})
    EXPECT_TRUE(fs::is_regular_file(Prefix / file)) << file;
  EXPECT_TRUE(fs::is_directory(Prefix / "share/vexoplayer/help"));
  EXPECT_EQ(access((Prefix / "bin/vexoplayer").c_str(), X_OK), 0);
  // Developer tools and tests stay in the build tree.
  EXPECT_FALSE(fs::exists(Prefix / "bin/vexo-play"));
  EXPECT_FALSE(fs::exists(Prefix / "bin/vexo-bench"));
  EXPECT_FALSE(fs::exists(Prefix / "bin/language"));
}

TEST_F(InstalledProgram, DesktopEntryPassesTheValidator) {
  for (const fs::path& entry : {fs::path(VEXO_SOURCE_DIR "/resources/vexoplayer.desktop"),
                                Prefix / "share/applications/vexoplayer.desktop"}) {
    const test::TRunResult check = Shell("/usr/bin/desktop-file-validate " + Quoted(entry));
    EXPECT_EQ(check.Status, 0) << entry << '\n' << Joined(check.Lines);
    // Hints and warnings are faults too: the validator reports them without failing.
    EXPECT_TRUE(check.Lines.empty()) << entry << '\n' << Joined(check.Lines);
  }
}

// Whether the installed program runs in portable mode decides the window's
// title, which then carries a text of the installed language file.
struct TStartCase {
  const char* Name;
  bool SettingsBeside;  // vexoplayer.ini beside the executable
  const char* Title;
};

void PrintTo(const TStartCase& c, std::ostream* out) {
  *out << c.Name;
}

class InstalledProgramStarts : public InstalledProgram,
                               public ::testing::WithParamInterface<TStartCase> {};

// The names of the top-level windows of the private X display.
std::string WindowNames() {
  return Joined(Shell("/usr/bin/xwininfo -root -children", 10s).Lines);
}

bool WaitForWindow(const std::string& quotedTitle, std::chrono::seconds timeout) {
  const auto limit = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < limit) {
    if (WindowNames().find(quotedTitle) != std::string::npos) return true;
    std::this_thread::sleep_for(200ms);
  }
  return false;
}

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Whether the process holds the file open.
bool WaitForOpenFile(pid_t pid, const fs::path& file, std::chrono::seconds timeout) {
  const fs::path fds = "/proc/" + std::to_string(pid) + "/fd";
  const auto limit = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < limit) {
    std::error_code error;
    for (fs::directory_iterator it(fds, error), end; !error && it != end; it.increment(error))
      if (fs::read_symlink(it->path(), error) == file) return true;
    std::this_thread::sleep_for(200ms);
  }
  return false;
}

TEST_P(InstalledProgramStarts, ShowsItsWindowOpensAClipAndEndsCleanlyOnTerminate) {
  const TStartCase& c = GetParam();
  const fs::path home = Root / (std::string("home-") + c.Name);
  const fs::path config = home / ".config";
  const fs::path runtime = home / "run";
  const fs::path clip = home / "clips/a_clip.avi";
  fs::create_directories(config);
  fs::create_directories(runtime);
  fs::create_directories(clip.parent_path());
  fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
  ASSERT_TRUE(fs::copy_file(test::MediaPath("mpeg4_mp3.avi"), clip));
  // The browser starts on the clip and the player opens it, as after a run
  // that ended with the clip selected.
  const std::string settings =
      "[Dynamic]\ndPlayTreeTop=Desktop\ndPlayTreeSel=Desktop\\\\Home\\\\clips\\\\a_clip.avi\n"
      "dPlayTreeExp=1\n";
  const fs::path store =
      c.SettingsBeside ? Prefix / "bin/vexoplayer.ini" : config / "Korvane Group/Vexo Player.conf";
  fs::create_directories(store.parent_path());
  std::ofstream(store) << settings;

  // The program gets the home and folders above; the desktop gives the rest.
  test::TTestDesktop desktop({.Sound = true, .Bus = true, .Home = false});
  ASSERT_TRUE(desktop.Ready()) << desktop.Failure();
  const std::string busAddress = desktop.BusAddress();

  {
    test::TChildProcess program(
        {(Prefix / "bin/vexoplayer").string()},
        {"HOME=" + home.string(), "XDG_CONFIG_HOME=" + config.string(),
         "XDG_DATA_HOME=" + (home / ".local/share").string(), "XDG_RUNTIME_DIR=" + runtime.string(),
         "QT_QPA_PLATFORM=xcb", "PULSE_SERVER=" + desktop.PulseAddress(),
         "DBUS_SESSION_BUS_ADDRESS=" + busAddress,
         "DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent"});
    ASSERT_TRUE(program.Started());
    // xwininfo prints a window's name in double quotes.
    const std::string title = std::string("\"") + c.Title + "\"";
    EXPECT_TRUE(WaitForWindow(title, 60s)) << WindowNames();
    // The desktop ties the window to vexoplayer.desktop by its class and shows our icon.
    const std::string properties = Joined(
        Shell(std::string("/usr/bin/xprop -name '") + c.Title + "' WM_CLASS _NET_WM_ICON").Lines);
    EXPECT_NE(properties.find("\"vexoplayer\""), std::string::npos) << properties;
    EXPECT_NE(properties.find("_NET_WM_ICON(CARDINAL) ="), std::string::npos) << properties;
    // A portable program starts its browser on its own drive instead.
    if (!c.SettingsBeside) {
      EXPECT_TRUE(WaitForOpenFile(program.Pid(), clip, 30s));
    }
    kill(program.Pid(), SIGTERM);
    EXPECT_EQ(program.Wait(30s), 0);
  }
  if (c.SettingsBeside) {
    // A portable program writes nothing at exit, in its folder or the user's.
    EXPECT_EQ(ReadAll(store), settings);
    EXPECT_FALSE(HasFiles(config));
    fs::remove(store);
  } else {
    // An installed one keeps its settings, the window's place among them.
    EXPECT_NE(ReadAll(store).find("[Window]"), std::string::npos) << ReadAll(store);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Modes, InstalledProgramStarts,
    ::testing::Values(TStartCase{"Installed", false, "Vexo Player"},
                      TStartCase{"PortableBesideTheExecutable", true, "Vexo Player (portable)"}),
    [](const ::testing::TestParamInfo<TStartCase>& info) { return info.param.Name; });

// The package is built from the build tree into a folder of its own.
TEST(DebianPackage, HoldsTheProgramAndDependsOnTheLibrariesItUses) {
  const fs::path out = MakeTempFolder("vexo-package");
  ASSERT_FALSE(out.empty());
  const test::TRunResult pack =
      Shell(VEXO_CPACK_COMMAND " -G DEB --config " +
                Quoted(fs::path(VEXO_BUILD_DIR) / "CPackConfig.cmake") + " -B " + Quoted(out),
            300s);
  ASSERT_EQ(pack.Status, 0) << Joined(pack.Lines);
  fs::path deb;
  for (const fs::directory_entry& entry : fs::directory_iterator(out))
    if (entry.path().extension() == ".deb") deb = entry.path();
  ASSERT_FALSE(deb.empty()) << Joined(pack.Lines);

  const std::string depends =
      Joined(Shell("/usr/bin/dpkg-deb -f " + Quoted(deb) + " Depends").Lines);
  // Linked (found by the package tools) and opened at run time (named by the build).
  for (const char* package :
       {"libqt6widgets6", "libqt6gui6", "libqt6core6", "libpulse0", "libasound2", "libturbojpeg0",
        "libexif12", "libxv1", "libx11-6", "libstdc++6", "libavformat59", "libavcodec59",
        "libavutil57", "libswresample4", "libswscale6", "libqt6svg6", "libheif1", "libass9"})
    EXPECT_NE(depends.find(package), std::string::npos) << package << " in " << depends;
  // Headers and build tools are not needed to run it.
  EXPECT_EQ(depends.find("-dev"), std::string::npos) << depends;

  const std::string contents = Joined(Shell("/usr/bin/dpkg-deb -c " + Quoted(deb)).Lines);
  for (const char* file : {"./usr/bin/vexoplayer", "./usr/share/vexoplayer/language/English.lrf",
                           "./usr/share/applications/vexoplayer.desktop",
                           "./usr/share/icons/hicolor/128x128/apps/vexoplayer.png"})
    EXPECT_NE(contents.find(file), std::string::npos) << file;
  EXPECT_EQ(contents.find("vexo-play"), std::string::npos);

  std::error_code ignored;
  fs::remove_all(out, ignored);
}

}  // namespace
}  // namespace vexo
