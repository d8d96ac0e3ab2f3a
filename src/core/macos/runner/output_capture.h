#ifndef RAMDISK_CORE_MACOS_RUNNER_OUTPUT_CAPTURE_H_
#define RAMDISK_CORE_MACOS_RUNNER_OUTPUT_CAPTURE_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace ramdisk {

// Whether `line` is one of the warnings that `tool` prints before its real
// message: the tool's name, then ": WARNING:" or ": <word>: WARNING:"
// ("hdiutil: WARNING: ...", "hdiutil: attach: WARNING: ..."). No line is a
// warning of a tool without a name.
bool IsToolWarning(std::string_view line, std::string_view tool);

// Whether `line` holds nothing but spaces, tabs and carriage returns, or
// nothing at all.
bool IsBlankLine(std::string_view line);

// Collects the message line of a tool's standard error, which arrives in
// pieces of any size: the first line that is neither a warning of `tool`
// (IsToolWarning) nor blank (IsBlankLine), or, when no line is such a line,
// the first that is not blank; empty when every line is blank. Lines end at
// a line feed or a carriage return (a carriage return and line feed leave a
// blank line between them, passed over like any other); a byte-order mark
// at the start of the stream is not part of the first line. At most
// kMaxLineBytes of a line are kept and judged, and no more than the first
// warning and the line being read are held, however many warnings the
// stream holds.
class FirstLineCapture {
 public:
  static constexpr std::size_t kMaxLineBytes = 64 * 1024;

  // `tool`: the name the tool prints before its warnings, the base name of
  // what was run ("hdiutil").
  explicit FirstLineCapture(std::string tool = std::string());

  void Append(const char* data, std::size_t size);

  // The stream has ended, or holds nothing more for now and no more is to
  // be read: a last line without a line end counts as a line. A stream
  // whose reading stops otherwise may stop inside a line, which is then not
  // judged, unless no line before it is anything but blank.
  void End();

  // The message line as the stream stands; empty for an empty stream.
  std::string Line() const;

  // Whether the message line is found: more of the stream would change
  // nothing.
  bool complete() const { return complete_; }

 private:
  // Judges the line read so far, which has ended or reached its limit.
  void EndLine();

  std::string tool_;
  std::string line_;   // the line being read, up to its limit
  std::string first_;  // the first warning, once it has ended; never blank
  bool seen_first_ = false;
  bool skip_rest_ = false;  // the line reached its limit as a warning
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

#endif  // RAMDISK_CORE_MACOS_RUNNER_OUTPUT_CAPTURE_H_
