#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "platform_state.h"

namespace ramdisk::standin {

namespace internal {

namespace {

// Opened per line with O_APPEND, so the lines interleave correctly with
// whatever else writes to the same file, such as the program's own output.
void AppendToFile(const char* path, const std::string& line) {
  int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0)
    return;
  std::size_t done = 0;
  while (done < line.size()) {
    ssize_t n = ::write(fd, line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
}

}  // namespace

State& GetState() {
  static State state;
  return state;
}

void Record(std::string function, std::vector<std::string> arguments, std::string result) {
  PlatformCall call{std::move(function), std::move(arguments), std::move(result)};
  const char* path = std::getenv(kCallLogVariable);
  if (path != nullptr && *path != '\0')
    AppendToFile(path, call.Text() + "\n");
  GetState().calls.push_back(std::move(call));
}

void Crash(const std::string& message) {
  std::fprintf(stderr, "platform stand-in: %s\n", message.c_str());
  std::abort();
}

}  // namespace internal

std::string PlatformCall::Text() const {
  std::string text = function + "(";
  for (std::size_t i = 0; i < arguments.size(); ++i)
    text += (i == 0 ? "" : ", ") + arguments[i];
  text += ")";
  if (!result.empty())
    text += " = " + result;
  return text;
}

bool operator==(const PlatformCall& a, const PlatformCall& b) {
  return a.function == b.function && a.arguments == b.arguments && a.result == b.result;
}

std::ostream& operator<<(std::ostream& os, const PlatformCall& call) { return os << call.Text(); }

std::string Describe(const void* pointer) {
  if (pointer == nullptr)
    return "NULL";
  if (pointer == kCFRunLoopDefaultMode)
    return "kCFRunLoopDefaultMode";
  if (pointer == kDADiskDescriptionMatchVolumeMountable)
    return "kDADiskDescriptionMatchVolumeMountable";
  if (pointer == kDADiskDescriptionWatchVolumeName)
    return "kDADiskDescriptionWatchVolumeName";
  const internal::State& state = internal::GetState();
  auto named = state.names.find(pointer);
  if (named != state.names.end())
    return named->second;
  char text[2 + 2 * sizeof(std::uintptr_t) + 1];
  std::snprintf(text, sizeof text, "0x%jx",
                static_cast<std::uintmax_t>(reinterpret_cast<std::uintptr_t>(pointer)));
  return text;
}

std::vector<PlatformCall> CallLog() { return internal::GetState().calls; }

void ClearCallLog() { internal::GetState().calls.clear(); }

}  // namespace ramdisk::standin
