#include "console/program.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstring>
#include <new>
#include <optional>

#include "console/commands.h"
#include "console/input_error.h"
#include "console/mount_path.h"
#include "core/common/ascii.h"
#include "core/common/command_line.h"
#include "core/common/messages.h"
#include "core/common/text_output.h"
#include "core/macos/disks/ram_disk_list.h"
#include "core/macos/disks/volumes_module.h"

namespace ramdisk {

namespace {

constexpr int kExitError = 2;
constexpr int kExitUnhandled = 217;

// What the process inherits and the run relies on. A closed descriptor 0, 1
// or 2 would be handed out by the next open() or pipe(), and text meant for
// standard output would land in a tool's pipe; open() takes the lowest free
// descriptor, so each closed one is filled in order. A SIGCHLD left ignored
// by the parent would make the system reap every tool itself, and waitpid
// could then not tell a tool's success from its failure.
void PrepareProcess() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF)
      ::open("/dev/null", O_RDWR);
  }
  ::signal(SIGCHLD, SIG_DFL);
}

void WriteToStandardError(const char* text) noexcept {
  std::size_t size = std::strlen(text), done = 0;
  while (done < size) {
    ssize_t n = ::write(STDERR_FILENO, text + done, size - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    done += static_cast<std::size_t>(n);
  }
}

// The last resort, for an error that escaped the handler of the main block.
// It allocates nothing: the error may be that memory ran out.
void ReportUnhandled(const char* message) noexcept {
  WriteToStandardError("Unhandled error: ");
  WriteToStandardError(message);
  WriteToStandardError("\n");
}

void ReportError(const std::string& message) { StdOut().WriteLine("General error: " + message); }

// A command's value that names a volume by its folder rather than by its
// name, which never holds "/".
bool NamesAFolder(const std::string& value) {
  return StartsWith(value, "/") || StartsWith(value, "~/");
}

void RunCommand() {
  if (ParamCount() <= 0) {
    WriteHelp();
    return;
  }
  std::string command_value;
  if (FindCmdLineSwitch("add", command_value)) {
    AddDisk(GetMountPoint(command_value), kVolumes);
    return;
  }
  if (FindCmdLineSwitch("del", command_value)) {
    // A RAM disk left without a volume is named by its device, as -list
    // shows it, one mounted elsewhere by its folder; a volume name never
    // holds "/", and no folder of ours is below /dev.
    if (IsWholeDiskNode(command_value))
      DelDevice(command_value);
    else if (NamesAFolder(command_value) && !StartsWith(command_value, "/dev/"))
      DelPath(AbsoluteMountPath(command_value));
    else
      DelDisk(GetMountPoint(command_value), kVolumes);
    return;
  }
  if (FindCmdLineSwitch("save", command_value)) {
    if (NamesAFolder(command_value))
      SavePath(AbsoluteMountPath(command_value));
    else
      SaveDisk(GetMountPoint(command_value), kVolumes);
    return;
  }
  if (FindCmdLineSwitch("list")) {
    ListDisks();
    return;
  }
  // Looked for only once no command is named, so a command given with it
  // still runs.
  for (const std::string& argument : CommandLineArguments()) {
    if (argument == "-h" || argument == "-help" || argument == "--help") {
      WriteHelp();
      return;
    }
  }
  throw EInputError(messages::kNoValidCommand);
}

}  // namespace

std::string GetMountPoint(const std::string& command_value) {
  if (command_value.empty())
    throw EInputError(messages::kNoMountPoint);
  // "." and ".." would put the mount point at /Volumes itself or at "/".
  if (command_value.find_first_of("/:") != std::string::npos || command_value == "." ||
      command_value == ".." || HoldsControlCharacter(command_value))
    throw EInputError(FormatMessage(messages::kInvalidMountPoint, command_value));
  return command_value;
}

int MainBlock() {
  try {
    RunCommand();
    return 0;
  } catch (const Exception& error) {
    ReportError(error.Message());
  } catch (const std::bad_alloc&) {
    ReportError(messages::kOutOfMemory);
  } catch (const std::exception& error) {
    ReportError(error.what());
  }
  return kExitError;
}

int RunProgram(int argc, char** argv) {
  PrepareProcess();
  // Modules start before the main block and shut down, in reverse order,
  // once the buffered output is written out; also when an error escaped the
  // handler. One that failed to start has nothing to shut down.
  std::optional<MacOSVolumesModule> volumes_module;
  int status;
  try {
    SetCommandLine(argc, argv);
    volumes_module.emplace();
    status = MainBlock();
  } catch (const std::exception& error) {
    ReportUnhandled(error.what());
    status = kExitUnhandled;
  } catch (...) {
    ReportUnhandled("unknown error");
    status = kExitUnhandled;
  }
  StdOut().FlushQuietly();
  volumes_module.reset();
  return status;
}

}  // namespace ramdisk
