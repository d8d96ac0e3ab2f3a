#include "support/stand_ins.h"

#include <dirent.h>
#include <errno.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

#include "core/common/command_line.h"
#include "core/common/text_output.h"
#include "support/files.h"

#if defined(__linux__)
#include <sched.h>
#include <sys/mount.h>
#endif

namespace ramdisk::testing {

void ProcessTest::SetUp() {
  descriptors_ = CountOpenDescriptors();
  ::testing::internal::CaptureStderr();
  cwd_ = WorkingDirectory();
  dir_ = MakeScratchDir();
  ASSERT_NE(dir_, "");
}

void ProcessTest::TearDown() {
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  for (auto entry = saved_env_.rbegin(); entry != saved_env_.rend(); ++entry) {
    entry->second ? ::setenv(entry->first.c_str(), entry->second->c_str(), 1)
                  : ::unsetenv(entry->first.c_str());
  }
  EXPECT_EQ(::chdir(cwd_.c_str()), 0);
  if (!dir_.empty())
    RemoveTree(dir_);
  EXPECT_EQ(CountOpenDescriptors(), descriptors_);
  EXPECT_TRUE(::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD) << "child left";
}

void ProcessTest::SetEnv(const std::string& name, const std::string& value) {
  const char* old = std::getenv(name.c_str());
  saved_env_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
  ::setenv(name.c_str(), value.c_str(), 1);
}

void StandInTest::SetUp() {
  ProcessTest::SetUp();
  for (const char* tool : {"/hdiutil", "/diskutil"}) {
    ASSERT_EQ(::access((RAMDISK_STANDIN_BIN_DIR + std::string(tool)).c_str(), X_OK), 0)
        << "no stand-in " << tool << " in " RAMDISK_STANDIN_BIN_DIR "; build the tests' "
        << "dependencies first, so that no real disk tool runs";
  }
  MakeDirs(volumes());
  const char* path = std::getenv("PATH");
  SetEnv("PATH", RAMDISK_STANDIN_BIN_DIR + (path ? ":" + std::string(path) : ""));
  SetEnv("RAMDISK_STANDIN_STATE", dir() + "/state");
  SetEnv("RAMDISK_STANDIN_LOG", dir() + "/tools.log");
  SetEnv("RAMDISK_STANDIN_VOLUMES", dir() + "/volumes");
}

std::vector<std::string> StandInTest::ToolRuns() const {
  std::vector<std::string> lines;
  std::ifstream log(dir() + "/tools.log");
  for (std::string line; std::getline(log, line);)
    lines.push_back(line);
  return lines;
}

int StandInTest::AttachedDevices() const {
  int count = 0;
  if (DIR* state = ::opendir((dir() + "/state").c_str())) {
    while (dirent* entry = ::readdir(state))
      count += std::strncmp(entry->d_name, "disk", 4) == 0;
    ::closedir(state);
  }
  return count;
}

std::string Reported(const std::vector<std::string>& args, const std::function<void()>& run) {
  std::vector<const char*> argv = {"ramdisk"};
  for (const std::string& arg : args)
    argv.push_back(arg.c_str());
  SetCommandLine(static_cast<int>(argv.size()), argv.data());
  ::testing::internal::CaptureStdout();
  std::string error;
  try {
    run();
  } catch (const Exception& raised) {
    error = "General error: " + raised.Message() + "\n";
  }
  StdOut().FlushQuietly();
  return ::testing::internal::GetCapturedStdout() + error;
}

namespace {

// Empty once this process has a fresh, private /Volumes; else why not.
std::string FreshVolumes() {
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
  StandInTest::SetUp();
  if (HasFatalFailure())
    return;
  const std::string problem = FreshVolumes();
  if (!problem.empty())
    GTEST_SKIP() << "no private /Volumes: " << problem;
  SetEnv("RAMDISK_STANDIN_VOLUMES", "/Volumes");
}

ProcessResult EndToEndTest::Run(const std::vector<std::string>& args,
                                const std::vector<std::string>& environment) {
  ProcessOptions options;
  options.environment = environment;
  return RunProcess(RAMDISK_BINARY, args, options);
}

}  // namespace ramdisk::testing
