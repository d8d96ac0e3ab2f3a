#ifndef RAMDISK_CORE_MACOS_DISMOUNT_COMMAND_H_
#define RAMDISK_CORE_MACOS_DISMOUNT_COMMAND_H_

#include <string>

#include "core/macos/command.h"

namespace ramdisk {

// Detaches the volume mounted at MountPoint with "hdiutil detach", forced
// when Force is set. The caller fills both fields, then calls Execute().
class TDismountCommand : public TCommand {
 public:
  TDismountCommand() : TCommand("hdiutil") {}

  using TCommand::Execute;
  // Runs "hdiutil" "detach" MountPoint ["-force"] and waits for it; raises
  // the runner's error when the tool fails.
  void Execute();

  bool Force = false;
  std::string MountPoint;
};

}  // namespace ramdisk

#endif  // RAMDISK_CORE_MACOS_DISMOUNT_COMMAND_H_
