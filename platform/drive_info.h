#pragma once
// What kind of volume a path lies on and how much room it has left. The
// options store decides on portable mode from it and the portable copy checks
// its target with it; tests stand in their own answers through SetDriveInfo.
#include <cstdint>
#include <string>
#include <vector>

namespace vexo {

enum TDriveKind : int {
  dkUnknown = 0,
  dkNoRoot = 1,
  dkFixed = 2,
  dkRamDisk = 3,
  dkRemote = 4,
  dkRemovable = 5,
  dkCdRom = 6,
};

class IDriveInfo {
 public:
  virtual ~IDriveInfo() = default;
  virtual int DriveKind(const std::string& path) const = 0;
  // Bytes available to the caller on the volume of path; -1 when unknown.
  virtual int64_t DiskFree(const std::string& path) const = 0;
  // path is the mount point of a volume ("/" included). A stand-in that
  // poses a folder as a drive answers for it; others keep the system's answer.
  virtual bool IsVolumeRoot(const std::string& path) const;
};

// The answer of the running system (mount table, sysfs, statvfs).
IDriveInfo& SystemDriveInfo();
// nullptr puts the system's answer back.
void SetDriveInfo(IDriveInfo* info);
IDriveInfo& CurrentDriveInfo();

int DriveKind(const std::string& path);
int64_t DiskFree(const std::string& path);
bool IsVolumeRoot(const std::string& path);

// One line of /proc/self/mountinfo.
struct TMountEntry {
  std::string MountPoint;
  std::string FsType;
  std::string Source;
  unsigned Major = 0;
  unsigned Minor = 0;
};

std::vector<TMountEntry> ParseMountInfo(const std::string& text);
// The mount holding path (an absolute, resolved path): the longest mount point
// that is path itself or a parent of it; nullptr when none is.
const TMountEntry* FindMount(const std::vector<TMountEntry>& mounts, const std::string& path);
// Kind of a mount; isRemovableDevice tells whether the block device behind it
// reports itself as removable.
int ClassifyMount(const TMountEntry& mount, bool isRemovableDevice);

}  // namespace vexo
