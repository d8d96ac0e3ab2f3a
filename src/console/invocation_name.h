#ifndef RAMDISK_CONSOLE_INVOCATION_NAME_H_
#define RAMDISK_CONSOLE_INVOCATION_NAME_H_

#include <string>
#include <string_view>

namespace ramdisk {

// The name the usage text shows for the tool, from argv[0]: its first 255
// bytes, after the last "/" or "\", without its extension (a leading dot is
// no extension), with A-Z lowered. /opt/tools/Disk.Tool gives "disk".
std::string InvocationName(std::string_view program_name);

}  // namespace ramdisk

#endif  // RAMDISK_CONSOLE_INVOCATION_NAME_H_
