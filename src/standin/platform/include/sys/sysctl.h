/* Stand-in for the part of macOS's <sys/sysctl.h> that the program uses,
   where the system has no such header: sysctlbyname, with the macOS
   declaration. It answers three names, each from an environment variable,
   so that a test can play any release and any machine:
     "kern.osproductversion"  RAMDISK_STANDIN_MACOS_VERSION  ("27.0.1")
     "kern.osrelease"         RAMDISK_STANDIN_DARWIN_VERSION ("26.0.0")
     "hw.memsize"             RAMDISK_STANDIN_MEMSIZE, a 64-bit number
                              given in decimal bytes
   A variable that is unset or empty, or a memory size that is no decimal
   number, makes its name one that does not exist (ENOENT). */
#ifndef RAMDISK_STANDIN_SYS_SYSCTL_H_
#define RAMDISK_STANDIN_SYS_SYSCTL_H_

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

/* As on macOS: the value (a text with its terminating NUL, or a number's
   8 bytes) is copied to `oldp` when it fits in *oldlenp (else ENOMEM); a
   null `oldp` asks for the size only; *oldlenp is set to the size in both
   cases. Setting a value (`newp`) fails with EPERM, an unknown name with
   ENOENT; failures return -1. */
int sysctlbyname(const char* name, void* oldp, size_t* oldlenp, void* newp, size_t newlen);

#ifdef __cplusplus
}
#endif

#endif /* RAMDISK_STANDIN_SYS_SYSCTL_H_ */
