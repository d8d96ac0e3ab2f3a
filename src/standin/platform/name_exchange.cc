// Linux exchanges two names in one step as macOS does; elsewhere the
// stand-in answers as a file system that cannot.

#include "core/macos/disks/name_exchange.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>

namespace ramdisk {

int SystemExchangeNames(const std::string& from, const std::string& to) {
#if defined(__linux__) && defined(RENAME_EXCHANGE)
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_EXCHANGE) == 0)
    return 0;
  // Linux says EINVAL where a file system lacks the exchange.
  return errno == EINVAL ? ENOTSUP : errno;
#else
  (void)from;
  (void)to;
  return ENOTSUP;
#endif
}

}  // namespace ramdisk
