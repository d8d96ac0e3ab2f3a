#include "standin/tools/standin.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

#include "core/macos/disks/image_tool.h"
#include "standin/tools/attach_plist.h"

namespace standin {

std::string Env(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  return value != nullptr ? value : "";
}

namespace {

std::string Upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

void WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return;
    done += static_cast<std::size_t>(n);
  }
}

std::string Escape(const std::string& argument) {
  std::string out;
  for (char c : argument) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

void Log(int argc, char** argv) {
  std::string path = Env("RAMDISK_STANDIN_LOG");
  if (path.empty())
    return;
  std::string line;
  for (int i = 0; i < argc; ++i) {
    if (i > 0)
      line += '\t';
    line += Escape(argv[i]);
  }
  line += '\n';
  // One append of the whole line, so concurrent runs never interleave.
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (fd < 0)
    return;
  WriteAll(fd, line);
  ::close(fd);
}

std::string StateDir() {
  std::string dir = Env("RAMDISK_STANDIN_STATE");
  if (dir.empty()) {
    std::string tmp = Env("TMPDIR");
    dir = (tmp.empty() ? std::string("/tmp") : tmp) + "/ramdisk-standin-" +
          std::to_string(::getuid());
  }
  ::mkdir(dir.c_str(), 0700);
  return dir;
}

std::string DevicePath(int number) { return StateDir() + "/" + DeviceName(number); }

// Where an unmounted volume keeps its files; no "disk" prefix, so that
// nothing takes it for a device.
std::string KeptFiles(const Device& device) {
  return StateDir() + "/files-" + DeviceName(device.number);
}

// Directories, files and symbolic links, as far as they can be read.
void CopyTree(const std::string& from, const std::string& to) {
  struct stat info;
  if (::lstat(from.c_str(), &info) != 0)
    return;
  if (S_ISLNK(info.st_mode)) {
    std::vector<char> target(static_cast<std::size_t>(info.st_size) + 1);
    ssize_t size = ::readlink(from.c_str(), target.data(), target.size());
    if (size >= 0)
      (void)::symlink(std::string(target.data(), static_cast<std::size_t>(size)).c_str(),
                      to.c_str());
  } else if (S_ISDIR(info.st_mode)) {
    ::mkdir(to.c_str(), info.st_mode & 07777);
    for (const std::string& name : Entries(from))
      CopyTree(from + "/" + name, to + "/" + name);
  } else if (S_ISREG(info.st_mode)) {
    std::ifstream in(from, std::ios::binary);
    std::ofstream(to, std::ios::binary) << in.rdbuf();
    ::chmod(to.c_str(), info.st_mode & 07777);
  }
}

// Renamed where both lie on one file system, else copied and removed.
void MoveContents(const std::string& from, const std::string& to) {
  for (const std::string& name : Entries(from)) {
    const std::string source = from + "/" + name, target = to + "/" + name;
    if (::rename(source.c_str(), target.c_str()) != 0) {
      CopyTree(source, target);
      RemoveTree(source);
    }
  }
}

bool IsChosenFolder(const Device& device) {
  return device.mount_point != VolumesRoot() + "/" + device.name;
}

}  // namespace

void Begin(int argc, char** argv, const std::string& verb, const std::string& warning) {
  Log(argc, argv);
  if (!warning.empty())
    WriteAll(2, warning + "\n");
  std::string signal_number = Env("RAMDISK_STANDIN_SIGNAL_" + Upper(verb));
  if (!signal_number.empty()) {
    int number = std::atoi(signal_number.c_str());
    ::signal(number, SIG_DFL);
    ::raise(number);
  }
  std::string failure = Env("RAMDISK_STANDIN_FAIL_" + Upper(verb));
  if (!failure.empty()) {
    std::string::size_type colon = failure.find(':');
    int status = std::atoi(failure.substr(0, colon).c_str());
    Fail(status, colon == std::string::npos ? "" : failure.substr(colon + 1));
  }
}

bool DeprecatesHdiutil() {
  return ramdisk::ImageToolFor(Env("RAMDISK_STANDIN_MACOS_VERSION"),
                               Env("RAMDISK_STANDIN_DARWIN_VERSION")) ==
         ramdisk::ImageTool::kDiskutil;
}

