// The registry contract over the system's registry, in keys of the tests'
// own that are deleted again after each test.

#include <windows.h>

#include <memory>

#include "shared/contracts.h"
#include "win/registry_win.h"
#include "win/win_util.h"

namespace proxanto::test_support {

constexpr wchar_t kTestParent[] = L"Software\\ProxantoContractTest";

struct Win32RegistryBackend final : RegistryTestBackend {
  ~Win32RegistryBackend() override {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
      RegDeleteTreeW(root, win::widen(base_).c_str());
      RegDeleteKeyW(root, win::widen(base_).c_str());
      RegDeleteKeyW(root, kTestParent);  // only once no other test's key is left under it
    }
  }
  RegistryPort& port() override { return registry_; }
  const std::string& base_path() const override { return base_; }
  bool key_exists(RegRoot root, const std::string& path) override {
    return win::win_key_exists(root, path);
  }
  win::Win32Registry registry_;
  std::string base_ = win::narrow(kTestParent) + "\\" + unique_test_name();
};

std::unique_ptr<RegistryTestBackend> make_registry_test_backend() {
  return std::make_unique<Win32RegistryBackend>();
}

}  // namespace proxanto::test_support
