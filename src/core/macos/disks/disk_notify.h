#ifndef RAMDISK_CORE_MACOS_DISKS_DISK_NOTIFY_H_
#define RAMDISK_CORE_MACOS_DISKS_DISK_NOTIFY_H_

#include <DiskArbitration/DiskArbitration.h>

#include <functional>

namespace ramdisk {

// Watches mountable volumes through a DiskArbitration session and forwards
// two events to OnChange: such a volume disappears, or its volume name
// changes. Events arrive on the thread that constructed the object, and only
// while that thread's run loop runs in the default mode.
//
// When no session can be opened the object is inert: it makes no further
// platform call and never reports an event. The platform holds the object's
// address until destruction, so it is neither copied nor moved.
class TDiskNotify {
 public:
  // Opens a session, registers both callbacks with this object as context
  // and schedules the session on the calling thread's run loop.
  TDiskNotify();
  // Ends both registrations, then releases the session.
  virtual ~TDiskNotify();

  TDiskNotify(const TDiskNotify&) = delete;
  TDiskNotify& operator=(const TDiskNotify&) = delete;

  // The session this object owns, or null when inert.
  DASessionRef Session() const { return session_; }

  // What the callbacks call: each runs OnChange when it is set. The disk is
  // not looked at.
  void DiskDisappeared(DADiskRef disk);
  void DiskDescriptionChanged(DADiskRef disk);

  // The handler of both events, which it cannot tell apart; empty in a new
  // object. It runs inside a platform callback and must not throw.
  std::function<void()> OnChange;

 private:
  DASessionRef session_ = nullptr;
};

// The callbacks registered with DiskArbitration; `context` is the
// TDiskNotify. The disk and the keys are neither retained nor released.
void DiskDisappearedCallback(DADiskRef disk, void* context) noexcept;
void DiskDescriptionChangedCallback(DADiskRef disk, CFArrayRef keys, void* context) noexcept;

}  // namespace ramdisk

#endif  // RAMDISK_CORE_MACOS_DISKS_DISK_NOTIFY_H_
