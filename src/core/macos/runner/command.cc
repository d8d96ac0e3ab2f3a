#include "core/macos/runner/command.h"

#include <algorithm>
#include <utility>

#include "core/common/ascii.h"
#include "core/common/messages.h"
#include "core/macos/runner/child_process.h"

namespace ramdisk {

namespace {

constexpr char kPlistMarker[] = "-plist";
static_assert(kMaxToolOutputBytes == 16 * 1024 * 1024,
              "the message for too much output names the limit");

bool IsPlistMarker(const std::string& argument) {
  return EqualsIgnoringAsciiCase(argument, kPlistMarker);
}

}  // namespace

TCommand::TCommand(std::string executable) : executable_(std::move(executable)) {}

TCommand::~TCommand() = default;

void TCommand::Execute(const TStringArray& args) {
  Run(args, std::any_of(args.begin(), args.end(), IsPlistMarker));
}

void TCommand::ExecuteReadingPropertyList(const TStringArray& args) { Run(args, true); }

void TCommand::Run(const TStringArray& args, bool plist) {
  TStringArray argv;
  argv.reserve(args.size() + 1);
  argv.push_back(executable_);
  argv.insert(argv.end(), args.begin(), args.end());

  ChildOutcome run = RunChildProcess(executable_, argv, plist);
  if (!Success(run.exit_status))
    throw EProcess(run.error_line);
  if (!plist)
    return;
  // Answers about an earlier run's output would be wrong from here on.
  document_.reset();
  if (run.output_overflowed)
    throw EProcess(FormatMessage(messages::kToolOutputTooLarge, executable_));
  document_ = std::make_unique<XmlDocument>(run.output);
}

bool TCommand::Find(const std::string& expression, std::string& value) const {
  value.clear();
  if (!document_)
    return false;
  return document_->Evaluate(expression, value) && !value.empty();
}

bool TCommand::Success(int exit_status) { return exit_status == 0; }

}  // namespace ramdisk
