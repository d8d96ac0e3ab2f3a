#ifndef RAMDISK_CORE_COMMON_FILE_TREE_H_
#define RAMDISK_CORE_COMMON_FILE_TREE_H_

#include <string>
#include <vector>

namespace ramdisk {

// Whether anything, a dangling symbolic link included, has the name `path`.
bool PathExists(const std::string& path);

// The names in directory `path`, without "." and "..", in the order the
// system gives them; `error` is 0, or the error number when it cannot be
// read (the names then empty).
std::vector<std::string> EntryNames(const std::string& path, int& error);

// Removes `path` and, for a directory, everything below it; symbolic links
// are removed, never followed, and a directory is made writable by its
// owner before it is emptied. 0 when nothing is left (also when there was
// nothing), else the error number of the first failure.
int RemoveTree(const std::string& path);

// Writes to stable storage every regular file and directory from `path`
// down, `path` included, with fsync(); symbolic links are not followed.
// 0, or the error number of the first failure. What cannot be opened is
// flushed with sync() instead.
int FlushTree(const std::string& path);

}  // namespace ramdisk

#endif  // RAMDISK_CORE_COMMON_FILE_TREE_H_
