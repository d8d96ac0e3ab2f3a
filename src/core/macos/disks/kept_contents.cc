#include "core/macos/disks/kept_contents.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string_view>
#include <vector>

#include "core/common/ascii.h"
#include "core/common/directory.h"
#include "core/common/file_tree.h"
#include "core/common/messages.h"
#include "core/macos/disks/name_exchange.h"
#include "core/macos/runner/command.h"

namespace ramdisk {

namespace {

constexpr std::string_view kHousekeeping[] = {kKeepFileName,     ".fseventsd",
                                              ".Spotlight-V100", ".metadata_never_index",
                                              ".Trashes",        ".TemporaryItems"};

// The longest keep file read; a path beyond it is no path of ours.
constexpr std::size_t kMaxKeepFileBytes = 4096;

[[noreturn]] void Fail(const char* action, const std::string& path, int error) {
  throw EKeepError(
      FormatMessage(messages::kFolderStepFailed, {action, path, std::strerror(error)}));
}

void Check(int error, const char* action, const std::string& path) {
  if (error != 0)
    Fail(action, path, error);
}

void Rename(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0)
    Fail("rename", from, errno);
}

// Makes a finished rename or exchange in `dir`'s parent last; the save
// has happened either way, so a failure here is not reported.
void FlushParent(const std::string& dir) {
  const std::string parent = dir.substr(0, dir.rfind('/') + 1);
  const UniqueFd fd(::open(parent.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.valid())
    ::fsync(fd.get());
}

// Copies the entries of folder `from`, but the housekeeping, into the
// existing folder `to`. ditto copies a tree with its modes, times,
// extended attributes and links; a link at the top is copied here as a
// link, whatever ditto would make of a link named as its source.
void CopyEntries(const std::string& from, const std::string& to) {
  int error = 0;
  const std::vector<std::string> names = EntryNames(from, error);
  Check(error, "read", from);
  TCommand ditto("ditto");
  for (const std::string& name : names) {
    if (IsHousekeeping(name))
      continue;
    const std::string source = from + "/" + name, target = to + "/" + name;
    struct stat info;
    if (::lstat(source.c_str(), &info) != 0)
      Fail("read", source, errno);
    if (!S_ISLNK(info.st_mode)) {
      ditto.Execute({source, target});
      continue;
    }
    std::vector<char> link(static_cast<std::size_t>(info.st_size) + 1);
    const ssize_t size = ::readlink(source.c_str(), link.data(), link.size());
    if (size < 0)
      Fail("read", source, errno);
    if (::symlink(std::string(link.data(), static_cast<std::size_t>(size)).c_str(),
                  target.c_str()) != 0)
      Fail("create", target, errno);
  }
}

void WriteKeepFile(const std::string& volume, const std::string& dir) {
  const std::string path = volume + "/" + kKeepFileName;
  const UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (!fd.valid())
    Fail("write", path, errno);
  const std::string line = dir + "\n";
  std::size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = ::write(fd.get(), line.data() + done, line.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n < 0)
      Fail("write", path, errno);
    done += static_cast<std::size_t>(n);
  }
}

// Puts the finished copy DIR.ramdisk-new in DIR's place, the old copy
// removed.
void ReplaceFolder(const std::string& dir, const std::string& fresh) {
  struct stat info;
  if (::stat(dir.c_str(), &info) != 0) {
    Rename(fresh, dir);
    FlushParent(dir);
    return;
  }
  // The folder keeps its owner, also for a save run with sudo; a user who
  // may not give it away keeps it anyway.
  if (::chown(fresh.c_str(), info.st_uid, info.st_gid) != 0) {
  }
  ::chmod(fresh.c_str(), info.st_mode & 07777);
  const int error = ExchangeNames(fresh, dir);
  if (error == 0) {
    FlushParent(dir);
    // Left over, the old copy goes with the next save's recovery.
    RemoveTree(fresh);
    return;
  }
  if (error != ENOTSUP)
    Fail("replace", dir, error);
  const std::string old = dir + ".ramdisk-old";
  Rename(dir, old);
  if (::rename(fresh.c_str(), dir.c_str()) != 0) {
    const int rename_error = errno;
    ::rename(old.c_str(), dir.c_str());
    Fail("rename", fresh, rename_error);
  }
  FlushParent(dir);
  RemoveTree(old);
}

}  // namespace

bool IsHousekeeping(const std::string& name) {
  for (std::string_view entry : kHousekeeping) {
    if (name == entry)
      return true;
  }
  return false;
}

FolderLock::FolderLock(const std::string& dir) {
  const std::string path = dir + ".ramdisk-lock";
  fd_.reset(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (!fd_.valid())
    Fail("lock", path, errno);
  if (::flock(fd_.get(), LOCK_EX | LOCK_NB) == 0)
    return;
  if (errno == EWOULDBLOCK)
    throw EKeepError(FormatMessage(messages::kFolderBeingSaved, dir));
  Fail("lock", path, errno);
}

void RecoverFolder(const std::string& dir) {
  const std::string old = dir + ".ramdisk-old";
  if (PathExists(old)) {
    if (PathExists(dir))
      Check(RemoveTree(old), "remove", old);
    else
      Rename(old, dir);
  }
  const std::string fresh = dir + ".ramdisk-new";
  Check(RemoveTree(fresh), "remove", fresh);
}

void SaveContents(const std::string& volume, const std::string& dir) {
  const FolderLock lock(dir);
  RecoverFolder(dir);
  const std::string fresh = dir + ".ramdisk-new";
  if (::mkdir(fresh.c_str(), 0700) != 0)
    Fail("create", fresh, errno);
  try {
    CopyEntries(volume, fresh);
    Check(FlushTree(fresh), "flush", fresh);
    ReplaceFolder(dir, fresh);
  } catch (...) {
    RemoveTree(fresh);
    throw;
  }
}

void LoadContents(const std::string& dir, const std::string& volume) {
  const FolderLock lock(dir);
  RecoverFolder(dir);
  if (!DirectoryExists(dir) && ::mkdir(dir.c_str(), 0700) != 0)
    Fail("create", dir, errno);
  CopyEntries(dir, volume);
  WriteKeepFile(volume, dir);
}

std::string KeptFolder(const std::string& volume) {
  const UniqueFd fd(::open((volume + "/" + kKeepFileName).c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid())
    return "";
  std::string text(kMaxKeepFileBytes + 1, '\0');
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::read(fd.get(), &text[done], text.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    done += static_cast<std::size_t>(n);
  }
  text.resize(done);
  if (!text.empty() && text.back() == '\n')
    text.pop_back();
  if (text.size() < 2 || text[0] != '/' || text.back() == '/' || HoldsControlCharacter(text))
    return "";
  return text;
}

}  // namespace ramdisk
