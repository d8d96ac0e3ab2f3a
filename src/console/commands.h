#ifndef RAMDISK_CONSOLE_COMMANDS_H_
#define RAMDISK_CONSOLE_COMMANDS_H_

#include <string>

#include "core/macos/ram_disk_list.h"

namespace ramdisk {

// The four things one run can do. Each reports failure by raising an
// Exception, which the entry point turns into "General error: " + message.

// Creates a memory volume mounted at "/Volumes/" + name, from the "size" and
// "fs" switches.
void AddDisk(const std::string& name);

// Detaches the volume mounted at "/Volumes/" + name, forced with "-force".
void DelDisk(const std::string& name);

// Writes a line for each RAM disk that "hdiutil info" lists, once it has
// answered; nothing when there is none.
void ListDisks();

// The line of ListDisks for `disk`: its device, its size as SizeText gives
// it and its mount points joined by ", ", separated by tabs. "-" stands for
// an unknown device or size and for no mount point.
std::string ListingLine(const TRamDisk& disk);

// Writes the banner and the usage text.
void WriteHelp();

}  // namespace ramdisk

#endif  // RAMDISK_CONSOLE_COMMANDS_H_
