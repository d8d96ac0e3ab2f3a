#ifndef RAMDISK_CORE_MACOS_DISKS_KEPT_CONTENTS_H_
#define RAMDISK_CORE_MACOS_DISKS_KEPT_CONTENTS_H_

#include <string>

#include "core/common/exception.h"
#include "core/common/unique_fd.h"

namespace ramdisk {

// A volume's contents kept in a folder DIR across restarts. DIR is an
// absolute path without a trailing "/" whose parent holds, beside it, the
// siblings DIR.ramdisk-lock (the lock of its saves, never removed),
// DIR.ramdisk-new (the copy being made) and DIR.ramdisk-old (the earlier
// copy, where names cannot be exchanged). At every instant DIR is a
// complete earlier copy or the complete new one.

// A step on the folder's side failed; or another run holds the lock.
class EKeepError : public Exception {
 public:
  using Exception::Exception;
};

// The file at a kept volume's root that names its folder, one line.
inline constexpr char kKeepFileName[] = ".ramdisk-keep";

// The entries at a volume's root that belong to the volume, not to its
// contents: the keep file and what the system makes there. Never copied
// either way.
bool IsHousekeeping(const std::string& name);

// The exclusive lock of `dir`'s saves and loads, held while alive: flock()
// on DIR.ramdisk-lock, made if missing. Raises EKeepError "Folder DIR is
// being saved" at once when another process holds it.
class FolderLock {
 public:
  explicit FolderLock(const std::string& dir);

 private:
  UniqueFd fd_;
};

// With the lock held: puts right what a run that died between the steps
// of a save left. A DIR.ramdisk-old without DIR is renamed back to DIR, one
// beside DIR removed; DIR.ramdisk-new is removed.
void RecoverFolder(const std::string& dir);

// Copies the contents of the volume mounted at `volume` into `dir`, so that
// no failure at any instant loses the last complete copy: takes the lock,
// recovers, copies into a fresh DIR.ramdisk-new with "ditto", flushes it,
// then exchanges it with DIR in one step (ExchangeNames) and removes the
// old copy. Where the file system refuses the exchange with ENOTSUP, DIR
// becomes DIR.ramdisk-old, DIR.ramdisk-new becomes DIR and the old copy is
// removed. A DIR that does not exist is made by renaming. A copy or
// exchange that fails leaves DIR as it was and raises its error.
void SaveContents(const std::string& volume, const std::string& dir);

// Takes the lock, recovers, makes `dir` (mode 0700) when it does not exist,
// copies its contents onto the volume mounted at `volume` with "ditto" and
// writes the keep file naming `dir` there. Raises the copy's error; `dir`
// is never changed but by the recovery.
void LoadContents(const std::string& dir, const std::string& volume);

// The folder that the keep file at `volume`'s root names; empty when there
// is none, or it names no absolute path.
std::string KeptFolder(const std::string& volume);

}  // namespace ramdisk

#endif  // RAMDISK_CORE_MACOS_DISKS_KEPT_CONTENTS_H_
