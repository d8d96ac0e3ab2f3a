#include "core/macos/runner/child_process.h"

#include <errno.h>
#include <poll.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <utility>
#include <vector>

#include "core/common/messages.h"
#include "core/macos/runner/child_exit_signal.h"
#include "core/macos/runner/pipe_ends.h"
#include "core/macos/runner/process_error.h"
#include "core/macos/runner/program_path.h"
#include "core/macos/runner/tool_output.h"

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
