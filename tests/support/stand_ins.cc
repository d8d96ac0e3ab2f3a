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
#include "core/common/unique_fd.h"
#include "core/macos/disks/image_tool.h"
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

void ProcessTest::SetEnvs(const std::vector<std::string>& entries, const std::string& prefix) {
  for (const std::string& entry : entries) {
    const std::string::size_type equals = entry.find('=');
    SetEnv(prefix + entry.substr(0, equals), entry.substr(equals + 1));
  }
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
  PlayRelease("");
  SetEnv("RAMDISK_STANDIN_MEMSIZE", "17179869184");
  memory_.emplace(kPhysicalMemoryName, "17179869184");
}

void StandInTest::PlayRelease(const std::string& version, const std::string& darwin) {
  SetEnv("RAMDISK_STANDIN_MACOS_VERSION", version);
  SetEnv("RAMDISK_STANDIN_DARWIN_VERSION", darwin);
  product_version_.reset();
  product_version_.emplace(kProductVersionName, version);
  darwin_release_.reset();
  darwin_release_.emplace(kDarwinReleaseName, darwin);
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

#if defined(__linux__)
std::string Failed(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// A process left in the mount namespace this one is about to leave. It
// reads one path and tells, by its exit status, whether that path shows
// there.
class Watcher {
 public:
  Watcher() {
    int ends[2];
    if (::pipe(ends) != 0)
      return;
    const UniqueFd question(ends[0]);
    ask_.reset(ends[1]);
    pid_ = ::fork();
    if (pid_ == 0) {
      ask_.reset();
      char path[4096] = "";
      ::_exit(::read(question.get(), path, sizeof path - 1) > 0 && ::access(path, F_OK) == 0);
    }
  }
  Watcher(const Watcher&) = delete;
  Watcher& operator=(const Watcher&) = delete;
  ~Watcher() { Sees(""); }

  // The first answer only; true, to be safe, when there is none.
  bool Sees(const char* path) {
    if (pid_ <= 0)
      return true;
    (void)::write(ask_.get(), path, std::strlen(path) + 1);
    ask_.reset();
    int status = 0;
    ::waitpid(std::exchange(pid_, -1), &status, 0);
    return !WIFEXITED(status) || WEXITSTATUS(status) != 0;
  }

 private:
  UniqueFd ask_;
  pid_t pid_ = -1;
};

// A tmpfs on /Volumes that no process outside this one sees; empty when it
// is there, else why not and what to do.
std::string PrivateVolumes() {
  Watcher watcher;
  if (::unshare(CLONE_NEWNS) != 0)
    return Failed("unshare") + " (the end-to-end tests need root)";
  // EINVAL: "/" is no mount point, as in a chroot, so the mount that holds
  // it cannot be made private from here. Mounts below it still stay here
  // unless that mount is shared, which the watcher tells.
  const bool root_private = ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
  if (!root_private && errno != EINVAL)
    return Failed("mount --make-rprivate /");
  // Every test process that runs end to end mounts a tmpfs of its own on
  // the one directory /Volumes, made once and left there, as macOS always
  // has it: removing it while another process has a tmpfs on it would take
  // that tmpfs away.
  if (::mkdir("/Volumes", 0755) != 0 && errno != EEXIST)
    return Failed("mkdir /Volumes");
  if (::mount("tmpfs", "/Volumes", "tmpfs", 0, "size=16m") != 0)
    return Failed("mount tmpfs on /Volumes");
  if (root_private)
    return "";
  char probe[] = "/Volumes/probe-XXXXXX";
  const UniqueFd file(::mkstemp(probe));
  if (!file.valid() || watcher.Sees(probe)) {
    ::umount2("/Volumes", MNT_DETACH);
    return "/ is not a mount point (a chroot?) and the mount that holds it is shared, so a "
           "tmpfs on /Volumes would show outside the test; enter the chroot from a private "
           "mount namespace (unshare -m --propagation private chroot DIR ...), or make DIR a "
           "mount point first (mount --bind DIR DIR)";
  }
  ::unlink(probe);
  return "";
}
#endif

// Empty once this process has a fresh, private /Volumes; else why not.
std::string FreshVolumes() {
#if defined(__linux__)
  static const std::string problem = PrivateVolumes();
  static bool first = true;
  if (!problem.empty() || std::exchange(first, false))
    return problem;
  if (::mount("tmpfs", "/Volumes", "tmpfs", 0, "size=16m") != 0)
    return Failed("mount tmpfs on /Volumes");
  return "";
#else
  return "private mount namespaces need Linux";
#endif
}

// Takes the fresh /Volumes away again: a later test in this process, end to
// end or not, sees /Volumes as the process found it.
void DropFreshVolumes() {
#if defined(__linux__)
  ::umount2("/Volumes", MNT_DETACH);
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
  fresh_volumes_ = true;
}

void EndToEndTest::TearDown() {
  if (std::exchange(fresh_volumes_, false))
    DropFreshVolumes();
  StandInTest::TearDown();
}

ProcessResult EndToEndTest::Run(const std::vector<std::string>& args,
                                const std::vector<std::string>& environment) {
  ProcessOptions options;
  options.environment = environment;
  return RunProcess(RAMDISK_BINARY, args, options);
}

}  // namespace ramdisk::testing
