#pragma once
// The behaviour every registry backend must share: the system's under Wine,
// the in-memory stand-in natively. Each test program defines
// make_registry_test_backend() once, for its own.

#include <iosfwd>
#include <memory>
#include <string>

#include "app/ports.h"
#include "proxy/registry.h"

namespace proxanto {
void PrintTo(const RegValue& value, std::ostream* out);  // its type and bytes in hex
}  // namespace proxanto

namespace proxanto::test_support {

class RegistryTestBackend {
 public:
  virtual ~RegistryTestBackend() = default;  // removes what the test stored
  virtual RegistryPort& port() = 0;
  // A key path, the same under both roots, that does not exist yet and
  // belongs to this test alone.
  virtual const std::string& base_path() const = 0;
  virtual bool key_exists(RegRoot root, const std::string& path) = 0;
};

std::unique_ptr<RegistryTestBackend> make_registry_test_backend();
std::string unique_test_name();  // random, so that no other test uses it

// The Internet settings in a registry: "<server> on", or "- off" for a direct
// connection; "?" for a ProxyEnable other than a DWORD 0 or 1.
inline std::string internet_settings(RegistryPort& registry) {
  const auto enable = registry.read(RegRoot::CurrentUser, kInternetSettings, "ProxyEnable");
  const bool server = registry.read(RegRoot::CurrentUser, kInternetSettings, "ProxyServer").has_value();
  return (server ? GetRegString(registry, RegRoot::CurrentUser, kInternetSettings, "ProxyServer") : "-") +
         (enable == RegValue{kRegDword, {1, 0, 0, 0}}   ? " on"
          : enable == RegValue{kRegDword, {0, 0, 0, 0}} ? " off"
                                                        : " ?");
}

}  // namespace proxanto::test_support
