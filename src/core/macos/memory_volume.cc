#include "core/macos/memory_volume.h"

#include "core/common/messages.h"
#include "core/macos/command.h"

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
  return {"quiet", "erasevolume", std::string(FileSystemName[volume.FileSystem]), volume.Name,
          volume.Device};
}

}  // namespace

void TMemoryVolume::CreateVolume() {
  TCommand image_tool("hdiutil");
  image_tool.Execute({"attach", "-plist", "-nomount", "ram://" + std::to_string(Size >> 9)});
  if (!image_tool.Find(kDeviceQuery, Device))
    throw EVolumeError(messages::kUnexpectedXmlOutput);
  try {
    TCommand disk_tool("diskutil");
    disk_tool.Execute(FormatArguments(*this));
  } catch (...) {
    // A detach that fails too leaves this handler with its own error.
    image_tool.Execute({"detach", Device});
    throw;
  }
}

}  // namespace ramdisk
