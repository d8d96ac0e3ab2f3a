#ifndef RAMDISK_CORE_COMMON_STRING_ARRAY_H_
#define RAMDISK_CORE_COMMON_STRING_ARRAY_H_

#include <string>
#include <vector>

namespace ramdisk {

// An ordered list of byte strings; the argument vector handed to a tool run,
// one entry per argument.
using TStringArray = std::vector<std::string>;

}  // namespace ramdisk

#endif  // RAMDISK_CORE_COMMON_STRING_ARRAY_H_