std::string AttachOutput(const std::string& dev_entry) {
  std::string kind = Env("RAMDISK_STANDIN_ATTACH_OUTPUT");
  if (kind == "empty")
    return "";
  if (kind.rfind("file:", 0) == 0) {
    std::ifstream file(kind.substr(5), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
  }
  if (kind == "malformed") {
    // Ends inside the closing tag of the device entry.
    std::string entry = DevEntry(dev_entry);
    return kAttachPlistHead + entry.substr(0, entry.size() - 4);
  }
  if (kind == "nodevice")
    return std::string(kAttachPlistHead) + kAttachPlistTail;
  return AttachPlist(kind == "emptydevice" ? "" : dev_entry);
}

std::optional<unsigned long long> RamSectors(const std::string& url) {
  const std::string scheme = "ram://";
  if (url.rfind(scheme, 0) != 0 || url.size() == scheme.size() || url.size() > scheme.size() + 19)
    return std::nullopt;
  for (std::string::size_type i = scheme.size(); i < url.size(); ++i) {
    if (url[i] < '0' || url[i] > '9')
      return std::nullopt;
  }
  return std::strtoull(url.c_str() + scheme.size(), nullptr, 10);
}

std::string XmlEscaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      default: out += c;
    }
  }
  return out;
}

std::optional<FileSystemKind> FileSystemFor(const std::string& format) {
  struct Known {
    const char* short_form;
    FileSystemKind kind;
  };
  static const Known kKnown[] = {
      {"APFS", {"APFS", "apfs", "APFS"}},
      {"APFSX", {"Case-sensitive APFS", "apfs", "APFS (Case-sensitive)"}},
      {"HFS+", {"HFS+", "hfs", "Mac OS Extended"}},
      {"HFSX", {"Case-sensitive HFS+", "hfs", "Mac OS Extended (Case-sensitive)"}},
      {"JHFS+", {"Journaled HFS+", "hfs", "Mac OS Extended (Journaled)"}},
      {"JHFSX",
       {"Case-sensitive Journaled HFS+", "hfs", "Mac OS Extended (Case-sensitive, Journaled)"}},
      {"FAT32", {"MS-DOS FAT32", "msdos", "MS-DOS (FAT32)"}},
      {"ExFAT", {"ExFAT", "exfat", "ExFAT"}}};
  const std::string wanted = Upper(format);
  for (const Known& known : kKnown) {
    if (wanted == Upper(known.short_form) || wanted == Upper(known.kind.personality))
      return known.kind;
  }
  return std::nullopt;
}

void Fail(int status, const std::string& text) {
  if (!text.empty())
    WriteAll(2, text.back() == '\n' ? text : text + "\n");
  std::exit(status);
}

std::string VolumesRoot() {
  std::string root = Env("RAMDISK_STANDIN_VOLUMES");
  return root.empty() ? "/Volumes" : root;
}

std::string DeviceName(int number) { return "disk" + std::to_string(number); }

std::optional<int> ParseDevice(const std::string& text) {
  std::string name = text;
  if (name.rfind("/dev/", 0) == 0)
    name = name.substr(5);
  if (name.rfind("disk", 0) != 0 || name.size() == 4 || name.size() > 9)
    return std::nullopt;
  for (std::string::size_type i = 4; i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9')
      return std::nullopt;
  }
  return std::atoi(name.c_str() + 4);
}

