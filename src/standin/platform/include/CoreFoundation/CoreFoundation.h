/* Stand-in for the CoreFoundation framework where it does not exist: the
   part of its C interface the program uses, with the framework's names and
   types. The behaviour is described in standin/platform_control.h. */
#ifndef RAMDISK_STANDIN_COREFOUNDATION_COREFOUNDATION_H_
#define RAMDISK_STANDIN_COREFOUNDATION_COREFOUNDATION_H_

#ifdef __cplusplus
extern "C" {
#endif

typedef const void* CFTypeRef;
typedef const struct __CFAllocator* CFAllocatorRef;
typedef struct __CFRunLoop* CFRunLoopRef;
typedef const struct __CFString* CFStringRef;
typedef const struct __CFDictionary* CFDictionaryRef;
typedef const struct __CFArray* CFArrayRef;

/* Null, as in the framework. */
extern const CFAllocatorRef kCFAllocatorDefault;
extern const CFStringRef kCFRunLoopDefaultMode;

/* The calling thread's run loop, the same object on every call. */
CFRunLoopRef CFRunLoopGetCurrent(void);

/* Gives back one reference. Null, or an object the caller does not own,
   aborts the process. */
void CFRelease(CFTypeRef cf);

#ifdef __cplusplus
}
#endif

#endif /* RAMDISK_STANDIN_COREFOUNDATION_COREFOUNDATION_H_ */
