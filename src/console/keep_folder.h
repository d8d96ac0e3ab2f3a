#ifndef RAMDISK_CONSOLE_KEEP_FOLDER_H_
#define RAMDISK_CONSOLE_KEEP_FOLDER_H_

#include <string>

#include "core/common/string_array.h"

namespace ramdisk {

// The folder of "-keep:DIR" for a new volume that will be mounted at
// `mount_points` (the system's, and a folder of the user's; an empty one
// is none), checked before anything is made: `value` is absolute or
// starts with "~/" (expanded from HOME), holds no character below U+0020
// nor U+007F, names an existing directory or one whose parent is an
// existing directory, and neither lies on a RAM disk nor at or below one
// of `mount_points`. Returns it as an absolute path without a trailing "/",
// through no symbolic link; raises EInputError naming `value` otherwise.
// Reads the RAM disks as ListRamDisks does.
std::string CheckedKeepFolder(const std::string& value, const TStringArray& mount_points);

// When the volume mounted at `mount_point` is kept, saves its contents to its folder (SaveContents)
// between the lines "Saving memory volume to DIR..." and "Saved memory volume MOUNTPOINT to DIR";
// raises the save's error, and EInputError "Folder DIR lies on a RAM disk" when DIR is at or
// below `mount_point`. True when it saved.
bool SaveKeptVolume(const std::string& mount_point);

}  // namespace ramdisk

#endif  // RAMDISK_CONSOLE_KEEP_FOLDER_H_
