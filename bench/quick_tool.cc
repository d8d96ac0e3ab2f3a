// A disk tool that exits at once, for timing what the caller itself costs.
// Built as "hdiutil" and "diskutil"; it keeps no state and records nothing.
//
//   hdiutil attach -plist ...   prints the property list of a RAM device
//   hdiutil attach ...          prints the padded device path
//   diskutil ...                prints nothing
//
// With RAMDISK_BENCH_STDERR_BYTES=N set, any run instead writes N bytes of
// error lines to standard error and exits with 1 (N may be 0).

#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "standin/tools/attach_plist.h"

namespace {

const char kPaddedDevice[] = "/dev/disk4          \t\n";

const char kErrorLine[] = "hdiutil: attach failed - Resource busy\n";

void WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n <= 0)
      std::_Exit(2);
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

// From a small buffer, so that the tool's own memory stays small.
[[noreturn]] void FailLoudly(unsigned long long bytes) {
  static char buffer[64 * 1024];
  const std::size_t line = sizeof kErrorLine - 1;
  for (std::size_t at = 0; at < sizeof buffer; at += line)
    memcpy(buffer + at, kErrorLine, std::min(line, sizeof buffer - at));
  while (bytes > 0) {
    std::size_t take = bytes < sizeof buffer ? static_cast<std::size_t>(bytes) : sizeof buffer;
    WriteAll(STDERR_FILENO, buffer, take);
    bytes -= take;
  }
  std::_Exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  if (const char* bytes = std::getenv("RAMDISK_BENCH_STDERR_BYTES"))
    FailLoudly(std::strtoull(bytes, nullptr, 10));
  const char* slash = strrchr(argv[0], '/');
  const std::string name = slash != nullptr ? slash + 1 : argv[0];
  if (name != "hdiutil" || argc < 2 || strcmp(argv[1], "attach") != 0)
    return 0;
  for (int i = 2; i < argc; ++i) {
    if (strcmp(argv[i], "-plist") == 0) {
      {
        const std::string plist = standin::AttachPlist("/dev/disk4");
        WriteAll(STDOUT_FILENO, plist.data(), plist.size());
      }
      return 0;
    }
  }
  WriteAll(STDOUT_FILENO, kPaddedDevice, sizeof kPaddedDevice - 1);
  return 0;
}
