// The least a launcher of the two disk tools can do: start each with fork
// and exec, wait for it, and nothing else. It is linked with the libraries
// the tool links, so that loading them costs both the same.
//
//   floor_launcher               runs "hdiutil attach -plist -nomount
//                                ram://2097152", then "diskutil apfs create
//                                /dev/disk4 x", both found through PATH
//   floor_launcher --no-children runs nothing
//
// Exits with 0 when every tool exited with 0, with 1 otherwise.

#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include <DiskArbitration/DiskArbitration.h>
#include <libxml/parser.h>

namespace {

int Run(char* const* argv) {
  pid_t pid = ::fork();
  if (pid < 0)
    return -1;
  if (pid == 0) {
    ::execvp(argv[0], argv);
    ::_exit(127);
  }
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid)
    return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

// Referenced, never called: a linker that drops unused libraries would
// otherwise leave out what the tool has to load.
void (*volatile keep_xml)(int) = xmlCheckVersion;
DASessionRef (*volatile keep_platform)(CFAllocatorRef) = DASessionCreate;

int main(int argc, char** argv) {
  if (argc > 1 && strcmp(argv[1], "--no-children") == 0)
    return 0;
  char attach[][24] = {"hdiutil", "attach", "-plist", "-nomount", "ram://2097152"};
  char create[][24] = {"diskutil", "apfs", "create", "/dev/disk4", "x"};
  char* attach_argv[] = {attach[0], attach[1], attach[2], attach[3], attach[4], nullptr};
  char* create_argv[] = {create[0], create[1], create[2], create[3], create[4], nullptr};
  if (Run(attach_argv) != 0 || Run(create_argv) != 0)
    return 1;
  return 0;
}
