#include <algorithm>
#include <string>

#include "platform_state.h"

namespace ramdisk::standin {

namespace internal {

void* Registration::CallbackAddress() const {
  return disappeared != nullptr ? reinterpret_cast<void*>(disappeared)
                                : reinterpret_cast<void*>(changed);
}

}  // namespace internal

namespace {

using internal::GetState;
using internal::Registration;
using internal::State;

__CFDictionary match_volume_mountable{"kDADiskDescriptionMatchVolumeMountable"};
__CFArray watch_volume_name{"kDADiskDescriptionWatchVolumeName"};
// The keys a name change reports: the volume name.
__CFArray changed_volume_name{"volume name key"};

// A session the caller may still use, or an abort naming the caller.
DASessionRef LiveSession(DASessionRef session, const char* function) {
  const State& state = GetState();
  for (const auto& live : state.sessions) {
    if (live.get() == session)
      return session;
  }
  internal::Crash(std::string(function) + " called with " + Describe(session) +
                  ", which is no live session");
}

bool IsRegistered(const Registration& wanted) {
  for (const Registration& r : GetState().registrations) {
    if (r.session == wanted.session && r.context == wanted.context &&
        r.CallbackAddress() == wanted.CallbackAddress())
      return true;
  }
  return false;
}

// Registrations that the current thread's run loop, running in the default
// mode, would serve an event for, picked by `covers`.
template <typename Covers>
std::vector<Registration> Listeners(Covers covers) {
  CFRunLoopRef loop = internal::CurrentRunLoop();
  std::vector<Registration> result;
  for (const Registration& r : GetState().registrations) {
    if (r.session->run_loop == loop && r.session->mode == kCFRunLoopDefaultMode &&
        (r.match == nullptr || r.match == &match_volume_mountable) && covers(r))
      result.push_back(r);
  }
  return result;
}

// A callback may end registrations or release its session, so every one is
// checked again right before its call.
template <typename Call>
int Deliver(const std::vector<Registration>& listeners, Call call) {
  int called = 0;
  for (const Registration& r : listeners) {
    if (!IsRegistered(r))
      continue;
    call(r);
    ++called;
  }
  return called;
}

}  // namespace

void FailNextSessionCreate() { GetState().fail_next_session = true; }

void ResetPlatform() {
  State& state = GetState();
  if (!state.sessions.empty())
    internal::Crash("ResetPlatform while " + Describe(state.sessions[0].get()) + " is alive");
  state.calls.clear();
  state.sessions_created = 0;
  state.fail_next_session = false;
  kDADiskDescriptionMatchVolumeMountable = nullptr;
  kDADiskDescriptionWatchVolumeName = nullptr;
}

int LiveSessionCount() { return static_cast<int>(GetState().sessions.size()); }

int DeliverDiskDisappeared() {
  __DADisk disk{"disk-gone"};
  return Deliver(Listeners([](const Registration& r) { return r.disappeared != nullptr; }),
                 [&disk](const Registration& r) { r.disappeared(&disk, r.context); });
}

int DeliverDiskDescriptionChanged() {
  __DADisk disk{"disk-renamed"};
  return Deliver(
      Listeners([](const Registration& r) {
        return r.changed != nullptr && (r.watch == nullptr || r.watch == &watch_volume_name);
      }),
      [&disk](const Registration& r) { r.changed(&disk, &changed_volume_name, r.context); });
}

}  // namespace ramdisk::standin

using ramdisk::standin::Describe;
using ramdisk::standin::internal::GetState;
using ramdisk::standin::internal::Record;
using ramdisk::standin::internal::Registration;

extern "C" {

CFDictionaryRef kDADiskDescriptionMatchVolumeMountable = nullptr;
CFArrayRef kDADiskDescriptionWatchVolumeName = nullptr;

DASessionRef DASessionCreate(CFAllocatorRef allocator) {
  // The framework sets up its constants on first use, whether or not the
  // session itself can be made.
  kDADiskDescriptionMatchVolumeMountable = &ramdisk::standin::match_volume_mountable;
  kDADiskDescriptionWatchVolumeName = &ramdisk::standin::watch_volume_name;
  std::string allocator_text = allocator == nullptr ? "kCFAllocatorDefault" : Describe(allocator);
  auto& state = GetState();
  if (state.fail_next_session) {
    state.fail_next_session = false;
    Record("DASessionCreate", {allocator_text}, "NULL");
    return nullptr;
  }
  auto session = std::make_unique<__DASession>();
  session->number = ++state.sessions_created;
  DASessionRef result = session.get();
  state.names[result] = "session-" + std::to_string(session->number);
  state.sessions.push_back(std::move(session));
  Record("DASessionCreate", {allocator_text}, Describe(result));
  return result;
}

void DARegisterDiskDisappearedCallback(DASessionRef session, CFDictionaryRef match,
                                       DADiskDisappearedCallback callback, void* context) {
  Registration r{session, match, nullptr, callback, nullptr, context};
  Record("DARegisterDiskDisappearedCallback",
         {Describe(session), Describe(match), Describe(r.CallbackAddress()), Describe(context)});
  ramdisk::standin::LiveSession(session, "DARegisterDiskDisappearedCallback");
  GetState().registrations.push_back(r);
}

void DARegisterDiskDescriptionChangedCallback(DASessionRef session, CFDictionaryRef match,
                                              CFArrayRef watch,
                                              DADiskDescriptionChangedCallback callback,
                                              void* context) {
  Registration r{session, match, watch, nullptr, callback, context};
  Record("DARegisterDiskDescriptionChangedCallback",
         {Describe(session), Describe(match), Describe(watch), Describe(r.CallbackAddress()),
          Describe(context)});
  ramdisk::standin::LiveSession(session, "DARegisterDiskDescriptionChangedCallback");
  GetState().registrations.push_back(r);
}

void DASessionScheduleWithRunLoop(DASessionRef session, CFRunLoopRef runLoop,
                                  CFStringRef runLoopMode) {
  Record("DASessionScheduleWithRunLoop",
         {Describe(session), Describe(runLoop), Describe(runLoopMode)});
  ramdisk::standin::LiveSession(session, "DASessionScheduleWithRunLoop");
  session->run_loop = runLoop;
  session->mode = runLoopMode;
}

void DAUnregisterCallback(DASessionRef session, void* callback, void* context) {
  Record("DAUnregisterCallback", {Describe(session), Describe(callback), Describe(context)});
  ramdisk::standin::LiveSession(session, "DAUnregisterCallback");
  auto& registrations = GetState().registrations;
  registrations.erase(std::remove_if(registrations.begin(), registrations.end(),
                                     [&](const Registration& r) {
                                       return r.session == session && r.context == context &&
                                              r.CallbackAddress() == callback;
                                     }),
                      registrations.end());
}

}  // extern "C"
