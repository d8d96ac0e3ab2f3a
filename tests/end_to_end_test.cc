// The built tool against the stand-in disk tools, with volumes mounted below
// the real /Volumes: what the tests in this process cannot show.

#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "core/macos/xml_document.h"
#include "support/stand_ins.h"

namespace ramdisk {
namespace {

// What the LaunchAgent example runs, after the installed tool's path, which
// it must name. It runs at login, and since launchd expands no "~", the
// logs' paths must be written out.
std::vector<std::string> LaunchAgentArguments() {
  std::stringstream text;
  text << std::ifstream(RAMDISK_LAUNCH_AGENT).rdbuf();
  const XmlDocument agent(text.str());
  std::string checks;
  agent.Evaluate(
      "concat(name(dict/*[preceding-sibling::key[1]='RunAtLoad']), count(dict/string["
      "preceding-sibling::key[1][.='StandardOutPath' or .='StandardErrorPath']]["
      "starts-with(., '/Users/YOU/Library/Logs/')]))",
      checks);
  XPathSession session(agent);
  std::vector<std::string> args;
  for (XPathSession::Node argument : session.Select(
           "dict/array[preceding-sibling::key[1]='ProgramArguments']/string", session.Root()))
    session.Evaluate(".", argument, args.emplace_back());
  EXPECT_EQ(checks + " " + (args.empty() ? "" : args.front()), "true2 /usr/local/bin/ramdisk");
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
}

}  // namespace
}  // namespace ramdisk
