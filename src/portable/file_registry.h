#pragma once
// A registry kept in one text file, for native runs and tests: the same roots,
// key paths, value names, types and raw contents as the system registry.
// Key paths and value names compare without regard to ASCII case; a trailing
// backslash and doubled backslashes name the same key as without them, and a
// path that starts with a backslash names no key, as in the system registry.
//
// Every call loads the file, does one thing and saves it again through a
// temporary file renamed over the old one, so nothing is cached between calls
// and two instances on the same file see each other's changes. A missing or
// unreadable file reads as an empty registry.

#include <filesystem>
#include <optional>
#include <string>

#include "app/ports.h"

namespace proxanto {

class FileRegistry final : public RegistryPort {
 public:
  explicit FileRegistry(std::filesystem::path store);

  std::optional<RegValue> read(RegRoot root, const std::string& path,
                               const std::string& name) override;
  void write(RegRoot root, const std::string& path, const std::string& name,
             const RegValue& value) override;
  void remove(RegRoot root, const std::string& path, const std::string& name) override;

  // True when the key exists, with or without values; a root always exists.
  bool key_exists(RegRoot root, const std::string& path);

  const std::filesystem::path& store_path() const { return store_; }

 private:
  std::filesystem::path store_;
};

}  // namespace proxanto
