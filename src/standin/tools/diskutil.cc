// Stand-in for macOS "diskutil": formats a stand-in device with "apfs create"
// or "erasevolume" and plays the mount by creating the volume's folder.

#include <sys/stat.h>

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

// Plays the system's mount of the new volume. Without the folder of volumes
// the format still succeeds, unmounted.
void Mount(standin::Device& device, const std::string& name) {
  std::string path = standin::VolumesRoot() + "/" + name;
  if (::mkdir(path.c_str(), 0755) == 0) {
    device.mount_point = path;
    standin::SaveDevice(device);
  }
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

int EraseVolume(const std::vector<std::string>& args) {
  if (args.size() != 3)
    standin::Fail(1,
                  "Usage:  diskutil eraseVolume format name MountPoint|DiskIdentifier|DeviceNode");
  standin::Device device = FindDevice(args[2]);
  Mount(device, args[1]);
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
  if (verb == "apfs" && !args.empty() && args.front() == "create") {
    args.erase(args.begin());
    standin::Begin(argc, argv, "apfs");
    return ApfsCreate(args);
  }
  standin::Begin(argc, argv, verb);
  if (verb == "erasevolume")
    return EraseVolume(args);
  standin::Fail(1,
                "Usage:  diskutil [quiet] <verb> <options>\n"
                "verbs handled by this stand-in: apfs create, erasevolume");
}
