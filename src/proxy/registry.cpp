#include "proxy/registry.h"

#include <cstddef>
#include <optional>

#include "app/text.h"

namespace proxanto {

std::string GetRegString(RegistryPort& registry, RegRoot root, const std::string& path,
                         const std::string& name) {
  const std::optional<RegValue> value = registry.read(root, path, name);
  if (!value || value->type != kRegSz) return {};
  const std::vector<std::uint8_t>& data = value->data;
  std::u16string units;
  units.reserve(data.size() / 2);
  // Whole code units only: an odd last byte cannot be part of any character.
  for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
    const auto unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (unit == u'\0') break;
    units.push_back(unit);
  }
  return utf16_to_utf8(units);
}

std::optional<std::uint32_t> GetRegDword(RegistryPort& registry, RegRoot root,
                                         const std::string& path, const std::string& name) {
  const std::optional<RegValue> value = registry.read(root, path, name);
  if (!value || value->type != kRegDword || value->data.size() != 4) return std::nullopt;
  const auto& d = value->data;
  return static_cast<std::uint32_t>(d[0] | d[1] << 8 | d[2] << 16 | std::uint32_t{d[3]} << 24);
}

bool SetRegString(RegistryPort& registry, RegRoot root, const std::string& path,
                  const std::string& name, const std::string& text) {
  const std::u16string units = utf8_to_utf16(text);
  RegValue value{kRegSz, {}};
  value.data.reserve(units.size() * 2);
  for (const char16_t unit : units) {
    value.data.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    value.data.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  return registry.write(root, path, name, value);
}

bool SetRegDword(RegistryPort& registry, RegRoot root, const std::string& path,
                 const std::string& name, std::uint32_t number) {
  const RegValue value{
      kRegDword,
      {static_cast<std::uint8_t>(number & 0xFF), static_cast<std::uint8_t>((number >> 8) & 0xFF),
       static_cast<std::uint8_t>((number >> 16) & 0xFF),
       static_cast<std::uint8_t>((number >> 24) & 0xFF)}};
  return registry.write(root, path, name, value);
}

void DeleteRegValue(RegistryPort& registry, RegRoot root, const std::string& path,
                    const std::string& name) {
  registry.remove(root, path, name);
}

}  // namespace proxanto
