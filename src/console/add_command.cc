#include "console/commands.h"

#include "core/common/exception.h"

namespace ramdisk {

void AddDisk(const std::string& /*name*/) { throw Exception("AddDisk is not available in this build"); }

}  // namespace ramdisk
