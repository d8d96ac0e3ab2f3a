#include "core/macos/disks/image_tool.h"

#include "core/macos/disks/system_info.h"

namespace ramdisk {

ImageTool RunningImageTool() {
  return ImageToolFor(SystemText(kProductVersionName), SystemText(kDarwinReleaseName));
}

}  // namespace ramdisk
