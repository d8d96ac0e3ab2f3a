#ifndef RAMDISK_CORE_MACOS_PROGRAM_PATH_H_
#define RAMDISK_CORE_MACOS_PROGRAM_PATH_H_

#include <string>

namespace ramdisk {

// The file to hand to execve for `executable`: the name itself when it names
// an existing file that is not a directory (relative to the working
// directory unless it holds a "/"); otherwise the first "dir/name" that does,
// for the non-empty entries of PATH in order. Symbolic links are followed;
// execute permission is not checked. Raises EProcess
// "Executable not found: \"<executable>\"" when nothing matches, also when
// PATH is unset or empty.
std::string FindProgramFile(const std::string& executable);

}  // namespace ramdisk

#endif  // RAMDISK_CORE_MACOS_PROGRAM_PATH_H_
