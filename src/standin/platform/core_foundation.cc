#include <algorithm>
#include <atomic>
#include <string>

#include "platform_state.h"

namespace {

__CFString default_mode{"kCFRunLoopDefaultMode"};

// One run loop per thread, made on first use, like the framework's.
class ThreadRunLoop {
 public:
  ThreadRunLoop() : loop_{++count_} {
    ramdisk::standin::internal::GetState().names[&loop_] =
        "run-loop-" + std::to_string(loop_.number);
  }
  ~ThreadRunLoop() { ramdisk::standin::internal::GetState().names.erase(&loop_); }
  ThreadRunLoop(const ThreadRunLoop&) = delete;
  ThreadRunLoop& operator=(const ThreadRunLoop&) = delete;

  CFRunLoopRef get() { return &loop_; }

 private:
  static std::atomic<int> count_;
  __CFRunLoop loop_;
};

std::atomic<int> ThreadRunLoop::count_{0};

}  // namespace

extern "C" {

const CFAllocatorRef kCFAllocatorDefault = nullptr;
const CFStringRef kCFRunLoopDefaultMode = &default_mode;

CFRunLoopRef CFRunLoopGetCurrent(void) {
  CFRunLoopRef loop = ramdisk::standin::internal::CurrentRunLoop();
  ramdisk::standin::internal::Record("CFRunLoopGetCurrent", {}, ramdisk::standin::Describe(loop));
  return loop;
}

void CFRelease(CFTypeRef cf) {
  using namespace ramdisk::standin;
  internal::Record("CFRelease", {Describe(cf)});
  if (cf == nullptr)
    internal::Crash("CFRelease called with NULL");
  // Sessions are the only objects the stand-in gives out to own.
  internal::State& state = internal::GetState();
  auto owned = std::find_if(state.sessions.begin(), state.sessions.end(),
                            [cf](const auto& session) { return session.get() == cf; });
  if (owned == state.sessions.end())
    internal::Crash("CFRelease of " + Describe(cf) + ", which the caller does not own");
  // A released session delivers nothing more.
  state.registrations.erase(
      std::remove_if(state.registrations.begin(), state.registrations.end(),
                     [cf](const internal::Registration& r) { return r.session == cf; }),
      state.registrations.end());
  state.names.erase(cf);
  state.sessions.erase(owned);
}

}  // extern "C"

namespace ramdisk::standin::internal {

CFRunLoopRef CurrentRunLoop() {
  thread_local ThreadRunLoop loop;
  return loop.get();
}

}  // namespace ramdisk::standin::internal
