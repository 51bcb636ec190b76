// The registry contract over the in-memory registry that stands in for the
// system's in the native tests.

#include <memory>

#include "fakes.h"
#include "shared/contracts.h"

namespace proxanto::test_support {

namespace {

class MemoryRegistryBackend final : public RegistryTestBackend {
 public:
  MemoryRegistryBackend() { registry_.journal = &journal_; }
  RegistryPort& port() override { return registry_; }
  const std::string& base_path() const override { return base_; }
  bool key_exists(RegRoot root, const std::string& path) override {
    return registry_.key_exists(root, path);
  }

 private:
  testing::Journal journal_;
  testing::MemoryRegistry registry_;
  std::string base_ = "Software\\ProxantoContractTest";
};

}  // namespace

std::unique_ptr<RegistryTestBackend> make_registry_test_backend() {
  return std::make_unique<MemoryRegistryBackend>();
}

}  // namespace proxanto::test_support
