// Test controls of the DiskArbitration and CoreFoundation stand-in.
//
// The stand-in behaves like the frameworks as far as the program can tell:
// sessions are objects the caller owns and releases once; the match and
// watch globals are null until the first DASessionCreate; callbacks run only
// when the thread whose run loop a session is scheduled on "runs" it, here by
// one of the Deliver calls below. Misuse that crashes the real frameworks
// (releasing null, using a released session) aborts with a message.
//
// Every platform call is recorded in order. When the environment variable
// named by kCallLogVariable holds a file path, each call is also appended to
// that file as one line, "Function(arg, arg) = result", at the moment it is
// made; a run of the program then shows where its session lives.
//
// One thread at a time.
#ifndef RAMDISK_STANDIN_PLATFORM_CONTROL_H_
#define RAMDISK_STANDIN_PLATFORM_CONTROL_H_

#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include <DiskArbitration/DiskArbitration.h>

namespace ramdisk::standin {

inline constexpr char kCallLogVariable[] = "RAMDISK_STANDIN_PLATFORM_LOG";

// One platform call. Pointers are rendered by Describe; an allocator
// argument that is null reads "kCFAllocatorDefault".
struct PlatformCall {
  PlatformCall(std::string function_name, std::vector<std::string> args,
               std::string result_text = std::string())
      : function(std::move(function_name)),
        arguments(std::move(args)),
        result(std::move(result_text)) {}

  std::string function;
  std::vector<std::string> arguments;
  std::string result;  // empty for a function without result

  // "Function(a, b)" or "Function(a, b) = result".
  std::string Text() const;
};

bool operator==(const PlatformCall& a, const PlatformCall& b);
std::ostream& operator<<(std::ostream& os, const PlatformCall& call);

// How a pointer reads in the log: "NULL"; a framework global by its name
// ("kCFRunLoopDefaultMode"); a session or run loop that the stand-in handed
// out as "session-N" or "run-loop-N", numbered from 1 in order of creation;
// anything else as its address ("0x...").
std::string Describe(const void* pointer);

// The calls made so far, oldest first.
std::vector<PlatformCall> CallLog();
void ClearCallLog();

// The next DASessionCreate, and only that one, returns null.
void FailNextSessionCreate();

// The state of a fresh process: no calls recorded, the match and watch
// globals null again, session numbering restarted, no failure pending.
// Aborts while a session is alive.
void ResetPlatform();

// Sessions created and not yet released.
int LiveSessionCount();

// Runs the calling thread's run loop in the default mode for one event: a
// mountable volume disappears, or its volume name changes. Every
// registration of the matching kind, on a session scheduled on this thread's
// run loop in the default mode, whose match (and watch) covers the event,
// gets one call with a disk (and the changed keys) and its context. Returns
// the number of callbacks called.
int DeliverDiskDisappeared();
int DeliverDiskDescriptionChanged();

}  // namespace ramdisk::standin

#endif  // RAMDISK_STANDIN_PLATFORM_CONTROL_H_
