#pragma once
// The program's four registry functions. Each call opens (or creates) its key,
// does one thing and closes it again. Only the writes tell whether they
// succeeded: the program's settings must not be lost without a word.

#include <cstdint>
#include <optional>
#include <string>

#include "app/ports.h"

namespace proxanto {

// The per-user Internet settings, written with the trailing backslash.
inline const std::string kInternetSettings =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\";

// The text of a REG_SZ value up to its first NUL; empty when the key or the
// value is missing or the value is of another type.
std::string GetRegString(RegistryPort& registry, RegRoot root, const std::string& path,
                         const std::string& name);
// The number of a REG_DWORD value; nothing when the key or the value is
// missing or the value is of another type.
std::optional<std::uint32_t> GetRegDword(RegistryPort& registry, RegRoot root,
                                         const std::string& path, const std::string& name);
// Stores REG_SZ without a terminating NUL, creating missing keys; false when
// the system refused the write.
bool SetRegString(RegistryPort& registry, RegRoot root, const std::string& path,
                  const std::string& name, const std::string& text);
// Stores REG_DWORD (4 bytes, little-endian), creating missing keys.
bool SetRegDword(RegistryPort& registry, RegRoot root, const std::string& path,
                 const std::string& name, std::uint32_t value);
// Removes one value of an existing key; never creates the key.
void DeleteRegValue(RegistryPort& registry, RegRoot root, const std::string& path,
                    const std::string& name);

}  // namespace proxanto
