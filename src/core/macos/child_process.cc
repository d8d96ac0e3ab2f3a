#include "core/macos/child_process.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <utility>
#include <vector>

#include "core/common/unique_fd.h"
#include "core/macos/output_capture.h"
#include "core/macos/process_error.h"
#include "core/macos/program_path.h"

extern char** environ;

namespace ramdisk {

namespace {

struct Pipe {
  UniqueFd read_end;
  UniqueFd write_end;
};

// Every pipe end is kept above the standard descriptors, so that dup2 onto
// 0, 1 and 2 in the child never overwrites another end and always clears
// close-on-exec on its target; and every end is close-on-exec, so that only
// 0, 1 and 2 reach the tool.
bool PrepareEnd(UniqueFd& fd) {
  if (fd.get() <= STDERR_FILENO) {
    int moved = ::fcntl(fd.get(), F_DUPFD, STDERR_FILENO + 1);
    if (moved < 0)
      return false;
    fd.reset(moved);
  }
  return ::fcntl(fd.get(), F_SETFD, FD_CLOEXEC) == 0;
}

bool CreatePipe(Pipe& pipe) {
  int fds[2];
  if (::pipe(fds) != 0)
    return false;
  pipe.read_end.reset(fds[0]);
  pipe.write_end.reset(fds[1]);
  return PrepareEnd(pipe.read_end) && PrepareEnd(pipe.write_end);
}

bool DuplicateOnto(int from, int to) {
  while (::dup2(from, to) < 0) {
    if (errno != EINTR)
      return false;
  }
  return true;
}

// Runs in the forked child: async-signal-safe calls only.
[[noreturn]] void ExecuteInChild(const char* path, char* const* argv, char* const* envp, int input,
                                 int output, int error) {
  if (DuplicateOnto(input, STDIN_FILENO) && DuplicateOnto(output, STDOUT_FILENO) &&
      DuplicateOnto(error, STDERR_FILENO))
    ::execve(path, argv, envp);
  ::_exit(127);
}

int WaitForExit(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR)
      return -1;
  }
  if (WIFEXITED(status))
    return WEXITSTATUS(status);
  if (WIFSIGNALED(status))
    return -status;
  return -1;
}

// Reaps the child on every way out of a run, so that no zombie is left.
class ChildReaper {
 public:
  explicit ChildReaper(pid_t pid) : pid_(pid) {}
  ChildReaper(const ChildReaper&) = delete;
  ChildReaper& operator=(const ChildReaper&) = delete;
  ~ChildReaper() {
    if (pid_ > 0)
      WaitForExit(pid_);
  }

  int Wait() { return WaitForExit(std::exchange(pid_, -1)); }

 private:
  pid_t pid_;
};

// Reads once from a stream that poll reported ready; closes it at its end.
template <typename Sink>
void ReadReady(UniqueFd& fd, char* buffer, std::size_t size, Sink&& sink) {
  ssize_t n = ::read(fd.get(), buffer, size);
  if (n > 0)
    sink(buffer, static_cast<std::size_t>(n));
  else if (n == 0 || errno != EINTR)
    fd.reset();
}

// Reads both streams as they fill until both are at end of file. Waiting
// for the child first would leave it blocked on a full pipe for good.
void Drain(UniqueFd& output, UniqueFd& error, BoundedCapture* output_text,
           FirstLineCapture& error_line) {
  static constexpr std::size_t kChunk = 64 * 1024;
  // Left unfilled: only what read() stores is ever used, and zeroing 64 KiB
  // on every run was a third of the tool's own work when adding a disk.
  std::array<char, kChunk> buffer;
  while (output.valid() || error.valid()) {
    // poll skips the entry of a stream already closed (negative descriptor).
    pollfd ready[2] = {{output.get(), POLLIN, 0}, {error.get(), POLLIN, 0}};
    if (::poll(ready, 2, -1) < 0) {
      if (errno == EINTR)
        continue;
      throw EProcess("Failed to read tool output");
    }
    if (ready[0].revents != 0) {
      ReadReady(output, buffer.data(), kChunk, [&](const char* data, std::size_t size) {
        if (output_text != nullptr)
          output_text->Append(data, size);
      });
    }
    if (ready[1].revents != 0) {
      ReadReady(error, buffer.data(), kChunk,
                [&](const char* data, std::size_t size) { error_line.Append(data, size); });
    }
  }
}

}  // namespace

ChildOutcome RunChildProcess(const std::string& executable, const TStringArray& argv,
                             bool keep_output) {
  Pipe output, input, error;
  if (!CreatePipe(output) || !CreatePipe(input) || !CreatePipe(error))
    throw EProcess("Failed to create pipes");
  if (executable.empty())
    throw EProcess("Cannot execute empty command-line");
  const std::string path = FindProgramFile(executable);

  // Everything the child uses is made before fork: it must not allocate.
  TStringArray arguments(argv);
  std::vector<char*> argument_pointers;
  argument_pointers.reserve(arguments.size() + 1);
  for (std::string& argument : arguments)
    argument_pointers.push_back(argument.data());
  argument_pointers.push_back(nullptr);
  char* const* environment = environ;

  pid_t pid = ::fork();
  if (pid < 0)
    throw EProcess("Failed to Fork process");
  if (pid == 0) {
    ExecuteInChild(path.c_str(), argument_pointers.data(), environment, input.read_end.get(),
                   output.write_end.get(), error.write_end.get());
  }

  ChildReaper child(pid);
  output.write_end.reset();
  error.write_end.reset();
  input.read_end.reset();
  // Nothing is ever written to the tool: it sees the end of its input.
  input.write_end.reset();
  // Declared after the reaper, so that on an exception they close first and
  // a child still writing gets EPIPE instead of blocking the reaper's wait.
  UniqueFd output_end = std::move(output.read_end);
  UniqueFd error_end = std::move(error.read_end);

  ChildOutcome outcome;
  BoundedCapture output_text(kMaxToolOutputBytes);
  FirstLineCapture error_line;
  Drain(output_end, error_end, keep_output ? &output_text : nullptr, error_line);
  outcome.exit_status = child.Wait();
  outcome.error_line = error_line.Line();
  if (keep_output) {
    outcome.output = std::move(output_text.text());
    outcome.output_overflowed = output_text.overflowed();
  }
  return outcome;
}

}  // namespace ramdisk
