#include "core/macos/image_tool.h"

#include "core/macos/system_info.h"

namespace ramdisk {

ImageTool RunningImageTool() {
  return ImageToolFor(SystemText(kProductVersionName), SystemText(kDarwinReleaseName));
}

}  // namespace ramdisk
