#include "core/macos/runner/command.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <libxml/tree.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <tuple>
#include <utility>
#include <vector>

#include "core/macos/disks/memory_volume.h"
#include "core/macos/runner/output_capture.h"
#include "core/macos/runner/tool_output.h"
#include "core/macos/xml/libxml_errors.h"
#include "core/macos/xml/libxml_version.h"
#include "standin/tools/attach_plist.h"
#include "support/child_process.h"
#include "support/files.h"
#include "support/outcome.h"
#include "support/stand_ins.h"

namespace ramdisk {
namespace {

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

// Nothing written to standard error, no descriptor or child process left
// behind (ProcessTest).
class CommandTest : public testing::ProcessTest {
 protected:
  void TearDown() override {
    OpenGate();
    ProcessTest::TearDown();
  }

  // Holds what the test child leaves behind (steps 1: and 2:) until
  // OpenGate, or the end of the test: the child inherits the read end of a
  // pipe whose write end only this process holds.
  void HoldLeftBehind() {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    gate_.reset(ends[0]);
    gate_opener_.reset(ends[1]);
    ASSERT_EQ(::fcntl(ends[1], F_SETFD, FD_CLOEXEC), 0);
    SetEnv("RAMDISK_TEST_CHILD_GATE", std::to_string(ends[0]));
  }
  void OpenGate() {
    gate_opener_.reset();
    gate_.reset();
  }

  // Creates `name` below the scratch directory, parents included.
  std::string Write(const std::string& name, const std::string& text, int mode = 0755) {
    return testing::WriteFile(dir() + "/" + name, text, mode);
  }

  // The message of the exception of type E that running `command` raises,
  // or "accepted".
  template <typename E = EProcess>
  static std::string Fails(TCommand& command, const TStringArray& args) {
    return testing::Outcome<E>([&] { command.Execute(args); });
  }

