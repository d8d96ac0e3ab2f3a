#ifndef RAMDISK_CORE_COMMON_COMMAND_LINE_H_
#define RAMDISK_CORE_COMMON_COMMAND_LINE_H_

#include <string>
#include <string_view>

#include "core/common/string_array.h"

namespace ramdisk {

// Records the process arguments once, at start-up. argv[0] becomes the
// program name (empty when argc is 0); argv[1..argc-1] are the arguments.
void SetCommandLine(int argc, const char* const* argv);

// argc - 1 as recorded: -1 when the process was started with no argv[0].
int ParamCount();
const std::string& ProgramName();
const TStringArray& CommandLineArguments();

// Value form. A switch argument starts with "-"; the characters after the
// dash, at most name.size() of them, must equal `name` ignoring ASCII case.
// The rest of the first matching argument is the value, without one leading
// ":". `value` is cleared on entry and stays empty when nothing matches.
bool FindSwitchValue(const TStringArray& args, std::string_view name, std::string& value);

// Flag form. Matches only an argument that is "-" followed by exactly `name`,
// letter case included.
bool FindSwitchFlag(const TStringArray& args, std::string_view name);

// Both forms over the arguments recorded by SetCommandLine.
bool FindCmdLineSwitch(std::string_view name, std::string& value);
bool FindCmdLineSwitch(std::string_view name);

}  // namespace ramdisk

#endif  // RAMDISK_CORE_COMMON_COMMAND_LINE_H_
