// Stand-in for macOS "hdiutil": the attach of a RAM device, the detach of a
// device or a mounted volume, and the property list of "info", with the
// outputs of the real tool; and "create" of an image file of a formatted
// volume, which "attach" mounts, for a volume that is not a RAM disk.

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "standin/tools/attach_plist.h"
#include "standin/tools/standin.h"

namespace {

// A file that "create" made: its sector count, personality and volume name,
// one to a line; none for any other file.
struct ImageFile {
  unsigned long long sectors = 0;
  std::string personality;
  std::string volume_name;
};

const char kImageMagic[] = "ramdisk-standin-image";

std::optional<ImageFile> ReadImage(const std::string& path) {
  std::ifstream in(path);
  std::string magic, sectors;
  ImageFile image;
  if (!std::getline(in, magic) || magic != kImageMagic || !std::getline(in, sectors) ||
      !std::getline(in, image.personality) || !std::getline(in, image.volume_name))
    return std::nullopt;
  image.sectors = std::strtoull(sectors.c_str(), nullptr, 10);
  return image;
}

// "-size 64m": a number with an optional unit k, m, g or t (or b for
// sectors); none for anything else.
std::optional<unsigned long long> ImageSectors(const std::string& size) {
  std::string::size_type digits = 0;
  while (digits < size.size() && size[digits] >= '0' && size[digits] <= '9')
    ++digits;
  if (digits == 0 || digits > 12 || size.size() > digits + 1)
    return std::nullopt;
  unsigned long long value = std::strtoull(size.substr(0, digits).c_str(), nullptr, 10);
  const char unit = digits < size.size() ? static_cast<char>(size[digits] | 0x20) : 'b';
  const std::string units = "bkmgt";
  const std::string::size_type power = units.find(unit);
  if (power == std::string::npos)
    return std::nullopt;
  unsigned long long bytes = power == 0 ? value * 512 : value;
  for (std::string::size_type i = 1; i <= power; ++i)
    bytes *= 1024;
  return bytes / 512;
}

// "create -size N -fs FS -volname NAME PATH": an image file of a formatted
// volume, named PATH.dmg unless PATH ends with ".dmg"; only what "attach"
// needs is written into it.
int Create(const std::vector<std::string>& args) {
  std::string size, format, volume_name, path;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string* value = arg == "-size"      ? &size
                         : arg == "-fs"      ? &format
                         : arg == "-volname" ? &volume_name
                                             : nullptr;
    if (value != nullptr && i + 1 < args.size())
      *value = args[++i];
    else if (value == nullptr && path.empty() && arg.rfind("-", 0) != 0)
      path = arg;
    else
      standin::Fail(1, "hdiutil: create: unknown option \"" + arg + "\"");
  }
  std::optional<unsigned long long> sectors = ImageSectors(size);
  std::optional<standin::FileSystemKind> kind = standin::FileSystemFor(format);
  if (path.empty() || !sectors || *sectors == 0 || !kind || volume_name.empty() ||
      volume_name.find('\n') != std::string::npos)
    standin::Fail(1,
                  "Usage: hdiutil create -size N -fs FS -volname NAME PATH\n"
                  "the only form of create this stand-in makes");
  if (path.size() < 4 || path.compare(path.size() - 4, 4, ".dmg") != 0)
    path += ".dmg";
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  if (fd < 0)
    standin::Fail(1, "hdiutil: create failed - " + std::string(std::strerror(errno)));
  ::close(fd);
  std::ofstream(path, std::ios::trunc) << kImageMagic << '\n'
                                       << *sectors << '\n'
                                       << kind->personality << '\n'
                                       << volume_name << '\n';
  std::cout << "created: " << path << '\n';
  return 0;
}

