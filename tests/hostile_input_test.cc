// Hostile or broken tools and input, end to end: nothing is read that should
// not be, every argument reaches the tool unchanged, memory stays bounded.

#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <ostream>

#include "support/end_to_end.h"
#include "support/files.h"

namespace ramdisk {
namespace {

using testing::EndToEndTest;
using testing::ProcessResult;
using Lines = std::vector<std::string>;

const char kCreating[] = "Creating memory volume...\n";

class HostileInputTest : public EndToEndTest {
 protected:
  // A file of `text` whose access time is the epoch, so a read shows.
  std::string Bait(const std::string& name, const std::string& text) {
    std::string path = work_dir() + "/" + name;
    std::ofstream(path) << text;
    timeval times[2] = {{0, 0}, {::time(nullptr), 0}};
    ::utimes(path.c_str(), times);
    return path;
  }
  bool WasRead(const std::string& path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && info.st_atime != 0;
  }
  // Runs an add whose attach prints `document`.
  ProcessResult AddWithAttachOutput(const std::string& document) {
    std::string path = work_dir() + "/attach.xml";
    std::ofstream(path) << document;
    return Run({"-add:x", "-size:1g"}, {"RAMDISK_STANDIN_ATTACH_OUTPUT=file:" + path});
  }
};

TEST_F(HostileInputTest, LocalDtdAndExternalEntityAreNeverRead) {
  std::string dtd = Bait("evil.dtd", "<!ENTITY dev \"/dev/disk4\">");
  std::string secret = Bait("secret", "/dev/disk4");
  ProcessResult result = AddWithAttachOutput(
      "<?xml version=\"1.0\"?>\n"
      "<!DOCTYPE plist SYSTEM \"file://" +
      dtd +
      "\" [\n"
      "  <!ENTITY secret SYSTEM \"file://" +
      secret +
      "\">\n"
      "  <!ENTITY % remote SYSTEM \"file://" +
      dtd +
      "\"> %remote;\n]>\n"
      "<plist><dict><key>system-entities</key><array><dict>"
      "<key>dev-entry</key><string>&secret;</string>"
      "</dict></array></dict></plist>\n");
  EXPECT_FALSE(WasRead(dtd));
  EXPECT_FALSE(WasRead(secret));
  EXPECT_EQ(result.out, std::string(kCreating) + "General error: Unexpected XML output\n");
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(ToolRuns().size(), 1u);
}

// Run with sudo from a directory anyone can write to, the tool must not run
// a file left there under a disk tool's name.
TEST_F(HostileInputTest, ToolNamedFileInTheWorkingDirectoryIsNotRun) {
  const std::string planted = work_dir() + "/planted";
  testing::WriteFile(work_dir() + "/hdiutil", "#!/bin/sh\ntouch " + planted + "\n", 0755);
  testing::ProcessOptions options;
  options.working_directory = work_dir();
  EXPECT_EQ(Run({"-add:x", "-size:1m"}, {}, options).out,
            std::string(kCreating) + "Created memory volume /Volumes/x\n");
  EXPECT_EQ(Run({"-add:y", "-size:1m"}, {"PATH="}, options).out,
            std::string(kCreating) + "General error: Executable not found: \"hdiutil\"\n");
  EXPECT_NE(::access(planted.c_str(), F_OK), 0) << "the planted file ran";
}

// An entity's text and elements are part of the property list; a blank
// CDATA section is no device.
TEST_F(HostileInputTest, EntitiesAndCdataAreReadAsXPathSeesThem) {
  struct {
    const char* doctype;
    const char* entry;
    const char* result;
  } cases[] = {{"<!DOCTYPE plist [<!ENTITY k 'dev-entry'>]>",
                "<key>&k;</key><string>/dev/disk4</string>", "Created memory volume /Volumes/x"},
               {"<!DOCTYPE plist [<!ENTITY e '<key>dev-entry</key><string>/dev/disk4</string>'>]>",
                "&e;", "Created memory volume /Volumes/x"},
               {"", "<key>dev-entry</key><string><![CDATA[ ]]></string>",
                "General error: Unexpected XML output"}};
  for (const auto& c : cases) {
    ProcessResult added = AddWithAttachOutput(
        std::string(c.doctype) + "<plist><dict><key>system-entities</key><array><dict>" + c.entry +
        "</dict></array></dict></plist>");
    EXPECT_EQ(added.out, std::string(kCreating) + c.result + "\n") << c.entry;
    Run({"-del:x"});
  }
  // Attach, format and detach twice; the blank device went to no tool.
  EXPECT_EQ(ToolRuns().size(), 7u);
  EXPECT_EQ(ToolRuns().back(), "hdiutil\tattach\t-plist\t-nomount\tram://2097152");
}

// A tool may leave a process behind that holds its output (a helper it
// started, a wrapper script's background job): the run ends with the tool.
TEST_F(HostileInputTest, ProcessLeftBehindByAToolDoesNotHoldTheRunUp) {
  const std::string bin = work_dir() + "/bin";
  testing::WriteFile(bin + "/hdiutil",
                     "#!/bin/sh\n(sleep 3; echo late; echo late >&2) &\nexec " +
                         std::string(RAMDISK_STANDIN_BIN_DIR) + "/hdiutil \"$@\"\n",
                     0755);
  auto start = std::chrono::steady_clock::now();
  ProcessResult result =
      Run({"-add:x", "-size:1g"},
          {"PATH=" + bin + ":" RAMDISK_STANDIN_BIN_DIR ":" + std::getenv("PATH")});
  EXPECT_EQ(result.out, std::string(kCreating) + "Created memory volume /Volumes/x\n");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST_F(HostileInputTest, EntityExpansionBombEndsInAnOrderlyError) {
  std::string doc = "<?xml version=\"1.0\"?>\n<!DOCTYPE plist [\n <!ENTITY a0 \"laugh\">\n";
  for (int i = 1; i <= 12; ++i) {
    doc += " <!ENTITY a" + std::to_string(i) + " \"";
    for (int j = 0; j < 10; ++j)
      doc += "&a" + std::to_string(i - 1) + ";";
    doc += "\">\n";
  }
  doc +=
      "]>\n<plist><dict><key>system-entities</key><array><dict><key>dev-entry</key>"
      "<string>&a12;</string></dict></array></dict></plist>\n";
  ProcessResult result = AddWithAttachOutput(doc);
  EXPECT_EQ(result.out.rfind(std::string(kCreating) + "General error: In 'stream:'", 0), 0u)
      << result.out;
  EXPECT_EQ(result.out.find('\n', sizeof kCreating), result.out.size() - 1);
  EXPECT_EQ(result.exit_code, 2);
  EXPECT_LT(result.max_rss_kb, 256 * 1024);
  EXPECT_EQ(ToolRuns().size(), 1u);
}

TEST_F(HostileInputTest, HugeStandardErrorKeepsFirstLineAndBoundedMemory) {
  const std::string failure =
      "RAMDISK_STANDIN_FAIL_ATTACH=1:hdiutil: attach failed - Resource busy";
  ProcessResult quiet = Run({"-add:x", "-size:1g"}, {failure});
  ProcessResult noisy =
      Run({"-add:x", "-size:1g"}, {failure, "RAMDISK_STANDIN_NOISE_BYTES=268435456"});
  EXPECT_EQ(noisy.out,
            std::string(kCreating) + "General error: hdiutil: attach failed - Resource busy\n");
  EXPECT_EQ(noisy.exit_code, 2);
  EXPECT_LT(noisy.max_rss_kb, quiet.max_rss_kb * 3 / 2) << "quiet run: " << quiet.max_rss_kb;
}

struct NameCase {
  const char* name;
  const char* logged;  // as the stand-in log writes it; nullptr: refused
};

std::ostream& operator<<(std::ostream& os, const NameCase& c) { return os << c.logged; }

class HostileNameTest : public EndToEndTest, public ::testing::WithParamInterface<NameCase> {};

// Each name is one argument, byte for byte: no shell ever sees it.
TEST_P(HostileNameTest, ReachesTheToolsAsOneUnchangedArgument) {
  std::string name = GetParam().name;
  ProcessResult added = Run({"-add:" + name, "-size:1m", "-fs:hfs+"});
  EXPECT_EQ(added.out, std::string(kCreating) + "Created memory volume /Volumes/" + name + "\n");
  ProcessResult deleted = Run({"-del:" + name});
  EXPECT_EQ(deleted.exit_code, 0) << deleted.out;
  std::string logged = GetParam().logged;
  EXPECT_EQ(ToolRuns(), (Lines{"hdiutil\tattach\t-plist\t-nomount\tram://2048",
                               "diskutil\tquiet\terasevolume\tHFS+\t" + logged + "\t/dev/disk4",
                               "hdiutil\tdetach\t/Volumes/" + logged}));
}

INSTANTIATE_TEST_SUITE_P(Names, HostileNameTest,
                         ::testing::Values(NameCase{"$(touch pwned)", "$(touch pwned)"},
                                           NameCase{"`id`;rm -rf ~ &", "`id`;rm -rf ~ &"},
                                           NameCase{"it's \"quoted\"", "it's \"quoted\""},
                                           NameCase{"a\nb\tc\\d", "a\\nb\\tc\\\\d"},
                                           NameCase{"*?[x] | > <", "*?[x] | > <"},
                                           NameCase{"-force", "-force"},
                                           NameCase{"\xc3\xa9t\xc3\xa9 \xe2\x98\x83 \xff",
                                                    "\xc3\xa9t\xc3\xa9 \xe2\x98\x83 \xff"}));

}  // namespace
}  // namespace ramdisk
