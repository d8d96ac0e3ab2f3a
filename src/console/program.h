#ifndef RAMDISK_CONSOLE_PROGRAM_H_
#define RAMDISK_CONSOLE_PROGRAM_H_

#include <string>

namespace ramdisk {

// The whole process: records the arguments, starts the modules, runs the
// main block, writes out buffered output and shuts the modules down again.
// Returns the exit status: 0, 2 after a reported error, 217 when an error
// escaped the handler (reported on standard error).
int RunProgram(int argc, char** argv);

// Performs at most one command and reports any error on standard output.
// Returns 0, or 2 after a reported error.
int MainBlock();

// Accepts a command value as a volume name, or raises EInputError.
std::string GetMountPoint(const std::string& command_value);

// The folder below which the system mounts volumes.
inline constexpr char kVolumes[] = "/Volumes/";

// Where the volume `name` is mounted: `volumes` (kVolumes for the tool)
// followed by the name.
inline std::string MountPointPath(const std::string& volumes, const std::string& name) {
  return volumes + name;
}

}  // namespace ramdisk

#endif  // RAMDISK_CONSOLE_PROGRAM_H_
