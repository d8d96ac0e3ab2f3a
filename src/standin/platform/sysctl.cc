#include <sys/sysctl.h>

#include <errno.h>

#include <cstdlib>
#include <cstring>

extern "C" int sysctlbyname(const char* name, void* oldp, size_t* oldlenp, void* newp,
                            size_t /*newlen*/) {
  const char* version = std::getenv("RAMDISK_STANDIN_MACOS_VERSION");
  if (name == nullptr || std::strcmp(name, "kern.osproductversion") != 0 || version == nullptr ||
      *version == '\0') {
    errno = ENOENT;
    return -1;
  }
  if (newp != nullptr) {
    errno = EPERM;
    return -1;
  }
  if (oldlenp == nullptr) {
    errno = EINVAL;
    return -1;
  }
  const size_t size = std::strlen(version) + 1;
  const size_t room = *oldlenp;
  *oldlenp = size;
  if (oldp == nullptr)
    return 0;
  if (room < size) {
    errno = ENOMEM;
    return -1;
  }
  std::memcpy(oldp, version, size);
  return 0;
}
