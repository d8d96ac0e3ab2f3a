// Stand-in for macOS "diskutil": formats a stand-in device with "apfs create"
// or "erasevolume" and plays the mount by creating the volume's folder;
// moves a volume with "unmount" and "mount"; the disk-image verbs that take
// the place of "hdiutil" from macOS 27 on: "image attach", "eject" and
// "unmountDisk force", on the devices that the stand-in "hdiutil" keeps; and
// "info -plist", the system's own view of a device or volume.

#include <errno.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "standin/tools/attach_plist.h"
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
  device.personality = "APFS";
  Mount(device, args[1]);
  return 0;
}

// An APFS personality ("APFS", "APFSX") puts a container on the device, as
// "apfs create" does. The device keeps the personality, which "info" reports.
int EraseVolume(const std::vector<std::string>& args) {
  if (args.size() != 3)
    standin::Fail(1,
                  "Usage:  diskutil eraseVolume format name MountPoint|DiskIdentifier|DeviceNode");
  std::optional<standin::FileSystemKind> kind = standin::FileSystemFor(args[0]);
  if (!kind)
    standin::Fail(1, args[0] + " does not appear to be a valid file system format");
  standin::Device device = FindDevice(args[2]);
  if (kind->type == "apfs" && device.container == 0)
    standin::AddContainer(device);
  device.personality = kind->personality;
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

std::string Key(const std::string& key, const std::string& value) {
  return "\t<key>" + key + "</key>\n\t" + value + "\n";
}

std::string String(const std::string& text) {
  return "<string>" + standin::XmlEscaped(text) + "</string>";
}

// "info -plist DEVICE|MOUNTPOINT": a RAM device, the APFS container on it
// ("diskC") or that container's volume ("diskCs1"), or the volume mounted at
// a path. A volume reports its file system, the size of its device and its
// mount point; the whole device under an APFS volume is its physical store
// and reports no file system.
int Info(const std::vector<std::string>& args) {
  if (args.size() != 2 || args[0] != "-plist")
    standin::Fail(1,
                  "Usage:  diskutil info -plist MountPoint|DiskIdentifier|DeviceNode\n"
                  "the only form of info this stand-in prints");
  const std::string& target = args[1];
  std::string disk = target.rfind("/dev/", 0) == 0 ? target.substr(5) : target;
  const bool apfs_volume = disk.size() > 2 && disk.compare(disk.size() - 2, 2, "s1") == 0;
  std::optional<int> number =
      standin::ParseDevice(apfs_volume ? disk.substr(0, disk.size() - 2) : disk);
  std::string identifier;
  const standin::Device* found = nullptr;
  bool volume = false;
  const std::vector<standin::Device> devices = standin::AllDevices();
  for (const standin::Device& device : devices) {
    const std::string whole = standin::DeviceName(device.number);
    const std::string container = standin::DeviceName(device.container);
    if (!device.mount_point.empty() && device.mount_point == target) {
      identifier = device.container != 0 ? container + "s1" : whole;
      volume = true;
    } else if (number && *number == device.number && !apfs_volume) {
      identifier = whole;
      volume = device.container == 0;
    } else if (number && device.container != 0 && *number == device.container) {
      identifier = apfs_volume ? container + "s1" : container;
      volume = apfs_volume;
    } else {
      continue;
    }
    found = &device;
    break;
  }
  if (found == nullptr)
    standin::Fail(1, "Could not find disk: " + target);

  const std::string size = "<integer>" + std::to_string(found->sectors * 512) + "</integer>";
  const std::string parent = standin::DeviceName(
      identifier == standin::DeviceName(found->number) ? found->number : found->container);
  std::optional<standin::FileSystemKind> kind;
  if (volume)
    kind = standin::FileSystemFor(found->personality);
  std::string plist = STANDIN_PLIST_PROLOG;
  if (volume && found->container != 0)
    plist +=
        "\t<key>APFSPhysicalStores</key>\n\t<array>\n\t\t<dict>\n"
        "\t\t\t<key>APFSPhysicalStore</key>\n\t\t\t" +
        String(standin::DeviceName(found->number)) + "\n\t\t</dict>\n\t</array>\n";
  plist +=
      Key("DeviceIdentifier", String(identifier)) + Key("DeviceNode", String("/dev/" + identifier));
  if (kind)
    plist += Key("FilesystemName", String(kind->personality)) +
             Key("FilesystemType", String(kind->type)) +
             Key("FilesystemUserVisibleName", String(kind->user_visible));
  plist += Key("MountPoint", String(volume ? found->mount_point : "")) +
           Key("ParentWholeDisk", String(parent)) + Key("Size", size);
  // Not a key of the real tool: what a Mac's mount table tells by the
  // option "nobrowse".
  if (volume && !found->mount_point.empty())
    plist += Key("StandInBrowse", found->browse ? "<true/>" : "<false/>");
  plist += Key("TotalSize", size) +
           Key("WholeDisk", identifier == parent ? "<true/>" : "<false/>") + "</dict>\n</plist>\n";
  std::cout << plist;
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
  if (verb == "erasevolume")
    return EraseVolume(args);
  if (verb == "eject")
    return Eject(args);
  if (verb == "unmountDisk")
    return UnmountDiskForce(args);
  if (verb == "info")
    return Info(args);
  if (verb == "unmount")
    return Unmount(args);
  if (verb == "mount")
    return MountAgain(args);
  standin::Fail(1,
                "Usage:  diskutil [quiet] <verb> <options>\n"
                "verbs handled by this stand-in: apfs create, erasevolume, image attach, eject, "
                "unmountDisk force, info -plist, unmount, mount");
}
