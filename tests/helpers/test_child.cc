// A child process for the runner's tests. It works through its arguments in
// order:
//   stdout:TEXT  stderr:TEXT     write TEXT as it is
//   stdout-bytes:N stderr-bytes:N  write N bytes of 'x'
//   both-bytes:N                 write N bytes to each stream, alternating
//   read-stdin                   read standard input to its end
//   argv-file:PATH               write every argv entry to PATH, each
//                                followed by a NUL byte, and exit 0
//   list-fds                     write the open descriptors above 2 to
//                                stderr, as " 3 7", and a line feed
//   exit:N                       exit with code N
//   signal:N                     raise signal N
// Other arguments are ignored; running out of arguments exits 0.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void WriteAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      std::_Exit(98);
    data += n;
    size -= static_cast<std::size_t>(n);
  }
}

void WriteBytes(int fd, std::size_t count) {
  static const std::string chunk(64 * 1024, 'x');
  while (count > 0) {
    std::size_t n = count < chunk.size() ? count : chunk.size();
    WriteAll(fd, chunk.data(), n);
    count -= n;
  }
}

// Alternating keeps both pipes full at once: a runner that reads one
// stream to its end before the other never finishes.
void WriteBoth(std::size_t count) {
  static const std::string chunk(64 * 1024, 'x');
  while (count > 0) {
    std::size_t n = count < chunk.size() ? count : chunk.size();
    WriteAll(STDOUT_FILENO, chunk.data(), n);
    WriteAll(STDERR_FILENO, chunk.data(), n);
    count -= n;
  }
}

void ReadInput() {
  // A runner that keeps the input open would leave us here for good.
  ::alarm(10);
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(STDIN_FILENO, buffer, sizeof buffer)) != 0) {
    if (n < 0 && errno != EINTR)
      std::_Exit(97);
  }
  ::alarm(0);
}

int WriteArgv(const char* path, int argc, char** argv) {
  int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0)
    std::_Exit(96);
  for (int i = 0; i < argc; ++i)
    WriteAll(fd, argv[i], std::strlen(argv[i]) + 1);
  ::close(fd);
  return 0;
}

void ListDescriptors() {
  std::string list;
  for (int fd = 3; fd < 4096; ++fd) {
    if (::fcntl(fd, F_GETFD) != -1)
      list += " " + std::to_string(fd);
  }
  list += "\n";
  WriteAll(STDERR_FILENO, list.data(), list.size());
}

bool Take(const std::string& argument, const char* command, std::string& rest) {
  std::size_t length = std::strlen(command);
  if (argument.compare(0, length, command) != 0)
    return false;
  rest = argument.substr(length);
  return true;
}

std::size_t Count(const std::string& text) {
  return static_cast<std::size_t>(std::strtoull(text.c_str(), nullptr, 10));
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    std::string rest;
    if (Take(argument, "stdout:", rest))
      WriteAll(STDOUT_FILENO, rest.data(), rest.size());
    else if (Take(argument, "stderr:", rest))
      WriteAll(STDERR_FILENO, rest.data(), rest.size());
    else if (Take(argument, "stdout-bytes:", rest))
      WriteBytes(STDOUT_FILENO, Count(rest));
    else if (Take(argument, "stderr-bytes:", rest))
      WriteBytes(STDERR_FILENO, Count(rest));
    else if (Take(argument, "both-bytes:", rest))
      WriteBoth(Count(rest));
    else if (argument == "read-stdin")
      ReadInput();
    else if (Take(argument, "argv-file:", rest))
      return WriteArgv(rest.c_str(), argc, argv);
    else if (argument == "list-fds")
      ListDescriptors();
    else if (Take(argument, "exit:", rest))
      return std::atoi(rest.c_str());
    else if (Take(argument, "signal:", rest))
      ::raise(std::atoi(rest.c_str()));
  }
  return 0;
}
