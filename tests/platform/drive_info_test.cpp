#include "platform/drive_info.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace vexo {
namespace {

const char* const kMountInfo =
    "22 1 8:2 / / rw,relatime shared:1 - ext4 /dev/sda2 rw\n"
    "23 22 0:21 / /proc rw,nosuid - proc proc rw\n"
    "40 22 0:35 / /tmp rw shared:5 - tmpfs tmpfs rw\n"
    "41 22 8:17 / /media/user/USB\\040STICK rw,nosuid shared:7 - vfat /dev/sdb1 rw\n"
    "42 22 11:0 / /media/user/DVD ro,nosuid shared:8 - iso9660 /dev/sr0 ro\n"
    "43 22 0:50 / /mnt/share rw shared:9 - cifs //server/share rw\n"
    "44 22 8:2 /srv /media rw - ext4 /dev/sda2 rw\n"
    "broken line\n"
    "45 22 0:51 / /media/user/USB\\040STICK/inner rw - tmpfs tmpfs rw\n";

TEST(DriveInfo, MountInfoLinesAreParsedAndUnescaped) {
  const auto mounts = ParseMountInfo(kMountInfo);
  ASSERT_EQ(mounts.size(), 8u);
  EXPECT_EQ(mounts[3].MountPoint, "/media/user/USB STICK");
  EXPECT_EQ(mounts[3].FsType, "vfat");
  EXPECT_EQ(mounts[3].Source, "/dev/sdb1");
  EXPECT_EQ(mounts[3].Major, 8u);
  EXPECT_EQ(mounts[3].Minor, 17u);
}

TEST(DriveInfo, PathsFindTheirVolumeAndKind) {
  const auto mounts = ParseMountInfo(kMountInfo);
  struct Case {
    const char* Path;
    const char* MountPoint;
    bool Removable;
    int Kind;
  } cases[] = {
      {"/home/user/video.avi", "/", false, dkFixed},
      {"/", "/", false, dkFixed},
      {"/tmpfile", "/", false, dkFixed},  // a name that only starts like a mount point
      {"/tmp/x", "/tmp", false, dkRamDisk},
      {"/media/user/USB STICK/vexoplayer", "/media/user/USB STICK", true, dkRemovable},
      {"/media/user/USB STICK/inner/a", "/media/user/USB STICK/inner", false, dkRamDisk},
      {"/media/user/DVD/vexoplayer", "/media/user/DVD", false, dkCdRom},
      {"/mnt/share/films", "/mnt/share", false, dkRemote},
      {"/media/other", "/media", false, dkFixed},
  };
  for (const Case& c : cases) {
    const TMountEntry* mount = FindMount(mounts, c.Path);
    ASSERT_NE(mount, nullptr) << c.Path;
    EXPECT_EQ(mount->MountPoint, c.MountPoint) << c.Path;
    EXPECT_EQ(ClassifyMount(*mount, c.Removable), c.Kind) << c.Path;
  }
  EXPECT_EQ(FindMount(ParseMountInfo(""), "/x"), nullptr);
}

TEST(DriveInfo, SystemAnswersForThisMachine) {
  EXPECT_EQ(SystemDriveInfo().DriveKind(""), dkNoRoot);
  const int root = SystemDriveInfo().DriveKind("/");
  EXPECT_GE(root, dkFixed);
  EXPECT_LE(root, dkCdRom);
  // A folder yet to be made is judged by the volume that would hold it.
  EXPECT_EQ(SystemDriveInfo().DriveKind("/proc/not/there"), SystemDriveInfo().DriveKind("/proc"));
  EXPECT_GT(SystemDriveInfo().DiskFree("/"), 0);
  EXPECT_GT(SystemDriveInfo().DiskFree("/no/such/folder/below/root"), 0);
}

TEST(DriveInfo, TestsCanStandInTheirOwnDrives) {
  struct TFake : IDriveInfo {
    int DriveKind(const std::string&) const override { return dkRemovable; }
    int64_t DiskFree(const std::string&) const override { return -1; }
  } fake;
  SetDriveInfo(&fake);
  EXPECT_EQ(DriveKind("/"), dkRemovable);
  EXPECT_EQ(DiskFree("/"), -1);
  SetDriveInfo(nullptr);
  EXPECT_NE(DiskFree("/"), -1);
}

}  // namespace
}  // namespace vexo
