#include "core/macos/disks/volume_placement.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>
#include <vector>

#include "core/common/directory.h"
#include "core/common/messages.h"
#include "core/common/pause.h"
#include "core/common/unique_fd.h"
#include "core/macos/disks/memory_volume.h"
#include "core/macos/disks/ram_disk_list.h"

namespace ramdisk {

namespace {

[[noreturn]] void CannotWrite(const std::string& path) {
  throw EVolumeError(FormatMessage(messages::kMarkerNotWritten, {path, std::strerror(errno)}));
}

void WriteEmptyFile(const std::string& path) {
  const UniqueFd file(::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
  if (!file.valid())
    CannotWrite(path);
}

// The node of the entity of `device`'s RAM disk mounted at `mount_point`
// in one reading of the listing; empty when there is none.
std::string NodeMountedAt(const std::string& device, const std::string& mount_point) {
  for (const TRamDisk& disk : ListRamDisks()) {
    if (disk.Device != device)
      continue;
    for (std::size_t i = 0; i < disk.MountPoints.size(); ++i) {
      if (!disk.MountedDevices[i].empty() && NamesSameDirectory(disk.MountPoints[i], mount_point))
        return disk.MountedDevices[i];
    }
  }
  return "";
}

}  // namespace

void WriteQuietMarkers(const std::string& root) {
  WriteEmptyFile(root + "/.metadata_never_index");
  // The system may have made the folder already.
  const std::string events = root + "/.fseventsd";
  if (::mkdir(events.c_str(), 0755) != 0 && errno != EEXIST)
    CannotWrite(events);
  WriteEmptyFile(events + "/no_log");
}

std::string VolumeNodeAt(const std::string& device, const std::string& mount_point) {
  const std::string node = NodeMountedAt(device, mount_point);
  if (node.empty())
    throw EVolumeError(FormatMessage(messages::kNoDeviceMountedAt, mount_point));
  return node;
}

void AwaitMount(const std::string& device, const std::string& node,
                const std::string& mount_point) {
  for (int check = 1;; ++check) {
    if (NodeMountedAt(device, mount_point) == node)
      return;
    if (check == kMountChecks)
      throw EVolumeError(FormatMessage(messages::kNotMountedAt, mount_point));
    Pause(kMountCheckInterval);
  }
}

}  // namespace ramdisk
