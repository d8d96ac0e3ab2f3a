#include "core/macos/disks/disk_notify.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "standin/platform_control.h"
#include "support/child_process.h"

namespace ramdisk {
namespace {

using standin::CallLog;
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

// A run of the program: its output and its platform calls in the order in
// which they happened, addresses numbered "@1", "@2", ... as they first
// appear.
std::string Transcript(const std::vector<std::string>& args) {
  const std::string path = ::testing::TempDir() + "ramdisk-calls-" + std::to_string(::getpid());
  ::unlink(path.c_str());
  testing::ProcessOptions options;
  options.stdout_path = path;
  options.stdout_append = true;
  options.environment = {std::string(standin::kCallLogVariable) + "=" + path};
  testing::ProcessResult result = testing::RunProcess(RAMDISK_BINARY, args, options);
  std::ifstream in(path);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ::unlink(path.c_str());
  std::vector<std::string> addresses;
  for (std::size_t at; (at = text.find("0x")) != std::string::npos;) {
    const std::size_t end = text.find_first_not_of("0123456789abcdef", at + 2);
    const std::string address = text.substr(at, end - at);
    std::size_t n = std::find(addresses.begin(), addresses.end(), address) - addresses.begin();
    if (n == addresses.size())
      addresses.push_back(address);
    text.replace(at, end - at, "@" + std::to_string(n + 1));
  }
  return result.err + text;
}

// The session is open before anything is written, in a usage-only run and
// in one that ends in an error, and released after the last of the output;
// each callback is unregistered as it was registered, with the notifier as
// its context.
TEST(ProgramNotifierTest, SessionSpansTheMainBlock) {
  const std::string opened =
      "DASessionCreate(kCFAllocatorDefault) = session-1\n"
      "DARegisterDiskDisappearedCallback(session-1, kDADiskDescriptionMatchVolumeMountable, @1, "
      "@2)\n"
      "DARegisterDiskDescriptionChangedCallback(session-1, kDADiskDescriptionMatchVolumeMountable, "
      "kDADiskDescriptionWatchVolumeName, @3, @2)\n"
      "CFRunLoopGetCurrent() = run-loop-1\n"
      "DASessionScheduleWithRunLoop(session-1, run-loop-1, kCFRunLoopDefaultMode)\n";
  const std::string released =
      "DAUnregisterCallback(session-1, @1, @2)\nDAUnregisterCallback(session-1, @3, @2)\n"
      "CFRelease(session-1)\n";
  const std::vector<std::string> runs[] = {{}, {"foo"}};
  for (const std::vector<std::string>& args : runs) {
    std::string out = testing::RunProcess(RAMDISK_BINARY, args).out;
    EXPECT_NE(out, "");
    EXPECT_EQ(Transcript(args), opened + out + released);
  }
}

}  // namespace
}  // namespace ramdisk
