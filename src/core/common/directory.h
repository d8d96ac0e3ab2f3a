#ifndef RAMDISK_CORE_COMMON_DIRECTORY_H_
#define RAMDISK_CORE_COMMON_DIRECTORY_H_

#include <string>

namespace ramdisk {

// True when `path` exists and is a directory, symbolic links followed.
bool DirectoryExists(const std::string& path);

}  // namespace ramdisk

#endif  // RAMDISK_CORE_COMMON_DIRECTORY_H_
