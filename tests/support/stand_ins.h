#ifndef RAMDISK_TESTS_SUPPORT_STAND_INS_H_
#define RAMDISK_TESTS_SUPPORT_STAND_INS_H_

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/macos/disks/mount_point.h"
#include "core/macos/disks/system_info.h"
#include "support/child_process.h"

namespace ramdisk::testing {

// What every test that starts processes shares: a scratch folder of its own,
// the environment and the working directory put back afterwards, and checks
// that nothing was written to standard error and that no descriptor or child
// process was left behind.
class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Sets an environment variable until the test ends.
  void SetEnv(const std::string& name, const std::string& value);

  // SetEnv for each "NAME=value" of `entries`, `prefix` before each NAME.
  void SetEnvs(const std::vector<std::string>& entries, const std::string& prefix = "");

  // The scratch folder, without a trailing "/".
  const std::string& dir() const { return dir_; }

 private:
  std::string dir_;
  std::string cwd_;
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_env_;
  int descriptors_ = 0;
};

// Runs the volume code against the stand-in disk tools: their folder first on
// PATH, their state, their log and their folder of volumes in the scratch
// folder. Fails without running the test when the stand-ins are not built,
// so that the system's own disk tools never run. The machine has 16 GiB of
// memory, to the volume code here and to the tools it starts.
class StandInTest : public ProcessTest {
 protected:
  void SetUp() override;

  // Plays the macOS release whose product version is `version` ("27.0")
  // and whose Darwin release is `darwin` ("26.0.0"), for the volume code in
  // this process and for the stand-ins and the tools they start, whatever
  // the system. "" is a version that cannot be read, as both are until
  // called.
  void PlayRelease(const std::string& version, const std::string& darwin = "");

  // The stand-ins' folder of volumes, with a trailing "/".
  std::string volumes() const { return dir() + "/volumes/"; }
  // The stand-ins' invocations so far, one line each: the argument vector
  // joined by tabs (tab, line feed, carriage return and backslash escaped).
  std::vector<std::string> ToolRuns() const;
  // Number of device numbers the stand-ins hold: the RAM devices attached
  // and the APFS containers on them.
  int AttachedDevices() const;

 private:
  // The stand-ins' mount points are plain folders, which a Mac would
  // report as the mount point of the volume that holds them.
  PretendMountPointsArePaths mount_points_are_paths_;
  std::optional<PretendSystemValue> product_version_;
  std::optional<PretendSystemValue> darwin_release_;
  std::optional<PretendSystemValue> memory_;
};

// The stand-ins' log lines of the runs that make a volume on /dev/disk4.
inline std::string AttachRun(const std::string& sectors) {
  return "hdiutil\tattach\t-plist\t-nomount\tram://" + sectors;
}
inline std::string ApfsRun(const std::string& name) {
  return "diskutil\tapfs\tcreate\t/dev/disk4\t" + name;
}
inline std::string EraseRun(const std::string& file_system, const std::string& name) {
  return "diskutil\tquiet\terasevolume\t" + file_system + "\t" + name + "\t/dev/disk4";
}

// What `run` writes through StdOut(), with `args` as the command line; when
// it raises, followed by the line the tool would report: "General error: "
// and the message.
std::string Reported(const std::vector<std::string>& args, const std::function<void()>& run);

// Runs the built tool against the stand-ins, inside a private mount
// namespace whose /Volumes is a fresh tmpfs for every test, taken away
// again after it. Skips, saying why and what to do, where no such /Volumes
// can be made.
class EndToEndTest : public StandInTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Runs ramdisk with `args`; `environment` adds "NAME=value" entries, for
  // example the stand-ins' failure injection.
  ProcessResult Run(const std::vector<std::string>& args,
                    const std::vector<std::string>& environment = {});

 private:
  bool fresh_volumes_ = false;
};

}  // namespace ramdisk::testing

#endif  // RAMDISK_TESTS_SUPPORT_STAND_INS_H_
