#include "console/commands.h"

#include "core/common/exception.h"

namespace ramdisk {

void WriteHelp() { throw Exception("WriteHelp is not available in this build"); }

}  // namespace ramdisk
