#include "core/macos/volumes_module.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "standin/platform_control.h"
#include "support/child_process.h"

namespace ramdisk {
namespace {

using testing::ProcessOptions;
using testing::ProcessResult;
using testing::RunProcess;

TEST(MacOSVolumesModuleTest, DiskNotifyLivesAsLongAsTheModule) {
  standin::ResetPlatform();
  ASSERT_EQ(DiskNotify, nullptr);
  {
    MacOSVolumesModule module;
    ASSERT_NE(DiskNotify, nullptr);
    EXPECT_NE(DiskNotify->Session(), nullptr);
    EXPECT_EQ(standin::LiveSessionCount(), 1);
  }
  EXPECT_EQ(DiskNotify, nullptr);
  EXPECT_EQ(standin::LiveSessionCount(), 0);
}

// The platform calls and the program's output in one file, in the order in
// which they happened.
struct Transcript {
  std::vector<std::string> head;  // the first five lines
  std::string middle;
  std::vector<std::string> tail;  // the last three lines
};

std::optional<Transcript> SplitTranscript(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  if (lines.size() < 8 || text.back() != '\n')
    return std::nullopt;
  Transcript t;
  t.head.assign(lines.begin(), lines.begin() + 5);
  t.tail.assign(lines.end() - 3, lines.end());
  std::size_t head_size = 0;
  for (const std::string& line : t.head)
    head_size += line.size() + 1;
  std::size_t tail_size = 0;
  for (const std::string& line : t.tail)
    tail_size += line.size() + 1;
  t.middle = text.substr(head_size, text.size() - head_size - tail_size);
  return t;
}

// "F(a, b, c)" -> {a, b, c}
std::vector<std::string> Arguments(const std::string& line) {
  std::string inside =
      line.substr(line.find('(') + 1, line.find(')') - line.find('(') - 1);
  std::vector<std::string> result;
  std::istringstream in(inside);
  for (std::string item; std::getline(in, item, ',');)
    result.push_back(item.substr(item.find_first_not_of(' ')));
  return result;
}

struct RunCase {
  const char* name;
  std::vector<std::string> args;
};

std::ostream& operator<<(std::ostream& os, const RunCase& c) {
  return os << c.name;
}

class ProgramNotifierTest : public ::testing::TestWithParam<RunCase> {};

// The session is opened and scheduled before anything is written, and the
// callbacks end and the session is released after the last of the output.
TEST_P(ProgramNotifierTest, SessionSpansTheMainBlock) {
  const RunCase& c = GetParam();
  const std::string path = ::testing::TempDir() + "ramdisk-transcript-" +
                           c.name + "-" + std::to_string(::getpid());
  ::unlink(path.c_str());
  ProcessOptions options;
  options.stdout_path = path;
  options.stdout_append = true;
  options.environment = {std::string(standin::kCallLogVariable) + "=" + path};
  ProcessResult traced = RunProcess(RAMDISK_BINARY, c.args, options);
  ProcessResult plain = RunProcess(RAMDISK_BINARY, c.args);
  std::ifstream file(path);
  std::string text{std::istreambuf_iterator<char>(file),
                   std::istreambuf_iterator<char>()};
  ::unlink(path.c_str());

  EXPECT_EQ(traced.exit_code, plain.exit_code);
  EXPECT_EQ(traced.err, "");
  std::optional<Transcript> t = SplitTranscript(text);
  ASSERT_TRUE(t.has_value()) << text;
  ASSERT_EQ(Arguments(t->head[1]).size(), 4u) << text;
  ASSERT_EQ(Arguments(t->head[2]).size(), 5u) << text;
  const std::string disappeared = Arguments(t->head[1])[2];
  const std::string changed = Arguments(t->head[2])[3];
  const std::string context = Arguments(t->head[1])[3];

  EXPECT_EQ(t->head[0], "DASessionCreate(kCFAllocatorDefault) = session-1");
  EXPECT_EQ(t->head[1], "DARegisterDiskDisappearedCallback(session-1, "
                        "kDADiskDescriptionMatchVolumeMountable, " +
                            disappeared + ", " + context + ")");
  EXPECT_EQ(t->head[2],
            "DARegisterDiskDescriptionChangedCallback(session-1, "
            "kDADiskDescriptionMatchVolumeMountable, "
            "kDADiskDescriptionWatchVolumeName, " +
                changed + ", " + context + ")");
  EXPECT_EQ(t->head[3], "CFRunLoopGetCurrent() = run-loop-1");
  EXPECT_EQ(t->head[4], "DASessionScheduleWithRunLoop(session-1, run-loop-1, "
                        "kCFRunLoopDefaultMode)");
  EXPECT_NE(t->middle, "");
  EXPECT_EQ(t->middle, plain.out);
  EXPECT_EQ(t->tail, (std::vector<std::string>{
                         "DAUnregisterCallback(session-1, " + disappeared +
                             ", " + context + ")",
                         "DAUnregisterCallback(session-1, " + changed + ", " +
                             context + ")",
                         "CFRelease(session-1)"}));
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ProgramNotifierTest,
    ::testing::Values(RunCase{"UsageOnly", {}},
                      RunCase{"ReportedError", {"foo"}}),
    [](const ::testing::TestParamInfo<RunCase>& param) {
      return std::string(param.param.name);
    });

}  // namespace
}  // namespace ramdisk
