#include <string>

#include "app/form1.h"
#include "app/text.h"
#include "database/countries.h"
#include "proxy/registry.h"

namespace proxanto {

namespace {
constexpr int kMaxFavorites = 32767;  // menu positions are 16-bit

std::string favorites_key(const std::string& own_key) { return own_key + "\\Favorites"; }

// The stored count; text that is no number counts as no favourites.
int stored_count(const std::string& text) {
  std::int64_t count = 0;
  if (!parse_whole_number(text, count) || count < 0) return 0;
  return count > kMaxFavorites ? kMaxFavorites : static_cast<int>(count);
}
}  // namespace

void Form1::oblibene_ip() {
  std::vector<MenuItem>& items = menu("favIPs").children;
  reset_menu_array(items, message(8));
  const std::string key = favorites_key(Hkey);
  const int count =
      stored_count(GetRegString(os_.registry, RegRoot::LocalMachine, key, "count"));
  const auto& names = LNG_INT == 0 ? ARR_CS : ARR_EN;
  for (int i = 0; i < count; ++i) {
    std::string text = GetRegString(os_.registry, RegRoot::LocalMachine, key, std::to_string(i));
    if (text.empty()) text = "-//";
    const std::vector<std::string> parts = split(text, '/');
    const std::string& address = parts[0];
    const std::string country = parts.size() > 1 ? parts[1] : std::string();
    MenuItem& entry = menu_array_item(items, "favIPsmenu", i);
    entry.caption = with_country(address, country_name(names, country));
    entry.tag = address + "/" + country;
    entry.visible = true;
    entry.enabled = true;
  }
}

void Form1::favadd_Click() {
  // Nothing to store while no proxy from the list is known.
  if (current_index < 0 || current_index >= ip_count) return;
  const std::string key = favorites_key(Hkey);
  const std::string saved = GetRegString(os_.registry, RegRoot::LocalMachine, key, "count");
  const int old_count = stored_count(saved);
  if (old_count >= kMaxFavorites) return;
  const ProxyRecord& record = ip_list[static_cast<std::size_t>(current_index)];
  const std::string favourite = record.address() + "/" + record.country();
  SetRegString(os_.registry, RegRoot::LocalMachine, key, "count", std::to_string(old_count + 1));
  SetRegString(os_.registry, RegRoot::LocalMachine, key, std::to_string(old_count), favourite);
  oblibene_ip();
}

void Form1::favIPsmenu_Click(int index) {
  const MenuItem* chosen = menu("favIPs").child("favIPsmenu", index);
  if (chosen == nullptr || chosen->tag.empty()) return;
  // The country id follows the last "/".
  const std::size_t slash = chosen->tag.rfind('/');
  const std::string address = chosen->tag.substr(0, slash);
  const std::string country = slash == std::string::npos ? "" : chosen->tag.substr(slash + 1);
  // The placeholder of a missing entry has no proxy to apply.
  if (address.empty() || address == "-") return;
  os_.popup.place();
  country_cs = country_name(ARR_CS, country);
  country_en = country_name(ARR_EN, country);
  current_ip = address;
  apply_proxy(address);
}

}  // namespace proxanto
