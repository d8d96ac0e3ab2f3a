#ifndef RAMDISK_CORE_COMMON_PAUSE_H_
#define RAMDISK_CORE_COMMON_PAUSE_H_

#include <chrono>
#include <vector>

namespace ramdisk {

// Sleeps the calling thread for `duration`; a signal that interrupts the
// sleep does not shorten it. The tool's only wait on a clock, bounded by
// its callers.
void Pause(std::chrono::milliseconds duration);

// For tests: while alive, Pause on the calling thread sleeps not at all
// and records each duration asked for in Taken. Nests; the innermost
// records.
class PretendPauses {
 public:
  PretendPauses() : outer_(Current()) { Current() = this; }
  ~PretendPauses() { Current() = outer_; }
  PretendPauses(const PretendPauses&) = delete;
  PretendPauses& operator=(const PretendPauses&) = delete;

  static PretendPauses*& Current() {
    static thread_local PretendPauses* current = nullptr;
    return current;
  }

  std::vector<std::chrono::milliseconds> Taken;

 private:
  PretendPauses* const outer_;
};

}  // namespace ramdisk

#endif  // RAMDISK_CORE_COMMON_PAUSE_H_
