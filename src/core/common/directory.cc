#include "core/common/directory.h"

#include <sys/stat.h>

namespace ramdisk {

bool DirectoryExists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace ramdisk
