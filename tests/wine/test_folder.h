#pragma once

#include <string>

#include "win/file_system_win.h"

namespace proxanto::test_support {

// An empty folder of the test's own, removed with everything in it at the
// end. Paths are in the program's form (backslashes).
class TestFolder {
 public:
  TestFolder();
  ~TestFolder();
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;
  FileSystemPort& files() { return files_; }
  const std::string& folder() const { return folder_; }
  std::string path(const std::string& name) const { return folder_ + "\\" + name; }
  bool make_folder(const std::string& name);
  bool is_folder(const std::string& name) const;

 private:
  win::Win32FileSystem files_;
  std::string folder_;
};

}  // namespace proxanto::test_support
