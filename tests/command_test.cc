#include "core/macos/command.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <ostream>
#include <vector>

#include "support/child_process.h"
#include "support/scratch.h"

namespace ramdisk {
namespace {

using testing::ScopedChdir;
using testing::ScopedEnv;
using testing::StderrCapture;
using testing::TempDir;

const char kChild[] = RAMDISK_TEST_CHILD;

const char kDeviceQuery[] =
    "/plist/dict/array[preceding-sibling::key[1]=\"system-entities\"]/dict/"
    "string[preceding-sibling::key[1]=\"dev-entry\"]";

const char kAttachPlist[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
    "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n<dict>\n"
    "\t<key>system-entities</key>\n\t<array>\n\t\t<dict>\n"
    "\t\t\t<key>content-hint</key>\n\t\t\t<string></string>\n"
    "\t\t\t<key>dev-entry</key>\n\t\t\t<string>/dev/disk4</string>\n"
    "\t\t\t<key>potentially-mountable</key>\n\t\t\t<false/>\n"
    "\t\t\t<key>unmapped-content-hint</key>\n\t\t\t<string></string>\n"
    "\t\t</dict>\n\t</array>\n</dict>\n</plist>\n";

std::string Escaped(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    static const char kHex[] = "0123456789ABCDEF";
    if (c >= 0x20 && c < 0x7F)
      out += static_cast<char>(c);
    else
      out += std::string("\\x") + kHex[c >> 4] + kHex[c & 15];
  }
  return out;
}

std::ostream& PrintArgs(std::ostream& os, const TStringArray& args) {
  for (const std::string& arg : args)
    os << " [" << Escaped(arg).substr(0, 40) << "]";
  return os;
}

// Records every exit status handed to Success; accepts what the base does,
// or everything.
class RecordingCommand : public TCommand {
 public:
  explicit RecordingCommand(std::string executable, bool accept_all = false)
      : TCommand(std::move(executable)), accept_all_(accept_all) {}
  bool Success(int exit_status) override {
    statuses.push_back(exit_status);
    return accept_all_ || TCommand::Success(exit_status);
  }
  std::vector<int> statuses;

