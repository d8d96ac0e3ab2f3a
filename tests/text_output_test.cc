#include "core/common/text_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace ramdisk {
namespace {

// A pipe whose read end collects what the writer has written out so far.
class Pipe {
 public:
  Pipe() {
    EXPECT_EQ(::pipe(fds_), 0);
    ::fcntl(fds_[0], F_SETFL, O_NONBLOCK);
  }
  ~Pipe() {
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  int write_fd() const { return fds_[1]; }
  std::string Drain() {
    std::string text;
    char buffer[512];
    ssize_t n;
    while ((n = ::read(fds_[0], buffer, sizeof buffer)) > 0)
      text.append(buffer, static_cast<std::size_t>(n));
    return text;
  }

 private:
  int fds_[2];
};

TEST(TextOutputTest, TerminalModeWritesOutEveryLine) {
  Pipe pipe;
  TextOutput output(pipe.write_fd(), /*line_mode=*/true, 64);
  output.Write("RAM Disk");
  EXPECT_EQ(pipe.Drain(), "");
  output.WriteLine(" Console 1.0.0");
  EXPECT_EQ(pipe.Drain(), "RAM Disk Console 1.0.0\n");
}

TEST(TextOutputTest, PipeModeWritesOutWhenFullAndOnFlush) {
  Pipe pipe;
  TextOutput output(pipe.write_fd(), /*line_mode=*/false, 8);
  output.WriteLine("abc");
  EXPECT_EQ(pipe.Drain(), "");
  output.WriteLine("defgh");
  EXPECT_EQ(pipe.Drain(), "abc\ndefg");
  output.Flush();
  EXPECT_EQ(pipe.Drain(), "h\n");
}

TEST(TextOutputTest, FailedWriteDuringRunRaisesDiskFull) {
  int full = ::open("/dev/full", O_WRONLY);
  ASSERT_GE(full, 0);
  TextOutput output(full, /*line_mode=*/true, 64);
  try {
    output.WriteLine("Creating memory volume...");
    FAIL() << "no error raised";
  } catch (const EOutputError& error) {
    EXPECT_EQ(error.Message(), "Disk Full");
  }
  // The failed text is dropped; the final write-out fails quietly.
  output.Write("General error: Disk Full");
  EXPECT_FALSE(output.FlushQuietly());
  ::close(full);
}

TEST(TextOutputTest, FullBufferOnFailingOutputRaisesInPipeMode) {
  int full = ::open("/dev/full", O_WRONLY);
  ASSERT_GE(full, 0);
  TextOutput output(full, /*line_mode=*/false, 16);
  output.WriteLine("short");
  EXPECT_THROW(output.WriteLine("a line longer than the buffer"), EOutputError);
  ::close(full);
}

}  // namespace
}  // namespace ramdisk
