#include "support/scratch.h"

#include <fcntl.h>
#include <ftw.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

namespace ramdisk::testing {

namespace {

void Check(bool ok, const std::string& what) {
  if (!ok)
    throw std::runtime_error("test setup failed: " + what);
}

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  ::remove(path);
  return 0;
}

void MakeParents(const std::string& path) {
  for (std::string::size_type slash = path.find('/', 1); slash != std::string::npos;
       slash = path.find('/', slash + 1))
    ::mkdir(path.substr(0, slash).c_str(), 0755);
}

}  // namespace

TempDir::TempDir() {
  const char* base = ::getenv("TMPDIR");
  std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                        "/ramdisk-test-XXXXXX";
  Check(::mkdtemp(pattern.data()) != nullptr, "mkdtemp");
  path_ = pattern;
}

TempDir::~TempDir() { ::nftw(path_.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS); }

std::string TempDir::operator/(const std::string& name) const { return path_ + "/" + name; }

std::string TempDir::Write(const std::string& name, const std::string& text,
                           mode_t mode) const {
  std::string path = *this / name;
  MakeParents(path);
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, mode);
  Check(fd >= 0, "create " + path);
  bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ::close(fd);
  Check(ok && ::chmod(path.c_str(), mode) == 0, "write " + path);
  return path;
}

std::string TempDir::Script(const std::string& name, const std::string& line) const {
  return Write(name, "#!/bin/sh\necho '" + line + "' >&2\nexit 1\n", 0755);
}

std::string TempDir::MakeDir(const std::string& name) const {
  std::string path = *this / name;
  MakeParents(path + "/");
  return path;
}

StderrCapture::StderrCapture() {
  char name[] = "/tmp/ramdisk-stderr-XXXXXX";
  file_ = ::mkstemp(name);
  Check(file_ >= 0, "mkstemp");
  ::unlink(name);
  saved_ = ::dup(STDERR_FILENO);
  Check(saved_ >= 0 && ::dup2(file_, STDERR_FILENO) >= 0, "redirect stderr");
}

StderrCapture::~StderrCapture() { Finish(); }

std::string StderrCapture::Finish() {
  if (saved_ < 0)
    return "";
  ::dup2(saved_, STDERR_FILENO);
  ::close(saved_);
  saved_ = -1;
  std::string text;
  char buffer[4096];
  ssize_t n;
  ::lseek(file_, 0, SEEK_SET);
  while ((n = ::read(file_, buffer, sizeof buffer)) > 0)
    text.append(buffer, static_cast<std::size_t>(n));
  ::close(file_);
  return text;
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  const char* old = ::getenv(name);
  had_value_ = old != nullptr;
  if (had_value_)
    old_value_ = old;
  if (value != nullptr)
    ::setenv(name, value, 1);
  else
    ::unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
  if (had_value_)
    ::setenv(name_.c_str(), old_value_.c_str(), 1);
  else
    ::unsetenv(name_.c_str());
}

ScopedChdir::ScopedChdir(const std::string& path) : saved_(::open(".", O_RDONLY)) {
  Check(saved_ >= 0 && ::chdir(path.c_str()) == 0, "chdir " + path);
}

ScopedChdir::~ScopedChdir() {
  if (::fchdir(saved_) != 0)
    std::abort();
  ::close(saved_);
}

}  // namespace ramdisk::testing
