#include "app/form1.h"
#include "database/countries.h"

namespace proxanto {

void Form1::clear_ip_menu() { reset_menu_array(menu("ipadd").children, message(8)); }

void Form1::ipnabidka() {
  if (ip_count <= 0) {
    // An empty list leaves one disabled placeholder and applies nothing.
    clear_ip_menu();
    return;
  }
  std::vector<MenuItem>& items = menu("ipadd").children;
  items.resize(1);
  items.reserve(static_cast<std::size_t>(ip_count));
  const auto& names = LNG_INT == 0 ? ARR_CS : ARR_EN;
  ip_menu_lng_ = LNG_INT;
  for (int i = 0; i < ip_count; ++i) {
    const ProxyRecord& record = ip_list[static_cast<std::size_t>(i)];
    MenuItem& entry = menu_array_item(items, "nabIP", i);
    entry.caption = with_country(record.address(), country_name(names, record.country()));
    entry.tag = std::to_string(i);
    entry.tag.append("/").append(record.address()).append("/").append(country_tag(record.country()));
    entry.enabled = true;
    entry.visible = true;
  }
  if (!probe_results.empty()) {
    for (int i = 0; i < ip_count; ++i) show_probe(i);
  }
  proxy();
}

}  // namespace proxanto