 private:
  UniqueFd gate_, gate_opener_;
};

// Arguments for the test child, the status Success sees, and the message of
// the EProcess raised, or "accepted".
struct Run {
  TStringArray args;
  int status;
  std::string outcome;
};

std::ostream& operator<<(std::ostream& os, const Run& c) {
  for (const std::string& arg : c.args)
    os << " [" << testing::Printable(arg.substr(0, 20)) << (arg.size() > 20 ? "...]" : "]");
  return os;
}

class RunTest : public CommandTest, public ::testing::WithParamInterface<Run> {};

// The child runs as "hdiutil", the name its warnings begin with.
TEST_P(RunTest, JudgesTheStatusAndReportsTheFirstLineOfStandardError) {
  ASSERT_EQ(::symlink(kChild, (dir() + "/hdiutil").c_str()), 0);
  SetEnv("PATH", dir());
  RecordingCommand command("hdiutil");
  EXPECT_EQ(Fails(command, GetParam().args), GetParam().outcome);
  EXPECT_EQ(command.statuses, std::vector<int>{GetParam().status});
}

const std::string kMark = "\xEF\xBB\xBF";
const std::string kDetachWarning =
    "hdiutil: WARNING: 'hdiutil detach ...' is deprecated. Please use 'diskutil eject ...' "
    "instead.";
const std::string kBusy = "hdiutil: couldn't unmount \"disk18\" - Resource busy";
std::string Repeated(const std::string& text, int times) {
  std::string all;
  while (times-- > 0)
    all += text;
  return all;
}
const std::string kOutputTooLarge = "Output of \"hdiutil\" exceeds 16 MiB";

INSTANTIATE_TEST_SUITE_P(
    Table, RunTest,
    ::testing::Values(
        Run{{"in"}, 0, "accepted"}, Run{{"e:warning\n", "x:7"}, 7, "accepted"},
        Run{{"e:first\nsecond\n", "x:1"}, 1, "first"},
        Run{{"e:\xEF\xBB", "e:\xBFsplit\n", "x:1"}, 1, "split"},
        Run{{"e:no line end", "x:1"}, 1, "no line end"},
        // A last line without a line end counts once the pipe ends.
        Run{{"e:hdiutil: WARNING: deprecated\nreal reason", "x:1"}, 1, "real reason"},
        Run{{"o:out\n", "x:3"}, 3, ""}, Run{{"o:<r/>", "-plist", "e:err\n", "x:1"}, 1, "err"},
        Run{{"e:killed\n", "k:9"}, -9, "killed"},
        // The tool's own warnings and blank lines are passed over.
        Run{{"e:" + kDetachWarning + "\n\n" + kBusy + "\n", "x:16"}, 16, kBusy},
        Run{{"e:" + Repeated(kDetachWarning + "\n", 1000),
             "e:" + Repeated(kDetachWarning + "\n", 1000),
             "e:hdiutil: WARNING: " + std::string(70000, 'x') + "\nreal\n", "x:1"},
            1,
            "real"},
        // Only warnings and blank lines: the first warning.
        Run{{"e:\n\nhdiutil: WARNING: deprecated\n", "x:1"}, 1, "hdiutil: WARNING: deprecated"},
        // Standard output of exactly 16 MiB is read, one byte more is not.
        Run{{"o:<r>", "B:16777209", "o:</r>", "-plist"}, 0, "accepted"},
        Run{{"o:<r>", "B:16777210", "o:</r>", "-plist"}, 0, kOutputTooLarge}));

// Standard error in the pieces that reads deliver, whether the stream ended,
// and the message line.
struct CaptureCase {
  std::vector<std::string> pieces;
  bool ended;
  std::string line;
};

std::ostream& operator<<(std::ostream& os, const CaptureCase& c) {
  return os << "[" << testing::Printable(c.pieces.front().substr(0, 30)) << "]";
}

class CaptureTest : public ::testing::TestWithParam<CaptureCase> {};

TEST_P(CaptureTest, KeepsTheFirstLineThatIsNeitherWarningNorBlank) {
  FirstLineCapture capture("hdiutil");
  for (const std::string& piece : GetParam().pieces)
    capture.Append(piece.data(), piece.size());
  if (GetParam().ended)
    capture.End();
  EXPECT_EQ(capture.Line(), GetParam().line);
}

const std::string kLongWarning = "hdiutil: WARNING: " + std::string(70000, 'x');

INSTANTIATE_TEST_SUITE_P(
    Table, CaptureTest,
    ::testing::Values(
        CaptureCase{{"first\rsecond"}, false, "first"},
        CaptureCase{{kMark + "first\nsecond"}, true, "first"},
        // The line is cut at 64 KiB, with room for a mark before it.
        CaptureCase{{kMark + std::string(70000, 'x')}, true, std::string(64 * 1024, 'x')},
        CaptureCase{{"hdiutil: WARNING: x\n", "\n", "hdiutil: detach failed\n"},
                    true,
                    "hdiutil: detach failed"},
        CaptureCase{{"\nhdiutil: detach failed\n"}, true, "hdiutil: detach failed"},
        CaptureCase{{" \t\r\r\n\r\r", "\nreal reason\r\n"}, true, "real reason"},
        CaptureCase{{kMark + "\n \n\t\r\n"}, true, ""}, CaptureCase{{"\n \t"}, false, ""},
        CaptureCase{{"  padded  \t\nx\n"}, true, "  padded  \t"},
        CaptureCase{{"  hdiutil: WARNING: x\nreal"}, true, "  hdiutil: WARNING: x"},
        // Only warnings: the first is the message, whatever blank lines
        // come before it.
        CaptureCase{{"hdiutil: WARNING: a\nhdiutil: WARNING: b\n"}, true, "hdiutil: WARNING: a"},
        CaptureCase{{" \t\r", "\nhdiutil: WARNING: a\n"}, true, "hdiutil: WARNING: a"},
        CaptureCase{{kMark + "\n\nhdiutil: WARN"}, false, "hdiutil: WARN"},
        CaptureCase{{kDetachWarning + "\n"}, true, kDetachWarning},
        // A warning is the tool's name, then ": WARNING:" or ": <word>: WARNING:".
        CaptureCase{
            {"hdiutil: attach: WARNING: ignoring IDME options (obsolete)\nbusy\n"}, true, "busy"},
        CaptureCase{{"hdiutil: attach failed: WARNING: x\nreal\n"},
                    true,
                    "hdiutil: attach failed: WARNING: x"},
        CaptureCase{{"hdiutil: : WARNING: x\nreal"}, true, "hdiutil: : WARNING: x"},
        CaptureCase{{"diskutil: WARNING: x\nreal"}, true, "diskutil: WARNING: x"},
        CaptureCase{{"Warning: x\nError: -69888: Couldn't unmount disk\n"}, true, "Warning: x"},
        CaptureCase{{kBusy + "\nhdiutil: WARNING: x\n"}, true, kBusy},
        // A mark is skipped at the start of the stream only.
        CaptureCase{{"hdiutil: WARNING: a\n" + kMark + "b\n"}, true, kMark + "b"},
        // Lines split anywhere between pieces.
        CaptureCase{{kMark + "hdiutil: WARN", "ING: a\r", "\nhdiutil: x: WARNING: b\r\nreal"},
                    true,
                    "real"},
        // A line that the stream stops inside is not judged, unless it ended.
        CaptureCase{{"hdiutil: WARNING: a\nhdiutil: WARN"}, false, "hdiutil: WARNING: a"},
        CaptureCase{{"hdiutil: WARNING: a\nreal"}, true, "real"},
        // A long warning is judged by its start, however its rest arrives.
        CaptureCase{
            {kLongWarning.substr(0, 65539), kLongWarning.substr(65539), "\nreal\n"}, false, "real"},
        CaptureCase{{kLongWarning.substr(0, 65538), kLongWarning.substr(65538, 1),
                     kLongWarning.substr(65539) + "\r", "\nreal"},
                    true,
                    "real"}));

long MillisecondsSince(std::chrono::steady_clock::time_point start) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - start)
                               .count());
}

