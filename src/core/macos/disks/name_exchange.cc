#include "core/macos/disks/name_exchange.h"

#include <errno.h>
#include <stdio.h>

namespace ramdisk {

int SystemExchangeNames(const std::string& from, const std::string& to) {
  return ::renamex_np(from.c_str(), to.c_str(), RENAME_SWAP) == 0 ? 0 : errno;
}

}  // namespace ramdisk
