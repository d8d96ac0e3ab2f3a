#ifndef RAMDISK_CORE_MACOS_OUTPUT_CAPTURE_H_
#define RAMDISK_CORE_MACOS_OUTPUT_CAPTURE_H_

#include <cstddef>
#include <string>

namespace ramdisk {

// Collects the first line of a stream that arrives in pieces of any size,
// keeping at most kMaxLineBytes of it whatever the stream holds.
class FirstLineCapture {
 public:
  static constexpr std::size_t kMaxLineBytes = 64 * 1024;

  void Append(const char* data, std::size_t size);

  // The text before the first line feed or carriage return, without a
  // leading UTF-8 byte-order mark; empty for an empty stream. A line longer
  // than kMaxLineBytes is cut there.
  std::string Line() const;

  // Whether the line is complete: more of the stream would change nothing.
  bool complete() const { return complete_; }

 private:
  std::string raw_;
  bool complete_ = false;
};

// Collects a stream up to `limit` bytes and notes whether more arrived.
class BoundedCapture {
 public:
  explicit BoundedCapture(std::size_t limit) : limit_(limit) {}

  void Append(const char* data, std::size_t size);

  bool overflowed() const { return overflowed_; }
  std::string& text() { return text_; }

 private:
  std::size_t limit_;
  std::string text_;
  bool overflowed_ = false;
};

}  // namespace ramdisk

#endif  // RAMDISK_CORE_MACOS_OUTPUT_CAPTURE_H_