// Arguments for the test child and the message of the EProcess raised, or
// "accepted". Each run leaves behind a process that holds standard output
// (1:) or standard error (2:) and writes there only once the run has ended,
// or after 60 s: a run that waited for it would take that long.
using Lingering = std::tuple<TStringArray, std::string>;
class LingeringTest : public CommandTest, public ::testing::WithParamInterface<Lingering> {};

TEST_P(LingeringTest, RunEndsWithTheToolWithoutWhatItLeftBehind) {
  const auto& [args, outcome] = GetParam();
  HoldLeftBehind();
  TCommand command(kChild);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Fails(command, args), outcome);
  EXPECT_LT(MillisecondsSince(start), 30000);
  const bool accepted = outcome == "accepted";
  std::string value;
  EXPECT_EQ(command.Find("/r", value), accepted);
  EXPECT_EQ(value, accepted ? "doc" : "");
}

INSTANTIATE_TEST_SUITE_P(
    Table, LingeringTest,
    ::testing::Values(Lingering{{"o:<r>doc</r>", "1:<late/>", "-plist"}, "accepted"},
                      Lingering{{"e:failed\n", "1:<late/>", "x:1"}, "failed"},
                      Lingering{{"o:<r>doc</r>", "2:late", "-plist"}, "accepted"},
                      Lingering{{"2:late", "x:1"}, ""}));

// What is taken of standard error once the tool has ended, while a process
// it left behind may still hold the pipe: what the pipe holds, a last line
// without a line end included, and at most 16 MiB, however much more there
// is to read (a file, here).
TEST_F(CommandTest, TakesAtMost16MiBOnceTheToolHasEnded) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  const UniqueFd held(ends[1]);
  const std::string held_text = "hdiutil: WARNING: a\nreal";
  ASSERT_EQ(::write(held.get(), held_text.data(), held_text.size()),
            static_cast<ssize_t>(held_text.size()));
  ToolOutput from_pipe{UniqueFd(), UniqueFd(ends[0]), false, "hdiutil"};
  from_pipe.TakeRest();
  EXPECT_EQ(from_pipe.ErrorLine(), "real");

  std::string warnings;
  while (warnings.size() < 17 * 1024 * 1024)
    warnings += kDetachWarning + "\n";
  const std::string file = Write("err", warnings + "real\n");
  ToolOutput from_file{UniqueFd(), UniqueFd(::open(file.c_str(), O_RDONLY)), false, "hdiutil"};
  from_file.TakeRest();
  EXPECT_EQ(from_file.ErrorLine(), kDetachWarning);
}

// A caller's SIGCHLD, ignored and blocked here, is its own again after a
// run; during the run it hides neither the tool's end nor its status.
TEST_F(CommandTest, LeavesTheChildSignalAsItFoundIt) {
  struct sigaction ignore {
  }, saved{}, after{};
  ignore.sa_handler = SIG_IGN;
  ASSERT_EQ(::sigaction(SIGCHLD, &ignore, &saved), 0);
  sigset_t child_signal, saved_mask, mask_after;
  sigemptyset(&child_signal);
  sigaddset(&child_signal, SIGCHLD);
  ASSERT_EQ(::sigprocmask(SIG_BLOCK, &child_signal, &saved_mask), 0);

  HoldLeftBehind();
  RecordingCommand command(kChild);
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(Fails(command, {"2:", "x:3"}), "");
  EXPECT_LT(MillisecondsSince(start), 30000);
  EXPECT_EQ(command.statuses, std::vector<int>{3});
  ::sigaction(SIGCHLD, &saved, &after);
  ::sigprocmask(SIG_SETMASK, &saved_mask, &mask_after);
  EXPECT_EQ(after.sa_handler, SIG_IGN);
  EXPECT_EQ(sigismember(&mask_after, SIGCHLD), 1);
}

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
  rlimit saved, tight;
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  int lowest_free = ::dup(0);
  ::close(lowest_free);
  tight = saved;
  tight.rlim_cur = static_cast<rlim_t>(lowest_free + 3);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
  TCommand child(kChild);
  std::string message = Fails(child, {});
  ::setrlimit(RLIMIT_NOFILE, &saved);
  EXPECT_EQ(message, "Failed to create pipes");
}

// The executable's name, PATH (none: unset) and the message expected.
using Resolve = std::tuple<std::string, std::optional<std::string>, std::string>;
class ResolveTest : public CommandTest, public ::testing::WithParamInterface<Resolve> {};

