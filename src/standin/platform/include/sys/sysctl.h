/* Stand-in for the part of macOS's <sys/sysctl.h> that the program uses,
   where the system has no such header: sysctlbyname, with the macOS
   declaration. It answers "kern.osproductversion" alone, from the
   environment variable RAMDISK_STANDIN_MACOS_VERSION, so that a test can
   play any release; unset or empty, the name does not exist, as before
   macOS 10.13.4. */
#ifndef RAMDISK_STANDIN_SYS_SYSCTL_H_
#define RAMDISK_STANDIN_SYS_SYSCTL_H_

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* As on macOS: the value, with its terminating NUL, is copied to `oldp`
   when it fits in *oldlenp (else ENOMEM); a null `oldp` asks for the size
   only; *oldlenp is set to the size in both cases. Setting a value (`newp`)
   fails with EPERM, an unknown name with ENOENT; failures return -1. */
int sysctlbyname(const char* name, void* oldp, size_t* oldlenp, void* newp, size_t newlen);

#ifdef __cplusplus
}
#endif

#endif /* RAMDISK_STANDIN_SYS_SYSCTL_H_ */
