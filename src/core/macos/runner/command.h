#ifndef RAMDISK_CORE_MACOS_RUNNER_COMMAND_H_
#define RAMDISK_CORE_MACOS_RUNNER_COMMAND_H_

#include <memory>
#include <string>

#include "core/common/string_array.h"
#include "core/macos/runner/process_error.h"
#include "core/macos/xml/xml_document.h"

namespace ramdisk {

// Runs one system tool as a child process, directly with an argument vector
// (never through a shell), waits for it and judges its exit status. A run
// whose arguments hold the plist marker ("-plist", ASCII letters in any
// case) parses the tool's standard output as XML and keeps the document for
// Find. Nothing of a child outlives one Execute; only the document is
// carried from one run to the next.
class TCommand {
 public:
  // `executable` is a bare name ("hdiutil") or a path; nothing is checked
  // until Execute.
  explicit TCommand(std::string executable);
  virtual ~TCommand();
  TCommand(const TCommand&) = delete;
  TCommand& operator=(const TCommand&) = delete;

  // The tool as given to the constructor; also the child's argv[0].
  const std::string& Executable() const noexcept { return executable_; }

  // The document of the last successful run with the plist marker; null
  // before any, and after a run with the marker whose output was refused.
  const XmlDocument* Document() const noexcept { return document_.get(); }

  // Runs the tool with `args`, each passed as one argument byte for byte,
  // and returns once it has ended and been reaped. The tool is found as
  // FindProgramFile says and inherits this process's environment and
  // working directory; its standard input is at end of file.
  //
  // Raises EProcess when the tool cannot be started (see RunChildProcess)
  // and when Success rejects its exit status: the message is then the
  // first line of the tool's standard error that is neither one of its own
  // warnings (IsToolWarning) nor blank (the first line that is not blank
  // when no line is such a line), empty when it wrote none but blank lines.
  // With the plist marker, a successful run's standard output replaces
  // Document; output that is not well-formed raises EXMLReadError, and
  // output beyond kMaxToolOutputBytes raises EProcess
  // "Output of \"<executable>\" exceeds 16 MiB"; either leaves no document.
  void Execute(const TStringArray& args);

  // As Execute, but a successful run's standard output is read as a
  // property list whatever the arguments: for a tool whose own option for
  // one is spelled otherwise ("diskutil image attach --plist").
  void ExecuteReadingPropertyList(const TStringArray& args);

  // Evaluates the XPath 1.0 `expression` against Document's root element
  // and stores the result's string() in `value` (emptied first). True
  // exactly when that text is non-empty; false without a document. An
  // invalid expression raises EXPathError, leaving `value` empty.
  bool Find(const std::string& expression, std::string& value) const;

  // Whether a run ended well. `exit_status` is the exit code (0 to 255),
  // minus the raw wait status for a child ended by a signal, or -1 when
  // waiting failed. Accepts 0 only.
  virtual bool Success(int exit_status);

 private:
  void Run(const TStringArray& args, bool plist);

  std::string executable_;
  std::unique_ptr<XmlDocument> document_;
};

}  // namespace ramdisk

#endif  // RAMDISK_CORE_MACOS_RUNNER_COMMAND_H_
