#include "core/macos/command.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <tuple>
#include <utility>
#include <vector>

#include "support/child_process.h"

namespace ramdisk {
namespace {

namespace fs = std::filesystem;

const char kChild[] = RAMDISK_TEST_CHILD;

// Records every exit status handed to Success. Like a tool whose code 7
// means "done, with a warning", it accepts 7 as well.
class RecordingCommand : public TCommand {
 public:
  using TCommand::TCommand;
  bool Success(int exit_status) override {
    statuses.push_back(exit_status);
    return exit_status == 7 || TCommand::Success(exit_status);
  }
  std::vector<int> statuses;
};

// Every test gets a scratch directory and has PATH and the working directory
// put back afterwards; none may write to standard error or leave a
// descriptor or a child process behind.
class CommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    descriptors_ = testing::CountOpenDescriptors();
    if (const char* path = std::getenv("PATH"))
      saved_path_ = path;
    std::string pattern = ::testing::TempDir() + "ramdisk-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
    ::testing::internal::CaptureStderr();
  }
  void TearDown() override {
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
    fs::current_path(cwd_);
    if (saved_path_)
      ::setenv("PATH", saved_path_->c_str(), 1);
    else
      ::unsetenv("PATH");
    fs::remove_all(dir_);
    EXPECT_EQ(testing::CountOpenDescriptors(), descriptors_);
    EXPECT_TRUE(::waitpid(-1, nullptr, WNOHANG) == -1 && errno == ECHILD) << "child left";
  }

  // Creates `name` below the scratch directory, parents included.
  std::string Write(const std::string& name, const std::string& text, int mode = 0755) {
    const fs::path path = dir_ / name;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
    fs::permissions(path, static_cast<fs::perms>(mode));
    return path;
  }

  // The message of the EProcess that running `command` raises.
  static std::string Fails(TCommand& command, const TStringArray& args) {
    try {
      command.Execute(args);
    } catch (const EProcess& error) {
      return error.Message();
    }
    ADD_FAILURE() << "no EProcess";
    return "<no error>";
  }

  fs::path dir_;

 private:
  const fs::path cwd_ = fs::current_path();
  std::optional<std::string> saved_path_;
  int descriptors_ = 0;
};

// Arguments for the test child, the status Success sees, and the message of
// the EProcess raised (nullptr for none).
using Run = std::tuple<TStringArray, int, const char*>;
class RunTest : public CommandTest, public ::testing::WithParamInterface<Run> {};

TEST_P(RunTest, JudgesTheStatusAndReportsTheFirstLineOfStandardError) {
  const auto& [args, status, message] = GetParam();
  RecordingCommand command(kChild);
  if (message == nullptr)
    EXPECT_NO_THROW(command.Execute(args));
  else
    EXPECT_EQ(Fails(command, args), message);
  EXPECT_EQ(command.statuses, std::vector<int>{status});
}

INSTANTIATE_TEST_SUITE_P(
    Table, RunTest,
    ::testing::Values(Run{{"in"}, 0, nullptr},
                      Run{{"e:warning\n", "x:7"}, 7, nullptr},
                      Run{{"e:first\nsecond\n", "x:1"}, 1, "first"},
                      Run{{"e:first\rsecond", "x:1"}, 1, "first"},
                      Run{{"e:first\r\nsecond\r\n", "x:255"}, 255, "first"},
                      Run{{"e:\xEF\xBB\xBF" "first\nsecond", "x:1"}, 1, "first"},
                      Run{{"e:\xEF\xBB", "e:\xBFsplit\n", "x:1"}, 1, "split"},
                      Run{{"e:no line end", "x:1"}, 1, "no line end"},
                      Run{{"e:\nsecond\n", "x:1"}, 1, ""},
                      Run{{"o:out\n", "x:3"}, 3, ""},
                      Run{{"o:<r/>", "-plist", "e:err\n", "x:1"}, 1, "err"},
                      Run{{"e:killed\n", "k:9"}, -9, "killed"},
                      Run{{"k:15"}, -15, ""}));

TEST_F(CommandTest, FileThatCannotBeExecutedExits127) {
  for (const std::string& path : {Write("plain", "#!/bin/sh\necho hi >&2\n", 0644),
                                  Write("garbage", "\x01\x02\x03\x04not a program")}) {
    RecordingCommand command(path);
    EXPECT_EQ(Fails(command, {}), "") << path;
    EXPECT_EQ(command.statuses, std::vector<int>{127}) << path;
  }
}

