// Stand-in for macOS "diskutil": formats a stand-in device with "apfs create",
// "erasevolume" or "eraseDisk" and plays the mount by creating the volume's
// folder; moves a volume with "unmount" and "mount"; and the disk-image verbs that take the place
// of "hdiutil" from macOS 27 on: "image attach", "eject" and "unmountDisk force", on the devices
// that the stand-in "hdiutil" keeps.

#include <errno.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "standin/tools/standin.h"

namespace {

standin::Device FindDevice(const std::string& text) {
  std::optional<int> number = standin::ParseDevice(text);
  std::optional<standin::Device> device;
  if (number)
    device = standin::LoadDevice(*number);
  if (!device)
    standin::Fail(1, "Could not find disk: " + text);
  return *device;
}

// The image whose disk, partition ("disk4s1") or APFS container `id` names.
standin::Device FindImage(const std::string& id) {
  std::string disk = id.rfind("/dev/", 0) == 0 ? id.substr(5) : id;
  std::string::size_type slice = disk.find('s', 4);
  std::optional<int> number = standin::ParseDevice(disk.substr(0, slice));
  for (const standin::Device& device : standin::AllDevices()) {
    if (number && (device.number == *number || device.container == *number))
      return device;
  }
  standin::Fail(1, "Could not find disk: " + id);
}

// Plays the system's mount of the new volume. Without the folder of volumes
// the format still succeeds, unmounted.
void Mount(standin::Device& device, const std::string& name) {
  std::string path = standin::VolumesRoot() + "/" + name;
  device.name = name;
  if (::mkdir(path.c_str(), 0755) == 0)
    device.mount_point = path;
  standin::SaveDevice(device);
}

int ApfsCreate(const std::vector<std::string>& args) {
  if (args.size() != 2)
    standin::Fail(1, "Usage:  diskutil apfs createContainer|create Device Name");
  standin::Device device = FindDevice(args[0]);
  if (device.container == 0)
    standin::AddContainer(device);
  Mount(device, args[1]);
  return 0;
}

// "erasevolume" and "eraseDisk" take the same arguments. An APFS
// personality ("APFS", "APFSX") puts a container on the device, as "apfs
// create" does; the partition map that the real "eraseDisk" writes first
// is left out.
int Erase(const std::string& verb, const std::vector<std::string>& args) {
  if (args.size() != 3)
    standin::Fail(1,
                  "Usage:  diskutil " + verb + " format name MountPoint|DiskIdentifier|DeviceNode");
  standin::Device device = FindDevice(args[2]);
  if (args[0].rfind("APFS", 0) == 0)
    standin::AddContainer(device);
  Mount(device, args[1]);
  return 0;
}

// "image attach [--plist] [--noMount] ram://N". The property list names the
// device by its bare identifier, where "hdiutil" gives the node path.
int ImageAttach(const std::vector<std::string>& args) {
  bool plist = false;
  std::string url;
  for (const std::string& arg : args) {
    if (arg == "--plist" || arg == "--noMount")
      plist = plist || arg == "--plist";
    else if (url.empty() && arg.rfind("-", 0) != 0)
      url = arg;
    else
      standin::Fail(1, "Usage:  diskutil image attach [--plist] [--noMount] ImagePath");
  }
  std::optional<unsigned long long> sectors = standin::RamSectors(url);
  if (!sectors || *sectors == 0)
    standin::Fail(1, "Could not attach image: " + url);
  const std::string name = standin::DeviceName(standin::NewDevice(*sectors).number);
  std::cout << (plist ? standin::AttachOutput(name) : "/dev/" + name + "\t\t\n");
  return 0;
}

// A volume with a file held open is busy; eject has no force of its own.
int Eject(const std::vector<std::string>& args) {
  if (args.size() != 1)
    standin::Fail(1, "Usage:  diskutil eject MountPoint|DiskIdentifier|DeviceNode");
  standin::Device device = FindImage(args[0]);
  if (!standin::ReleaseVolume(device, false))
    standin::Fail(1, "Error: -69888: Couldn't unmount disk");
  standin::RemoveDevice(device);
  std::cout << "Disk " << args[0] << " ejected\n";
  return 0;
}

int UnmountDiskForce(const std::vector<std::string>& args) {
  if (args.size() != 2 || args[0] != "force")
    standin::Fail(1, "Usage:  diskutil unmountDisk force MountPoint|DiskIdentifier|DeviceNode");
  standin::Device device = FindImage(args[1]);
  standin::ReleaseVolume(device, true);
  standin::SaveDevice(device);
  std::cout << "Forced unmount of all volumes on " << args[1] << " was successful\n";
  return 0;
}

// The node of the volume of `device`: the APFS volume on its container,
// else the device itself.
std::string VolumeNode(const standin::Device& device) {
  return device.container != 0 ? standin::DeviceName(device.container) + "s1"
                               : standin::DeviceName(device.number);
}

// The device whose volume `id` names ("/dev/disk5s1", "disk4").
standin::Device FindVolume(const std::string& id) {
  const std::string node = id.rfind("/dev/", 0) == 0 ? id.substr(5) : id;
  for (const standin::Device& device : standin::AllDevices()) {
    if (VolumeNode(device) == node)
      return device;
  }
  standin::Fail(1, "Could not find disk: " + id);
}

int Unmount(const std::vector<std::string>& args) {
  if (args.size() != 1)
    standin::Fail(1, "Usage:  diskutil unmount [force] MountPoint|DiskIdentifier|DeviceNode");
  standin::Device device = FindVolume(args[0]);
  if (device.mount_point.empty())
    standin::Fail(1, "Volume on " + VolumeNode(device) + " is not mounted");
  if (standin::InUse(device.mount_point))
    standin::Fail(1, "Volume " + device.name + " on " + VolumeNode(device) + " failed to unmount");
  standin::UnmountVolume(device);
  std::cout << "Volume " << device.name << " on " << VolumeNode(device) << " unmounted\n";
  return 0;
}

// "mount [nobrowse] [-mountPoint PATH] DEVICE". A volume that is mounted
// already stays where it is, and the run still succeeds.
int MountAgain(const std::vector<std::string>& args) {
  bool browse = true;
  std::string folder, id;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "nobrowse")
      browse = false;
    else if (args[i] == "-mountPoint" && i + 1 < args.size())
      folder = args[++i];
    else if (id.empty() && args[i].rfind("-", 0) != 0)
      id = args[i];
    else
      standin::Fail(1, "Usage:  diskutil mount [nobrowse] [-mountPoint Path] DiskIdentifier");
  }
  standin::Device device = FindVolume(id);
  const std::string node = VolumeNode(device);
  if (!device.mount_point.empty()) {
    std::cout << "Volume " << device.name << " on " << node << " is already mounted\n";
    return 0;
  }
  const std::string mode = standin::Env("RAMDISK_STANDIN_MOUNT");
  if (folder.empty() || mode == "ignore") {
    folder = standin::VolumesRoot() + "/" + device.name;
    if (::mkdir(folder.c_str(), 0755) != 0)
      standin::Fail(1, "Volume on " + node + " failed to mount");
  } else {
    // The system names a mount point with its links resolved.
    char resolved[PATH_MAX];
    struct stat info;
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        ::realpath(folder.c_str(), resolved) == nullptr)
      standin::Fail(1, "Volume on " + node + " failed to mount: no folder " + folder);
    folder = resolved;
  }
  device.browse = browse;
  device.late = mode.rfind("late:", 0) == 0 ? std::atoi(mode.c_str() + 5) : 0;
  standin::MountVolume(device, folder);
  std::cout << "Volume " << device.name << " on " << node << " mounted\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && args.front() == "quiet")
    args.erase(args.begin());
  std::string verb = args.empty() ? "" : args.front();
  if (!args.empty())
    args.erase(args.begin());
  if ((verb == "apfs" || verb == "image") && !args.empty() &&
      args.front() == (verb == "apfs" ? "create" : "attach")) {
    args.erase(args.begin());
    standin::Begin(argc, argv, verb);
    return verb == "apfs" ? ApfsCreate(args) : ImageAttach(args);
  }
  standin::Begin(argc, argv, verb);
  if (verb == "erasevolume" || verb == "eraseDisk")
    return Erase(verb, args);
  if (verb == "eject")
    return Eject(args);
  if (verb == "unmountDisk")
    return UnmountDiskForce(args);
  if (verb == "unmount")
    return Unmount(args);
  if (verb == "mount")
    return MountAgain(args);
  standin::Fail(1,
                "Usage:  diskutil [quiet] <verb> <options>\n"
                "verbs handled by this stand-in: apfs create, erasevolume, eraseDisk, image "
                "attach, eject, unmountDisk force, unmount, mount");
}
