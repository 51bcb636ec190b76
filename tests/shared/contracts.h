#pragma once
// The behaviour every registry backend must share: the system's under Wine,
// the in-memory stand-in natively. Each test program defines
// make_registry_test_backend() once, for its own.

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

std::unique_ptr<RegistryTestBackend> make_registry_test_backend();

// A name no other test uses: the running test's name and random digits.
std::string unique_test_name();

}  // namespace proxanto::test_support
