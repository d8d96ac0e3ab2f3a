#include "console/commands.h"

#include <string_view>

#include "console/input_error.h"
#include "console/keep_folder.h"
#include "console/mount_path.h"
#include "console/program.h"
#include "console/size_value.h"
#include "core/common/ascii.h"
#include "core/common/command_line.h"
#include "core/common/directory.h"
#include "core/common/messages.h"
#include "core/common/text_output.h"
#include "core/macos/disks/kept_contents.h"
#include "core/macos/disks/memory_volume.h"
#include "core/macos/disks/system_info.h"

namespace ramdisk {

namespace {

struct FileSystemKeyword {
  std::string_view keyword;
  TFileSystem file_system;
};

// The raw file system is no choice on the command line.
constexpr FileSystemKeyword kKeywords[] = {{"fat32", fsFAT32}, {"exfat", fsExFAT},
                                           {"hfs+", fsHFS},    {"apfs", fsAPFS},
                                           {"apfsx", fsAPFSX}, {"hfsx", fsHFSX}};

TFileSystem ParseFileSystem(const std::string& value) {
  for (const FileSystemKeyword& entry : kKeywords) {
    if (EqualsIgnoringAsciiCase(value, entry.keyword))
      return entry.file_system;
  }
  throw EInputError(FormatMessage(messages::kInvalidFileSystem, value));
}

}  // namespace

void AddDisk(const std::string& name, const std::string& volumes) {
  const std::string mount_point = MountPointPath(volumes, name);
  if (DirectoryExists(mount_point))
    throw EInputError(FormatMessage(messages::kMountPointInUse, name));

  TMemoryVolume volume;
  std::string value;
  if (!FindCmdLineSwitch("size", value))
    throw EInputError(messages::kSizeNotGiven);
  volume.Size = GetSize(value, PhysicalMemoryBytes());
  if (FindCmdLineSwitch("fs", value))
    volume.FileSystem = ParseFileSystem(value);
  if (FindCmdLineSwitch("mount", value)) {
    volume.MountPoint = AbsoluteMountPath(value);
    CheckMountFolder(volume.MountPoint);
  }
  volume.Hidden = FindCmdLineSwitch("hidden");
  std::string keep;
  if (FindCmdLineSwitch("keep", value))
    keep = CheckedKeepFolder(value, {mount_point, volume.MountPoint});

  // All input is accepted from here on.
  StdOut().WriteLine("Creating memory volume...");
  volume.Name = name;
  volume.SystemMountPoint = mount_point;
  if (!keep.empty()) {
    volume.OnMounted = [&] {
      StdOut().WriteLine("Loading memory volume from " + keep + "...");
      LoadContents(keep, volume.MountedAt);
    };
  }
  volume.CreateVolume();
  StdOut().WriteLine("Created memory volume " + volume.MountedAt);
}

}  // namespace ramdisk
