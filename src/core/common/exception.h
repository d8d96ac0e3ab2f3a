#ifndef RAMDISK_CORE_COMMON_EXCEPTION_H_
#define RAMDISK_CORE_COMMON_EXCEPTION_H_

#include <exception>
#include <initializer_list>
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

// Fills the "%s" of a message template (messages.h) with `args`, in order;
// a "%s" without an argument stays. The template is a fixed text of ours;
// each argument is inserted byte for byte, never interpreted.
std::string FormatMessage(const std::string& format, std::initializer_list<std::string> args);
inline std::string FormatMessage(const std::string& format, const std::string& arg) {
  return FormatMessage(format, {arg});
}

}  // namespace ramdisk

#endif  // RAMDISK_CORE_COMMON_EXCEPTION_H_
