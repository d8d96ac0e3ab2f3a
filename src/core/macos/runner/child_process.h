#ifndef RAMDISK_CORE_MACOS_RUNNER_CHILD_PROCESS_H_
#define RAMDISK_CORE_MACOS_RUNNER_CHILD_PROCESS_H_

#include <cstddef>
#include <string>

#include "core/common/string_array.h"

namespace ramdisk {

// The most standard output one run keeps; a property list is a few KiB.
constexpr std::size_t kMaxToolOutputBytes = 16 * 1024 * 1024;

// What is left of one finished run.
struct ChildOutcome {
  // The exit code (0 to 255; 127 when the program could not be executed);
  // minus the raw wait status when a signal ended the child; -1 when
  // waiting for it failed.
  int exit_status = -1;
  // The first line of standard error that is neither one of the tool's own
  // warnings nor blank, or its first line that is not blank when no line is
  // such a line (see FirstLineCapture).
  std::string error_line;
  // Standard output, when asked for, cut at kMaxToolOutputBytes;
  // `output_overflowed` tells whether there was more.
  std::string output;
  bool output_overflowed = false;
};

// Runs the program file found for `executable` (FindProgramFile) with the
// argument vector `argv` (argv[0] included) and this process's environment,
// without a shell, and returns once the child has ended and been reaped.
// Each of the child's standard streams is a pipe of its own; its standard
// input is at end of file from the start. Both output pipes are drained
// while the child runs, keeping only the message line of standard error and,
// when `keep_output`, standard output. Once the child has been reaped, what
// its pipes hold already is taken without waiting for more: a process it
// left behind that still holds them is not waited for, and what that one
// writes later is lost. No descriptor and no child process outlives the
// call, whether it returns or raises. SIGCHLD is caught during the call
// (ChildExitSignal): one call at a time per process.
//
// Raises EProcess with "Failed to create pipes", "Cannot execute empty
// command-line", "Executable not found: \"<executable>\"" or "Failed to Fork
// process", checked in this order, and with "Failed to read tool output"
// should polling the pipes fail (the child is still reaped).
ChildOutcome RunChildProcess(const std::string& executable, const TStringArray& argv,
                             bool keep_output);

}  // namespace ramdisk

#endif  // RAMDISK_CORE_MACOS_RUNNER_CHILD_PROCESS_H_
