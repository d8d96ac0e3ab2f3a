#ifndef RAMDISK_CONSOLE_COMMANDS_H_
#define RAMDISK_CONSOLE_COMMANDS_H_

#include <string>

#include "core/macos/disks/ram_disk_list.h"

namespace ramdisk {

// The things one run can do. Each reports failure by raising an
// Exception, which the entry point turns into "General error: " + message.

// `volumes` is the folder below which the system mounts volumes, ending in
// "/": kVolumes for the tool, a folder of their own for tests.

// Creates a memory volume from the "size", "fs", "hidden" and "mount"
// switches, mounted at `volumes` + name or at the folder that "mount"
// names. Every switch is checked before anything runs. With "keep", loads
// the contents of that folder onto it once it is in place (LoadContents),
// under the add's undo.
void AddDisk(const std::string& name, const std::string& volumes);

// The tool never detaches a disk that is not a RAM disk: both forms of
// delete read the RAM disks that ListDisks shows, refuse anything else
// before anything is detached, and detach the whole disk of the one found
// (for APFS the image's disk, never the container on it), forced with
// "-force".

// Both save the contents of a kept volume first (SaveKeptVolume), unless
// "-discard" is given; a save that fails leaves the disk attached.

// Detaches the RAM disk mounted at `volumes` + name: the one whose mount
// points include, byte for byte, the mount point of the file system that
// holds that path (RamDiskMountedAt).
void DelDisk(const std::string& name, const std::string& volumes);

// Detaches the RAM disk mounted at the absolute `path`, by the rule of
// DelDisk; the messages name `path`.
void DelPath(const std::string& path);

// Detaches the RAM disk whose whole disk is `device` ("/dev/disk4").
void DelDevice(const std::string& device);

// Save the contents of the kept RAM disk that DelDisk or DelPath would
// detach to its folder, leaving it attached.
void SaveDisk(const std::string& name, const std::string& volumes);
void SavePath(const std::string& path);

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