// With room for one pipe only, the first must be closed again.
TEST_F(CommandTest, FailsToCreatePipes) {
  rlimit saved;
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  int lowest_free = ::dup(0);
  ::close(lowest_free);
  rlimit tight = saved;
  tight.rlim_cur = static_cast<rlim_t>(lowest_free + 3);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
  TCommand child(kChild);
  std::string message = Fails(child, {});
  ::setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(message, "Failed to create pipes");
}

// The executable's name, PATH (nullptr: unset) and the message expected.
using Resolve = std::tuple<const char*, const char*, const char*>;
class ResolveTest : public CommandTest, public ::testing::WithParamInterface<Resolve> {};

// Each script says its own name on standard error. The tool runs in "cwd",
// and PATH entries are relative to it.
TEST_P(ResolveTest, FindsTheProgramFile) {
  const auto& [executable, path, message] = GetParam();
  for (const char* name : {"cwd/tool", "a/x", "a/bin/sh", "b/x", "b/tool", "b/dir", "b/only"})
    Write(name, std::string("#!/bin/sh\necho '") + name + "' >&2\nexit 1\n");
  fs::create_directories(dir_ / "cwd/dir");
  fs::create_directories(dir_ / "a/dir");
  if (path != nullptr)
    ::setenv("PATH", path, 1);
  else
    ::unsetenv("PATH");
  fs::current_path(dir_ / "cwd");
  TCommand command(executable);
  EXPECT_EQ(Fails(command, {}), message);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ResolveTest,
    ::testing::Values(Resolve{"tool", "../b", "cwd/tool"},
                      Resolve{"x", "../a:../b", "a/x"},
                      Resolve{"dir", "../a:../b", "b/dir"},
                      Resolve{"only", "::../a::../b/:", "b/only"},
                      // An empty entry is not "/", which would find /bin/sh.
                      Resolve{"bin/sh", ":../a", "a/bin/sh"},
                      Resolve{"only", nullptr, "Executable not found: \"only\""},
                      Resolve{"only", "", "Executable not found: \"only\""},
                      Resolve{"x \"y\"", "../a", "Executable not found: \"x \"y\"\""},
                      Resolve{"", "../a", "Cannot execute empty command-line"}));

// argv[0] is the name as given, not the file found, and every argument
// arrives byte for byte, with nothing interpreting it.
TEST_F(CommandTest, PassesArgumentsAsGiven) {
  fs::create_symlink(kChild, dir_ / "child");
  ::setenv("PATH", dir_.c_str(), 1);
  TCommand command("child");
  EXPECT_EQ(Fails(command, {"argv", "", "two words", "-x \"y\"", "*", "$HOME", "x:1"}),
            "child|argv||two words|-x \"y\"|*|$HOME|x:1|");
}

// The tool gets this process's inheritable descriptors, as any child does,
// but none of the runner's pipe ends beyond its standard streams, also when
// pipe() hands out a closed standard descriptor.
TEST_F(CommandTest, ToolGetsNoPipeEndsBeyondItsStandardStreams) {
  std::string inherited;
  for (int fd = 3; fd < 4096; ++fd) {
    int flags = ::fcntl(fd, F_GETFD);
    if (flags != -1 && (flags & FD_CLOEXEC) == 0)
      inherited += " " + std::to_string(fd);
  }
  TCommand command(kChild);
  EXPECT_EQ(Fails(command, {"fds", "x:1"}), inherited);

  int saved = ::dup(STDIN_FILENO);
  ::close(STDIN_FILENO);
  EXPECT_NO_THROW(command.Execute({"in", "o:<r>ok</r>", "e:ignored", "-plist"}));
  ::dup2(saved, STDIN_FILENO);
  ::close(saved);
  std::string value;
  EXPECT_TRUE(command.Find("/r", value));
  EXPECT_EQ(value, "ok");
}

class PlistMarkerTest : public CommandTest,
                        public ::testing::WithParamInterface<std::pair<const char*, bool>> {};

