#include "support/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>

#include "standin/tools/standin.h"

namespace ramdisk::testing {

std::string MakeScratchDir() {
  std::string pattern = ::testing::TempDir() + "ramdisk-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr)
    return "";
  return pattern;
}

void MakeDirs(const std::string& path) {
  for (std::string::size_type slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1))
    ::mkdir(path.substr(0, slash).c_str(), 0755);
  ::mkdir(path.c_str(), 0755);
}

std::string WriteFile(const std::string& path, const std::string& text, int mode) {
  std::string::size_type slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0)
    MakeDirs(path.substr(0, slash));
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
  ::chmod(path.c_str(), static_cast<mode_t>(mode));
  return path;
}

void RemoveTree(const std::string& path) { standin::RemoveTree(path); }

namespace {

void DescribeBelow(const std::string& top, const std::string& below, std::string& text) {
  const std::vector<std::string> entries = standin::Entries(top + below);
  const std::set<std::string> names(entries.begin(), entries.end());
  for (const std::string& name : names) {
    const std::string path = below + "/" + name;
    struct stat info;
    if (::lstat((top + path).c_str(), &info) != 0)
      continue;
    char mode[8];
    std::snprintf(mode, sizeof mode, " %o ", static_cast<unsigned>(info.st_mode & 07777));
    text += path + (S_ISLNK(info.st_mode) ? " link " : mode);
    if (S_ISLNK(info.st_mode)) {
      char target[PATH_MAX];
      const ssize_t size = ::readlink((top + path).c_str(), target, sizeof target);
      text += std::string(target, size > 0 ? static_cast<std::size_t>(size) : 0);
    } else if (S_ISREG(info.st_mode)) {
      std::ifstream file(top + path, std::ios::binary);
      text += std::string(std::istreambuf_iterator<char>(file), {}) + " @" +
              std::to_string(static_cast<long long>(info.st_mtime));
    }
    text += "\n";
    if (S_ISDIR(info.st_mode))
      DescribeBelow(top, path, text);
  }
}

}  // namespace

std::string TreeText(const std::string& path) {
  std::string text;
  DescribeBelow(path, "", text);
  return text;
}

std::string WorkingDirectory() {
  char buffer[PATH_MAX];
  return ::getcwd(buffer, sizeof buffer) != nullptr ? buffer : "";
}

}  // namespace ramdisk::testing
