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
  // The items of the previous list are written over: their strings keep
  // their storage, so a reload of a large list allocates little.
  std::vector<MenuItem>& items = menu("ipadd").children;
  const auto count = static_cast<std::size_t>(ip_count);
  if (items.size() > count) items.resize(count);
  items.reserve(count);
  ip_menu_lng_ = LNG_INT;
  for (std::size_t i = 0; i < count; ++i) {
    const ProxyRecord& record = ip_list[i];
    MenuItem& entry = i < items.size() ? items[i] : items.emplace_back();
    entry.name = "nabIP";
    entry.index = static_cast<int>(i);
    const std::string_view address = record.address();
    const std::string position = std::to_string(i), tag = country_tag(record.country());
    entry.tag.clear();
    entry.tag.reserve(position.size() + address.size() + tag.size() + 2);
    entry.tag.append(position).append("/").append(address).append("/").append(tag);
    entry.enabled = true;
    entry.checked = false;
    entry.visible = true;
    entry.children.clear();
    show_probe(entry, record);
  }
  switch (after_load_) {
    case AfterLoad::ApplyRandom:
      proxy();
      break;
    case AfterLoad::ApplyAfterCheck:
      // Proxies that nobody has checked yet are mostly dead: applying one
      // would break the user's web. The check applies one that works.
      apply_after_check_ = true;
      break;
    case AfterLoad::Keep:
      break;
  }
}

}  // namespace proxanto
