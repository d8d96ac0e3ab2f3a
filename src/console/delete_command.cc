#include "console/commands.h"

#include "core/common/exception.h"

namespace ramdisk {

void DelDisk(const std::string& /*name*/) { throw Exception("DelDisk is not available in this build"); }

}  // namespace ramdisk
