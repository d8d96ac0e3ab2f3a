#include "core/macos/runner/output_capture.h"

#include <algorithm>
#include <utility>

#include "core/common/ascii.h"

namespace ramdisk {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kWarning = ": WARNING:";
// Room for a mark in front of a first line of full length.
constexpr std::size_t kMaxRawLineBytes = FirstLineCapture::kMaxLineBytes + kByteOrderMark.size();

}  // namespace

bool IsToolWarning(std::string_view line, std::string_view tool) {
  if (tool.empty() || !StartsWith(line, tool))
    return false;
  line.remove_prefix(tool.size());
  if (StartsWith(line, kWarning))
    return true;
  if (!StartsWith(line, ": "))
    return false;
  line.remove_prefix(2);
  std::string_view::size_type word = line.find_first_of(": \t");
  return word != 0 && word != std::string_view::npos && StartsWith(line.substr(word), kWarning);
}

bool IsBlankLine(std::string_view line) {
  return line.find_first_not_of(" \t\r") == std::string_view::npos;
}

FirstLineCapture::FirstLineCapture(std::string tool) : tool_(std::move(tool)) {}

void FirstLineCapture::Append(const char* data, std::size_t size) {
  const char* end = data + size;
  while (data < end && !complete_) {
    const char* line_end = std::find_if(data, end, [](char c) { return c == '\n' || c == '\r'; });
    if (!skip_rest_) {
      std::size_t take =
          std::min(static_cast<std::size_t>(line_end - data), kMaxRawLineBytes - line_.size());
      line_.append(data, take);
      // A warning is told by its start, so a long one is judged at the
      // limit and the rest of it passed over unread.
      if (line_end == end && line_.size() == kMaxRawLineBytes) {
        EndLine();
        skip_rest_ = true;
      }
    }
    if (line_end == end)
      break;
    if (!std::exchange(skip_rest_, false))
      EndLine();
    data = line_end + 1;
  }
}

void FirstLineCapture::EndLine() {
  if (!seen_first_ && StartsWith(line_, kByteOrderMark))
    line_.erase(0, kByteOrderMark.size());
  line_.resize(std::min(line_.size(), kMaxLineBytes));
  seen_first_ = true;
  const bool blank = IsBlankLine(line_);
  if (!blank && !IsToolWarning(line_, tool_)) {
    // The line stays in line_ as the message.
    complete_ = true;
    return;
  }
  if (!blank && first_.empty())
    first_ = std::move(line_);
  line_.clear();
}

void FirstLineCapture::End() {
  if (!complete_ && !skip_rest_ && !line_.empty())
    EndLine();
}

std::string FirstLineCapture::Line() const {
  if (complete_)
    return line_;
  if (!first_.empty())
    return first_;
  // The line being read, while no line has qualified.
  std::string_view line = line_;
  if (!seen_first_ && StartsWith(line, kByteOrderMark))
    line.remove_prefix(kByteOrderMark.size());
  line = line.substr(0, kMaxLineBytes);
  return IsBlankLine(line) ? std::string() : std::string(line);
}

void BoundedCapture::Append(const char* data, std::size_t size) {
  std::size_t take = std::min(size, limit_ - text_.size());
  text_.append(data, take);
  overflowed_ = overflowed_ || take < size;
}

}  // namespace ramdisk
