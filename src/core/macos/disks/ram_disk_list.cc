#include "core/macos/disks/ram_disk_list.h"

#include <algorithm>
#include <limits>
#include <string_view>

#include "core/common/ascii.h"
#include "core/common/messages.h"
#include "core/macos/disks/memory_volume.h"
#include "core/macos/disks/mount_point.h"
#include "core/macos/runner/command.h"

namespace ramdisk {

namespace {

// Each value of a property list dict is picked by its nearest preceding key,
// as in the device query of an attach. All but the first run from a node.
const char kTopDictQuery[] = "/plist/dict";
const char kImagesQuery[] = "array[preceding-sibling::key[1]=\"images\"]/dict";
const char kImagePathQuery[] = "string[preceding-sibling::key[1]=\"image-path\"]";
const char kEntitiesQuery[] = "array[preceding-sibling::key[1]=\"system-entities\"]/dict";
const char kDevEntryQuery[] = "string[preceding-sibling::key[1]=\"dev-entry\"]";
const char kContentHintQuery[] = "string[preceding-sibling::key[1]=\"content-hint\"]";
const char kMountPointQuery[] = "string[preceding-sibling::key[1]=\"mount-point\"]";

constexpr std::string_view kRamScheme = "ram://";
constexpr std::string_view kWholeDiskPrefix = "/dev/disk";
// The partition type of an APFS container, which is also the content hint
// of the container disk that APFS synthesises on top of the image.
constexpr std::string_view kApfsContainerHint = "EF57347C-0000-11AA-AA11-00306543ECAC";

std::optional<std::uint64_t> RamBytes(std::string_view image_path) {
  const std::optional<std::uint64_t> sectors = DecimalNumber(image_path.substr(kRamScheme.size()));
  if (!sectors || *sectors > std::numeric_limits<std::uint64_t>::max() / 512)
    return std::nullopt;
  return *sectors * 512;
}

// Like TCommand::Find: true for a non-empty text only.
bool Find(XPathSession& session, const char* query, XPathSession::Node from, std::string& value) {
  return session.Evaluate(query, from, value) && !value.empty();
}

TRamDisk ReadRamDisk(XPathSession& session, XPathSession::Node image,
                     std::optional<std::uint64_t> size) {
  TRamDisk disk;
  disk.Size = size;
  std::string first, container, text;
  for (XPathSession::Node entity : session.Select(kEntitiesQuery, image)) {
    std::string device;
    if (Find(session, kDevEntryQuery, entity, device)) {
      if (first.empty())
        first = device;
      if (disk.Device.empty() && IsWholeDiskNode(device)) {
        session.Evaluate(kContentHintQuery, entity, text);
        if (text != kApfsContainerHint)
          disk.Device = device;
        else if (container.empty())
          container = device;
      }
    }
    if (Find(session, kMountPointQuery, entity, text)) {
      disk.MountPoints.push_back(text);
      disk.MountedDevices.push_back(device);
    }
  }
  if (disk.Device.empty())
    disk.Device = !container.empty() ? container : first;
  return disk;
}

}  // namespace

bool IsWholeDiskNode(std::string_view device) {
  if (!StartsWith(device, kWholeDiskPrefix) || device.size() == kWholeDiskPrefix.size())
    return false;
  for (char c : device.substr(kWholeDiskPrefix.size())) {
    if (c < '0' || c > '9')
      return false;
  }
  return true;
}

std::vector<TRamDisk> ReadRamDisks(const XmlDocument& info) {
  XPathSession session(info);
  std::vector<XPathSession::Node> top = session.Select(kTopDictQuery, session.Root());
  if (top.empty())
    throw EVolumeError(messages::kUnexpectedXmlOutput);
  std::vector<TRamDisk> disks;
  std::string path;
  for (XPathSession::Node image : session.Select(kImagesQuery, top.front())) {
    if (Find(session, kImagePathQuery, image, path) && StartsWith(path, kRamScheme))
      disks.push_back(ReadRamDisk(session, image, RamBytes(path)));
  }
  return disks;
}

std::vector<TRamDisk> ListRamDisks() {
  TCommand image_tool("hdiutil");
  image_tool.Execute({"info", "-plist"});
  return ReadRamDisks(*image_tool.Document());
}

std::optional<TRamDisk> RamDiskMountedAt(const std::string& path) {
  // Compared as the system names the volume there: a plain directory, a
  // link, or a name in another letter case or normalisation matches no
  // mount point that the listing shows.
  const std::string mounted_on = MountPointHolding(path);
  for (TRamDisk& disk : ListRamDisks()) {
    const TStringArray& points = disk.MountPoints;
    if (!disk.Device.empty() && std::find(points.begin(), points.end(), mounted_on) != points.end())
      return std::move(disk);
  }
  return std::nullopt;
}

}  // namespace ramdisk
