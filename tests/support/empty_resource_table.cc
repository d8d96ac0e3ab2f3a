// The resource table of a program built without a version block.
#include "core/common/resource_table.h"

namespace ramdisk {

ResourceTable LinkedResources() { return {nullptr, 0}; }

}  // namespace ramdisk
