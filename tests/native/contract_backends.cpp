// The contracts over the test substitutes: the file-backed registry, in a
// file of each test's own, and the standard-library file system.

#include <filesystem>
#include <memory>
#include <system_error>

#include "portable/file_registry.h"
#include "portable/std_file_system.h"
#include "shared/contracts.h"

namespace proxanto::test_support {

namespace {

namespace fs = std::filesystem;

class FileRegistryBackend final : public RegistryTestBackend {
 public:
  RegistryPort& port() override { return registry_; }
  const std::string& base_path() const override { return base_; }
  bool key_exists(RegRoot root, const std::string& path) override {
    return registry_.key_exists(root, path);
  }
  // Every store access opens the file; a leak shows as descriptors.
  std::optional<std::size_t> open_handle_count() override {
    std::error_code error;
    std::size_t count = 0;
    for (fs::directory_iterator it("/proc/self/fd", error), end; !error && it != end;
         it.increment(error)) {
      ++count;
    }
    if (error) return std::nullopt;
    return count;
  }

 private:
  TestFolder folder_;
  FileRegistry registry_{fs::path(folder_.folder()) / "registry.txt"};
  std::string base_ = "Software\\ProxantoContractTest\\" + unique_test_name();
};

}  // namespace

std::unique_ptr<RegistryTestBackend> make_registry_test_backend() {
  return std::make_unique<FileRegistryBackend>();
}

std::unique_ptr<FileSystemPort> make_test_file_system() { return std::make_unique<StdFileSystem>(); }

}  // namespace proxanto::test_support
