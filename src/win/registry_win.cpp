#include "win/registry_win.h"

#include <cstdint>
#include <vector>

#include "win/win_util.h"

namespace proxanto::win {

namespace {

HKEY root_key(RegRoot root) {
  return root == RegRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

UniqueHkey open_key(RegRoot root, const std::string& path, REGSAM access) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root_key(root), widen(path).c_str(), 0, access, &key) != ERROR_SUCCESS) {
    return {};
  }
  return UniqueHkey(key);
}

UniqueHkey create_key(RegRoot root, const std::string& path) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root_key(root), widen(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return {};
  }
  return UniqueHkey(key);
}

}  // namespace

std::optional<RegValue> Win32Registry::read(RegRoot root, const std::string& path,
                                            const std::string& name) {
  const UniqueHkey key = open_key(root, path, KEY_QUERY_VALUE);
  if (!key) return std::nullopt;
  const std::wstring wide_name = widen(name);
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExW(key.get(), wide_name.c_str(), nullptr, &type, nullptr, &size) !=
      ERROR_SUCCESS) {
    return std::nullopt;
  }
  RegValue value{static_cast<std::uint32_t>(type), {}};
  // The value may grow between the two queries; then ask again.
  for (int attempt = 0; size > 0 && attempt < 4; ++attempt) {
    value.data.resize(size);
    const LONG result =
        RegQueryValueExW(key.get(), wide_name.c_str(), nullptr, &type, value.data.data(), &size);
    if (result == ERROR_SUCCESS) {
      value.type = static_cast<std::uint32_t>(type);
      value.data.resize(size);
      return value;
    }
    if (result != ERROR_MORE_DATA) return std::nullopt;
  }
  if (size > 0) return std::nullopt;
  return value;
}

bool Win32Registry::write(RegRoot root, const std::string& path, const std::string& name,
                          const RegValue& value) {
  const UniqueHkey key = create_key(root, path);
  if (!key) return false;
  // RegSetValueExW stores the terminating NUL of a text value that the byte
  // count leaves out when it finds one right after the data. Two non-zero
  // bytes there keep the stored size exactly the one given.
  std::vector<BYTE> data(value.data.begin(), value.data.end());
  data.push_back(0xFF);
  data.push_back(0xFF);
  return RegSetValueExW(key.get(), widen(name).c_str(), 0, static_cast<DWORD>(value.type),
                        data.data(), static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS;
}

void Win32Registry::remove(RegRoot root, const std::string& path, const std::string& name) {
  const UniqueHkey key = open_key(root, path, KEY_SET_VALUE);
  if (!key) return;
  RegDeleteValueW(key.get(), widen(name).c_str());
}

bool win_key_exists(RegRoot root, const std::string& path) {
  return static_cast<bool>(open_key(root, path, KEY_QUERY_VALUE));
}

}  // namespace proxanto::win
