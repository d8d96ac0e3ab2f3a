#include "core/macos/dismount_command.h"

#include "core/common/messages.h"
#include "core/macos/memory_volume.h"
#include "core/macos/ram_disk_list.h"

namespace ramdisk {

namespace {

// As in the device query, each value is picked by its nearest preceding key.
// An APFS volume lives in a container that APFS synthesises on the image's
// disk, its physical store: ejecting the container alone can leave the
// image attached.
const char kPhysicalStoreQuery[] =
    "/plist/dict/array[preceding-sibling::key[1]=\"APFSPhysicalStores\"]"
    "/dict/string[preceding-sibling::key[1]=\"APFSPhysicalStore\"]";
const char kParentWholeDiskQuery[] =
    "/plist/dict/string[preceding-sibling::key[1]=\"ParentWholeDisk\"]";

}  // namespace

TDismountCommand::TDismountCommand() : TDismountCommand(RunningImageTool()) {}

TDismountCommand::TDismountCommand(ImageTool tool) : TCommand(ImageToolName(tool)), tool_(tool) {}

void TDismountCommand::Execute() {
  if (tool_ == ImageTool::kHdiutil) {
    TStringArray args = {"detach", MountPoint};
    if (Force)
      args.push_back("-force");
    Execute(args);
    return;
  }
  const std::string disk = IsWholeDiskNode(MountPoint) ? MountPoint : DiskBehindMountPoint();
  // eject has no force of its own.
  if (Force)
    Execute({"unmountDisk", "force", disk});
  Execute({"eject", disk});
}

std::string TDismountCommand::DiskBehindMountPoint() {
  Execute({"info", "-plist", MountPoint});
  std::string disk;
  if (!Find(kPhysicalStoreQuery, disk) && !Find(kParentWholeDiskQuery, disk))
    throw EVolumeError(messages::kUnexpectedXmlOutput);
  return disk;
}

}  // namespace ramdisk
