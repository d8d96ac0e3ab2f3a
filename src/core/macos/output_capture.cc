#include "core/macos/output_capture.h"

#include <algorithm>

namespace ramdisk {

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr std::size_t kByteOrderMarkSize = sizeof kByteOrderMark - 1;

}  // namespace

void FirstLineCapture::Append(const char* data, std::size_t size) {
  if (complete_)
    return;
  const char* end = data + size;
  const char* line_end = std::find_if(data, end, [](char c) { return c == '\n' || c == '\r'; });
  // Room for a mark in front of a line of full length.
  std::size_t room = kMaxLineBytes + kByteOrderMarkSize - raw_.size();
  std::size_t take = std::min(static_cast<std::size_t>(line_end - data), room);
  raw_.append(data, take);
  complete_ = line_end != end || raw_.size() == kMaxLineBytes + kByteOrderMarkSize;
}

std::string FirstLineCapture::Line() const {
  std::string::size_type skip =
      raw_.compare(0, kByteOrderMarkSize, kByteOrderMark) == 0 ? kByteOrderMarkSize : 0;
  return raw_.substr(skip, kMaxLineBytes);
}

void BoundedCapture::Append(const char* data, std::size_t size) {
  std::size_t take = std::min(size, limit_ - text_.size());
  text_.append(data, take);
  overflowed_ = overflowed_ || take < size;
}

}  // namespace ramdisk
