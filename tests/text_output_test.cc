#include "core/common/text_output.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <thread>

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

// A parent may leave its output non-blocking. A full pipe then makes the
// writer wait for room, however long the reader takes, and lose nothing.
TEST(TextOutputWaitTest, NonBlockingOutputWaitsForRoom) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  ::fcntl(ends[1], F_SETFL, O_NONBLOCK);
  std::size_t filled = 0;
  for (ssize_t n; (n = ::write(ends[1], "0123456789abcdef", 16)) > 0;)
    filled += static_cast<std::size_t>(n);
  ASSERT_EQ(errno, EAGAIN);
  std::string received;
  std::thread reader([&] {
    char buffer[512];
    for (ssize_t n; (n = ::read(ends[0], buffer, sizeof buffer)) > 0;)
      received.append(buffer, static_cast<std::size_t>(n));
  });
  const std::string line(1 << 20, 'x');
  TextOutput output(ends[1], /*line_mode=*/false, 1 << 16);
  EXPECT_NO_THROW({
    output.WriteLine(line);
    output.Flush();
  });
  ::close(ends[1]);
  reader.join();
  ::close(ends[0]);
  EXPECT_EQ(received.size(), filled + line.size() + 1);
  EXPECT_EQ(received.substr(filled), line + "\n");
}

}  // namespace
}  // namespace ramdisk
