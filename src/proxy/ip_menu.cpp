#include "app/form1.h"
#include "database/countries.h"

namespace proxanto {

namespace {
std::string proxy_caption(const std::string& address, const std::string& country) {
  // A proxy whose country is unknown shows its address alone.
  return country.empty() ? address : address + " (" + country + ")";
}

// The country id as the tag carries it: the number alone, so that the last
// "/" of the tag always separates it from the address.
std::string tag_country(const std::string& field) {
  const auto id = country_id(field);
  return id ? std::to_string(*id) : std::string();
}
}  // namespace

void Form1::clear_ip_menu() {
  std::vector<MenuItem>& items = menu("ipadd").children;
  items.resize(1);
  items[0].caption = message(8);
  items[0].tag.clear();
  items[0].enabled = false;
}

void Form1::ipnabidka() {
  std::vector<MenuItem>& items = menu("ipadd").children;
  items.resize(1);

  const auto& names = LNG_INT == 0 ? ARR_CS : ARR_EN;
  items.reserve(static_cast<std::size_t>(ip_count > 0 ? ip_count : 1));
  for (int i = 0; i < ip_count; ++i) {
    const ProxyRecord& record = ip_list[static_cast<std::size_t>(i)];
    if (i > 0) {
      MenuItem created;
      created.name = "nabIP";
      created.index = i;
      items.push_back(std::move(created));
    }
    MenuItem& entry = items[static_cast<std::size_t>(i)];
    entry.caption = proxy_caption(record.address(), country_name(names, record.country()));
    entry.tag = std::to_string(i) + "/" + record.address() + "/" + tag_country(record.country());
    entry.enabled = true;
    entry.visible = true;
  }
  if (ip_count <= 0) {
    // An empty list leaves one disabled placeholder and applies nothing.
    clear_ip_menu();
    return;
  }
  proxy();
}

}  // namespace proxanto