// Attaches a file that "create" made, mounted at /Volumes/NAME unless
// "-nomount" says otherwise.
int AttachImage(const std::string& path, bool plist, bool mount) {
  std::optional<ImageFile> image = ReadImage(path);
  if (!image)
    standin::Fail(1, "hdiutil: attach failed - image not recognized");
  standin::Device device = standin::NewDevice(image->sectors);
  char* absolute = ::realpath(path.c_str(), nullptr);
  device.image = absolute != nullptr ? absolute : path;
  std::free(absolute);
  device.personality = image->personality;
  device.name = image->volume_name;
  const std::string mount_point = standin::VolumesRoot() + "/" + image->volume_name;
  if (mount && ::mkdir(mount_point.c_str(), 0755) == 0)
    device.mount_point = mount_point;
  standin::SaveDevice(device);
  const std::string node = "/dev/" + standin::DeviceName(device.number);
  if (plist)
    std::cout << standin::AttachOutput(node);
  else
    std::cout << node << "\t\t" << device.mount_point << '\n';
  return 0;
}

// A RAM device prints the property-list form whatever is asked, the form
// the tool asks for; an image file, either.
int Attach(const std::vector<std::string>& args) {
  std::string url;
  bool plist = false, mount = true;
  for (const std::string& arg : args) {
    if (arg == "-plist" || arg == "-nomount" || arg == "-nobrowse") {
      plist = plist || arg == "-plist";
      mount = mount && arg != "-nomount";
      continue;
    }
    if (!url.empty() || arg.rfind("-", 0) == 0)
      standin::Fail(1, "hdiutil: attach: unknown option \"" + arg + "\"");
    url = arg;
  }
  if (url.rfind("ram://", 0) != 0 && ::access(url.c_str(), F_OK) == 0)
    return AttachImage(url, plist, mount);
  std::optional<unsigned long long> sectors = standin::RamSectors(url);
  if (!sectors)
    standin::Fail(1, "hdiutil: attach failed - No such file or directory");
  if (*sectors == 0)
    standin::Fail(1, "hdiutil: attach failed - Invalid argument");

  standin::Device device = standin::NewDevice(*sectors);
  std::cout << standin::AttachOutput("/dev/" + standin::DeviceName(device.number));
  return 0;
}

const standin::Device* FindTarget(const std::vector<standin::Device>& devices,
                                  const std::string& target) {
  std::optional<int> number = standin::ParseDevice(target);
  for (const standin::Device& device : devices) {
    if (number ? device.number == *number
               : (!device.mount_point.empty() && device.mount_point == target))
      return &device;
  }
  return nullptr;
}

int Detach(const std::vector<std::string>& args) {
  bool force = false;
  std::string target;
  for (const std::string& arg : args) {
    if (arg == "-force")
      force = true;
    else if (target.empty())
      target = arg;
    else
      standin::Fail(1, "hdiutil: detach: extra argument \"" + arg + "\"");
  }
  if (target.empty())
    standin::Fail(1, "hdiutil: detach: no device specified");
  std::vector<standin::Device> devices = standin::AllDevices();
  const standin::Device* device = FindTarget(devices, target);
  if (device == nullptr)
    standin::Fail(1, "hdiutil: detach failed - No such file or directory");

  std::string name = standin::DeviceName(device->number);
  standin::Device released = *device;
  if (!released.mount_point.empty()) {
    if (!standin::ReleaseVolume(released, force))
      standin::Fail(16, "hdiutil: couldn't unmount \"" + name + "\" - Resource busy");
    std::cout << "\"" << name << "\" unmounted.\n";
  }
  standin::RemoveDevice(released);
  std::cout << "\"" << name << "\" ejected.\n";
  return 0;
}

// One entry of "system-entities" in the info property list.
std::string Entity(const std::string& hint, const std::string& dev_entry,
                   const std::string& mount_point) {
  const std::string in = "\t\t\t\t\t";
  std::string entity = in.substr(1) + "<dict>\n" + in + "<key>content-hint</key>\n" + in +
                       "<string>" + hint + "</string>\n" + in + "<key>dev-entry</key>\n" + in +
                       "<string>" + dev_entry + "</string>\n";
  if (!mount_point.empty())
    entity += in + "<key>mount-point</key>\n" + in + "<string>" + standin::XmlEscaped(mount_point) +
              "</string>\n";
  entity += in + "<key>potentially-mountable</key>\n" + in +
            (mount_point.empty() ? "<false/>\n" : "<true/>\n") + in +
            "<key>unmapped-content-hint</key>\n" + in + "<string>" + hint + "</string>\n";
  return entity + in.substr(1) + "</dict>\n";
}

