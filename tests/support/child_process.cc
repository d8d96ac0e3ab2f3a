#include "support/child_process.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <stdexcept>

namespace ramdisk::testing {

namespace {

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> result;
  for (std::string& s : strings)
    result.push_back(s.data());
  result.push_back(nullptr);
  return result;
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options) {
  std::vector<std::string> argv_strings;
  argv_strings.push_back(options.argv0.empty() ? program : options.argv0);
  argv_strings.insert(argv_strings.end(), args.begin(), args.end());
  std::vector<char*> argv = Pointers(argv_strings);

  int out_pipe[2], err_pipe[2];
  if (::pipe(out_pipe) != 0)
    throw std::runtime_error("pipe failed");
  if (::pipe(err_pipe) != 0) {
    ::close(out_pipe[0]);
    ::close(out_pipe[1]);
    throw std::runtime_error("pipe failed");
  }
  pid_t pid = ::fork();
  if (pid < 0)
    throw std::runtime_error("fork failed");
  if (pid == 0) {
    int null_fd = ::open("/dev/null", O_RDONLY);
    ::dup2(null_fd, 0);
    if (options.stdout_broken) {
      int unread[2];
      if (::pipe(unread) != 0)
        ::_exit(126);
      ::close(unread[0]);
      ::dup2(unread[1], 1);
      ::close(unread[1]);
      ::signal(SIGPIPE, SIG_IGN);
    } else if (options.stdout_closed) {
      ::close(1);
    } else if (!options.stdout_path.empty()) {
      int existing = options.stdout_append ? O_APPEND : O_TRUNC;
      int fd = ::open(options.stdout_path.c_str(), O_WRONLY | O_CREAT | existing, 0644);
      ::dup2(fd, 1);
    } else {
      ::dup2(out_pipe[1], 1);
    }
    ::dup2(err_pipe[1], 2);
    for (int fd : {null_fd, out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) {
      if (fd > 2)
        ::close(fd);
    }
    // The test process has one thread, so the child may change its copy.
    for (const std::string& entry : options.environment) {
      std::string::size_type eq = entry.find('=');
      ::setenv(entry.substr(0, eq).c_str(), entry.substr(eq + 1).c_str(), 1);
    }
    if (options.ignore_sigchld)
      ::signal(SIGCHLD, SIG_IGN);
    if (!options.working_directory.empty() && ::chdir(options.working_directory.c_str()) != 0)
      ::_exit(126);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(out_pipe[1]);
  ::close(err_pipe[1]);

  ProcessResult result;
  pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.out, &result.err};
  int open_count = 2;
  while (open_count > 0) {
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR)
        continue;
      break;
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0)
        continue;
      char buffer[65536];
      ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        sinks[i]->append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        ::close(fds[i].fd);
        fds[i].fd = -1;
        --open_count;
      }
    }
  }
  int status = 0;
  rusage usage{};
  while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
  }
  result.max_rss_kb = usage.ru_maxrss;
  if (WIFEXITED(status))
    result.exit_code = WEXITSTATUS(status);
  return result;
}

int CountOpenDescriptors() {
  int count = 0;
  int limit = static_cast<int>(::sysconf(_SC_OPEN_MAX));
  if (limit <= 0 || limit > 65536)
    limit = 65536;
  for (int fd = 0; fd < limit; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1)
      ++count;
  }
  return count;
}

}  // namespace ramdisk::testing
