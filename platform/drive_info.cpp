#include "platform/drive_info.h"

#include <sys/statvfs.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace vexo {
namespace {

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// mountinfo writes blanks, tabs, new lines and backslashes as \ooo.
std::string UnescapeOctal(const std::string& field) {
  std::string out;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const char a = field[i + 1], b = field[i + 2], c = field[i + 3];
      if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
        out += static_cast<char>((a - '0') * 64 + (b - '0') * 8 + (c - '0'));
        i += 3;
        continue;
      }
    }
    out += field[i];
  }
  return out;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool IsRemovableBlockDevice(unsigned major, unsigned minor) {
  if (major == 0) return false;  // virtual file systems have no block device
  const std::string dev = "/sys/dev/block/" + std::to_string(major) + ":" + std::to_string(minor);
  std::error_code ec;
  const auto real = std::filesystem::canonical(dev, ec);
  if (ec) return false;
  // USB disks often claim to be fixed; the bus they hang on tells the truth.
  if (real.string().find("/usb") != std::string::npos) return true;
  for (const auto& candidate : {real / "removable", real.parent_path() / "removable"}) {
    const std::string flag = ReadWholeFile(candidate.string());
    if (!flag.empty()) return flag[0] == '1';
  }
  return false;
}

// The deepest existing folder on the way to path, resolved: a folder yet to
// be made is judged by the volume that would hold it.
std::string ResolveExisting(const std::string& path) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(path, ec);
  if (ec) return {};
  for (;;) {
    auto real = std::filesystem::canonical(p, ec);
    if (!ec) return real.string();
    if (p == p.root_path() || p.empty()) return {};
    p = p.parent_path();
  }
}

class TSystemDriveInfo : public IDriveInfo {
 public:
  int DriveKind(const std::string& path) const override {
    if (path.empty()) return dkNoRoot;
    const std::string resolved = ResolveExisting(path);
    if (resolved.empty()) return dkNoRoot;
    const auto mounts = ParseMountInfo(ReadWholeFile("/proc/self/mountinfo"));
    const TMountEntry* mount = FindMount(mounts, resolved);
    if (!mount) return dkUnknown;
    return ClassifyMount(*mount, IsRemovableBlockDevice(mount->Major, mount->Minor));
  }

  int64_t DiskFree(const std::string& path) const override {
    const std::string resolved = ResolveExisting(path);
    struct statvfs fs {};
    if (resolved.empty() || statvfs(resolved.c_str(), &fs) != 0) return -1;
    return static_cast<int64_t>(fs.f_bavail) * static_cast<int64_t>(fs.f_frsize);
  }
};

IDriveInfo* gDriveInfo = nullptr;

}  // namespace

bool IDriveInfo::IsVolumeRoot(const std::string& path) const {
  if (path.empty()) return false;
  std::error_code ec;
  const std::string resolved = std::filesystem::canonical(path, ec).string();
  if (ec) return false;
  const auto mounts = ParseMountInfo(ReadWholeFile("/proc/self/mountinfo"));
  const TMountEntry* mount = FindMount(mounts, resolved);
  return mount && mount->MountPoint == resolved;
}

std::vector<TMountEntry> ParseMountInfo(const std::string& text) {
  std::vector<TMountEntry> mounts;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::vector<std::string> parts;
    std::string field;
    while (fields >> field) parts.push_back(field);
    // id parent major:minor root mount-point options [optional...] - type source ...
    size_t dash = 6;
    while (dash < parts.size() && parts[dash] != "-") ++dash;
    if (parts.size() < 5 || dash + 2 >= parts.size()) continue;
    TMountEntry entry;
    const std::string& dev = parts[2];
    const size_t colon = dev.find(':');
    if (colon != std::string::npos) {
      entry.Major = static_cast<unsigned>(std::strtoul(dev.c_str(), nullptr, 10));
      entry.Minor = static_cast<unsigned>(std::strtoul(dev.c_str() + colon + 1, nullptr, 10));
    }
    entry.MountPoint = UnescapeOctal(parts[4]);
    entry.FsType = parts[dash + 1];
    entry.Source = UnescapeOctal(parts[dash + 2]);
    mounts.push_back(std::move(entry));
  }
  return mounts;
}

const TMountEntry* FindMount(const std::vector<TMountEntry>& mounts, const std::string& path) {
  const TMountEntry* best = nullptr;
  for (const auto& m : mounts) {
    const std::string& mp = m.MountPoint;
    const bool inside = path == mp || mp == "/" ||
                        (StartsWith(path, mp) && path.size() > mp.size() && path[mp.size()] == '/');
    // Later lines stack over earlier ones on the same mount point.
    if (inside && (!best || mp.size() >= best->MountPoint.size())) best = &m;
  }
  return best;
}

int ClassifyMount(const TMountEntry& mount, bool isRemovableDevice) {
  const std::string& fs = mount.FsType;
  if (fs == "iso9660" || fs == "udf" || StartsWith(mount.Source, "/dev/sr")) return dkCdRom;
  if (fs == "tmpfs" || fs == "ramfs") return dkRamDisk;
  if (fs == "nfs" || fs == "nfs4" || fs == "cifs" || fs == "smb3" || fs == "smbfs" || fs == "9p" ||
      fs == "afs" || fs == "fuse.sshfs" || fs == "davfs" || fs == "fuse.rclone")
    return dkRemote;
  if (isRemovableDevice) return dkRemovable;
  return dkFixed;
}

IDriveInfo& SystemDriveInfo() {
  static TSystemDriveInfo info;
  return info;
}

void SetDriveInfo(IDriveInfo* info) {
  gDriveInfo = info;
}

IDriveInfo& CurrentDriveInfo() {
  return gDriveInfo ? *gDriveInfo : SystemDriveInfo();
}

int DriveKind(const std::string& path) {
  return CurrentDriveInfo().DriveKind(path);
}

int64_t DiskFree(const std::string& path) {
  return CurrentDriveInfo().DiskFree(path);
}

bool IsVolumeRoot(const std::string& path) {
  return CurrentDriveInfo().IsVolumeRoot(path);
}

}  // namespace vexo
