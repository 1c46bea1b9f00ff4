// A fresh temporary directory per test, and whole files as byte strings.
#pragma once

#include <string>
#include <vector>

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

// The file's bytes; "" when it cannot be read.
std::string read_bytes(const std::string& path);
// Creates or truncates the file with the bytes.
void write_bytes(const std::string& path, const std::string& bytes);
// Names of the entries of a directory, sorted ("." and ".." left out).
std::vector<std::string> list_dir(const std::string& dir);

}  // namespace xlsx_test
