#include "core/macos/child_process.h"

#include <errno.h>
#include <poll.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "core/common/messages.h"
#include "core/macos/child_exit_signal.h"
#include "core/macos/output_capture.h"
#include "core/macos/pipe_ends.h"
#include "core/macos/process_error.h"
#include "core/macos/program_path.h"

extern char** environ;

namespace ramdisk {

namespace {

bool DuplicateOnto(int from, int to) {
  while (::dup2(from, to) < 0) {
    if (errno != EINTR)
      return false;
  }
  return true;
}

// Runs in the forked child: async-signal-safe calls only.
[[noreturn]] void ExecuteInChild(const ChildExitSignal& exits, const char* path, char* const* argv,
                                 char* const* envp, int input, int output, int error) {
  exits.RestoreInChild();
  if (DuplicateOnto(input, STDIN_FILENO) && DuplicateOnto(output, STDOUT_FILENO) &&
      DuplicateOnto(error, STDERR_FILENO))
    ::execve(path, argv, envp);
  ::_exit(127);
}

// Reaps the child on every way out of a run, so that no zombie is left.
class ChildReaper {
 public:
  explicit ChildReaper(pid_t pid) : pid_(pid) {}
  ChildReaper(const ChildReaper&) = delete;
  ChildReaper& operator=(const ChildReaper&) = delete;
  ~ChildReaper() { Reap(true); }

  // Reaps the child if it has ended or, with `block`, once it does. True
  // once it is reaped, or when waiting for it failed; status() tells which.
  bool Reap(bool block) {
    if (pid_ <= 0)
      return true;
    int raw = 0;
    pid_t result;
    while ((result = ::waitpid(pid_, &raw, block ? 0 : WNOHANG)) < 0 && errno == EINTR) {
    }
    if (result == 0)
      return false;
    pid_ = -1;
    if (result > 0 && WIFEXITED(raw))
      status_ = WEXITSTATUS(raw);
    else if (result > 0 && WIFSIGNALED(raw))
      status_ = -raw;
    return true;
  }

  int status() const { return status_; }

 private:
  pid_t pid_;
  int status_ = -1;
};

// The runner's ends of the tool's two output pipes, and what is kept of
// them: the message line of standard error and, when asked for, standard
// output. `tool` names the tool as it prints its warnings.
class ToolOutput {
 public:
  ToolOutput(UniqueFd output, UniqueFd error, bool keep_output, std::string tool)
      : ends_{std::move(output), std::move(error)},
        keep_output_(keep_output),
        output_text_(keep_output ? kMaxToolOutputBytes : 0),
        error_line_(std::move(tool)) {}

  bool open() const { return ends_[0].valid() || ends_[1].valid(); }

  // The two streams to poll; poll skips one already closed (negative).
  void Watch(pollfd (&fds)[3]) const {
    for (int i = 0; i < 2; ++i)
      fds[i] = {ends_[i].get(), POLLIN, 0};
  }

  // Reads once from each stream that poll reported ready; returns the
  // number of bytes read.
  std::size_t ReadReady(const pollfd (&fds)[3]) {
    std::size_t read = 0;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].revents != 0)
        read += ReadOnce(i);
    }
    return read;
  }

  // For a tool that has been reaped: takes what its pipes hold already,
  // without waiting for more, then closes them. A stream is read only while
  // more of it could change what is kept, so a process left behind that
  // keeps writing cannot hold the run up.
  void TakeRest() {
    // A process left behind may keep writing warnings for ever; what the
    // pipes held when the tool ended is far less than this.
    std::size_t left = kMaxToolOutputBytes;
    for (;;) {
      pollfd fds[3] = {};
      Watch(fds);
      fds[2].fd = -1;
      bool wanted = false;
      for (int i = 0; i < 2; ++i) {
        if (!Wanted(i))
          fds[i].fd = -1;
        wanted = wanted || fds[i].fd >= 0;
      }
      if (!wanted || left == 0)
        break;
      int ready = ::poll(fds, 2, 0);
      if (ready < 0 && errno == EINTR)
        continue;
      if (ready <= 0)
        break;
      left -= std::min(left, ReadReady(fds));
    }
    ends_[0].reset();
    ends_[1].reset();
  }

  std::string ErrorLine() const { return error_line_.Line(); }
  BoundedCapture& output_text() { return output_text_; }

 private:
  bool Wanted(int i) const {
    if (!ends_[i].valid())
      return false;
    return i == 0 ? keep_output_ && !output_text_.overflowed() : !error_line_.complete();
  }

  // Closes the stream at its end or on an error; returns the number of
  // bytes read.
  std::size_t ReadOnce(int i) {
    ssize_t n = ::read(ends_[i].get(), buffer_.data(), buffer_.size());
    if (n > 0) {
      if (i == 1)
        error_line_.Append(buffer_.data(), static_cast<std::size_t>(n));
      else if (keep_output_)
        output_text_.Append(buffer_.data(), static_cast<std::size_t>(n));
      return static_cast<std::size_t>(n);
    }
    if (n == 0 && i == 1)
      error_line_.End();
    if (n == 0 || errno != EINTR)
      ends_[i].reset();
    return 0;
  }

  UniqueFd ends_[2];
  bool keep_output_;
  BoundedCapture output_text_;
  FirstLineCapture error_line_;
  // Left unfilled: only what read() stores is ever used, and zeroing 64 KiB
  // on every run was a third of the tool's own work when adding a disk.
  std::array<char, 64 * 1024> buffer_;
};

