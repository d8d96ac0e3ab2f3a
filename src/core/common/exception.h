#ifndef RAMDISK_CORE_COMMON_EXCEPTION_H_
#define RAMDISK_CORE_COMMON_EXCEPTION_H_

#include <exception>
#include <string>

namespace ramdisk {

// The common base of every error the system raises. It carries one
// human-readable line, which the entry point prints after "General error: ".
class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}

  const std::string& Message() const noexcept { return message_; }
  const char* what() const noexcept override { return message_.c_str(); }

 private:
  std::string message_;
};

// Fills the single "%s" of a message template. The template is a fixed text
// of ours; the argument is inserted byte for byte, never interpreted.
std::string FormatMessage(const std::string& format, const std::string& arg);

}  // namespace ramdisk

#endif  // RAMDISK_CORE_COMMON_EXCEPTION_H_
