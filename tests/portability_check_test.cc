#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "support/child_process.h"

namespace ramdisk {
namespace {

// CI runs the check on the product sources, which shows only that clean code
// passes. Here it must find the Linux-only lines, and nothing in the
// comments, literals and look-alikes around them.
TEST(PortabilityCheckTest, FindsLinuxOnlyCode) {
  const std::string dir =
      ::testing::TempDir() + "portability-" + std::to_string(::getpid());
  ::mkdir(dir.c_str(), 0755);
  std::ofstream(dir + "/a.cc") << "#include <linux/fs.h>\n"
                                  "/* pipe2\n"
                                  " epoll */ char q = '\"';  // memrchr\n"
                                  "int my_pipe2(); const char* s = \"/proc\";\n"
                                  "int f() { return ppoll(1'0); }\n";
  testing::ProcessResult result = testing::RunProcess(
      RAMDISK_SOURCE_DIR "/scripts/check-portability", {dir});
  ::unlink((dir + "/a.cc").c_str());
  ::rmdir(dir.c_str());
  const std::string a = dir + "/a.cc:";
  EXPECT_EQ(result.out,
            a + "1: linux/: #include <linux/fs.h>\n" +
                a + "4: /proc: int my_pipe2(); const char* s = \"/proc\";\n" +
                a + "5: ppoll: int f() { return ppoll(1'0); }\n" +
                "portability check failed: 3 line(s) use Linux-only calls or "
                "headers\n");
  EXPECT_EQ(result.exit_code, 1);
}

}  // namespace
}  // namespace ramdisk