// Each script says its own name on standard error; b/child is the test
// child. The tool runs in "cwd", and PATH entries are relative to it.
// cwd/only cannot be executed.
TEST_P(ResolveTest, RunsTheFileFoundWithTheArgumentsAsGiven) {
  const auto& [executable, path, message] = GetParam();
  for (std::string name :
       {"cwd/tool", "cwd/only", "a/x", "a/bin/sh", "b/x", "b/tool", "b/dir", "b/only"})
    Write(name, "#!/bin/sh\necho '" + name + "' >&2\nexit 1\n", name == "cwd/only" ? 0644 : 0755);
  testing::MakeDirs(dir() + "/cwd/dir");
  testing::MakeDirs(dir() + "/a/dir");
  ASSERT_EQ(::symlink(kChild, (dir() + "/b/child").c_str()), 0);
  SetEnv("PATH", path.value_or(""));
  if (!path)
    ::unsetenv("PATH");
  ASSERT_EQ(::chdir((dir() + "/cwd").c_str()), 0);
  TCommand command(executable);
  EXPECT_EQ(Fails(command, {"argv", "", "two words", "-x \"y\"", "*", "$HOME", "x:1"}), message);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ResolveTest,
    ::testing::Values(
        // A bare name is looked up on PATH alone, a name with "/" as a path.
        Resolve{"tool", "../b", "b/tool"}, Resolve{"tool", ".:../b", "cwd/tool"},
        Resolve{"./tool", "../b", "cwd/tool"}, Resolve{"x", "../a:../b", "a/x"},
        // argv[0] is the name as given, not the file found.
        Resolve{"child", "../b", "child|argv||two words|-x \"y\"|*|$HOME|x:1|"},
        Resolve{"dir", "../a:../b", "b/dir"}, Resolve{"only", "::../a::../b/:", "b/only"},
        // An empty entry is not "/", which would find /bin/sh.
        Resolve{"bin/sh", ":../a", "a/bin/sh"},
        Resolve{"tool", std::nullopt, "Executable not found: \"tool\""},
        Resolve{"tool", "", "Executable not found: \"tool\""},
        Resolve{"x \"y\"", "../a", "Executable not found: \"x \"y\"\""},
        Resolve{"", "../a", "Cannot execute empty command-line"}));

// The tool gets this process's inheritable descriptors, as any child does,
// but none of the runner's pipe ends beyond its standard streams, also when
// pipe() hands out closed standard descriptors.
TEST_F(CommandTest, ToolGetsNoPipeEndsBeyondItsStandardStreams) {
  std::string inherited;
  for (int fd = 3; fd < 4096; ++fd) {
    if (int flags = ::fcntl(fd, F_GETFD); flags != -1 && (flags & FD_CLOEXEC) == 0)
      inherited += " " + std::to_string(fd);
  }
  TCommand command(kChild);
  EXPECT_EQ(Fails(command, {"fds", "x:1"}), inherited);

  const int saved_in = ::dup(STDIN_FILENO), saved_out = ::dup(STDOUT_FILENO);
  ::close(STDIN_FILENO);
  ::close(STDOUT_FILENO);
  EXPECT_NO_THROW(command.Execute({"in", "o:<r>ok</r>", "e:ignored", "-plist"}));
  ::dup2(saved_in, STDIN_FILENO);
  ::dup2(saved_out, STDOUT_FILENO);
  ::close(saved_in);
  ::close(saved_out);
  std::string value;
  EXPECT_TRUE(command.Find("/r", value));
  EXPECT_EQ(value, "ok");
}

// The plist marker is "-plist" in any ASCII case.
TEST_F(CommandTest, DocumentIsReplacedKeptOrDropped) {
  TCommand command(kChild);
  std::string value = "stale";
  EXPECT_FALSE(command.Find("/r", value));
  EXPECT_EQ(value, "");

  command.Execute({"o:<r>one</r>", "-plist"});
  command.Execute({"o:<r>two</r>", "-PLIST"});
  // Runs without the marker, or failing before the output is used, keep it.
  command.Execute({"o:<r>three</r>", "--plist", "-plist ", "plist", "-pl\xC4\xB1st"});
  EXPECT_EQ(Fails(command, {"o:<r>four</r>", "-plist", "x:1"}), "");
  EXPECT_TRUE(command.Find("/r", value));
  EXPECT_EQ(value, "two");
  // Output that cannot be read leaves no document to answer from.
  EXPECT_EQ(Fails<EXMLReadError>(command, {"o:<r>", "-plist"}).substr(0, 14), "In 'stream:' (");
  EXPECT_EQ(command.Document(), nullptr);
}

