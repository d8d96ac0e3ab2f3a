#include "core/macos/runner/tool_output.h"

#include <errno.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

#include "core/macos/runner/child_process.h"

namespace ramdisk {

ToolOutput::ToolOutput(UniqueFd output, UniqueFd error, bool keep_output, std::string tool)
    : ends_{std::move(output), std::move(error)},
      keep_output_(keep_output),
      output_text_(keep_output ? kMaxToolOutputBytes : 0),
      error_line_(std::move(tool)) {}

void ToolOutput::Watch(pollfd (&fds)[3]) const {
  for (int i = 0; i < 2; ++i)
    fds[i] = {ends_[i].get(), POLLIN, 0};
}

std::size_t ToolOutput::ReadReady(const pollfd (&fds)[3]) {
  std::size_t read = 0;
  for (int i = 0; i < 2; ++i) {
    if (fds[i].revents != 0)
      read += ReadOnce(i);
  }
  return read;
}

void ToolOutput::TakeRest() {
  // A process left behind may keep writing warnings for ever; what the
  // pipes held when the tool ended is far less than this.
  std::size_t left = kMaxToolOutputBytes;
  for (;;) {
    pollfd fds[3] = {};
    Watch(fds);
    fds[2].fd = -1;
    bool wanted = false;
    for (int i = 0; i < 2; ++i) {
      if (!Wanted(i))
        fds[i].fd = -1;
      wanted = wanted || fds[i].fd >= 0;
    }
    if (!wanted || left == 0)
      break;
    int ready = ::poll(fds, 2, 0);
    if (ready < 0 && errno == EINTR)
      continue;
    if (ready <= 0) {
      if (ready == 0)
        error_line_.End();
      break;
    }
    left -= std::min(left, ReadReady(fds));
  }
  ends_[0].reset();
  ends_[1].reset();
}

bool ToolOutput::Wanted(int i) const {
  if (!ends_[i].valid())
    return false;
  return i == 0 ? keep_output_ && !output_text_.overflowed() : !error_line_.complete();
}

std::size_t ToolOutput::ReadOnce(int i) {
  ssize_t n = ::read(ends_[i].get(), buffer_.data(), buffer_.size());
  if (n > 0) {
    if (i == 1)
      error_line_.Append(buffer_.data(), static_cast<std::size_t>(n));
    else if (keep_output_)
      output_text_.Append(buffer_.data(), static_cast<std::size_t>(n));
    return static_cast<std::size_t>(n);
  }
  if (n == 0 && i == 1)
    error_line_.End();
  if (n == 0 || errno != EINTR)
    ends_[i].reset();
  return 0;
}

}  // namespace ramdisk
