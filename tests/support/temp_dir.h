// A fresh temporary directory per test, removed with everything in it when the object goes.
#pragma once

#include <string>

namespace xlsx_test {

class TempDir {
 public:
  // Creates a new empty directory under $TMPDIR (or /tmp); fails the current test when it cannot.
  TempDir();
  // Removes the directory and its contents.
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // The directory's path, without a trailing slash.
  const std::string& path() const { return path_; }
  // path() + "/" + name (nothing is created).
  std::string file(const std::string& name) const;

 private:
  std::string path_;
};

}  // namespace xlsx_test