const std::string kAttachPlist = standin::AttachPlist("/dev/disk4");
const char kTwoStrings[] = "\xEF\xBB\xBF<r><s></s><s>later</s></r>";
const char kPlist[] =
    "<plist version='1.0'>\n\t<dict>\n\t\t<key>k</key><string> </string>\r\n"
    "<key>dev-entry</key><string>a<b>b</b>c</string><!--note-->\n"
    "<u> x </u><v><![CDATA[ ]]></v></dict></plist>";
const char kEntities[] =
    "<!DOCTYPE r [<!ENTITY d 'disk'><!ENTITY dev '/dev/&d;4'>]>"
    "<r>&dev;<s>&d;</s></r>";

const char kEntityKey[] =
    "<!DOCTYPE plist [<!ENTITY k 'dev-entry'>]><plist><dict><key>system-entities</key>"
    "<array><dict><key>&k;</key><string>/dev/disk4</string></dict></array></dict></plist>";
const char kEntityElements[] =
    "<!DOCTYPE plist [<!ENTITY e '<key>dev-entry</key> <string>/dev/disk4</string>'>]><plist>"
    "<dict><key>system-entities</key><array><dict>&e;</dict></array></dict></plist>";

struct FindCase {
  std::string output;
  const char* expression;
  bool found;
  const char* value;
};

std::ostream& operator<<(std::ostream& os, const FindCase& c) { return os << c.expression; }

class FindTest : public CommandTest, public ::testing::WithParamInterface<FindCase> {};

