#include "support/end_to_end.h"

#include <dirent.h>
#include <errno.h>
#include <sched.h>
#include <stdlib.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>

#include "support/files.h"

namespace ramdisk::testing {

namespace {

// Empty on success, else why the sandbox cannot be made.
std::string EnterFreshVolumes() {
#if defined(__linux__)
  static bool private_namespace = false;
  if (!private_namespace) {
    if (::unshare(CLONE_NEWNS) != 0)
      return std::string("unshare: ") + std::strerror(errno);
    if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
      return std::string("mount --make-rprivate /: ") + std::strerror(errno);
    ::mkdir("/Volumes", 0755);
    private_namespace = true;
  } else {
    ::umount2("/Volumes", MNT_DETACH);
  }
  if (::mount("tmpfs", "/Volumes", "tmpfs", 0, "size=16m") != 0)
    return std::string("mount tmpfs on /Volumes: ") + std::strerror(errno);
  return "";
#else
  return "private mount namespaces need Linux";
#endif
}

}  // namespace

void EndToEndTest::SetUp() {
  std::string problem = EnterFreshVolumes();
  if (!problem.empty())
    GTEST_SKIP() << "no private /Volumes: " << problem;
  char dir[] = "/tmp/ramdisk-e2e-XXXXXX";
  ASSERT_NE(::mkdtemp(dir), nullptr);
  work_dir_ = dir;
}

void EndToEndTest::TearDown() {
  if (!work_dir_.empty()) {
    RemoveTree(work_dir_);
  }
}

ProcessResult EndToEndTest::Run(const std::vector<std::string>& args,
                                const std::vector<std::string>& environment,
                                ProcessOptions options) {
  const char* path = std::getenv("PATH");
  options.environment = {std::string("PATH=") + RAMDISK_STANDIN_BIN_DIR + ":" + (path ? path : ""),
                         "RAMDISK_STANDIN_STATE=" + work_dir_ + "/state",
                         "RAMDISK_STANDIN_LOG=" + work_dir_ + "/tools.log"};
  options.environment.insert(options.environment.end(), environment.begin(), environment.end());
  return RunProcess(RAMDISK_BINARY, args, options);
}

std::vector<std::string> EndToEndTest::ToolRuns() const {
  std::vector<std::string> lines;
  std::ifstream log(work_dir_ + "/tools.log");
  for (std::string line; std::getline(log, line);)
    lines.push_back(line);
  return lines;
}

int EndToEndTest::AttachedDevices() const {
  int count = 0;
  if (DIR* dir = ::opendir((work_dir_ + "/state").c_str())) {
    while (dirent* entry = ::readdir(dir))
      count += std::strncmp(entry->d_name, "disk", 4) == 0;
    ::closedir(dir);
  }
  return count;
}

}  // namespace ramdisk::testing