// Reads both streams as they fill until the tool has ended, and returns its
// exit status. Waiting for the tool first would leave it blocked on a full
// pipe for good; reading both streams to their end would wait as well for
// any process the tool left behind that still holds them.
int RunUntilExit(ChildReaper& child, const ChildExitSignal& exits, ToolOutput& output) {
  while (output.open()) {
    pollfd fds[3];
    output.Watch(fds);
    fds[2] = {exits.fd(), POLLIN, 0};
    if (::poll(fds, 3, -1) < 0) {
      if (errno == EINTR)
        continue;
      throw EProcess(messages::kReadToolOutputFailed);
    }
    output.ReadReady(fds);
    if (fds[2].revents != 0) {
      exits.Clear();
      // Another child of this process may have ended instead.
      if (child.Reap(false)) {
        output.TakeRest();
        return child.status();
      }
    }
  }
  child.Reap(true);
  return child.status();
}

}  // namespace

ChildOutcome RunChildProcess(const std::string& executable, const TStringArray& argv,
                             bool keep_output) {
  PipeEnds output, input, error, wake;
  if (!CreatePipe(output) || !CreatePipe(input) || !CreatePipe(error) ||
      !CreatePipe(wake, /*nonblocking=*/true))
    throw EProcess(messages::kCreatePipesFailed);
  if (executable.empty())
    throw EProcess(messages::kEmptyCommandLine);
  const std::string path = FindProgramFile(executable);

  // Everything the child uses is made before fork: it must not allocate.
  TStringArray arguments(argv);
  std::vector<char*> argument_pointers;
  argument_pointers.reserve(arguments.size() + 1);
  for (std::string& argument : arguments)
    argument_pointers.push_back(argument.data());
  argument_pointers.push_back(nullptr);
  char* const* environment = environ;

  // Caught before fork: a tool that ends at once must still be noticed.
  ChildExitSignal exits(std::move(wake));
  pid_t pid = ::fork();
  if (pid < 0)
    throw EProcess(messages::kForkFailed);
  if (pid == 0) {
    ExecuteInChild(exits, path.c_str(), argument_pointers.data(), environment, input.read_end.get(),
                   output.write_end.get(), error.write_end.get());
  }

  ChildReaper child(pid);
  output.write_end.reset();
  error.write_end.reset();
  input.read_end.reset();
  // Nothing is ever written to the tool: it sees the end of its input.
  input.write_end.reset();
  // Declared after the reaper, so that on an exception the pipes close
  // first and a child still writing gets EPIPE instead of blocking the
  // reaper's wait.
  // A tool names itself in its warnings by the base name it was run under.
  ToolOutput tool_output(std::move(output.read_end), std::move(error.read_end), keep_output,
                         executable.substr(executable.rfind('/') + 1));

  ChildOutcome outcome;
  outcome.exit_status = RunUntilExit(child, exits, tool_output);
  outcome.error_line = tool_output.ErrorLine();
  if (keep_output) {
    outcome.output = std::move(tool_output.output_text().text());
    outcome.output_overflowed = tool_output.output_text().overflowed();
  }
  return outcome;
}

}  // namespace ramdisk
