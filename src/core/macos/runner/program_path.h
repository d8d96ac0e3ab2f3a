#ifndef RAMDISK_CORE_MACOS_RUNNER_PROGRAM_PATH_H_
#define RAMDISK_CORE_MACOS_RUNNER_PROGRAM_PATH_H_

#include <string>

namespace ramdisk {

// The file to hand to execve for `executable`. A name holding a "/" is a
// path: the file itself when it exists and is not a directory (relative to
// the working directory unless it starts with "/"). Otherwise, and for a
// bare name always, the first "dir/name" that does, for the non-empty
// entries of PATH in order; the working directory is searched only where
// PATH names it ("." or a relative entry). Symbolic links are followed;
// execute permission is not checked. Raises EProcess
// "Executable not found: \"<executable>\"" when nothing matches, also when
// PATH is unset or empty.
std::string FindProgramFile(const std::string& executable);

}  // namespace ramdisk

#endif  // RAMDISK_CORE_MACOS_RUNNER_PROGRAM_PATH_H_