TEST_P(FindTest, GivesTheXPathStringOfTheResult) {
  TCommand command(kChild);
  command.Execute({"o:" + GetParam().output, "-plist"});
  std::string value = "stale";
  EXPECT_EQ(command.Find(GetParam().expression, value), GetParam().found);
  EXPECT_EQ(value, GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FindTest,
    ::testing::Values(
        FindCase{kAttachPlist, kDeviceQuery, true, "/dev/disk4"},
        // True exactly for non-empty text.
        FindCase{kTwoStrings, "/r/s", false, ""}, FindCase{kTwoStrings, "/r/s[2]", true, "later"},
        FindCase{kTwoStrings, "/r/none", false, ""},
        FindCase{kTwoStrings, "count(/r/s) = 2", true, "true"},
        FindCase{kTwoStrings, "count(/r/s) = 3", true, "false"},
        // Text that is only white space is gone everywhere, other text kept.
        FindCase{kPlist, "count(/plist/node()) + count(dict/node())", true, "8"},
        FindCase{kPlist, "count(dict/string[1]/node())", true, "0"},
        FindCase{kPlist, "concat(dict/u, dict/v)", true, " x "},
        // The root element is the context; a node-set gives its first node
        // in document order.
        FindCase{kPlist, "@version", true, "1.0"}, FindCase{kPlist, "/plist/dict/key", true, "k"},
        FindCase{kPlist, "dict/key[2]/preceding-sibling::*", true, "k"},
        FindCase{kPlist, "dict/string[preceding-sibling::key[1]='dev-entry']", true, "abc"},
        FindCase{kPlist, "//comment()", true, "note"},
        // Entities are part of the tree; their text joins the text around
        // it, and what holds only white space goes.
        FindCase{kEntities, "/r", true, "/dev/disk4disk"},
        FindCase{kEntities, "count(/r/text())", true, "1"},
        FindCase{kEntityKey, kDeviceQuery, true, "/dev/disk4"},
        FindCase{kEntityElements, kDeviceQuery, true, "/dev/disk4"},
        FindCase{kEntityElements, "count(dict/array/dict/node())", true, "2"},
        // Adjacent text and CDATA are one text node, judged blank as a whole.
        FindCase{"<r>/Volumes/a<![CDATA[ ]]>b</r>", "/r", true, "/Volumes/a b"},
        FindCase{"<!DOCTYPE r [<!ENTITY sp ' '>]><r>a&sp;b</r>", "/r", true, "a b"},
        FindCase{"<r> <![CDATA[x]]> </r>", "concat(/r, count(/r/node()))", true, " x 1"},
        FindCase{"<r><i>x</i> <i>y</i></r>", "/r", true, "xy"},
        // An attribute value holds its characters and those of predefined
        // entities, white space included.
        FindCase{"<r x='&#9;&#x26;&amp;&lt;'/>", "@x", true, "\t&&<"},
        FindCase{"<r x=' '/>", "@x", true, " "},
        FindCase{"<!DOCTYPE r [<!ENTITY t 'a&#9;b'>]><r>&t;</r>", "/r", true, "a\tb"},
        // Whatever encoding the declaration names, the bytes are UTF-8.
        FindCase{"<?xml version='1.0' encoding='ISO-8859-1'?><r>\xC3\xA9</r>", "/r", true,
                 "\xC3\xA9"},
        // A carriage return is white space as well, also written as a
        // reference; a line's CR LF reaches the tree as one LF.
        FindCase{"<r><s>a\r\nb</s><t>&#13;</t></r>", "concat(string-length(s), count(t/node()))",
                 true, "30"},
        FindCase{kPlist, "-0", true, "0"}, FindCase{kPlist, "-1 div 0", true, "-Infinity"},
        FindCase{kPlist, "0 div 0", true, "NaN"},
        FindCase{kPlist, "0.1 + 0.2", true, "0.30000000000000004"},
        FindCase{kPlist, "1000000 * 1000000 * 1000000 * 1000", true, "1000000000000000000000"}));

TEST_F(CommandTest, InvalidExpressionsRaiseTheEvaluatorsMessage) {
  TCommand command(kChild);
  command.Execute({"o:<r/>", "-plist"});
  for (const char* expression : {"/r/[", "nosuch()", "$variable", "count('x')", ""}) {
    std::string value = "stale", message;
    try {
      command.Find(expression, value);
    } catch (const EXPathError& error) {
      message = error.Message();
    }
    EXPECT_TRUE(!message.empty() && message.find('\n') == std::string::npos) << expression;
    EXPECT_EQ(value, "") << expression;
  }
}

// The root element refers `refs` times to an entity that refers `fan` times
// to one that holds `base`, and then holds `tail`.
std::string EntityDocument(int refs, int fan, const std::string& base,
                           const std::string& tail = "") {
  return "<!DOCTYPE r [<!ENTITY f '" + base + "'><!ENTITY e '" + Repeated("&f;", fan) + tail +
         "'>]><r>" + Repeated("&e;", refs) + "</r>";
}

const char kTooLarge[] = "In 'stream:': Entity references expand to more than 16777216 bytes";
// An entity of references to an empty one, each a node of 120 bytes, and a
// text node: with this tail they take exactly the 16 MiB allowed.
constexpr int kFan = 139809;
const std::string kTail(16, 't');

const char kBeyond[] = "In 'stream:': Markup exceeds the bounds of a property list";
// `n` copies of `before` + i + `after`, i from 0.
std::string Numbered(const std::string& before, int n, const std::string& after) {
  std::string all;
  for (int i = 0; i < n; ++i)
    all += before + std::to_string(i) + after;
  return all;
}
std::string Declarations(const std::string& subset) { return "<!DOCTYPE r [" + subset + "]><r/>"; }
// The most copies of `piece` in the root element whose `nodes` nodes each
// and bytes fit in a tree of 30 MiB, at 120 bytes a node.
int MostInTree(const std::string& piece, int nodes) {
  return (30 * 1024 * 1024 - 120 - 7) / static_cast<int>(piece.size() + nodes * 120);
}
// A tree of exactly 30 MiB and `more` bytes: a text node before the root,
// one after "]>", the root, 253,682 empty elements, a reference, and a text
// node of 72 + `more` bytes after it; 253,687 nodes of 120 bytes and
// 1,015,208 + `more` bytes.
std::string TreeOf30MiB(int more) {
  return " <!DOCTYPE r [<!ENTITY e ''>]><r>" + Repeated("<a/>", 253682) + "&e;" +
         std::string(72 + more, 't') + "</r>";
}
template <std::size_t N>
std::string Bytes(const char (&text)[N]) {
  return std::string(text, N - 1);
}
const std::string kTextAndCData = "a<![CDATA[b]]>";

struct ReadError {
  std::string output;
  std::string message;  // only a prefix when it ends in a space
};

std::ostream& operator<<(std::ostream& os, const ReadError& c) {
  return os << "[" << testing::Printable(c.output.substr(0, 40))
            << (c.output.size() > 40 ? "...]" : "]");
}

class ReadErrorTest : public CommandTest, public ::testing::WithParamInterface<ReadError> {};

TEST_P(ReadErrorTest, NamesLinePositionAndReason) {
  const std::string& expected = GetParam().message;
  TCommand command(kChild);
  const std::string message =
      Fails<EXMLReadError>(command, {"f:" + Write("output", GetParam().output), "-plist"});
  EXPECT_EQ(expected.back() == ' ' ? message.substr(0, expected.size()) : message, expected);
  EXPECT_EQ(message.find_first_of("\r\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReadErrorTest,
    ::testing::Values(
        ReadError{"", "In 'stream:' (line 1 pos 1): Root element is missing"},
        ReadError{"<?xml version=\"1.0\"?>\n<!-- no root -->\n",
                  "In 'stream:' (line 3 pos 1): Root element is missing"},
        ReadError{"\xEF\xBB\xBF<!DOCTYPE plist>",
                  "In 'stream:' (line 1 pos 17): Root element is missing"},
        ReadError{"<a>\n\n</b>", "In 'stream:' (line 3 pos 5): "},
        ReadError{"<a>\xff</a>", "In 'stream:' (line 1 pos 4): "},
        // A failure that exits 0 shows as the text it printed.
        ReadError{"hdiutil: attach failed",
                  "In 'stream:' (line 1 pos 1): Start tag expected, '<' not found"},
        // 100 MB from 6 KB, which libxml2 itself lets through,
        // and 150,000 elements from 7 KB.
        ReadError{EntityDocument(1000, 1000, std::string(100, 'x')), kTooLarge},
        ReadError{EntityDocument(1000, 150, "<a/>"), kTooLarge},
        // Each reference that a copy makes costs a node, also one to an
        // entity that holds nothing.
        ReadError{EntityDocument(1, kFan, "", kTail), "accepted"},
        ReadError{EntityDocument(1, kFan, "", kTail + "t"), kTooLarge},
        // An entity that does not parse is reported where it is referred to.
        ReadError{"<!DOCTYPE r [<!ENTITY e '<a>'>]><r>&e;</r>",
                  "In 'stream:' (line 1 pos 39): Entity 'e' failed to parse"},
        // UTF-16 either way, UCS-4 and EBCDIC ("<?xm").
        ReadError{"\xFF\xFE<r/>", "In 'stream:' (line 1 pos 1): Document is not UTF-8"},
        ReadError{Bytes("\xFE\xFF\0<\0r\0/\0>"),
                  "In 'stream:' (line 1 pos 1): Document is not UTF-8"},
        ReadError{Bytes("\0\0\0<\0\0\0r"), "In 'stream:' (line 1 pos 1): Document is not UTF-8"},
        ReadError{"\x4C\x6F\xA7\x94", "In 'stream:' (line 1 pos 1): Document is not UTF-8"},
        // The largest accepted and the smallest refused of each shape.
        ReadError{"<r" + Numbered(" a", 32, "=''") + "/>", "accepted"},
        ReadError{"<r" + Numbered(" a", 33, "=''") + "/>", kBeyond},
        ReadError{"<\xC3\xA9" + Numbered(" a", 33, "=''") + "/>", kBeyond},
        ReadError{"<r" + Numbered(" xmlns:p", 32, "='u'") + "/>", "accepted"},
        ReadError{Declarations(Numbered("<!ENTITY e", 32, " 'x'>")), "accepted"},
        ReadError{Declarations(Numbered("<!ENTITY e", 33, " 'x'>")), kBeyond},
        ReadError{TreeOf30MiB(0), "accepted"}, ReadError{TreeOf30MiB(1), kBeyond},
        ReadError{"<r>" + Repeated(kTextAndCData, MostInTree(kTextAndCData, 2)) + "</r>",
                  "accepted"},
        ReadError{"<r>" + Repeated(kTextAndCData, MostInTree(kTextAndCData, 2) + 1) + "</r>",
                  kBeyond},
        // An attribute and its value are two nodes.
        ReadError{"<r>" + Repeated("<a b=''/>", MostInTree("<a b=''/>", 3) + 1) + "</r>", kBeyond},
        // Namespace declarations count in all, a default one for every
        // element; each attribute of an ATTLIST is a declaration.
        ReadError{"<r xmlns='u'>" + Numbered("<a xmlns:p", 32, "='u'/>") + "</r>", kBeyond},
        ReadError{
            "<!DOCTYPE r [<!ATTLIST a xmlns:p CDATA 'u'>]><r>" + Repeated("<a/>", 32) + "</r>",
            kBeyond},
        ReadError{Declarations("<!ELEMENT r ANY><!NOTATION n SYSTEM 'n'><!ATTLIST r" +
                               Numbered(" a", 16, " CDATA 'x'") +
                               Numbered(" b", 15, " CDATA #IMPLIED") + ">"),
                  kBeyond},
        // libxml2 reads a parameter entity's value as declarations, and a
        // general entity's, its character references replaced, as content.
        ReadError{Declarations("<!ENTITY % p ''>"), kBeyond},
        ReadError{
            "<!DOCTYPE r [<!ENTITY e '&#60;r" + Numbered(" a", 33, "=\"\"") + "/>'>]><r>&e;</r>",
            kBeyond},
        ReadError{
            "<!DOCTYPE r [<!ENTITY e '&#x3C;r" + Numbered(" a", 33, "=\"\"") + "/>'>]><r>&e;</r>",
            kBeyond},
        // libxml2 expands a general entity in full where an attribute value,
        // or its default, refers to it, also in an entity's value.
        ReadError{"<!DOCTYPE r [<!ENTITY e 'x'>]><r a='&e;'/>", kBeyond},
        ReadError{"<!DOCTYPE r [<!ENTITY e 'x'><!ATTLIST r a CDATA '&e;'>]><r/>", kBeyond},
        ReadError{"<!DOCTYPE r [<!ENTITY e 'x'><!ENTITY t '<a b=\"&e;\"/>'>]><r>&t;</r>", kBeyond},
        ReadError{
            "<!DOCTYPE r [<!ENTITY e ''>]><r>" + Repeated("&e;", MostInTree("&e;", 1) + 1) + "</r>",
            kBeyond},
        // Of two errors of one level, the first explains the fault.
        ReadError{
            "<r><a></r>",
            "In 'stream:' (line 1 pos 11): Opening and ending tag mismatch: a line 1 and r"}));

// Text from 10,000 references is joined, and compared, in linear time:
// libxml2 before 2.11 grows a buffer by each piece it appends (half a
// minute where realloc copies, as under AddressSanitizer), and its own
// substitution takes as long to join them.
TEST_F(CommandTest, ComparisonsTakeTimeLinearInTheText) {
  // Only an element whose text starts like the string is read in full.
  std::string bytes = "<!DOCTYPE r [<!ENTITY e '" + std::string(1000, 'x') + "'>]><r>xx";
  for (int i = 0; i < 10000; ++i)
    bytes += "&e;";
  const double start = testing::ProcessorSeconds();
  std::string value;
  XmlDocument(bytes + "</r>").Evaluate("/r = 'xx'", value);
  EXPECT_EQ(value, "false");
  EXPECT_LT(testing::ProcessorSeconds() - start, 5);
}

// The loaded libxml2 decides, whatever the headers said: 2.9.4 (on the
// oldest macOS releases) has no operation limit, 2.9.10 has one, 2.11 grows
// buffers without help. Each answers the device query.
class LibxmlReleaseTest : public CommandTest, public ::testing::WithParamInterface<int> {};

TEST_P(LibxmlReleaseTest, AnswersTheDeviceQueryAndBoundsStepsWhereItCan) {
  const int release = GetParam();
  ASSERT_GE(LibxmlVersion(), 20904) << xmlParserVersion;
  if (release >= 20910 && !LibxmlHasXPathOperationLimit())
    GTEST_SKIP() << "the loaded libxml2 has no operation limit";
  PretendLibxmlVersion pretend(release);
  std::string value;
  EXPECT_TRUE(XmlDocument(kAttachPlist).Evaluate(kDeviceQuery, value));
  EXPECT_EQ(value, "/dev/disk4");

  const xmlBufferAllocationScheme outside = xmlGetBufferAllocationScheme();
  {
    LibxmlDoublingBuffers doubling;
    EXPECT_EQ(xmlGetBufferAllocationScheme(),
              release < 21100 ? XML_BUFFER_ALLOC_DOUBLEIT : outside);
  }
  EXPECT_EQ(xmlGetBufferAllocationScheme(), outside);

  // After one key, each of a run of values walks back over all those before
  // it to find its key: some 30 million steps, hours for 16 MiB of them.
  std::string bytes = "<plist><dict><key>k</key>";
  for (int i = 0; i < 8000; ++i)
    bytes += "<array/>";
  XmlDocument document(bytes + "</dict></plist>");
  value = "stale";
  std::string message;
  try {
    document.Evaluate("/plist/dict/array[preceding-sibling::key[1]='k']", value);
  } catch (const EXPathError& error) {
    message = error.Message();
  }
  EXPECT_EQ(message, release >= 20910 ? "Operation limit exceeded" : "");
  EXPECT_EQ(value, "");
}

INSTANTIATE_TEST_SUITE_P(Table, LibxmlReleaseTest, ::testing::Values(20904, 20910, 21100));

class NoExternalReadTest : public CommandTest, public ::testing::WithParamInterface<const char*> {};

// FILE names the read end of a pipe that holds a comment; reading the file
// would take the comment out.
TEST_P(NoExternalReadTest, LeavesLocalFilesUnread) {
  int ends[2];
  ASSERT_EQ(::pipe(ends), 0);
  ASSERT_EQ(::write(ends[1], "<!---->", 7), 7);
  ::close(ends[1]);
  std::string output = GetParam();
  output.replace(output.find("FILE"), 4, "/dev/fd/" + std::to_string(ends[0]));
  TCommand command(kChild);
  EXPECT_NO_THROW(command.Execute({"o:" + output, "-plist"}));
  char comment[8];
  EXPECT_EQ(::read(ends[0], comment, sizeof comment), 7);
  ::close(ends[0]);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NoExternalReadTest,
    ::testing::Values(
        "<!DOCTYPE plist SYSTEM \"FILE\"><plist/>",
        "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"file://FILE\"><plist/>",
        "<!DOCTYPE r [<!ENTITY ext SYSTEM \"file://FILE\">]><r>&ext;</r>",
        "<!DOCTYPE r [<!ENTITY % ext SYSTEM \"file://FILE\"> %ext;]><r/>"));

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
