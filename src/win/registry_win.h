#pragma once
// The registry port over the system registry (the ...W functions). Every call
// opens or creates its key, does one thing and closes the key again.

#include <optional>
#include <string>

#include "app/ports.h"

namespace proxanto::win {

class Win32Registry final : public RegistryPort {
 public:
  std::optional<RegValue> read(RegRoot root, const std::string& path,
                               const std::string& name) override;
  bool write(RegRoot root, const std::string& path, const std::string& name,
             const RegValue& value) override;
  void remove(RegRoot root, const std::string& path, const std::string& name) override;
};

// True when the key can be opened for reading.
bool win_key_exists(RegRoot root, const std::string& path);

}  // namespace proxanto::win
