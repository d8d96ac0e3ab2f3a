#include "core/common/pause.h"

#include <errno.h>
#include <time.h>

namespace ramdisk {

void Pause(std::chrono::milliseconds duration) {
  if (PretendPauses* pretend = PretendPauses::Current()) {
    pretend->Taken.push_back(duration);
    return;
  }
  timespec left;
  left.tv_sec = static_cast<time_t>(duration.count() / 1000);
  left.tv_nsec = static_cast<long>(duration.count() % 1000) * 1000000L;
  while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

}  // namespace ramdisk
