#ifndef RAMDISK_CONSOLE_MOUNT_PATH_H_
#define RAMDISK_CONSOLE_MOUNT_PATH_H_

#include <string>

namespace ramdisk {

// A folder given on the command line (-mount:PATH, -del:PATH) as an
// absolute path: "~/" at its start becomes $HOME and "/", since no shell
// expands "~" after a switch's colon; without trailing "/". Raises EInputError "Invalid mount
// point string: PATH" for a control character (below U+0020, U+007F) and
// "Mount point PATH is not an absolute path" for anything else that does
// not then start with "/", PATH as given.
std::string AbsoluteMountPath(const std::string& given);

// `given` with "~/" at its start replaced by $HOME and "/" when HOME is an
// absolute path; else `given` unchanged.
std::string HomeExpanded(const std::string& given);

// Raises EInputError unless `path` is an existing, empty directory that is
// not a mount point: "Mount point PATH does not exist", "... is already in
// use", "... is not an empty directory", in that order.
void CheckMountFolder(const std::string& path);

}  // namespace ramdisk

#endif  // RAMDISK_CONSOLE_MOUNT_PATH_H_
