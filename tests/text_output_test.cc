#include "core/common/text_output.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace ramdisk {
namespace {

class TextOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::pipe(fds_), 0);
    ::fcntl(fds_[0], F_SETFL, O_NONBLOCK);
  }
  void TearDown() override {
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  // What the writer has written out so far.
  std::string Written() {
    char buffer[512];
    ssize_t n = ::read(fds_[0], buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : "";
  }
  int fds_[2];
};

TEST_F(TextOutputTest, TerminalModeWritesOutEveryLine) {
  TextOutput output(fds_[1], /*line_mode=*/true, 64);
  output.Write("RAM Disk");
  EXPECT_EQ(Written(), "");
  output.WriteLine(" Console 1.0.0");
  EXPECT_EQ(Written(), "RAM Disk Console 1.0.0\n");
}

TEST_F(TextOutputTest, PipeModeWritesOutWhenFullAndOnFlush) {
  TextOutput output(fds_[1], /*line_mode=*/false, 8);
  output.WriteLine("abc");
  EXPECT_EQ(Written(), "");
  output.WriteLine("defgh");
  EXPECT_EQ(Written(), "abc\ndefg");
  output.Flush();
  EXPECT_EQ(Written(), "h\n");
}

// A write that fails during the run raises "Disk Full" in either mode and
// drops the text; the final write-out at shutdown fails quietly.
// The output is a pipe nobody reads, so every write fails with EPIPE.
TEST(TextOutputFailureTest, FailedWriteRaisesDiskFull) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  ::close(ends[0]);
  const int full = ends[1];
  struct sigaction ignore = {}, saved;
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &saved);
  TextOutput terminal(full, /*line_mode=*/true, 64);
  try {
    terminal.WriteLine("Creating memory volume...");
    ADD_FAILURE() << "no error raised";
  } catch (const EOutputError& error) {
    EXPECT_EQ(error.Message(), "Disk Full");
  }
  terminal.Write("General error: Disk Full");
  EXPECT_FALSE(terminal.FlushQuietly());

  TextOutput piped(full, /*line_mode=*/false, 16);
  piped.WriteLine("short");
  EXPECT_THROW(piped.WriteLine("a line longer than the buffer"), EOutputError);
  ::close(full);
  ::sigaction(SIGPIPE, &saved, nullptr);
}

}  // namespace
}  // namespace ramdisk
