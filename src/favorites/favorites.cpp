#include <string>

#include "app/form1.h"
#include "app/text.h"
#include "database/countries.h"

namespace proxanto {

namespace {
const std::string kFavorites = "\\Favorites";

// The stored count, read by its leading number ("5x" is 5) so that favourites
// are never hidden by a damaged count.
int stored_count(const std::string& text) {
  const std::int64_t count = leading_int(text);
  return count < 0 ? 0 : count > kMaxFavorites ? kMaxFavorites : static_cast<int>(count);
}

// A favourite is "address/country id"; the address may hold a "/" itself.
std::pair<std::string, std::string> split_favourite(const std::string& text) {
  const std::size_t slash = text.rfind('/');
  if (slash == std::string::npos) return {text, {}};
  return {text.substr(0, slash), text.substr(slash + 1)};
}
}  // namespace

void Form1::oblibene_ip() {
  std::vector<MenuItem>& items = menu("favIPs").children;
  reset_menu_array(items, message(8));
  const int count = stored_count(setting("count", kFavorites));
  const auto& names = LNG_INT == 0 ? ARR_CS : ARR_EN;
  for (int i = 0; i < count; ++i) {
    const std::string text = setting(std::to_string(i), kFavorites);
    // A missing entry shows as "-" and applies nothing.
    const auto [address, country] = text.empty() ? std::pair<std::string, std::string>("-", "")
                                                 : split_favourite(text);
    MenuItem& entry = menu_array_item(items, "favIPsmenu", i);
    entry.caption = with_country(address, country_name(names, country));
    entry.tag = address + "/" + country;
    entry.visible = true;
    entry.enabled = true;
  }
}

void Form1::favadd_Click() {
  // The proxy in use, also one applied from the favourites; nothing before
  // any proxy was applied.
  if (current_ip.empty()) return;
  // The new entry goes to the first free number from the count on: a count
  // that was damaged or lowered by hand must never make an add overwrite a
  // favourite that is stored.
  int entry = stored_count(setting("count", kFavorites));
  while (entry < kMaxFavorites && !setting(std::to_string(entry), kFavorites).empty()) {
    ++entry;
  }
  if (entry >= kMaxFavorites) return;
  const std::string favourite = current_ip + "/" + country_tag(country_id_);
  if (save_setting("count", std::to_string(entry + 1), kFavorites)) {
    save_setting(std::to_string(entry), favourite, kFavorites);
  }
  oblibene_ip();
}

void Form1::favIPsmenu_Click(int index) {
  const MenuItem* chosen = menu("favIPs").child("favIPsmenu", index);
  if (chosen == nullptr || chosen->tag.empty()) return;
  const auto [address, country] = split_favourite(chosen->tag);
  // The placeholder of a missing entry has no proxy to apply.
  if (address.empty() || address == "-") return;
  os_.popup.place();
  country_cs = country_name(ARR_CS, country);
  country_en = country_name(ARR_EN, country);
  country_id_ = country;
  current_ip = address;
  // Block can mark it only where ip.ini holds it, in any country.
  listed_ = !database_entries(address).empty();
  apply_proxy(address);
}

}  // namespace proxanto
