#ifndef RAMDISK_TESTS_SUPPORT_FILES_H_
#define RAMDISK_TESTS_SUPPORT_FILES_H_

#include <string>

namespace ramdisk::testing {

// A new, empty directory below the test's temporary folder; its path has no
// trailing "/". The caller removes it (RemoveTree).
std::string MakeScratchDir();

// Creates every missing directory of `path` (mode 0755).
void MakeDirs(const std::string& path);

// Writes `text` to `path`, its parents created first, and gives it `mode`.
// Returns `path`.
std::string WriteFile(const std::string& path, const std::string& text, int mode = 0644);

// Removes `path` and everything below it, never following a symbolic link.
void RemoveTree(const std::string& path);

// What lies below directory `path`, one line per entry in name order: its
// path below `path`, its mode in octal, and a file's text and modification
// time in seconds or a link's target; "" when there is no such directory.
std::string TreeText(const std::string& path);

// The working directory.
std::string WorkingDirectory();

}  // namespace ramdisk::testing

#endif  // RAMDISK_TESTS_SUPPORT_FILES_H_
