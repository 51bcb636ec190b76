// The program's settings live in the user's own key: a standard user may not
// write the machine's, and a 64-bit program gets no virtual store to catch
// such writes. The machine's key still supplies what an administrator preset
// for every user.

#include <string>

#include "app/form1.h"
#include "app/text.h"
#include "proxy/registry.h"

namespace proxanto {

namespace {

// Where Windows put the writes of a 32-bit version to the machine's key: on
// 64-bit Windows under WOW6432Node, on 32-bit Windows without it.
constexpr const char* kVirtualStores[] = {
    "Software\\Classes\\VirtualStore\\MACHINE\\SOFTWARE\\WOW6432Node\\Marvedo\\Quillet",
    "Software\\Classes\\VirtualStore\\MACHINE\\SOFTWARE\\Marvedo\\Quillet",
};
// The values an earlier version wrote; the favourites follow.
constexpr const char* kOldSettings[] = {"lang", "filter_id", "filter_index", "only_working"};

}  // namespace

std::string read_setting(RegistryPort& registry, const std::string& key, const std::string& name) {
  const RegRoot root =
      registry.read(RegRoot::CurrentUser, key, name) ? RegRoot::CurrentUser : RegRoot::LocalMachine;
  return GetRegString(registry, root, key, name);
}

std::string Form1::setting(const std::string& name, const std::string& subkey) {
  return read_setting(os_.registry, Hkey + subkey, name);
}

bool Form1::save_setting(const std::string& name, const std::string& value,
                         const std::string& subkey) {
  if (SetRegString(os_.registry, RegRoot::CurrentUser, Hkey + subkey, name, value)) return true;
  os_.message_box.show(message(41), kAppTitle, kMbOk | kMbIconExclamation);
  return false;
}

void Form1::adopt_virtual_store() {
  // Once: a user's key that holds any setting has had them adopted already,
  // or holds the user's newer choices. What the old version stored wins over
  // the machine's key, as it did for the old version, whose reads saw the
  // virtual store first.
  for (const std::string name : kOldSettings) {
    if (os_.registry.read(RegRoot::CurrentUser, Hkey, name)) return;
  }
  if (os_.registry.read(RegRoot::CurrentUser, Hkey + "\\Favorites", "count")) return;
  const auto adopt = [&](const std::string& store, const std::string& subkey,
                         const std::string& name) {
    if (os_.registry.read(RegRoot::CurrentUser, Hkey + subkey, name)) return;
    const std::optional<RegValue> old = os_.registry.read(RegRoot::CurrentUser, store + subkey, name);
    if (old && old->type == kRegSz) os_.registry.write(RegRoot::CurrentUser, Hkey + subkey, name, *old);
  };
  for (const std::string store : kVirtualStores) {
    for (const std::string name : kOldSettings) adopt(store, "", name);
    const std::string favorites = "\\Favorites";
    const std::int64_t count =
        leading_int(GetRegString(os_.registry, RegRoot::CurrentUser, store + favorites, "count"));
    adopt(store, favorites, "count");
    for (std::int64_t i = 0; i < count && i < kMaxFavorites; ++i) {
      adopt(store, favorites, std::to_string(i));
    }
  }
}

}  // namespace proxanto
