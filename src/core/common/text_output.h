#ifndef RAMDISK_CORE_COMMON_TEXT_OUTPUT_H_
#define RAMDISK_CORE_COMMON_TEXT_OUTPUT_H_

#include <cstddef>
#include <string>
#include <string_view>

#include "core/common/exception.h"
#include "core/common/messages.h"

namespace ramdisk {

// Raised when buffered text cannot be written out during the run.
class EOutputError : public Exception {
 public:
  EOutputError() : Exception(messages::kDiskFull) {}
};

// A buffered text writer on a file descriptor it does not own. Text is
// written out when the buffer fills and, in line mode (a terminal), after
// every line. A failed write discards what was buffered and raises
// EOutputError; the writer stays usable.
class TextOutput {
 public:
  static constexpr std::size_t kDefaultCapacity = 256;

  TextOutput(int fd, bool line_mode, std::size_t capacity = kDefaultCapacity);
  TextOutput(const TextOutput&) = delete;
  TextOutput& operator=(const TextOutput&) = delete;

  void Write(std::string_view text);
  // Writes `text` and a line feed.
  void WriteLine(std::string_view text);
  void Flush();
  // The final write-out at shutdown: a failure is swallowed, and reported
  // only through the result.
  bool FlushQuietly() noexcept;

 private:
  bool WriteOut() noexcept;

  int fd_;
  bool line_mode_;
  std::size_t capacity_;
  std::string buffer_;
};

// The process's standard output. Line mode is chosen on first use, by
// whether descriptor 1 is a terminal.
TextOutput& StdOut();

}  // namespace ramdisk

#endif  // RAMDISK_CORE_COMMON_TEXT_OUTPUT_H_
