// Stand-in for macOS "hdiutil": the attach of a RAM device, the detach of a
// device or a mounted volume, and the property list of "info", with the
// outputs of the real tool.

#include <errno.h>
#include <unistd.h>

#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "standin/tools/attach_plist.h"
#include "standin/tools/standin.h"

namespace {

// Only the property-list form, the one the tool asks for.
int Attach(const std::vector<std::string>& args) {
  std::string url;
  for (const std::string& arg : args) {
    if (arg == "-plist" || arg == "-nomount")
      continue;
    if (!url.empty() || arg.rfind("-", 0) == 0)
      standin::Fail(1, "hdiutil: attach: unknown option \"" + arg + "\"");
    url = arg;
  }
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
         "\t\t\t<key>image-path</key>\n\t\t\t<string>ram://" +
         sectors +
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
  standin::Fail(1,
                "Usage: hdiutil <verb> <options>\n"
                "verbs handled by this stand-in: attach, detach, info");
}
