#include "core/macos/dismount_command.h"

namespace ramdisk {

void TDismountCommand::Execute() {
  TStringArray args = {"detach", MountPoint};
  if (Force)
    args.push_back("-force");
  Execute(args);
}

}  // namespace ramdisk
