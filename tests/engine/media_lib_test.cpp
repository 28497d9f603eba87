#include "engine/media/media_lib.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace vexo {
namespace {

namespace fs = std::filesystem;

// A program folder of the test's own, holding whatever libraries a case needs.
class MediaLibFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    MediaLibUnload();
    folder_ = fs::temp_directory_path() /
              ("vexo-medialib-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override {
    MediaLibUnload();
    MediaLibSetSearch(std::string(), true);
    fs::remove_all(folder_);
  }

  // Puts the system's copy of a library into the folder.
  void LinkSystemLibrary(TMediaLib lib) {
    for (const char* dir :
         {"/usr/lib/x86_64-linux-gnu", "/usr/lib/aarch64-linux-gnu", "/usr/lib"}) {
      fs::path source = fs::path(dir) / MediaLibFileName(lib);
      if (fs::exists(source)) {
        fs::create_symlink(fs::canonical(source), folder_ / MediaLibFileName(lib));
        return;
      }
    }
    FAIL() << "no system copy of " << MediaLibFileName(lib);
  }

  void LinkAllBut(TMediaLib missing) {
    for (int lib = 0; lib < mlCount; ++lib)
      if (lib != missing) LinkSystemLibrary(TMediaLib(lib));
  }

  fs::path folder_;
};

TEST_F(MediaLibFolder, SystemLibrariesLoadAndResolveEveryEntryPoint) {
  MediaLibSetSearch(folder_.string(), true);
  ASSERT_TRUE(MediaLibLoad());
  for (int lib = 0; lib < mlCount; ++lib) EXPECT_TRUE(MediaLibIsResolved(TMediaLib(lib)));
  EXPECT_NE(ff::avcodec_find_decoder(AV_CODEC_ID_H264), nullptr);
  EXPECT_EQ(ff::avformat_version() >> 16, unsigned(LIBAVFORMAT_VERSION_MAJOR));
}

TEST_F(MediaLibFolder, MissingFormatLibraryFailsButTheOthersStillLoad) {
  LinkAllBut(mlAvFormat);
  MediaLibSetSearch(folder_.string(), false);
  EXPECT_FALSE(MediaLibLoad());
  EXPECT_FALSE(MediaLibIsLoaded(mlAvFormat));
  EXPECT_EQ(ff::avformat_open_input, nullptr);
  for (TMediaLib lib : {mlAvUtil, mlAvCodec, mlSwResample}) {
    EXPECT_TRUE(MediaLibIsLoaded(lib)) << MediaLibFileName(lib);
    EXPECT_TRUE(MediaLibIsResolved(lib)) << MediaLibFileName(lib);
  }
  EXPECT_NE(ff::avcodec_send_packet, nullptr);

  // Unloading with one library never loaded still releases the others.
  MediaLibUnload();
  for (int lib = 0; lib < mlCount; ++lib) EXPECT_FALSE(MediaLibIsLoaded(TMediaLib(lib)));
  EXPECT_EQ(ff::avcodec_send_packet, nullptr);
}

// Each case puts something unusable where libavutil should be.
struct BrokenUtil {
  const char* name;
  const char* fakeKind;  // a fake library from the build, or nullptr for a garbage file
  bool staysLoaded;      // the file itself opened, only its contents were refused
};

class BrokenUtilLibrary : public MediaLibFolder,
                          public ::testing::WithParamInterface<BrokenUtil> {};

TEST_P(BrokenUtilLibrary, FailsTheLoad) {
  const BrokenUtil& c = GetParam();
  LinkAllBut(mlAvUtil);
  const fs::path target = folder_ / MediaLibFileName(mlAvUtil);
  if (c.fakeKind) {
    fs::copy_file(fs::path(VEXO_FAKE_LIBS_DIR) / c.fakeKind / MediaLibFileName(mlAvUtil), target);
  } else {
    std::ofstream(target) << "not a shared library";
  }
  MediaLibSetSearch(folder_.string(), false);
  EXPECT_FALSE(MediaLibLoad());
  EXPECT_EQ(MediaLibIsLoaded(mlAvUtil), c.staysLoaded);
  EXPECT_FALSE(MediaLibIsResolved(mlAvUtil));
  EXPECT_EQ(ff::av_log_set_level, nullptr) << "a refused library must leave no entry point set";
}

INSTANTIATE_TEST_SUITE_P(Cases, BrokenUtilLibrary,
                         ::testing::Values(BrokenUtil{"MissingEntryPoint", "missing_entry", true},
                                           BrokenUtil{"WrongMajorVersion", "wrong_major", true},
                                           BrokenUtil{"GarbageFile", nullptr, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MediaLibText, StartUpFailureMessage) {
  EXPECT_EQ(MediaLibFailureText(),
            "Some components of Vexo Player were not found. Vexo Player must be reinstalled.");
}

}  // namespace
}  // namespace vexo
