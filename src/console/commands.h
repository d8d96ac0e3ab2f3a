#ifndef RAMDISK_CONSOLE_COMMANDS_H_
#define RAMDISK_CONSOLE_COMMANDS_H_

#include <string>

#include "core/macos/ram_disk_list.h"

namespace ramdisk {

// The four things one run can do. Each reports failure by raising an
// Exception, which the entry point turns into "General error: " + message.

// `volumes` is the folder below which the system mounts volumes, ending in
// "/": kVolumes for the tool, a folder of their own for tests.

// Creates a memory volume mounted at `volumes` + name, from the "size" and
// "fs" switches.
void AddDisk(const std::string& name, const std::string& volumes);

// Detaches the volume mounted at `volumes` + name, forced with "-force".
void DelDisk(const std::string& name, const std::string& volumes);

// Detaches the RAM disk whose whole disk is `device` ("/dev/disk4"), as
// ListDisks shows it, forced with "-force". Any other device is refused
// before anything is detached: the tool never detaches a disk that is not a
// RAM disk.
void DelDevice(const std::string& device);

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
