#include "support/files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>
#include <fstream>

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

std::string WorkingDirectory() {
  char buffer[PATH_MAX];
  return ::getcwd(buffer, sizeof buffer) != nullptr ? buffer : "";
}

}  // namespace ramdisk::testing
