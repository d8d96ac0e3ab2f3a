// The built tool against the stand-in disk tools, with volumes mounted below
// the real /Volumes: what the tests in this process cannot show.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <ostream>
#include <sstream>

#include "core/common/directory.h"
#include "core/common/unique_fd.h"
#include "core/macos/xml/xml_document.h"
#include "standin/tools/attach_plist.h"
#include "support/files.h"
#include "support/outcome.h"
#include "support/stand_ins.h"

namespace ramdisk {
namespace {

// What a LaunchAgent example runs, after the installed tool's path, which
// it must name. It runs at login ("true" first in `when`) or every so many
// seconds (the number first), and since launchd expands no "~", the logs'
// paths must be written out.
std::vector<std::string> LaunchAgentArguments(const char* path = RAMDISK_LAUNCH_AGENT,
                                              const std::string& when = "true") {
  std::stringstream text;
  text << std::ifstream(path).rdbuf();
  const XmlDocument agent(text.str());
  std::string checks;
  agent.Evaluate(
      "concat(name(dict/*[preceding-sibling::key[1]='RunAtLoad']), "
      "dict/integer[preceding-sibling::key[1]='StartInterval'], count(dict/string["
      "preceding-sibling::key[1][.='StandardOutPath' or .='StandardErrorPath']]["
      "starts-with(., '/Users/YOU/Library/Logs/')]))",
      checks);
  XPathSession session(agent);
  std::vector<std::string> args;
  for (XPathSession::Node argument : session.Select(
           "dict/array[preceding-sibling::key[1]='ProgramArguments']/string", session.Root()))
    session.Evaluate(".", argument, args.emplace_back());
  EXPECT_EQ(checks + " " + (args.empty() ? "" : args.front()), when + "2 /usr/local/bin/ramdisk");
  return args.empty() ? args : std::vector<std::string>(args.begin() + 1, args.end());
}

class ToolTest : public testing::EndToEndTest {
 protected:
  // What a run printed; anything on standard error follows as "stderr: ".
  std::string Out(const std::vector<std::string>& args,
                  const std::vector<std::string>& environment = {}) {
    testing::ProcessResult result = Run(args, environment);
    return result.out + "exit " + std::to_string(result.exit_code) +
           (result.err.empty() ? "" : "\nstderr: " + result.err);
  }
};

// The first add is the LaunchAgent example's, at a first login and at a
// second. APFS puts a container on the first device, which the second
// attach must not get; a device whose format failed shows without a mount
// point.
TEST_F(ToolTest, AddsListsAndDeletesBelowVolumes) {
  EXPECT_EQ(Out({"-list"}), "exit 0");
  const std::vector<std::string> at_login = LaunchAgentArguments();
  EXPECT_EQ(Out(at_login),
            "Creating memory volume...\nCreated memory volume /Volumes/scratch\nexit 0");
  struct stat info;
  EXPECT_TRUE(::stat("/Volumes/scratch", &info) == 0 && S_ISDIR(info.st_mode));
  EXPECT_EQ(Out(at_login), "General error: Mount point scratch is already in use\nexit 2");
  Out({"-add:other", "-size:100m", "-fs:hfs+"});
  Run({"-add:half", "-size:1536"},
      {"RAMDISK_STANDIN_FAIL_APFS=1:failed", "RAMDISK_STANDIN_FAIL_DETACH=1:failed"});
  const std::size_t runs = ToolRuns().size();
  EXPECT_EQ(Out({"-list"}),
            "/dev/disk4\t2G\t/Volumes/scratch\n/dev/disk6\t100M\t/Volumes/other\n"
            "/dev/disk7\t1536\t-\nexit 0");
  EXPECT_EQ(ToolRuns().size(), runs + 1);
  EXPECT_EQ(ToolRuns().back(), "hdiutil\tinfo\t-plist");

  EXPECT_EQ(Out({"-del:scratch"}),
            "Removing memory volume...\nRemoved memory volume /Volumes/scratch\nexit 0");
  EXPECT_EQ(Out({"-del:scratch"}), "General error: No volumes named scratch found\nexit 2");
  EXPECT_EQ(AttachedDevices(), 2);  // the container's number is free again
  EXPECT_EQ(Out({"-list", "-force"}),
            "/dev/disk6\t100M\t/Volumes/other\n/dev/disk7\t1536\t-\nexit 0");
  EXPECT_EQ(Out({"-list"}, {"RAMDISK_STANDIN_FAIL_INFO=1:hdiutil: info failed\nmore"}),
            "General error: hdiutil: info failed\nexit 2");
  // A RAM disk is freed by its device too, with its volume or without.
  EXPECT_EQ(Out({"-del:/dev/disk7"}),
            "Removing memory volume...\nRemoved memory volume /dev/disk7\nexit 0");
  EXPECT_EQ(Out({"-del:/dev/disk6"}),
            "Removing memory volume...\nRemoved memory volume /dev/disk6\nexit 0");
  EXPECT_EQ(Out({"-list"}), "exit 0");
  EXPECT_EQ(AttachedDevices(), 0);
}

// What a kept disk holds comes back after a delete and an add, its
// housekeeping never reaches the folder, and a file held open keeps the
// disk attached, saved. The disk is the LaunchAgent examples': one adds it
// at login, one saves it every 10 minutes.
TEST_F(ToolTest, KeepsTheContentsAcrossADeleteAndAnAdd) {
  const std::string folder = dir() + "/RAMDisk/work", volume = "/Volumes/work";
  testing::MakeDirs(dir() + "/RAMDisk");
  SetEnv("HOME", dir());
  const std::vector<std::string> add = LaunchAgentArguments(RAMDISK_KEPT_AGENT);
  const std::vector<std::string> save = LaunchAgentArguments(RAMDISK_SAVE_AGENT, "600");
  const std::string loaded = "Creating memory volume...\nLoading memory volume from " + folder +
                             "...\nCreated memory volume /Volumes/work\nexit 0";
  const std::string saved =
      "Saving memory volume to " + folder + "...\nSaved memory volume /Volumes/work to " + folder;
  EXPECT_EQ(Out(add), loaded);
  testing::WriteFile(volume + "/a", "text", 0600);
  testing::WriteFile(volume + "/d/e/f", "nested", 0751);
  ASSERT_EQ(::symlink("d/e/f", (volume + "/l").c_str()), 0);
  for (const char* entry : {".fseventsd/no_log", ".Trashes/501", ".metadata_never_index"})
    testing::WriteFile(volume + "/" + entry, "");
  EXPECT_EQ(Out(save), saved + "\nexit 0");
  testing::WriteFile(volume + "/b", "after the save");
  {
    const UniqueFd held(::open((volume + "/a").c_str(), O_RDONLY | O_CLOEXEC));
    EXPECT_EQ(Out({"-del:work"}),
              saved + "\nRemoving memory volume...\nGeneral error: " +
                  "hdiutil: couldn't unmount \"disk4\" - Resource busy\nexit 2");
  }
  EXPECT_EQ(Out({"-del:work"}),
            saved + "\nRemoving memory volume...\nRemoved memory volume /Volumes/work\nexit 0");
  const std::string kept = testing::TreeText(folder);
  EXPECT_EQ(kept.substr(0, kept.find(" @")), "/a 600 text");
  EXPECT_NE(kept.find("/b 644 after the save"), std::string::npos);
  EXPECT_NE(kept.find("\n/d/e/f 751 nested @"), std::string::npos);
  EXPECT_NE(kept.find("\n/l link d/e/f\n"), std::string::npos);
  EXPECT_EQ(kept.find("/."), std::string::npos);

  EXPECT_EQ(Out(add), loaded);
  EXPECT_EQ(testing::RunProcess("/bin/cat", {volume + "/.ramdisk-keep"}).out, folder + "\n");
  ::unlink((volume + "/.ramdisk-keep").c_str());
  EXPECT_EQ(testing::TreeText(volume), kept);
  EXPECT_EQ(Out({"-del:work", "-discard"}),
            "Removing memory volume...\nRemoved memory volume /Volumes/work\nexit 0");
  EXPECT_EQ(AttachedDevices(), 0);
}

// A hidden disk at a folder of the user's, named with "~/": its files
// follow the volume as the stand-ins unmount and mount it, and the folder
// stays, empty, once it is deleted by its path. A mount that shows late,
// within the wait, is accepted.
TEST_F(ToolTest, HiddenDiskAtAChosenFolder) {
  const std::string home = "HOME=" + dir(), dd = dir() + "/dd";
  testing::MakeDirs(dd);
  EXPECT_EQ(Out({"-add:dd", "-size:1m", "-hidden", "-mount:~/dd"}, {home}),
            "Creating memory volume...\nCreated memory volume " + dd + "\nexit 0");
  EXPECT_EQ(Out({"-add:x", "-size:1m", "-fs:hfs+", "-hidden"}, {"RAMDISK_STANDIN_MOUNT=late:2"}),
            "Creating memory volume...\nCreated memory volume /Volumes/x\nexit 0");
  EXPECT_EQ(Out({"-list"}), "/dev/disk4\t1M\t" + dd + "\n/dev/disk6\t1M\t/Volumes/x\nexit 0");
  testing::WriteFile(dd + "/kept", "k");
  const std::string diskutil = RAMDISK_STANDIN_BIN_DIR "/diskutil";
  EXPECT_EQ(testing::RunProcess(diskutil, {"unmount", "/dev/disk5s1"}).exit_code, 0);
  EXPECT_TRUE(IsEmptyDirectory(dd));
  EXPECT_EQ(testing::RunProcess(diskutil, {"mount", "/dev/disk5s1"}).exit_code, 0);
  EXPECT_EQ(::access("/Volumes/dd/kept", F_OK), 0);
  EXPECT_EQ(testing::RunProcess(diskutil, {"unmount", "disk5s1"}).exit_code, 0);
  EXPECT_FALSE(DirectoryExists("/Volumes/dd"));
  EXPECT_EQ(testing::RunProcess(diskutil, {"mount", "-mountPoint", dd, "disk5s1"}).exit_code, 0);
  EXPECT_EQ(::access((dd + "/kept").c_str(), F_OK), 0);
  {
    const UniqueFd held(::open((dd + "/kept").c_str(), O_RDONLY | O_CLOEXEC));
    EXPECT_EQ(Out({"-del:~/dd"}, {home}),
              "Removing memory volume...\nGeneral error: hdiutil: couldn't unmount \"disk4\" - "
              "Resource busy\nexit 2");
  }
  EXPECT_EQ(Out({"-del:" + dd + "/", "-force"}),
            "Removing memory volume...\nRemoved memory volume " + dd + "\nexit 0");
  EXPECT_TRUE(IsEmptyDirectory(dd));
  EXPECT_EQ(Out({"-del:" + dir()}),
            "General error: Volume " + dir() + " is not a RAM disk\nexit 2");
  EXPECT_EQ(AttachedDevices(), 1);
}

// A run on the release the stand-ins play, after an add when `setup` is
// given. "$DIR" in the environment stands for the test's folder.
struct ReleaseCase {
  const char* release;
  std::vector<std::string> setup;
  std::vector<std::string> args;
  std::vector<std::string> environment;
  std::string out;
  std::vector<std::string> runs;  // the command's alone
  int devices_left;
};

std::ostream& operator<<(std::ostream& os, const ReleaseCase& c) {
  return os << c.release << testing::Bracketed(c.args) << testing::Bracketed(c.environment);
}

class ReleaseTest : public ToolTest, public ::testing::WithParamInterface<ReleaseCase> {};

TEST_P(ReleaseTest, RunsTheDiskToolsOfTheRelease) {
  const ReleaseCase& c = GetParam();
  testing::WriteFile(dir() + "/attach.xml", standin::AttachPlist("/dev/disk4"));
  SetEnv("RAMDISK_STANDIN_MACOS_VERSION", c.release);
  if (!c.setup.empty()) {
    ASSERT_EQ(Run(c.setup).exit_code, 0);
  }
  std::vector<std::string> environment = c.environment;
  for (std::string& entry : environment) {
    if (std::string::size_type at = entry.find("$DIR"); at != std::string::npos)
      entry.replace(at, 4, dir());
  }
  const std::size_t before = ToolRuns().size();
  EXPECT_EQ(Out(c.args, environment), c.out);
  std::vector<std::string> runs = ToolRuns();
  runs.erase(runs.begin(), runs.begin() + static_cast<long>(before));
  EXPECT_EQ(runs, c.runs);
  EXPECT_EQ(AttachedDevices(), c.devices_left);
}

const std::vector<std::string> kAddHfs = {"-add:x", "-size:1m", "-fs:hfs+"};
const std::vector<std::string> kAddApfs = {"-add:x", "-size:1m"};
const char kCreated[] = "Creating memory volume...\nCreated memory volume /Volumes/x\nexit 0";
const char kRemoved[] = "Removing memory volume...\nRemoved memory volume /Volumes/x\nexit 0";
const char kImageAttach[] = "diskutil\timage\tattach\t--plist\t--noMount\tram://2048";
const char kApfsCreate[] = "diskutil\tapfs\tcreate\t/dev/disk4\tx";
const char kErase[] = "diskutil\tquiet\terasevolume\tHFS+\tx\t/dev/disk4";
const char kInfo[] = "hdiutil\tinfo\t-plist";
const std::string kBusy = "hdiutil: couldn't unmount \"disk4\" - Resource busy";
const char k8G[] = "RAMDISK_STANDIN_MEMSIZE=8589934592";
const std::vector<std::string> kHalfOf8G = {"hdiutil\tattach\t-plist\t-nomount\tram://8388608",
                                            "diskutil\tquiet\terasevolume\tAPFSX\tx\t/dev/disk4"};
const char kTooLarge[] = "General error: Size exceeds physical memory of 8G\nexit 2";
const char kNoMemory[] = "General error: Cannot read the physical memory size\nexit 2";

// From macOS 27 on, diskutil does the image work; below it, hdiutil, whose
// warnings hide no error.
INSTANTIATE_TEST_SUITE_P(
    Table, ReleaseTest,
    ::testing::ValuesIn(std::vector<ReleaseCase>{
        {"27.0", {}, kAddHfs, {}, kCreated, {kImageAttach, kErase}, 1},
        {"27.0", {}, kAddApfs, {}, kCreated, {kImageAttach, kApfsCreate}, 2},
        {"27.1.2",
         {},
         kAddApfs,
         {"RAMDISK_STANDIN_ATTACH_OUTPUT=file:$DIR/attach.xml"},
         kCreated,
         {kImageAttach, kApfsCreate},
         2},
        {"28.0",
         {},
         kAddHfs,
         {"RAMDISK_STANDIN_FAIL_ERASEVOLUME=1:Error: -69888: Couldn't unmount disk"},
         "Creating memory volume...\nGeneral error: Error: -69888: Couldn't unmount disk\nexit 2",
         {kImageAttach, kErase, "diskutil\teject\t/dev/disk4"},
         0},
        {"27.0",
         {},
         {"-add:x", "-size:1m", "-fs:apfsx"},
         {"RAMDISK_STANDIN_FAIL_ERASEVOLUME=1:e"},
         "Creating memory volume...\nGeneral error: e\nexit 2",
         {kImageAttach, "diskutil\tquiet\terasevolume\tAPFSX\tx\t/dev/disk4",
          "diskutil\teject\t/dev/disk4"},
         0},
        // The kernel's release decides, whatever the product version says.
        {"17.0",
         {},
         kAddHfs,
         {"RAMDISK_STANDIN_DARWIN_VERSION=26.1.0"},
         kCreated,
         {kImageAttach, kErase},
         1},
        // A delete frees the RAM disk that the listing shows at the mount
        // point, by its whole disk: for APFS the image's, not the container.
        {"27.0", kAddHfs, {"-del:x"}, {}, kRemoved, {kInfo, "diskutil\teject\t/dev/disk4"}, 0},
        {"27.0",
         kAddApfs,
         {"-del:x", "-force"},
         {},
         kRemoved,
         {kInfo, "diskutil\tunmountDisk\tforce\t/dev/disk4", "diskutil\teject\t/dev/disk4"},
         0},
        {"27.0",
         kAddHfs,
         {"-del:x"},
         {"RAMDISK_STANDIN_FAIL_INFO=1:hdiutil: info failed"},
         "General error: hdiutil: info failed\nexit 2",
         {kInfo},
         1},
        {"26.4", kAddApfs, {"-del:x"}, {}, kRemoved, {kInfo, "hdiutil\tdetach\t/dev/disk4"}, 0},
        {"27.0", {}, {"-list"}, {}, "exit 0", {kInfo}, 0},
        // A hidden disk goes as any other, its markers no hindrance.
        {"27.0",
         {},
         {"-add:x", "-size:1m", "-hidden"},
         {},
         kCreated,
         {kImageAttach, kApfsCreate, kInfo, "diskutil\tunmount\t/dev/disk5s1",
          "diskutil\tmount\tnobrowse\t/dev/disk5s1", kInfo},
         2},
        {"27.0",
         {"-add:x", "-size:1m", "-fs:hfs+", "-hidden"},
         {"-del:x"},
         {},
         kRemoved,
         {kInfo, "diskutil\teject\t/dev/disk4"},
         0},
        {"26.4",
         {},
         kAddHfs,
         {},
         kCreated,
         {"hdiutil\tattach\t-plist\t-nomount\tram://2048", kErase},
         1},
        // Half of 8 GiB, case-sensitive; beyond it, or without it, nothing runs.
        {"26.4", {}, {"-add:x", "-size:50%", "-fs:apfsx"}, {k8G}, kCreated, kHalfOf8G, 2},
        {"26.4", {}, {"-add:x", "-size:8193m"}, {k8G}, kTooLarge, {}, 0},
        {"27.0", {}, {"-add:x", "-size:50%"}, {"RAMDISK_STANDIN_MEMSIZE="}, kNoMemory, {}, 0},
        {"26.4",
         kAddHfs,
         {"-del:x", "-force"},
         {"RAMDISK_STANDIN_FAIL_DETACH=16:hdiutil: WARNING: 'hdiutil detach ...' is "
          "deprecated. Please use 'diskutil eject ...' instead.\n" +
          kBusy},
         "Removing memory volume...\nGeneral error: " + kBusy + "\nexit 2",
         {kInfo, "hdiutil\tdetach\t/dev/disk4\t-force"},
         1}}));

}  // namespace
}  // namespace ramdisk
