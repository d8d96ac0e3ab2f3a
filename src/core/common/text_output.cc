#include "core/common/text_output.h"

#include <errno.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>

namespace ramdisk {

TextOutput::TextOutput(int fd, bool line_mode, std::size_t capacity)
    : fd_(fd), line_mode_(line_mode), capacity_(std::max<std::size_t>(capacity, 1)) {
  buffer_.reserve(capacity_);
}

void TextOutput::Write(std::string_view text) {
  while (!text.empty()) {
    std::size_t take = std::min(capacity_ - buffer_.size(), text.size());
    buffer_.append(text.substr(0, take));
    text.remove_prefix(take);
    if (buffer_.size() == capacity_)
      Flush();
  }
}

void TextOutput::WriteLine(std::string_view text) {
  Write(text);
  Write("\n");
  if (line_mode_)
    Flush();
}

void TextOutput::Flush() {
  if (!WriteOut())
    throw EOutputError();
}

bool TextOutput::FlushQuietly() noexcept { return WriteOut(); }

bool TextOutput::WriteOut() noexcept {
  std::size_t done = 0;
  bool ok = true;
  while (done < buffer_.size()) {
    ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // Someone left our output non-blocking; wait until it drains.
      pollfd ready = {fd_, POLLOUT, 0};
      if (::poll(&ready, 1, -1) < 0 && errno != EINTR) {
        ok = false;
        break;
      }
    } else {
      ok = false;
      break;
    }
  }
  buffer_.clear();
  return ok;
}

TextOutput& StdOut() {
  static TextOutput output(STDOUT_FILENO, ::isatty(STDOUT_FILENO) == 1);
  return output;
}

}  // namespace ramdisk
