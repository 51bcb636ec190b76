// The registry contract over the in-memory registry that stands in for the
// system's in the native tests.

#include "fakes.h"
#include "shared/contracts.h"

namespace proxanto::test_support {

struct MemoryRegistryBackend final : RegistryTestBackend {
  RegistryPort& port() override { return registry; }
  const std::string& base_path() const override { return base; }
  bool key_exists(RegRoot root, const std::string& path) override {
    return registry.keys.count({root, std::get<1>(registry.key(root, path, ""))}) != 0;
  }
  testing::MemoryRegistry registry;
  std::string base = "Software\\ProxantoContractTest";
};

std::unique_ptr<RegistryTestBackend> make_registry_test_backend() {
  return std::make_unique<MemoryRegistryBackend>();
}

}  // namespace proxanto::test_support
