#ifndef RAMDISK_STANDIN_TOOLS_STANDIN_H_
#define RAMDISK_STANDIN_TOOLS_STANDIN_H_

// Shared machinery of the stand-in disk tools that play "hdiutil" and
// "diskutil" on systems without them. They keep their devices as files in a
// state directory and mount by creating a folder for the volume.
//
// Environment:
//   RAMDISK_STANDIN_STATE   state directory (default: $TMPDIR or /tmp, then
//                           "ramdisk-standin-" + uid)
//   RAMDISK_STANDIN_VOLUMES folder below which volumes are mounted (default:
//                           /Volumes, as on macOS)
//   RAMDISK_STANDIN_LOG     file that receives one line per invocation: the
//                           argument vector, argv[0] included, joined by tabs,
//                           with "\\", tab, line feed and carriage return
//                           escaped as \\ \t \n \r
//   RAMDISK_STANDIN_MACOS_VERSION   the macOS release played: its product
//   RAMDISK_STANDIN_DARWIN_VERSION  version ("27.0") and Darwin release
//                           ("26.0.0"). From macOS 27 on, as the tool
//                           tells it from the two (ImageToolFor), every run
//                           of "hdiutil" starts with the deprecation warning
//                           of its verb on standard error (and still
//                           succeeds). The platform stand-in's sysctlbyname
//                           answers with them too.
//   RAMDISK_STANDIN_FAIL_<VERB>    "STATUS:TEXT": the verb writes TEXT to
//                           standard error and exits with STATUS
//   RAMDISK_STANDIN_SIGNAL_<VERB>  a signal number the verb dies of
//   RAMDISK_STANDIN_ATTACH_OUTPUT  what an attach's property list is
//                           replaced with: "malformed", "nodevice",
//                           "emptydevice", "empty", or "file:PATH" for the
//                           bytes of that file
//   RAMDISK_STANDIN_MOUNT   how "diskutil mount" misbehaves: "ignore", exit
//                           0 but mount where the system would, whatever
//                           -mountPoint says; "late:N", the listing shows
//                           the mount only from its (N+1)th run on
// VERB is ATTACH, DETACH, INFO or CREATE of "hdiutil"; APFS, ERASEVOLUME,
// IMAGE (image attach), EJECT, UNMOUNTDISK, INFO, UNMOUNT or MOUNT of
// "diskutil"; DITTO of "ditto", which has an injection of its own
// (ditto.cc).
//
// A volume is busy, and only a forced detach, eject or unmount takes it
// away, while a process holds a file on it open (InUse).

#include <optional>
#include <string>
#include <vector>

namespace standin {

struct Device {
  int number = 0;  // /dev/disk<number>
  unsigned long long sectors = 0;
  int container = 0;        // the APFS container disk on top of it; 0: none
  std::string personality;  // its file system ("Case-sensitive APFS"); empty: none
  std::string image;        // the image file behind it; empty: RAM ("ram://N")
  std::string mount_point;  // empty while not mounted
  std::string name;         // the volume's, given by the format
  bool browse = true;       // false: mounted "nobrowse"
  int late = 0;             // runs of "hdiutil info" yet to show it unmounted
};

// Records the invocation, writes `warning` (when not empty) as a line to
// standard error, then plays any injected failure or signal for `verb`.
void Begin(int argc, char** argv, const std::string& verb,
           const std::string& warning = std::string());

// Whether the release played is macOS 27 or later, as the tool tells.
bool DeprecatesHdiutil();

// What an attach of a RAM device prints: its property list naming the
// device as `dev_entry`, or what RAMDISK_STANDIN_ATTACH_OUTPUT asks for.
std::string AttachOutput(const std::string& dev_entry);

// N of "ram://N"; none for any other text.
std::optional<unsigned long long> RamSectors(const std::string& url);

// `text` with "&", "<" and ">" escaped for a property list's string.
std::string XmlEscaped(const std::string& text);

// A file system as "diskutil info" names it: its personality ("Case-sensitive
// APFS"), type ("apfs") and user-visible name ("APFS (Case-sensitive)").
struct FileSystemKind {
  std::string personality;
  std::string type;
  std::string user_visible;
};

// The kind that `format` names, as the disk tools take it: a personality or
// its short form ("APFSX", "JHFS+", "FAT32"), in any case. None for a
// format the system does not know.
std::optional<FileSystemKind> FileSystemFor(const std::string& format);

// Writes `text` to standard error and exits with `status`.
[[noreturn]] void Fail(int status, const std::string& text);

std::string DeviceName(int number);  // "disk4"

// Accepts "/dev/diskN" and "diskN".
std::optional<int> ParseDevice(const std::string& text);

// Claims the lowest free device number from 4 up.
Device NewDevice(unsigned long long sectors);
// Claims the lowest free device number for the APFS container on `device`
// and saves the device with it. Attaches take other numbers until the
// device is removed.
void AddContainer(Device& device);
// None for a number that is free or claimed by a container.
std::optional<Device> LoadDevice(int number);
// In the order of their numbers.
std::vector<Device> AllDevices();
void SaveDevice(const Device& device);
// Frees the device's number and its container's.
void RemoveDevice(const Device& device);

// Removes `path` and, for a directory, everything below it; symbolic links
// are removed, never followed. Quietly leaves whatever cannot be removed.
void RemoveTree(const std::string& path);

// The names of the entries of directory `path` but "." and ".."; none when
// it cannot be read.
std::vector<std::string> Entries(const std::string& path);

// Whether a process other than this one holds a file below `path` open, or
// has its working directory there: a volume that the system would call
// busy. Asks "lsof" from PATH, which macOS has too; fails with a line that
// says so when there is none.
bool InUse(const std::string& path);

// Where volumes are mounted: $RAMDISK_STANDIN_VOLUMES, else "/Volumes".
std::string VolumesRoot();

// The value of an environment variable; empty when unset.
std::string Env(const std::string& name);

// A volume's files follow it as on a Mac. While it is unmounted they are
// kept in the state directory; the system's folder for it, VolumesRoot()
// + "/" + name, goes with the mount, and a folder of the user's choice
// stays, empty.

// Takes the volume of `device` off its mount point, keeping its files.
void UnmountVolume(Device& device);
// Mounts the volume of the unmounted `device` at the existing folder
// `folder`, with the files it kept.
void MountVolume(Device& device, const std::string& folder);
// Takes the volume of `device` off its mount point for good, before the
// device goes, with its files. False, leaving all as it was, when unforced
// and the volume is busy (InUse).
bool ReleaseVolume(Device& device, bool force);

}  // namespace standin

#endif  // RAMDISK_STANDIN_TOOLS_STANDIN_H_
