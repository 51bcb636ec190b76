#pragma once
// The behaviour every registry backend and every file system must share. Each
// test program defines make_registry_test_backend() and make_test_file_system()
// once, for its own.

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

#include "app/ports.h"

namespace proxanto {
// Test output shows a value as its type and bytes in hex, a root by its name.
void PrintTo(const RegValue& value, std::ostream* out);
void PrintTo(RegRoot root, std::ostream* out);
}  // namespace proxanto

namespace proxanto::test_support {

class RegistryTestBackend {
 public:
  // Removes whatever the tests stored under base_path().
  virtual ~RegistryTestBackend() = default;
  virtual RegistryPort& port() = 0;
  // A key path, the same under both roots, that does not exist yet and
  // belongs to this test alone.
  virtual const std::string& base_path() const = 0;
  virtual bool key_exists(RegRoot root, const std::string& path) = 0;
  // The number of handles (or files) the process holds open, where the
  // backend can tell.
  virtual std::optional<std::size_t> open_handle_count() = 0;
};

// The file system of the test program, the same for every test.
std::unique_ptr<FileSystemPort> make_test_file_system();

// An empty folder of the test's own, removed with everything in it at the
// end. Paths are in the program's form (backslashes).
class TestFolder {
 public:
  TestFolder();
  ~TestFolder();
  TestFolder(const TestFolder&) = delete;
  TestFolder& operator=(const TestFolder&) = delete;
  FileSystemPort& files() { return *files_; }
  const std::string& folder() const { return folder_; }
  std::string path(const std::string& name) const { return folder_ + "\\" + name; }
  bool make_folder(const std::string& name);
  bool is_folder(const std::string& name) const;

 private:
  std::unique_ptr<FileSystemPort> files_ = make_test_file_system();
  std::string folder_;
};

std::unique_ptr<RegistryTestBackend> make_registry_test_backend();

// A name no other test uses: the running test's name and random digits.
std::string unique_test_name();

}  // namespace proxanto::test_support
