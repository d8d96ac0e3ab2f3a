#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "support/child_process.h"

namespace ramdisk {
namespace {

using testing::ProcessResult;
using testing::RunProcess;

const char kScript[] = RAMDISK_SOURCE_DIR "/scripts/check-portability";

class PortabilityCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = ::testing::TempDir() + "portability-" + std::to_string(::getpid());
    ASSERT_EQ(RunProcess("/bin/rm", {"-rf", root_}).exit_code, 0);
    ASSERT_EQ(::mkdir(root_.c_str(), 0755), 0);
  }
  void TearDown() override { RunProcess("/bin/rm", {"-rf", root_}); }

  void Write(const std::string& name, const std::string& text) {
    std::string path = root_ + "/" + name;
    ::mkdir(path.substr(0, path.rfind('/')).c_str(), 0755);
    std::ofstream(path) << text;
  }

  std::string root_;
};

TEST_F(PortabilityCheckTest, ReportsEachOffendingLineOfCode) {
  Write("a.cc",
        "#include <sys/epoll.h>\n"
        "#include <linux/fs.h>\n"
        "#define _GNU_SOURCE 1\n"
        "int f(int* fds) { return pipe2(fds, 0); }\n"
        "const char* p = \"/proc/self/fd\";\n"
        "const char* u = \"http://x\"; void* q = memrchr(u, 'x', 3);\n"
        "/* a block\n"
        "   comment */ int g() { return epoll_create1(0); }\n");
  Write("b.h", "int h() { return ppoll(0, 0, 0, 0); }\n");
  ProcessResult result = RunProcess(kScript, {root_});
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.out,
            root_ + "/a.cc:1: sys/epoll.h: #include <sys/epoll.h>\n" +
            root_ + "/a.cc:2: linux/: #include <linux/fs.h>\n" +
            root_ + "/a.cc:3: _GNU_SOURCE: #define _GNU_SOURCE 1\n" +
            root_ + "/a.cc:4: pipe2: int f(int* fds) { return pipe2(fds, 0); }\n" +
            root_ + "/a.cc:5: /proc/: const char* p = \"/proc/self/fd\";\n" +
            root_ + "/a.cc:6: memrchr: const char* u = \"http://x\"; "
                    "void* q = memrchr(u, 'x', 3);\n" +
            root_ + "/a.cc:8: epoll_create1:    comment */ int g() "
                    "{ return epoll_create1(0); }\n" +
            root_ + "/b.h:1: ppoll: int h() { return ppoll(0, 0, 0, 0); }\n"
            "portability check failed: 8 line(s) use Linux-only calls or "
            "headers\n");
}

// Comments that say why a call is avoided, names that merely contain a
// flagged one, and the framework stand-ins pass.
TEST_F(PortabilityCheckTest, PassesCommentsLookalikesAndStandIns) {
  Write("src/ok.cc",
        "// pipe2 would do this at once, but only on Linux.\n"
        "/* neither epoll nor\n"
        "   memrchr, nor /proc */ int ok = 1;\n"
        "int my_pipe2_helper(); int ppoll_count; const char* s = \"/process\";\n"
        "char quote = '\"'; int n = 1'000, m = 0xff'ff; // strchrnul\n");
  Write("src/standin/fake.cc", "int x = pipe2(0, 0);\n");
  ProcessResult result = RunProcess(kScript, {root_});
  EXPECT_EQ(result.out, "portability check passed\n");
  EXPECT_EQ(result.exit_code, 0);
}

}  // namespace
}  // namespace ramdisk
