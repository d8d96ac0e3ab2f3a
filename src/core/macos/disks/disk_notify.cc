#include "core/macos/disks/disk_notify.h"

namespace ramdisk {

namespace {

// DAUnregisterCallback takes the callback as a plain pointer.
template <typename Function>
void* CallbackAddress(Function* function) {
  return reinterpret_cast<void*>(function);
}

}  // namespace

TDiskNotify::TDiskNotify() {
  session_ = DASessionCreate(kCFAllocatorDefault);
  // The program works without disk events, so a missing session is no
  // error.
  if (session_ == nullptr)
    return;
  // The match and watch constants are filled in by the first session, so
  // they are read only now.
  DARegisterDiskDisappearedCallback(session_, kDADiskDescriptionMatchVolumeMountable,
                                    DiskDisappearedCallback, this);
  DARegisterDiskDescriptionChangedCallback(session_, kDADiskDescriptionMatchVolumeMountable,
                                           kDADiskDescriptionWatchVolumeName,
                                           DiskDescriptionChangedCallback, this);
  DASessionScheduleWithRunLoop(session_, CFRunLoopGetCurrent(), kCFRunLoopDefaultMode);
}

TDiskNotify::~TDiskNotify() {
  if (session_ == nullptr)
    return;
  // Both registrations end while the session still exists, so no callback
  // can reach this object once it is gone.
  DAUnregisterCallback(session_, CallbackAddress(DiskDisappearedCallback), this);
  DAUnregisterCallback(session_, CallbackAddress(DiskDescriptionChangedCallback), this);
  CFRelease(session_);
}

void TDiskNotify::DiskDisappeared(DADiskRef /*disk*/) {
  if (OnChange)
    OnChange();
}

void TDiskNotify::DiskDescriptionChanged(DADiskRef /*disk*/) {
  if (OnChange)
    OnChange();
}

void DiskDisappearedCallback(DADiskRef disk, void* context) noexcept {
  static_cast<TDiskNotify*>(context)->DiskDisappeared(disk);
}

void DiskDescriptionChangedCallback(DADiskRef disk, CFArrayRef /*keys*/, void* context) noexcept {
  static_cast<TDiskNotify*>(context)->DiskDescriptionChanged(disk);
}

}  // namespace ramdisk
