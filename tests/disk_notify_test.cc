#include "core/macos/disk_notify.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "standin/platform_control.h"

namespace ramdisk {
namespace {

using standin::CallLog;
using standin::Describe;
using standin::PlatformCall;
using Calls = std::vector<PlatformCall>;

template <typename Function>
std::string DescribeFunction(Function* function) {
  return Describe(reinterpret_cast<const void*>(function));
}

class DiskNotifyTest : public ::testing::Test {
 protected:
  // Each test starts as a fresh process would: the match and watch
  // constants are null until a session is created.
  void SetUp() override { standin::ResetPlatform(); }
};

TEST_F(DiskNotifyTest, WithoutSessionIsInertAndDestroysSilently) {
  standin::FailNextSessionCreate();
  auto notify = std::make_unique<TDiskNotify>();
  EXPECT_EQ(notify->Session(), nullptr);
  EXPECT_EQ(CallLog(),
            (Calls{{"DASessionCreate", {"kCFAllocatorDefault"}, "NULL"}}));

  int changes = 0;
  notify->OnChange = [&changes] { ++changes; };
  EXPECT_EQ(standin::DeliverDiskDisappeared(), 0);
  EXPECT_EQ(standin::DeliverDiskDescriptionChanged(), 0);
  EXPECT_EQ(changes, 0);

  standin::ClearCallLog();
  notify.reset();
  EXPECT_EQ(CallLog(), Calls{});
}

TEST_F(DiskNotifyTest, CreateOpensRegistersAndSchedulesInOrder) {
  TDiskNotify notify;
  Calls calls = CallLog();
  ASSERT_NE(notify.Session(), nullptr);
  EXPECT_EQ(Describe(notify.Session()), "session-1");
  const std::string context = Describe(&notify);
  const std::string run_loop = Describe(CFRunLoopGetCurrent());
  EXPECT_EQ(
      calls,
      (Calls{
          {"DASessionCreate", {"kCFAllocatorDefault"}, "session-1"},
          {"DARegisterDiskDisappearedCallback",
           {"session-1", "kDADiskDescriptionMatchVolumeMountable",
            DescribeFunction(DiskDisappearedCallback), context}},
          {"DARegisterDiskDescriptionChangedCallback",
           {"session-1", "kDADiskDescriptionMatchVolumeMountable",
            "kDADiskDescriptionWatchVolumeName",
            DescribeFunction(DiskDescriptionChangedCallback), context}},
          {"CFRunLoopGetCurrent", {}, run_loop},
          {"DASessionScheduleWithRunLoop",
           {"session-1", run_loop, "kCFRunLoopDefaultMode"}},
      }));
}

TEST_F(DiskNotifyTest, DestroyUnregistersBothBeforeReleasing) {
  auto notify = std::make_unique<TDiskNotify>();
  const std::string context = Describe(notify.get());
  standin::ClearCallLog();
  notify.reset();
  EXPECT_EQ(CallLog(),
            (Calls{
                {"DAUnregisterCallback",
                 {"session-1", DescribeFunction(DiskDisappearedCallback),
                  context}},
                {"DAUnregisterCallback",
                 {"session-1", DescribeFunction(DiskDescriptionChangedCallback),
                  context}},
                {"CFRelease", {"session-1"}},
            }));
  EXPECT_EQ(standin::LiveSessionCount(), 0);
  EXPECT_EQ(standin::DeliverDiskDisappeared(), 0);
  EXPECT_EQ(standin::DeliverDiskDescriptionChanged(), 0);
}

struct EventCase {
  const char* name;
  int (*deliver)();
};

std::ostream& operator<<(std::ostream& os, const EventCase& c) {
  return os << c.name;
}

class DiskNotifyEventTest : public ::testing::TestWithParam<EventCase> {
 protected:
  void SetUp() override { standin::ResetPlatform(); }
};

TEST_P(DiskNotifyEventTest, WithoutHandlerIsIgnored) {
  TDiskNotify notify;
  EXPECT_EQ(GetParam().deliver(), 1);
}

TEST_P(DiskNotifyEventTest, ReachesTheHandlerOfItsOwnObject) {
  TDiskNotify first;
  TDiskNotify second;
  int first_changes = 0;
  int second_changes = 0;
  first.OnChange = [&first_changes] { ++first_changes; };
  second.OnChange = [&second_changes] { ++second_changes; };
  EXPECT_EQ(GetParam().deliver(), 2);
  EXPECT_EQ(first_changes, 1);
  EXPECT_EQ(second_changes, 1);

  first.OnChange = nullptr;
  EXPECT_EQ(GetParam().deliver(), 2);
  EXPECT_EQ(first_changes, 1);
  EXPECT_EQ(second_changes, 2);
}

INSTANTIATE_TEST_SUITE_P(
    Events, DiskNotifyEventTest,
    ::testing::Values(
        EventCase{"Disappeared", standin::DeliverDiskDisappeared},
        EventCase{"DescriptionChanged", standin::DeliverDiskDescriptionChanged}),
    [](const ::testing::TestParamInfo<EventCase>& param) {
      return std::string(param.param.name);
    });

TEST_F(DiskNotifyTest, BothEventsCallTheOneHandler) {
  TDiskNotify notify;
  int changes = 0;
  notify.OnChange = [&changes] { ++changes; };
  standin::DeliverDiskDisappeared();
  EXPECT_EQ(changes, 1);
  standin::DeliverDiskDescriptionChanged();
  EXPECT_EQ(changes, 2);
}

// The stand-in fails like the framework, so a release of nothing shows up.
TEST(PlatformStandInDeathTest, ReleasingNullAborts) {
  EXPECT_DEATH(CFRelease(nullptr), "CFRelease called with NULL");
}

}  // namespace
}  // namespace ramdisk
