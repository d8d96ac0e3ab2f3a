// Stand-in for macOS "diskutil": formats a stand-in device with "apfs create"
// or "erasevolume" and plays the mount by creating "/Volumes/" + name.

#include <errno.h>
#include <sys/stat.h>

#include <cctype>
#include <iostream>
#include <string>
#include <vector>

#include "standin/tools/standin.h"

namespace {

const char* const kPersonalities[] = {"APFS",  "HFS+",         "JHFS+", "exFAT",
                                      "FAT32", "MS-DOS FAT32", "FAT16", "MS-DOS"};

bool IsPersonality(std::string name) {
  for (char& c : name)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const char* known : kPersonalities) {
    std::string lower = known;
    for (char& c : lower)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == name)
      return true;
  }
  return false;
}

standin::Device FindDevice(const std::string& text) {
  std::optional<int> number = standin::ParseDevice(text);
  std::optional<standin::Device> device;
  if (number)
    device = standin::LoadDevice(*number);
  if (!device)
    standin::Fail(1, "Could not find disk: " + text);
  return *device;
}

// Like the system, a taken mount point gets " 1", " 2", ... appended.
void Mount(standin::Device& device, const std::string& name) {
  std::string base = std::string(standin::kVolumesRoot) + "/" + name;
  std::string path = base;
  for (int i = 1; i < 100; ++i) {
    if (::mkdir(path.c_str(), 0755) == 0) {
      device.mount_point = path;
      standin::SaveDevice(device);
      return;
    }
    if (errno != EEXIST)
      return;  // no /Volumes here: the format still succeeds, unmounted
    path = base + " " + std::to_string(i);
  }
}

int ApfsCreate(const std::vector<std::string>& args) {
  if (args.size() != 2)
    standin::Fail(1, "Usage:  diskutil apfs createContainer|create Device Name");
  standin::Device device = FindDevice(args[0]);
  if (device.container == 0)
    standin::AddContainer(device);
  std::string disk = standin::DeviceName(device.number);
  std::string container = standin::DeviceName(device.container);
  std::cout << "Creating container with " << disk << "\n"
            << "Started APFS operation on " << disk << "\n"
            << "Creating a new empty APFS Container\n"
            << "Unmounting Volumes\n"
            << "Switching " << disk << " to APFS\n"
            << "Creating APFS Container\n"
            << "Created new APFS Container " << container << "\n"
            << "Disk from APFS operation: " << container << "\n"
            << "Finished APFS operation on " << disk << "\n"
            << "Creating APFS Volume\n"
            << "Created new APFS Volume " << container << "s1\n"
            << "Mounting APFS Volume\n"
            << "Setting volume permissions\n"
            << "Disk from APFS operation: " << container << "s1\n"
            << "Finished APFS operation on " << container << "\n";
  Mount(device, args[1]);
  return 0;
}

int EraseVolume(const std::vector<std::string>& args, bool quiet) {
  if (args.size() != 3)
    standin::Fail(1,
                  "Usage:  diskutil eraseVolume format name MountPoint|DiskIdentifier|DeviceNode");
  const std::string& format = args[0];
  const std::string& name = args[1];
  if (!IsPersonality(format))
    standin::Fail(1, format + " does not appear to be a valid file system format");
  standin::Device device = FindDevice(args[2]);
  std::string disk = standin::DeviceName(device.number);
  if (!quiet) {
    std::cout << "Started erase on " << disk << "\n"
              << "Unmounting disk\n"
              << "Erasing\n"
              << "Initialized /dev/r" << disk << " as a " << (device.sectors * 512 >> 20) << " MB "
              << format << " volume\n"
              << "Mounting disk\n";
  }
  Mount(device, name);
  if (!quiet)
    std::cout << "Finished erase on " << disk << " " << name << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  bool quiet = !args.empty() && args.front() == "quiet";
  if (quiet)
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
  if (verb == "erasevolume" || verb == "eraseVolume")
    return EraseVolume(args, quiet);
  standin::Fail(1,
                "Usage:  diskutil [quiet] <verb> <options>\n"
                "verbs handled by this stand-in: apfs create, erasevolume");
}
