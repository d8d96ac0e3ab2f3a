#include "core/macos/disks/memory_volume.h"

#include "core/common/ascii.h"
#include "core/common/messages.h"
#include "core/macos/disks/dismount_command.h"
#include "core/macos/disks/volume_placement.h"
#include "core/macos/runner/command.h"

namespace ramdisk {

// The keys of a property list dict are siblings of the values they name, so
// each value is picked by its nearest preceding key.
const char kDeviceQuery[] =
    "/plist/dict/array[preceding-sibling::key[1]=\"system-entities\"]"
    "/dict/string[preceding-sibling::key[1]=\"dev-entry\"]";

namespace {

TStringArray FormatArguments(const TMemoryVolume& volume) {
  if (volume.FileSystem == fsAPFS)
    return {"apfs", "create", volume.Device, volume.Name};
  // "apfs create" makes no case-sensitive volume; "eraseDisk" does.
  return {"quiet", volume.FileSystem == fsAPFSX ? "eraseDisk" : "erasevolume",
          std::string(FileSystemName[volume.FileSystem]), volume.Name, volume.Device};
}

}  // namespace

void TMemoryVolume::CreateVolume() {
  const std::string sectors = "ram://" + std::to_string(Size >> 9);
  const ImageTool tool = RunningImageTool();
  const bool diskutil = tool == ImageTool::kDiskutil;
  TCommand image_tool(ImageToolName(tool));
  if (diskutil)
    image_tool.ExecuteReadingPropertyList({"image", "attach", "--plist", "--noMount", sectors});
  else
    image_tool.Execute({"attach", "-plist", "-nomount", sectors});
  if (!image_tool.Find(kDeviceQuery, Device))
    throw EVolumeError(messages::kUnexpectedXmlOutput);
  // diskutil names the device by its identifier where hdiutil gave the
  // node path; the format and every message get the node path.
  if (diskutil && StartsWith(Device, "disk"))
    Device.insert(0, "/dev/");
  try {
    TCommand disk_tool("diskutil");
    disk_tool.Execute(FormatArguments(*this));
  } catch (...) {
    // An undo that fails too leaves this handler with its own error.
    image_tool.Execute({diskutil ? "eject" : "detach", Device});
    throw;
  }
  MountedAt = SystemMountPoint;
  try {
    if (Hidden || !MountPoint.empty())
      Place();
    if (OnMounted)
      OnMounted();
  } catch (...) {
    MountedAt.clear();
    // Forced: the volume holds nothing of the user's yet, and one just
    // mounted may still be busy.
    TDismountCommand undo;
    undo.MountPoint = Device;
    undo.Force = true;
    undo.Execute();
    throw;
  }
}

void TMemoryVolume::Place() {
  if (Hidden)
    WriteQuietMarkers(SystemMountPoint);
  const std::string node = VolumeNodeAt(Device, SystemMountPoint);
  TCommand disk_tool("diskutil");
  disk_tool.Execute({"unmount", node});
  TStringArray mount = {"mount"};
  if (Hidden)
    mount.push_back("nobrowse");
  if (!MountPoint.empty())
    mount.insert(mount.end(), {"-mountPoint", MountPoint});
  mount.push_back(node);
  disk_tool.Execute(mount);
  const std::string target = MountPoint.empty() ? SystemMountPoint : MountPoint;
  AwaitMount(Device, node, target);
  MountedAt = target;
}

}  // namespace ramdisk
