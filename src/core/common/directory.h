#ifndef RAMDISK_CORE_COMMON_DIRECTORY_H_
#define RAMDISK_CORE_COMMON_DIRECTORY_H_

#include <string>

namespace ramdisk {

// True when `path` exists and is a directory, symbolic links followed.
bool DirectoryExists(const std::string& path);

// True when the directory `path` holds no entry but "." and "..". False
// when it cannot be read.
bool IsEmptyDirectory(const std::string& path);

// True when a file system is mounted on the directory `path`: it lies on
// another device than its parent, or is its parent ("/").
bool IsMountPoint(const std::string& path);

// True when `a` and `b` are the same text, or name the same existing
// directory however each is spelt (symbolic links, "/tmp" for
// "/private/tmp"): the same device and inode.
bool NamesSameDirectory(const std::string& a, const std::string& b);

}  // namespace ramdisk

#endif  // RAMDISK_CORE_COMMON_DIRECTORY_H_