 private:
  bool accept_all_;
};

// Every test checks that nothing reached standard error, and that no
// descriptor and no child process was left behind.
class CommandTest : public ::testing::Test {
 protected:
  void SetUp() override { descriptors_ = testing::CountOpenDescriptors(); }
  void TearDown() override {
    EXPECT_EQ(testing::CountOpenDescriptors(), descriptors_);
    int status;
    errno = 0;
    EXPECT_EQ(::waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
    EXPECT_EQ(Escaped(stderr_.Finish()), "");
  }

  // The message of the EProcess that running `command` raises.
  static std::string ProcessError(TCommand& command, const TStringArray& args) {
    try {
      command.Execute(args);
    } catch (const EProcess& error) {
      return error.Message();
    }
    ADD_FAILURE() << "no EProcess";
    return "<no error>";
  }

 private:
  StderrCapture stderr_;
  int descriptors_ = 0;
};

struct StderrCase {
  TStringArray args;
  std::string message;
};

std::ostream& operator<<(std::ostream& os, const StderrCase& c) {
  return PrintArgs(os, c.args);
}

class FailureTextTest : public CommandTest,
                        public ::testing::WithParamInterface<StderrCase> {};

TEST_P(FailureTextTest, IsTheFirstLineOfStandardError) {
  TCommand command(kChild);
  EXPECT_EQ(Escaped(ProcessError(command, GetParam().args)),
            Escaped(GetParam().message));
}

INSTANTIATE_TEST_SUITE_P(
    Table, FailureTextTest,
    ::testing::Values(
        StderrCase{{"stderr:first\nsecond\n", "exit:1"}, "first"},
        StderrCase{{"stderr:first\rsecond", "exit:1"}, "first"},
        StderrCase{{"stderr:first\r\nsecond\r\n", "exit:1"}, "first"},
        StderrCase{{"stderr:\xEF\xBB\xBF" "first\nsecond", "exit:1"}, "first"},
        StderrCase{{"stderr:\xEF\xBB", "stderr:\xBFsplit\n", "exit:1"}, "split"},
        StderrCase{{"stderr:no line end", "exit:1"}, "no line end"},
        StderrCase{{"stderr:\nsecond\n", "exit:1"}, ""},
        StderrCase{{"exit:1"}, ""},
        StderrCase{{"stdout:out\n", "stderr:err\n", "exit:2"}, "err"},
        StderrCase{{"stderr-bytes:100000", "exit:1"}, std::string(65536, 'x')},
        StderrCase{{"stdout:<r/>", "-plist", "exit:1"}, ""}));

struct StatusCase {
  TStringArray args;
  int status;
};

std::ostream& operator<<(std::ostream& os, const StatusCase& c) {
  return PrintArgs(os, c.args);
}

class ExitStatusTest : public CommandTest,
                       public ::testing::WithParamInterface<StatusCase> {};

TEST_P(ExitStatusTest, ReachesSuccessOnceAndDecides) {
  RecordingCommand command(kChild);
  if (GetParam().status == 0)
    command.Execute(GetParam().args);
  else
    EXPECT_EQ(ProcessError(command, GetParam().args), "");
  EXPECT_EQ(command.statuses, std::vector<int>{GetParam().status});

  RecordingCommand lenient(kChild, /*accept_all=*/true);
  lenient.Execute(GetParam().args);
  EXPECT_EQ(lenient.statuses, std::vector<int>{GetParam().status});
}

INSTANTIATE_TEST_SUITE_P(Table, ExitStatusTest,
                         ::testing::Values(StatusCase{{}, 0},
                                           StatusCase{{"exit:3"}, 3},
                                           StatusCase{{"exit:255"}, 255},
                                           StatusCase{{"signal:15"}, -15},
                                           StatusCase{{"signal:9"}, -9}));

TEST_F(CommandTest, FileThatCannotBeExecutedExits127) {
  TempDir dir;
  for (const std::string& path :
       {dir.Write("plain", "#!/bin/sh\necho hi >&2\n", 0644),
        dir.Write("garbage", std::string("\x01\x02\x03\x04not a program", 17), 0755)}) {
    RecordingCommand command(path);
    EXPECT_EQ(ProcessError(command, {}), "") << path;
    EXPECT_EQ(command.statuses, std::vector<int>{127}) << path;
  }
}

TEST_F(CommandTest, StartFailures) {
  TCommand empty("");
  EXPECT_EQ(ProcessError(empty, {}), "Cannot execute empty command-line");
  TCommand missing("no-such-tool \"x\"");
  EXPECT_EQ(ProcessError(missing, {}), "Executable not found: \"no-such-tool \"x\"\"");

  // With room for one pipe only, the first must be closed again.
  rlimit saved;
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  int lowest_free = ::dup(0);
  ::close(lowest_free);
  rlimit tight = saved;
  tight.rlim_cur = static_cast<rlim_t>(lowest_free + 3);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
  TCommand child(kChild);
  std::string message = ProcessError(child, {});
  ::setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(message, "Failed to create pipes");
}

struct ResolveCase {
  const char* executable;
  const char* path;  // "{a}" and "{b}" stand for two directories; nullptr unsets PATH
  const char* message;
};

std::ostream& operator<<(std::ostream& os, const ResolveCase& c) {
  return os << c.executable << " with PATH " << (c.path != nullptr ? c.path : "unset");
}

class ResolveTest : public CommandTest,
                    public ::testing::WithParamInterface<ResolveCase> {};

// The working directory holds "tool", "local" and a directory "dir";
// {a} holds "x", "dir" and a directory "both"; {b} holds "x", "tool",
// "both" and "only".
TEST_P(ResolveTest, FindsTheProgramFile) {
  TempDir root;
  root.Script("cwd/tool", "cwd tool");
  root.Script("cwd/local", "cwd local");
  root.MakeDir("cwd/dir");
  root.Script("a/x", "a x");
  root.Script("a/dir", "a dir");
  root.MakeDir("a/both");
  root.Script("b/x", "b x");
  root.Script("b/tool", "b tool");
  root.Script("b/both", "b both");
  root.Script("b/only", "b only");
  std::string path = GetParam().path != nullptr ? GetParam().path : "";
  for (auto [key, dir] : {std::pair{"{a}", root / "a"}, std::pair{"{b}", root / "b"}}) {
    for (auto at = path.find(key); at != std::string::npos; at = path.find(key))
      path.replace(at, 3, dir);
  }
  ScopedEnv env("PATH", GetParam().path != nullptr ? path.c_str() : nullptr);
  ScopedChdir cwd(root / "cwd");
  TCommand command(GetParam().executable);
  EXPECT_EQ(ProcessError(command, {}), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ResolveTest,
    ::testing::Values(
        ResolveCase{"tool", "{b}", "cwd tool"},
        ResolveCase{"./local", "{b}", "cwd local"},
        ResolveCase{"x", "{a}:{b}", "a x"},
        ResolveCase{"x", "{b}:{a}", "b x"},
        ResolveCase{"only", "::{a}::{b}/:", "b only"},
        ResolveCase{"dir", "{a}", "a dir"},
        ResolveCase{"both", "{a}:{b}", "b both"},
        ResolveCase{"only", nullptr, "Executable not found: \"only\""},
        ResolveCase{"only", "", "Executable not found: \"only\""},
        ResolveCase{"only", ":", "Executable not found: \"only\""}));

// An empty PATH entry must not become "/" + name: with a name that is a
// relative path, that would run a file reached from the root directory.
TEST_F(CommandTest, EmptyPathEntryIsNotTheRootDirectory) {
  TempDir root;
  std::string relative = root.path().substr(1) + "/decoy";
  root.Script("decoy", "from root");
  root.Script("a/" + relative, "from a");
  ScopedEnv env("PATH", (":" + (root / "a")).c_str());
  ScopedChdir cwd(root.MakeDir("cwd"));
  TCommand command(relative);
  EXPECT_EQ(ProcessError(command, {}), "from a");
}

std::vector<std::string> ReadArgv(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::vector<std::string> entries;
  for (std::string::size_type start = 0, end; start < text.size(); start = end + 1) {
    end = text.find('\0', start);
    entries.push_back(text.substr(start, end - start));
  }
  return entries;
}

TEST_F(CommandTest, PassesArgumentsByteForByteWithTheNameAsGiven) {
  TempDir dir;
  ASSERT_EQ(::symlink(kChild, (dir / "child").c_str()), 0);
  ScopedEnv env("PATH", dir.path().c_str());
  std::string record = dir / "argv";
  TCommand command("child");
  TStringArray args = {"argv-file:" + record, "", "two words", "-x \"y\"", "*", "$HOME"};
  command.Execute(args);
  args.insert(args.begin(), "child");
  EXPECT_EQ(ReadArgv(record), args);
}

// The tool gets this process's inheritable descriptors, as any child does,
// but none of the runner's pipe ends beyond its standard streams.
TEST_F(CommandTest, ToolGetsNoPipeEndsBeyondItsStandardStreams) {
  std::string inherited;
  for (int fd = 3; fd < 4096; ++fd) {
    int flags = ::fcntl(fd, F_GETFD);
    if (flags != -1 && (flags & FD_CLOEXEC) == 0)
      inherited += " " + std::to_string(fd);
  }
  TCommand command(kChild);
  EXPECT_EQ(ProcessError(command, {"list-fds", "exit:1"}), inherited);
}

TEST_F(CommandTest, ToolSeesTheEndOfItsInput) {
  RecordingCommand command(kChild);
  command.Execute({"read-stdin"});
  EXPECT_EQ(command.statuses, std::vector<int>{0});
}

// A closed standard descriptor makes pipe() hand out 0, 1 or 2.
TEST_F(CommandTest, WorksWithStandardInputClosed) {
  int saved = ::dup(STDIN_FILENO);
  ::close(STDIN_FILENO);
  TCommand command(kChild);
  std::string value;
  try {
    command.Execute({"stdout:<r>ok</r>", "stderr:ignored", "-plist"});
    command.Find("/r", value);
  } catch (const Exception& error) {
    value = error.Message();
  }
  ::dup2(saved, STDIN_FILENO);
  ::close(saved);
  EXPECT_EQ(value, "ok");
}

struct MarkerCase {
  const char* marker;
  bool parsed;
};

std::ostream& operator<<(std::ostream& os, const MarkerCase& c) {
  return os << "[" << c.marker << "]";
}

class PlistMarkerTest : public CommandTest,
                        public ::testing::WithParamInterface<MarkerCase> {};

TEST_P(PlistMarkerTest, IsRecognisedIgnoringAsciiCaseOnly) {
  TCommand command(kChild);
  command.Execute({"stdout:<r>x</r>", GetParam().marker});
  EXPECT_EQ(command.Document() != nullptr, GetParam().parsed);
}

INSTANTIATE_TEST_SUITE_P(Table, PlistMarkerTest,
                         ::testing::Values(MarkerCase{"-plist", true},
                                           MarkerCase{"-PLIST", true},
                                           MarkerCase{"-PList", true},
                                           MarkerCase{"--plist", false},
                                           MarkerCase{"-plist ", false},
                                           MarkerCase{" -plist", false},
                                           MarkerCase{"-plists", false},
                                           MarkerCase{"plist", false},
                                           MarkerCase{"-pl\xC4\xB1st", false}));

TEST_F(CommandTest, DocumentIsReplacedKeptOrDropped) {
  TCommand command(kChild);
  std::string value = "stale";
  EXPECT_FALSE(command.Find("/r", value));
  EXPECT_EQ(value, "");

  command.Execute({"stdout:<r>one</r>", "-plist"});
  EXPECT_TRUE(command.Find("/r", value));
  EXPECT_EQ(value, "one");
  command.Execute({"stdout:<r>two</r>", "-plist"});
  EXPECT_TRUE(command.Find("/r", value));
  EXPECT_EQ(value, "two");
  // Runs without the marker, or failing before the output is used, keep it.
  command.Execute({"stdout:<r>three</r>", "--plist"});
  EXPECT_EQ(ProcessError(command, {"stdout:<r>four</r>", "-plist", "exit:1"}), "");
  EXPECT_TRUE(command.Find("/r", value));
  EXPECT_EQ(value, "two");
  // Output that cannot be read leaves no document to answer from.
  EXPECT_THROW(command.Execute({"stdout:<r>five", "-plist"}), EXMLReadError);
  EXPECT_EQ(command.Document(), nullptr);
  EXPECT_FALSE(command.Find("/r", value));
}

TEST_F(CommandTest, EmptyOutputWithMarkerHasNoRootElement) {
  TCommand command(kChild);
  try {
    command.Execute({"-plist"});
    FAIL() << "parsed empty output";
  } catch (const EXMLReadError& error) {
    EXPECT_EQ(error.Message(), "In 'stream:' (line 1 pos 1): Root element is missing");
  }
}

struct FindCase {
  std::string output;
  std::string expression;
  bool found;
  std::string value;
};

std::ostream& operator<<(std::ostream& os, const FindCase& c) {
  return os << Escaped(c.expression);
}

class FindTest : public CommandTest, public ::testing::WithParamInterface<FindCase> {};

TEST_P(FindTest, AnswersFromTheDocument) {
  TCommand command(kChild);
  command.Execute({"stdout:" + GetParam().output, "-plist"});
  std::string value = "stale";
  EXPECT_EQ(command.Find(GetParam().expression, value), GetParam().found);
  EXPECT_EQ(value, GetParam().value);
}

const char kMinimalPlist[] =
    "<plist><dict><key>system-entities</key><array><dict><key>dev-entry</key>"
    "<string>/dev/disk9</string></dict></array></dict></plist>";
const char kTwoStrings[] = "<r><s></s><s>later</s></r>";

INSTANTIATE_TEST_SUITE_P(
    Table, FindTest,
    ::testing::Values(FindCase{kAttachPlist, kDeviceQuery, true, "/dev/disk4"},
                      FindCase{kMinimalPlist, kDeviceQuery, true, "/dev/disk9"},
                      FindCase{"\xEF\xBB\xBF" + std::string(kMinimalPlist),
                               kDeviceQuery, true, "/dev/disk9"},
                      FindCase{kTwoStrings, "/r/s", false, ""},
                      FindCase{kTwoStrings, "/r/s[2]", true, "later"},
                      FindCase{kTwoStrings, "/r/none", false, ""},
                      FindCase{kTwoStrings, "count(/r/s) = 2", true, "true"},
                      FindCase{kTwoStrings, "count(/r/s) = 3", true, "false"}));

TEST_F(CommandTest, InvalidExpressionRaisesWithNothingPrinted) {
  TCommand command(kChild);
  command.Execute({"stdout:<r/>", "-plist"});
  std::string value = "stale";
  EXPECT_THROW(command.Find("/r/[", value), EXPathError);
  EXPECT_EQ(value, "");
}

// The child fills both pipes at once; memory stays bounded.
TEST_F(CommandTest, LargeOutputOnBothStreams) {
  constexpr std::size_t kBytes = 32 * 1024 * 1024;
  const std::string both = "both-bytes:" + std::to_string(kBytes);
  auto start = std::chrono::steady_clock::now();
  rusage before;
  ::getrusage(RUSAGE_SELF, &before);

  TCommand command(kChild);
  command.Execute({both});
  EXPECT_EQ(ProcessError(command, {both, "exit:1"}), std::string(65536, 'x'));

  rusage after;
  ::getrusage(RUSAGE_SELF, &after);
#ifdef __APPLE__
  long grown_kib = (after.ru_maxrss - before.ru_maxrss) / 1024;
#else
  long grown_kib = after.ru_maxrss - before.ru_maxrss;
#endif
  EXPECT_LT(grown_kib, 8 * 1024);

  EXPECT_EQ(ProcessError(command, {both, "-plist"}),
            std::string("Output of \"") + kChild + "\" exceeds 16 MiB");
  EXPECT_EQ(command.Document(), nullptr);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

}  // namespace
}  // namespace ramdisk