TEST_P(PlistMarkerTest, IsRecognisedIgnoringAsciiCaseOnly) {
  TCommand command(kChild);
  command.Execute({"o:<r/>", GetParam().first});
  EXPECT_EQ(command.Document() != nullptr, GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(Table, PlistMarkerTest,
                         ::testing::Values(std::pair{"-plist", true}, std::pair{"-PLIST", true},
                                           std::pair{"--plist", false}, std::pair{"-plist ", false},
                                           std::pair{"plist", false},
                                           std::pair{"-pl\xC4\xB1st", false}));

TEST_F(CommandTest, DocumentIsReplacedKeptOrDropped) {
  TCommand command(kChild);
  std::string value = "stale";
  EXPECT_FALSE(command.Find("/r", value));
  EXPECT_EQ(value, "");

  command.Execute({"o:<r>one</r>", "-plist"});
  command.Execute({"o:<r>two</r>", "-plist"});
  // Runs without the marker, or failing before the output is used, keep it.
  command.Execute({"o:<r>three</r>", "--plist"});
  EXPECT_EQ(Fails(command, {"o:<r>four</r>", "-plist", "x:1"}), "");
  EXPECT_TRUE(command.Find("/r", value));
  EXPECT_EQ(value, "two");
  // Output that cannot be read leaves no document to answer from.
  try {
    command.Execute({"-plist"});
    ADD_FAILURE() << "parsed empty output";
  } catch (const EXMLReadError& error) {
    EXPECT_EQ(error.Message(), "In 'stream:' (line 1 pos 1): Root element is missing");
  }
  EXPECT_EQ(command.Document(), nullptr);
}

const char kDeviceQuery[] =
    "/plist/dict/array[preceding-sibling::key[1]=\"system-entities\"]/dict/"
    "string[preceding-sibling::key[1]=\"dev-entry\"]";

const char kAttachPlist[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
    "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n<dict>\n\t<key>system-entities</key>\n\t<array>\n\t\t<dict>\n"
    "\t\t\t<key>content-hint</key>\n\t\t\t<string></string>\n"
    "\t\t\t<key>dev-entry</key>\n\t\t\t<string>/dev/disk4</string>\n"
    "\t\t\t<key>potentially-mountable</key>\n\t\t\t<false/>\n"
    "\t\t\t<key>unmapped-content-hint</key>\n\t\t\t<string></string>\n"
    "\t\t</dict>\n\t</array>\n</dict>\n</plist>\n";

const char kTwoStrings[] = "\xEF\xBB\xBF<r><s></s><s>later</s></r>";

// The command's output, the expression, what Find returns and its value.
using FindCase = std::tuple<const char*, const char*, bool, const char*>;
class FindTest : public CommandTest, public ::testing::WithParamInterface<FindCase> {};

TEST_P(FindTest, IsTrueExactlyForNonEmptyText) {
  const auto& [output, expression, found, expected] = GetParam();
  TCommand command(kChild);
  command.Execute({std::string("o:") + output, "-plist"});
  std::string value = "stale";
  EXPECT_EQ(command.Find(expression, value), found);
  EXPECT_EQ(value, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FindTest,
    ::testing::Values(FindCase{kAttachPlist, kDeviceQuery, true, "/dev/disk4"},
                      FindCase{kTwoStrings, "/r/s", false, ""},
                      FindCase{kTwoStrings, "/r/s[2]", true, "later"},
                      FindCase{kTwoStrings, "/r/none", false, ""},
                      FindCase{kTwoStrings, "count(/r/s) = 2", true, "true"},
                      FindCase{kTwoStrings, "count(/r/s) = 3", true, "false"}));

// The child fills both pipes at once; memory stays bounded.
TEST_F(CommandTest, LargeOutputOnBothStreams) {
  const std::string both = "B:" + std::to_string(32 * 1024 * 1024);
  auto start = std::chrono::steady_clock::now();
  rusage before, after;
  ::getrusage(RUSAGE_SELF, &before);

  TCommand command(kChild);
  command.Execute({both});
  EXPECT_EQ(Fails(command, {both, "x:1"}), std::string(64 * 1024, 'x'));

  ::getrusage(RUSAGE_SELF, &after);
  long grown_kib = after.ru_maxrss - before.ru_maxrss;
#ifdef __APPLE__
  grown_kib /= 1024;  // bytes there
#endif
  EXPECT_LT(grown_kib, 8 * 1024);

  command.Execute({"o:<r/>", "-plist"});
  EXPECT_EQ(Fails(command, {both, "-plist"}),
            std::string("Output of \"") + kChild + "\" exceeds 16 MiB");
  EXPECT_EQ(command.Document(), nullptr);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

}  // namespace
}  // namespace ramdisk
