#ifndef RAMDISK_CONSOLE_COMMANDS_H_
#define RAMDISK_CONSOLE_COMMANDS_H_

#include <string>

namespace ramdisk {

// The three things one run can do. Each reports failure by raising an
// Exception, which the entry point turns into "General error: " + message.

// Creates a memory volume mounted at "/Volumes/" + name, from the "size" and
// "fs" switches.
void AddDisk(const std::string& name);

// Detaches the volume mounted at "/Volumes/" + name, forced with "-force".
void DelDisk(const std::string& name);

// Writes the banner and the usage text.
void WriteHelp();

}  // namespace ramdisk

#endif  // RAMDISK_CONSOLE_COMMANDS_H_