// An APFS device also lists the container that APFS synthesised on it and
// the container's volume, which carries the mount point.
std::string Image(const standin::Device& device) {
  const std::string path = "/dev/" + standin::DeviceName(device.number);
  const std::string sectors = std::to_string(device.sectors);
  std::string entities;
  if (device.container == 0) {
    entities = Entity("", path, device.mount_point);
  } else {
    const std::string container = "/dev/" + standin::DeviceName(device.container);
    entities = Entity("", path, "") +
               Entity("EF57347C-0000-11AA-AA11-00306543ECAC", container, "") +
               Entity("41504653-0000-11AA-AA11-00306543ECAC", container + "s1", device.mount_point);
  }
  return "\t\t<dict>\n"
         "\t\t\t<key>blockcount</key>\n\t\t\t<integer>" +
         sectors +
         "</integer>\n"
         "\t\t\t<key>blocksize</key>\n\t\t\t<integer>512</integer>\n"
         "\t\t\t<key>image-encrypted</key>\n\t\t\t<false/>\n"
         "\t\t\t<key>image-path</key>\n\t\t\t<string>" +
         (device.image.empty() ? "ram://" + sectors : standin::XmlEscaped(device.image)) +
         "</string>\n"
         "\t\t\t<key>removable</key>\n\t\t\t<true/>\n"
         "\t\t\t<key>system-entities</key>\n\t\t\t<array>\n" +
         entities +
         "\t\t\t</array>\n"
         "\t\t\t<key>writeable</key>\n\t\t\t<true/>\n"
         "\t\t</dict>\n";
}

int Info(const std::vector<std::string>& args) {
  if (args != std::vector<std::string>{"-plist"})
    standin::Fail(1, "Usage: hdiutil info -plist\nthe only form of info this stand-in prints");
  std::cout << STANDIN_PLIST_PROLOG
      "\t<key>framework</key>\n\t<string>671.100.2</string>\n"
      "\t<key>images</key>\n\t<array>\n";
  for (standin::Device device : standin::AllDevices()) {
    // A mount that has yet to show.
    if (device.late > 0) {
      --device.late;
      standin::SaveDevice(device);
      device.mount_point.clear();
    }
    std::cout << Image(device);
  }
  std::cout << "\t</array>\n"
               "\t<key>revision</key>\n\t<string>671.100.2</string>\n"
               "\t<key>vendor</key>\n\t<string>Apple</string>\n"
               "</dict>\n"
               "</plist>\n";
  return 0;
}

// The warning of macOS 27 and later, in the form it prints for the verbs
// this stand-in plays; "info" is assumed to warn like the others.
std::string Deprecation(const std::string& verb) {
  const char* replacement = verb == "attach"   ? "diskutil image attach --noMount"
                            : verb == "detach" ? "diskutil eject"
                            : verb == "info"   ? "diskutil image info"
                                               : nullptr;
  if (replacement == nullptr)
    return "";
  const std::string used = verb == "attach" ? "attach -nomount" : verb;
  return "hdiutil: WARNING: 'hdiutil " + used + " ...' is deprecated. Please use '" + replacement +
         " ...' instead.";
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string verb = args.empty() ? "" : args.front();
  if (!args.empty())
    args.erase(args.begin());
  standin::Begin(argc, argv, verb, standin::DeprecatesHdiutil() ? Deprecation(verb) : "");
  if (verb == "attach")
    return Attach(args);
  if (verb == "detach")
    return Detach(args);
  if (verb == "info")
    return Info(args);
  if (verb == "create")
    return Create(args);
  standin::Fail(1,
                "Usage: hdiutil <verb> <options>\n"
                "verbs handled by this stand-in: attach, detach, info, create");
}
