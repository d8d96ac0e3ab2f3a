#ifndef RAMDISK_TESTS_SUPPORT_SCRATCH_H_
#define RAMDISK_TESTS_SUPPORT_SCRATCH_H_

#include <sys/types.h>

#include <string>

namespace ramdisk::testing {

// A fresh directory under TMPDIR (or /tmp), removed with its contents when
// the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string operator/(const std::string& name) const;
  // Creates the file `name` (parent directories included) holding `text`.
  std::string Write(const std::string& name, const std::string& text,
                    mode_t mode = 0644) const;
  // A shell script that prints `line` on standard error and exits 1.
  std::string Script(const std::string& name, const std::string& line) const;
  std::string MakeDir(const std::string& name) const;

 private:
  std::string path_;
};

// Sends this process's standard error to a temporary file until Finish (or
// destruction) puts the original back.
class StderrCapture {
 public:
  StderrCapture();
  ~StderrCapture();
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;

  // Restores standard error and returns what was written to it meanwhile.
  std::string Finish();

 private:
  int saved_ = -1;
  int file_ = -1;
};

// Sets (or, given nullptr, removes) an environment variable for the
// lifetime of the object.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  bool had_value_;
  std::string old_value_;
};

// Changes the working directory for the lifetime of the object.
class ScopedChdir {
 public:
  explicit ScopedChdir(const std::string& path);
  ~ScopedChdir();
  ScopedChdir(const ScopedChdir&) = delete;
  ScopedChdir& operator=(const ScopedChdir&) = delete;

 private:
  int saved_;
};

}  // namespace ramdisk::testing

#endif  // RAMDISK_TESTS_SUPPORT_SCRATCH_H_
