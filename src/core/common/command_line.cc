#include "core/common/command_line.h"

#include "core/common/ascii.h"

namespace ramdisk {

namespace {

struct CommandLine {
  int count = -1;
  std::string program_name;
  TStringArray arguments;
};

CommandLine& Recorded() {
  static CommandLine command_line;
  return command_line;
}

bool IsSwitch(const std::string& argument) { return !argument.empty() && argument[0] == '-'; }

}  // namespace

void SetCommandLine(int argc, const char* const* argv) {
  CommandLine& recorded = Recorded();
  recorded.count = argc - 1;
  recorded.program_name = (argc > 0 && argv[0] != nullptr) ? argv[0] : "";
  recorded.arguments.clear();
  for (int i = 1; i < argc; ++i)
    recorded.arguments.emplace_back(argv[i] != nullptr ? argv[i] : "");
}

int ParamCount() { return Recorded().count; }

const std::string& ProgramName() { return Recorded().program_name; }

const TStringArray& CommandLineArguments() { return Recorded().arguments; }

bool FindSwitchValue(const TStringArray& args, std::string_view name, std::string& value) {
  value.clear();
  for (const std::string& argument : args) {
    if (!IsSwitch(argument))
      continue;
    std::string_view rest(argument);
    rest.remove_prefix(1);
    if (!EqualsIgnoringAsciiCase(rest.substr(0, name.size()), name))
      continue;
    rest.remove_prefix(name.size());
    if (!rest.empty() && rest.front() == ':')
      rest.remove_prefix(1);
    value.assign(rest);
    return true;
  }
  return false;
}

bool FindSwitchFlag(const TStringArray& args, std::string_view name) {
  for (const std::string& argument : args) {
    if (IsSwitch(argument) && std::string_view(argument).substr(1) == name)
      return true;
  }
  return false;
}

bool FindCmdLineSwitch(std::string_view name, std::string& value) {
  return FindSwitchValue(CommandLineArguments(), name, value);
}

bool FindCmdLineSwitch(std::string_view name) {
  return FindSwitchFlag(CommandLineArguments(), name);
}

}  // namespace ramdisk
