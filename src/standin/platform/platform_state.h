// What the stand-in's framework functions share: the objects behind the
// opaque references, the live sessions and registrations, and the call log.
#ifndef RAMDISK_STANDIN_PLATFORM_PLATFORM_STATE_H_
#define RAMDISK_STANDIN_PLATFORM_PLATFORM_STATE_H_

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "standin/platform_control.h"

// The framework headers name these structs without defining them; these are
// the stand-in's objects.
struct __CFString {
  const char* name;
};
struct __CFDictionary {
  const char* name;
};
struct __CFArray {
  const char* name;
};
struct __CFRunLoop {
  int number;
};
struct __DASession {
  int number;
  CFRunLoopRef run_loop = nullptr;
  CFStringRef mode = nullptr;
};
struct __DADisk {
  const char* name;
};

namespace ramdisk::standin::internal {

struct Registration {
  DASessionRef session;
  CFDictionaryRef match;
  CFArrayRef watch;
  DADiskDisappearedCallback disappeared;  // one of these two is set
  DADiskDescriptionChangedCallback changed;
  void* context;

  // The callback as DAUnregisterCallback receives it.
  void* CallbackAddress() const;
};

struct State {
  std::vector<PlatformCall> calls;
  // Names of the objects handed out, for Describe.
  std::map<const void*, std::string> names;
  std::vector<std::unique_ptr<__DASession>> sessions;
  std::vector<Registration> registrations;
  int sessions_created = 0;
  bool fail_next_session = false;
};

State& GetState();

// Records a call, and appends it to the log file when one is named.
void Record(std::string function, std::vector<std::string> arguments,
            std::string result = std::string());

// The calling thread's run loop, without recording a call.
CFRunLoopRef CurrentRunLoop();

// What the frameworks do on misuse, with a word on why.
[[noreturn]] void Crash(const std::string& message);

}  // namespace ramdisk::standin::internal

#endif  // RAMDISK_STANDIN_PLATFORM_PLATFORM_STATE_H_
