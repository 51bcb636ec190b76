// The registry contract over the file-backed store, one store file per test.

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>

#include "portable/file_registry.h"
#include "shared/registry_contract.h"

namespace proxanto::test_support {

namespace {

std::filesystem::path test_folder() {
  const char* configured = std::getenv("PROXANTO_TEST_TMP");
  std::filesystem::path folder = configured && *configured ? std::filesystem::path(configured)
                                                           : std::filesystem::temp_directory_path();
  std::filesystem::create_directories(folder);
  return folder;
}

class FileRegistryBackend final : public RegistryTestBackend {
 public:
  FileRegistryBackend()
      : name_(unique_test_name()),
        file_(test_folder() / ("registry_" + name_ + ".txt")),
        registry_(file_),
        base_("Software\\ProxantoContractTest\\" + name_) {}
  ~FileRegistryBackend() override {
    std::error_code ignored;
    std::filesystem::remove(file_, ignored);
  }

  RegistryPort& port() override { return registry_; }
  const std::string& base_path() const override { return base_; }
  bool key_exists(RegRoot root, const std::string& path) override {
    return registry_.key_exists(root, path);
  }
  // Every store access opens the file; a leak shows as descriptors.
  std::optional<std::size_t> open_handle_count() override {
    std::error_code error;
    std::size_t count = 0;
    for (std::filesystem::directory_iterator it("/proc/self/fd", error), end; !error && it != end;
         it.increment(error)) {
      ++count;
    }
    if (error) return std::nullopt;
    return count;
  }

 private:
  std::string name_;
  std::filesystem::path file_;
  FileRegistry registry_;
  std::string base_;
};

}  // namespace

std::unique_ptr<RegistryTestBackend> make_registry_test_backend() {
  return std::make_unique<FileRegistryBackend>();
}

}  // namespace proxanto::test_support
