// Runs commands for the benchmark and reports what they cost.
//
//   measure wall RUNS -- CMD... [-- CMD...]...
//       Runs the commands in turn (first, second, ..., first, ...) RUNS
//       times each and prints, per command, the median wall time in
//       microseconds on a line of its own. Standard input and output are
//       /dev/null. Fails when a run exits with a status other than 0.
//   measure rss -- CMD...
//       Runs the command once, standard input and output /dev/null, and
//       prints its peak resident memory in KiB (the largest of the command
//       and of the processes it waited for), its exit status and its wall
//       time in milliseconds.

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

struct Outcome {
  int status = -1;
  long max_rss_kib = 0;
};

Outcome Run(char* const* argv) {
  Outcome outcome;
  pid_t pid = ::fork();
  if (pid < 0) {
    std::perror("fork");
    std::exit(1);
  }
  if (pid == 0) {
    int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, STDIN_FILENO);
    ::dup2(null, STDOUT_FILENO);
    ::execvp(argv[0], argv);
    std::perror(argv[0]);
    ::_exit(127);
  }
  int status = 0;
  struct rusage usage;
  if (::wait4(pid, &status, 0, &usage) != pid) {
    std::perror("wait4");
    std::exit(1);
  }
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
#ifdef __APPLE__
  outcome.max_rss_kib = usage.ru_maxrss / 1024;  // bytes there
#else
  outcome.max_rss_kib = usage.ru_maxrss;
#endif
  return outcome;
}

double Now() {
  timespec now;
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1e6 + now.tv_nsec / 1e3;
}

// The commands after each "--", as argument vectors for exec.
std::vector<std::vector<char*>> Commands(int argc, char** argv, int first) {
  std::vector<std::vector<char*>> commands;
  for (int i = first; i < argc; ++i) {
    if (std::strcmp(argv[i], "--") == 0)
      commands.emplace_back();
    else if (!commands.empty())
      commands.back().push_back(argv[i]);
  }
  for (auto& command : commands)
    command.push_back(nullptr);
  return commands;
}

int Usage() {
  std::fprintf(stderr,
               "usage: measure wall RUNS -- CMD... [-- CMD...]...\n"
               "       measure rss -- CMD...\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 3 && std::strcmp(argv[1], "wall") == 0) {
    int runs = std::atoi(argv[2]);
    auto commands = Commands(argc, argv, 3);
    if (runs <= 0 || commands.empty())
      return Usage();
    std::vector<std::vector<double>> times(commands.size());
    for (int run = 0; run < runs; ++run) {
      for (std::size_t i = 0; i < commands.size(); ++i) {
        double start = Now();
        Outcome outcome = Run(commands[i].data());
        times[i].push_back(Now() - start);
        if (outcome.status != 0) {
          std::fprintf(stderr, "%s exited with %d\n", commands[i][0], outcome.status);
          return 1;
        }
      }
    }
    for (auto& samples : times) {
      std::sort(samples.begin(), samples.end());
      std::size_t n = samples.size();
      double median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
      std::printf("%.0f\n", median);
    }
    return 0;
  }
  if (argc > 2 && std::strcmp(argv[1], "rss") == 0) {
    auto commands = Commands(argc, argv, 2);
    if (commands.size() != 1)
      return Usage();
    double start = Now();
    Outcome outcome = Run(commands[0].data());
    std::printf("%ld %d %.0f\n", outcome.max_rss_kib, outcome.status, (Now() - start) / 1000);
    return 0;
  }
  return Usage();
}
