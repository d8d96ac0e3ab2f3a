// A child process for the runner's tests. Each argument is one step:
//   o:TEXT  e:TEXT  write TEXT to standard output / standard error
//   f:PATH          write the bytes of file PATH to standard output
//   B:N             write N bytes of 'x' to both streams, in turns
//   in              read standard input to its end
//   argv  fds       write to standard error every argv entry followed by '|',
//                   or the open descriptors above 2 (" 3 7"); then a line feed
//   sigchld         write to standard error "SIGCHLD ignored" or "SIGCHLD
//                   default" and a line feed, as this process found it
//   1:TEXT  2:TEXT  leave behind a process that holds standard output /
//                   standard error and writes TEXT there once the gate
//                   opens: once the descriptor that RAMDISK_TEST_CHILD_GATE
//                   names reads its end, or after 60 s without one
//   x:N  k:N        exit with code N / raise signal N
// Other arguments are ignored; after the last step the child exits 0. When
// the environment variable RAMDISK_TEST_CHILD_STEPS is set, its words are
// the steps instead, whatever the arguments: for a child run as a disk tool.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

static void Put(int fd, const std::string& text) {
  for (std::size_t done = 0; done < text.size();) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n <= 0)
      std::_Exit(98);
    done += static_cast<std::size_t>(n);
  }
}

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (const char* steps = std::getenv("RAMDISK_TEST_CHILD_STEPS")) {
    std::istringstream words(steps);
    args.assign(std::istream_iterator<std::string>(words), {});
  }
  for (const std::string& arg : args) {
    const std::string step = arg.substr(0, 2), rest = arg.substr(step.size());
    const int n = std::atoi(rest.c_str());
    std::string list;
    if (step == "o:" || step == "e:") {
      Put(step == "o:" ? STDOUT_FILENO : STDERR_FILENO, rest);
    } else if (step == "f:") {
      std::ifstream file(rest, std::ios::binary);
      Put(STDOUT_FILENO, std::string(std::istreambuf_iterator<char>(file), {}));
    } else if (step == "B:") {
      // Alternating keeps both pipes full: a runner that reads one stream
      // to its end before the other never finishes.
      for (int left = n; left > 0; left -= 64 * 1024) {
        Put(STDOUT_FILENO, std::string(std::min(left, 64 * 1024), 'x'));
        Put(STDERR_FILENO, std::string(std::min(left, 64 * 1024), 'x'));
      }
    } else if ((step == "1:" || step == "2:") && ::fork() == 0) {
      const int kept = step == "1:" ? STDOUT_FILENO : STDERR_FILENO;
      const char* gate_name = std::getenv("RAMDISK_TEST_CHILD_GATE");
      pollfd gate = {gate_name ? std::atoi(gate_name) : -1, POLLIN, 0};
      for (int fd = 0; fd < 4096; ++fd) {
        if (fd != kept && fd != gate.fd)
          ::close(fd);
      }
      ::poll(&gate, 1, 60 * 1000);
      Put(kept, rest);
      return 0;
    } else if (arg == "in") {
      ::alarm(10);  // a runner that keeps the input open must not hang us
      for (char buffer[4096]; ::read(STDIN_FILENO, buffer, sizeof buffer) > 0;) {
      }
    } else if (arg == "argv" || arg == "fds") {
      for (int j = 0; arg == "argv" && j < argc; ++j)
        list += std::string(argv[j]) + "|";
      for (int fd = 3; arg == "fds" && fd < 4096; ++fd)
        list += ::fcntl(fd, F_GETFD) != -1 ? " " + std::to_string(fd) : "";
      Put(STDERR_FILENO, list + "\n");
    } else if (arg == "sigchld") {
      struct sigaction found {};
      ::sigaction(SIGCHLD, nullptr, &found);
      Put(STDERR_FILENO, found.sa_handler == SIG_IGN ? "SIGCHLD ignored\n" : "SIGCHLD default\n");
    } else if (step == "x:" || step == "k:") {
      return step == "x:" ? n : ::raise(n);
    }
  }
  return 0;
}
