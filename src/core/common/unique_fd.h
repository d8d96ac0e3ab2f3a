#ifndef RAMDISK_CORE_COMMON_UNIQUE_FD_H_
#define RAMDISK_CORE_COMMON_UNIQUE_FD_H_

#include <unistd.h>

#include <utility>

namespace ramdisk {

// Owns one file descriptor and closes it when destroyed or reset. Move-only;
// -1 means "no descriptor".
class UniqueFd {
 public:
  UniqueFd() noexcept = default;
  explicit UniqueFd(int fd) noexcept : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    reset(other.release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { reset(); }

  int get() const noexcept { return fd_; }
  bool valid() const noexcept { return fd_ >= 0; }

  // Gives up ownership without closing.
  int release() noexcept { return std::exchange(fd_, -1); }

  // Closes the descriptor held (if any) and takes `fd` instead.
  void reset(int fd = -1) noexcept {
    int old = std::exchange(fd_, fd);
    // close() is never retried: after EINTR the descriptor is already gone
    // on Linux and unspecified elsewhere, and a retry could close a number
    // that has since been handed out again.
    if (old >= 0)
      ::close(old);
  }

 private:
  int fd_ = -1;
};

}  // namespace ramdisk

#endif  // RAMDISK_CORE_COMMON_UNIQUE_FD_H_
