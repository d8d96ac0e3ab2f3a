#include "core/macos/disk_notify.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "standin/platform_control.h"
#include "support/child_process.h"

namespace ramdisk {
namespace {

using standin::CallLog;
using standin::Describe;
using Calls = std::vector<standin::PlatformCall>;

// Each test starts as a fresh process would: the match and watch constants
// are null until a session exists.
class DiskNotifyTest : public ::testing::Test {
 protected:
  void SetUp() override { standin::ResetPlatform(); }
};

TEST_F(DiskNotifyTest, WithoutSessionIsInert) {
  standin::FailNextSessionCreate();
  auto notify = std::make_unique<TDiskNotify>();
  EXPECT_EQ(notify->Session(), nullptr);
  EXPECT_EQ(CallLog(), (Calls{{"DASessionCreate", {"kCFAllocatorDefault"}, "NULL"}}));
  standin::ClearCallLog();
  notify.reset();
  EXPECT_EQ(CallLog(), Calls{});
}

TEST_F(DiskNotifyTest, CallsInOrder) {
  auto notify = std::make_unique<TDiskNotify>();
  const Calls created = CallLog();
  const std::string loop = Describe(CFRunLoopGetCurrent());
  const std::string context = Describe(notify.get());
  const std::string disappeared = Describe(reinterpret_cast<const void*>(&DiskDisappearedCallback));
  const std::string changed =
      Describe(reinterpret_cast<const void*>(&DiskDescriptionChangedCallback));
  const char kMatch[] = "kDADiskDescriptionMatchVolumeMountable";
  EXPECT_EQ(
      created,
      (Calls{{"DASessionCreate", {"kCFAllocatorDefault"}, "session-1"},
             {"DARegisterDiskDisappearedCallback", {"session-1", kMatch, disappeared, context}},
             {"DARegisterDiskDescriptionChangedCallback",
              {"session-1", kMatch, "kDADiskDescriptionWatchVolumeName", changed, context}},
             {"CFRunLoopGetCurrent", {}, loop},
             {"DASessionScheduleWithRunLoop", {"session-1", loop, "kCFRunLoopDefaultMode"}}}));
  standin::ClearCallLog();
  notify.reset();
  EXPECT_EQ(CallLog(), (Calls{{"DAUnregisterCallback", {"session-1", disappeared, context}},
                              {"DAUnregisterCallback", {"session-1", changed, context}},
                              {"CFRelease", {"session-1"}}}));
}

TEST_F(DiskNotifyTest, BothEventsCallTheOneHandler) {
  TDiskNotify notify;
  // Without a handler an event is ignored.
  EXPECT_EQ(standin::DeliverDiskDisappeared(), 1);
  EXPECT_EQ(standin::DeliverDiskDescriptionChanged(), 1);
  int changes = 0;
  notify.OnChange = [&changes] { ++changes; };
  standin::DeliverDiskDisappeared();
  EXPECT_EQ(changes, 1);
  standin::DeliverDiskDescriptionChanged();
  EXPECT_EQ(changes, 2);
}

// A run of the program: its output and its platform calls (each cut to
// "<Function>") in the order in which they happened.
std::string Transcript(const std::vector<std::string>& args) {
  const std::string path = ::testing::TempDir() + "ramdisk-calls-" + std::to_string(::getpid());
  ::unlink(path.c_str());
  testing::ProcessOptions options;
  options.stdout_path = path;
  options.stdout_append = true;
  options.environment = {std::string(standin::kCallLogVariable) + "=" + path};
  testing::ProcessResult result = testing::RunProcess(RAMDISK_BINARY, args, options);
  std::ifstream in(path);
  std::string text = result.err;
  for (std::string line; std::getline(in, line);) {
    bool call = line.rfind("DA", 0) == 0 || line.rfind("CF", 0) == 0;
    text += (call ? "<" + line.substr(0, line.find('(')) + ">" : line) + "\n";
  }
  ::unlink(path.c_str());
  return text;
}

// The session is open before anything is written, in a usage-only run and
// in one that ends in an error, and released after the last of the output.
TEST(ProgramNotifierTest, SessionSpansTheMainBlock) {
  const std::string opened =
      "<DASessionCreate>\n<DARegisterDiskDisappearedCallback>\n"
      "<DARegisterDiskDescriptionChangedCallback>\n"
      "<CFRunLoopGetCurrent>\n<DASessionScheduleWithRunLoop>\n";
  const std::string released = "<DAUnregisterCallback>\n<DAUnregisterCallback>\n<CFRelease>\n";
  const std::vector<std::string> runs[] = {{}, {"foo"}};
  for (const std::vector<std::string>& args : runs) {
    std::string out = testing::RunProcess(RAMDISK_BINARY, args).out;
    EXPECT_NE(out, "");
    EXPECT_EQ(Transcript(args), opened + out + released);
  }
}

}  // namespace
}  // namespace ramdisk