namespace {

// Creates the state file of the lowest free number; O_EXCL makes the claim
// atomic against a concurrent attach.
int ClaimNumber() {
  for (int number = 4;; ++number) {
    int fd = ::open(DevicePath(number).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (fd >= 0) {
      ::close(fd);
      return number;
    }
    if (errno != EEXIST)
      Fail(1, "hdiutil: attach failed - " + std::string(std::strerror(errno)));
  }
}

}  // namespace

Device NewDevice(unsigned long long sectors) {
  Device device;
  device.number = ClaimNumber();
  device.sectors = sectors;
  SaveDevice(device);
  return device;
}

void AddContainer(Device& device) {
  device.container = ClaimNumber();
  std::ofstream(DevicePath(device.container), std::ios::trunc)
      << "container on " << DeviceName(device.number) << '\n';
  SaveDevice(device);
}

std::optional<Device> LoadDevice(int number) {
  std::ifstream in(DevicePath(number));
  Device device;
  device.number = number;
  std::string sectors;
  // A container's file, or one still being written, holds no sector count.
  if (!std::getline(in, sectors) || sectors.empty() || sectors[0] < '0' || sectors[0] > '9')
    return std::nullopt;
  std::size_t name_size = 0;
  in >> device.container >> device.browse >> device.late >> name_size;
  in.ignore(1);
  std::getline(in, device.personality);
  std::getline(in, device.image);
  device.name.resize(name_size);
  in.read(&device.name[0], static_cast<std::streamsize>(name_size));
  // The mount point is the rest of the file: a volume name may hold line feeds.
  std::stringstream rest;
  rest << in.rdbuf();
  device.mount_point = rest.str();
  if (!device.mount_point.empty() && device.mount_point.back() == '\n')
    device.mount_point.pop_back();
  device.sectors = std::strtoull(sectors.c_str(), nullptr, 10);
  return device;
}

std::vector<Device> AllDevices() {
  std::vector<Device> devices;
  DIR* dir = ::opendir(StateDir().c_str());
  if (dir == nullptr)
    return devices;
  while (dirent* entry = ::readdir(dir)) {
    std::optional<int> number = ParseDevice(entry->d_name);
    if (!number)
      continue;
    if (std::optional<Device> device = LoadDevice(*number))
      devices.push_back(*device);
  }
  ::closedir(dir);
  std::sort(devices.begin(), devices.end(),
            [](const Device& a, const Device& b) { return a.number < b.number; });
  return devices;
}

void SaveDevice(const Device& device) {
  std::ofstream out(DevicePath(device.number), std::ios::trunc);
  out << device.sectors << '\n'
      << device.container << '\n'
      << device.browse << ' ' << device.late << '\n'
      << device.name.size() << '\n'
      << device.personality << '\n'
      << device.image << '\n'
      << device.name << device.mount_point << '\n';
}

void RemoveDevice(const Device& device) {
  if (device.container != 0)
    ::unlink(DevicePath(device.container).c_str());
  RemoveTree(KeptFiles(device));
  ::unlink(DevicePath(device.number).c_str());
}

std::vector<std::string> Entries(const std::string& path) {
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(path.c_str())) {
    while (dirent* entry = ::readdir(dir)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..")
        names.push_back(name);
    }
    ::closedir(dir);
  }
  return names;
}

void UnmountVolume(Device& device) {
  const std::string kept = KeptFiles(device);
  ::mkdir(kept.c_str(), 0700);
  MoveContents(device.mount_point, kept);
  if (!IsChosenFolder(device))
    ::rmdir(device.mount_point.c_str());
  device.mount_point.clear();
  SaveDevice(device);
}

void MountVolume(Device& device, const std::string& folder) {
  const std::string kept = KeptFiles(device);
  MoveContents(kept, folder);
  ::rmdir(kept.c_str());
  device.mount_point = folder;
  SaveDevice(device);
}

bool ReleaseVolume(Device& device, bool force) {
  if (device.mount_point.empty())
    return true;
  if (!force && InUse(device.mount_point))
    return false;
  for (const std::string& name : Entries(device.mount_point))
    RemoveTree(device.mount_point + "/" + name);
  if (!IsChosenFolder(device))
    ::rmdir(device.mount_point.c_str());
  device.mount_point.clear();
  return true;
}

void RemoveTree(const std::string& path) {
  struct stat info;
  if (::lstat(path.c_str(), &info) != 0)
    return;
  if (!S_ISDIR(info.st_mode)) {
    ::unlink(path.c_str());
    return;
  }
  ::chmod(path.c_str(), 0700);
  for (const std::string& name : Entries(path))
    RemoveTree(path + "/" + name);
  ::rmdir(path.c_str());
}

bool InUse(const std::string& path) {
  int ends[2];
  if (::pipe(ends) != 0)
    Fail(1, "stand-in: cannot make a pipe for lsof");
  const pid_t pid = ::fork();
  if (pid < 0)
    Fail(1, "stand-in: cannot start lsof");
  if (pid == 0) {
    ::dup2(ends[1], 1);
    const int null = ::open("/dev/null", O_WRONLY);
    ::dup2(null, 2);
    ::close(ends[0]);
    ::close(ends[1]);
    // -t: process numbers alone; -w: no warnings; +D: everything below.
    const char* argv[] = {"lsof", "-w", "-t", "+D", path.c_str(), nullptr};
    ::execvp("lsof", const_cast<char* const*>(argv));
    ::_exit(127);
  }
  ::close(ends[1]);
  std::string out;
  char buffer[4096];
  for (;;) {
    ssize_t n = ::read(ends[0], buffer, sizeof buffer);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      break;
    out.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(ends[0]);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
    Fail(1, "stand-in: \"lsof\" is needed to tell whether a volume is busy; install it");
  std::istringstream pids(out);
  for (long number; pids >> number;) {
    if (number != static_cast<long>(::getpid()))
      return true;
  }
  return false;
}

}  // namespace standin
