#include "console/keep_folder.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <cstdlib>
#include <memory>

#include "console/input_error.h"
#include "console/mount_path.h"
#include "core/common/ascii.h"
#include "core/common/directory.h"
#include "core/common/messages.h"
#include "core/common/text_output.h"
#include "core/macos/disks/kept_contents.h"
#include "core/macos/disks/mount_point.h"
#include "core/macos/disks/ram_disk_list.h"

namespace ramdisk {

namespace {

// `path` through no symbolic link; `path` itself where that fails.
std::string Resolved(const std::string& path) {
  struct Freer {
    void operator()(char* text) const { std::free(text); }
  };
  const std::unique_ptr<char, Freer> real(::realpath(path.c_str(), nullptr));
  return real ? std::string(real.get()) : path;
}

bool IsAtOrBelow(const std::string& path, const std::string& top) {
  return path == top || StartsWith(path, top == "/" ? top : top + "/");
}

}  // namespace

std::string CheckedKeepFolder(const std::string& value, const TStringArray& mount_points) {
  if (value.empty() || HoldsControlCharacter(value))
    throw EInputError(FormatMessage(messages::kInvalidFolder, value));
  std::string path = HomeExpanded(value);
  if (path[0] != '/' || HoldsControlCharacter(path))
    throw EInputError(FormatMessage(messages::kFolderNotAbsolute, value));
  while (path.size() > 1 && path.back() == '/')
    path.pop_back();
  const std::string::size_type slash = path.rfind('/');
  const std::string parent = slash == 0 ? "/" : path.substr(0, slash);
  const std::string base = path.substr(slash + 1);
  // The folder needs a parent for its siblings, and a name of its own.
  if (base.empty() || base == "." || base == "..")
    throw EInputError(FormatMessage(messages::kInvalidFolder, value));

  struct stat info;
  std::string existing;
  if (::lstat(path.c_str(), &info) == 0) {
    if (!DirectoryExists(path))
      throw EInputError(FormatMessage(messages::kNotAFolder, value));
    path = existing = Resolved(path);
  } else {
    if (!DirectoryExists(parent))
      throw EInputError(FormatMessage(messages::kFolderParentMissing, value));
    existing = Resolved(parent);
    path = (existing == "/" ? "" : existing) + "/" + base;
  }

  bool on_ram_disk = false;
  for (const std::string& point : mount_points)
    on_ram_disk = on_ram_disk || (!point.empty() && IsAtOrBelow(path, Resolved(point)));
  const std::string holding = MountPointHolding(existing);
  for (const TRamDisk& disk : ListRamDisks()) {
    for (const std::string& point : disk.MountPoints)
      on_ram_disk = on_ram_disk || IsAtOrBelow(holding, Resolved(point));
  }
  if (on_ram_disk)
    throw EInputError(FormatMessage(messages::kFolderOnRamDisk, value));
  return path;
}

bool SaveKeptVolume(const std::string& mount_point) {
  const std::string dir = KeptFolder(mount_point);
  if (dir.empty())
    return false;
  // A copy into the volume itself would never end.
  if (IsAtOrBelow(dir, mount_point))
    throw EInputError(FormatMessage(messages::kFolderOnRamDisk, dir));
  StdOut().WriteLine("Saving memory volume to " + dir + "...");
  SaveContents(mount_point, dir);
  StdOut().WriteLine("Saved memory volume " + mount_point + " to " + dir);
  return true;
}

}  // namespace ramdisk
