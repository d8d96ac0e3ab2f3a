/* Stand-in for the DiskArbitration framework where it does not exist: the
   part of its C interface the program uses, with the framework's names and
   types. Like the framework's header it brings CoreFoundation along. The
   behaviour is described in standin/platform_control.h. */
#ifndef RAMDISK_STANDIN_DISKARBITRATION_DISKARBITRATION_H_
#define RAMDISK_STANDIN_DISKARBITRATION_DISKARBITRATION_H_

#include <CoreFoundation/CoreFoundation.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct __DASession* DASessionRef;
typedef struct __DADisk* DADiskRef;

typedef void (*DADiskDisappearedCallback)(DADiskRef disk, void* context);
typedef void (*DADiskDescriptionChangedCallback)(DADiskRef disk, CFArrayRef keys, void* context);

/* Null until the first DASessionCreate fills them in. */
extern CFDictionaryRef kDADiskDescriptionMatchVolumeMountable;
extern CFArrayRef kDADiskDescriptionWatchVolumeName;

/* A new session, owned by the caller; null when told to fail. */
DASessionRef DASessionCreate(CFAllocatorRef allocator);

void DARegisterDiskDisappearedCallback(DASessionRef session, CFDictionaryRef match,
                                       DADiskDisappearedCallback callback, void* context);

void DARegisterDiskDescriptionChangedCallback(DASessionRef session, CFDictionaryRef match,
                                              CFArrayRef watch,
                                              DADiskDescriptionChangedCallback callback,
                                              void* context);

void DASessionScheduleWithRunLoop(DASessionRef session, CFRunLoopRef runLoop,
                                  CFStringRef runLoopMode);

/* Ends every registration made with this callback and context; unknown
   pairs are ignored. */
void DAUnregisterCallback(DASessionRef session, void* callback, void* context);

#ifdef __cplusplus
}
#endif

#endif /* RAMDISK_STANDIN_DISKARBITRATION_DISKARBITRATION_H_ */
