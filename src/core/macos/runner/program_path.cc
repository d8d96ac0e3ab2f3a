#include "core/macos/runner/program_path.h"

#include <sys/stat.h>

#include <cstdlib>

#include "core/common/messages.h"
#include "core/macos/runner/process_error.h"

namespace ramdisk {

namespace {

bool IsExistingFile(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

}  // namespace

std::string FindProgramFile(const std::string& executable) {
  // A bare name is never taken from the working directory by itself: run
  // with sudo from a directory that others can write to, that would run
  // whatever file they left there under the tool's name.
  if (executable.find('/') != std::string::npos && IsExistingFile(executable))
    return executable;
  if (const char* path = std::getenv("PATH")) {
    std::string entries(path);
    std::string::size_type start = 0;
    while (start <= entries.size()) {
      std::string::size_type end = entries.find(':', start);
      if (end == std::string::npos)
        end = entries.size();
      // An empty entry would otherwise turn into "/" + name, a file at the
      // root of the file system.
      if (end > start) {
        std::string candidate = entries.substr(start, end - start);
        if (candidate.back() != '/')
          candidate += '/';
        candidate += executable;
        if (IsExistingFile(candidate))
          return candidate;
      }
      start = end + 1;
    }
  }
  throw EProcess(FormatMessage(messages::kExecutableNotFound, executable));
}

}  // namespace ramdisk
