#ifndef RAMDISK_TESTS_SUPPORT_CHILD_PROCESS_H_
#define RAMDISK_TESTS_SUPPORT_CHILD_PROCESS_H_

#include <string>
#include <vector>

namespace ramdisk::testing {

struct ProcessOptions {
  // argv[0] as the child sees it; the program path when empty.
  std::string argv0;
  // When set, the child's standard output is this file instead of a pipe.
  std::string stdout_path;
  // With stdout_path: append to the file instead of truncating it.
  bool stdout_append = false;
  // Standard output is a pipe whose read end is closed, with SIGPIPE ignored
  // in the child: every write to it fails (EPIPE).
  bool stdout_broken = false;
  // Standard output is closed in the child, as `program >&-` leaves it.
  bool stdout_closed = false;
  // "NAME=value" entries added to (or replacing in) the test's environment.
  std::vector<std::string> environment;
  // Start the child with SIGCHLD ignored, as some parents leave it.
  bool ignore_sigchld = false;
  // The child's working directory; the test's when empty.
  std::string working_directory;
};

struct ProcessResult {
  int exit_code = -1;  // -1 when a signal ended the child
  std::string out;
  std::string err;
  long max_rss_kb = 0;  // the child's peak resident memory
};

// Runs `program` with `args` and waits for it, collecting both streams.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const ProcessOptions& options = {});

// Number of descriptors open in this process.
int CountOpenDescriptors();

}  // namespace ramdisk::testing

#endif  // RAMDISK_TESTS_SUPPORT_CHILD_PROCESS_H_
