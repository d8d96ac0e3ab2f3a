#ifndef RAMDISK_CORE_MACOS_RUNNER_TOOL_OUTPUT_H_
#define RAMDISK_CORE_MACOS_RUNNER_TOOL_OUTPUT_H_

#include <poll.h>

#include <array>
#include <cstddef>
#include <string>

#include "core/common/unique_fd.h"
#include "core/macos/runner/output_capture.h"

namespace ramdisk {

// The runner's ends of a tool's two output pipes, and what is kept of them:
// the message line of standard error (FirstLineCapture) and, when asked
// for, standard output up to kMaxToolOutputBytes.
class ToolOutput {
 public:
  // `output` and `error` may be invalid: that stream is then at its end.
  // `tool` names the tool as it prints its warnings.
  ToolOutput(UniqueFd output, UniqueFd error, bool keep_output, std::string tool);

  // Whether either stream is still open.
  bool open() const { return ends_[0].valid() || ends_[1].valid(); }

  // Fills the first two entries with the streams to poll; poll skips one
  // already closed (negative).
  void Watch(pollfd (&fds)[3]) const;

  // Reads once from each stream that poll reported ready, closing a stream
  // at its end or on an error; returns the number of bytes read.
  std::size_t ReadReady(const pollfd (&fds)[3]);

  // For a tool that has been reaped: takes what its pipes hold already,
  // without waiting for more, then closes them. A stream is read only while
  // more of it could change what is kept, and at most kMaxToolOutputBytes
  // in all, so a process left behind that keeps writing cannot hold the run
  // up. A last line of standard error without a line end counts once the
  // pipe holds nothing more, but not where reading stopped at that bound,
  // inside a line that may go on.
  void TakeRest();

  std::string ErrorLine() const { return error_line_.Line(); }
  BoundedCapture& output_text() { return output_text_; }

 private:
  bool Wanted(int i) const;
  std::size_t ReadOnce(int i);

  UniqueFd ends_[2];
  bool keep_output_;
  BoundedCapture output_text_;
  FirstLineCapture error_line_;
  // Left unfilled: only what read() stores is ever used, and zeroing 64 KiB
  // on every run was a third of the tool's own work when adding a disk.
  std::array<char, 64 * 1024> buffer_;
};

}  // namespace ramdisk

#endif  // RAMDISK_CORE_MACOS_RUNNER_TOOL_OUTPUT_H_
