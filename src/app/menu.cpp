#include "app/menu.h"

namespace proxanto {

MenuItem* MenuItem::child(std::string_view child_name, int child_index) {
  for (MenuItem& c : children) {
    if (c.name == child_name && c.index == child_index) return &c;
  }
  return nullptr;
}

const MenuItem* MenuItem::child(std::string_view child_name, int child_index) const {
  return const_cast<MenuItem*>(this)->child(child_name, child_index);
}

void reset_menu_array(std::vector<MenuItem>& items, const std::string& placeholder) {
  items.resize(1);
  items[0].caption = placeholder;
  items[0].tag.clear();
  items[0].enabled = false;
}

MenuItem& menu_array_item(std::vector<MenuItem>& items, const std::string& name, int index) {
  if (index > 0) {
    MenuItem created;
    created.name = name;
    created.index = index;
    items.push_back(std::move(created));
  }
  return items.back();
}

std::size_t menu_group_size(std::size_t count, std::size_t limit) {
  std::size_t group = 1;
  while ((count + group - 1) / group > limit) group *= limit;
  return group;
}

namespace {

MenuItem entry(std::string name, std::string caption, bool enabled = true) {
  MenuItem m;
  m.name = std::move(name);
  m.caption = std::move(caption);
  m.enabled = enabled;
  return m;
}

MenuItem submenu(std::string name, std::string caption, MenuItem first_child) {
  MenuItem m = entry(std::move(name), std::move(caption));
  m.children.push_back(std::move(first_child));
  return m;
}

}  // namespace

MenuItem design_tray_menu() {
  MenuItem root = entry("item", "item");
  auto& c = root.children;
  c.push_back(entry("ACTIVE_IP", "ACTIVE_IP", false));
  c.push_back(entry("mnubar3", "-"));
  c.push_back(entry("chPROX", "chPROX"));
  // "Change every": never, 5, 10, 30, 60 minutes, and a value set by hand,
  // shown only when it is none of these.
  MenuItem rotate = submenu("rotate", "rotate", entry("rotateLIST", "rotateLIST"));
  for (int i = 1; i <= 5; ++i) {
    rotate.children.push_back(entry("rotateLIST", "rotateLIST"));
    rotate.children.back().index = i;
  }
  rotate.children.front().checked = true;
  rotate.children.back().visible = false;
  c.push_back(std::move(rotate));
  c.push_back(submenu("ipadd", "ipadd", entry("nabIP", "nabIP")));
  c.push_back(submenu("favIPs", "favIPs", entry("favIPsmenu", "favIPsmenu")));
  c.push_back(entry("mnubar1", "-"));
  c.push_back(entry("favadd", "favadd"));
  c.push_back(entry("cop", "cop", false));
  c.push_back(entry("block", "block", false));
  c.push_back(entry("mnubar2", "-"));
  c.push_back(entry("filter", "filter"));
  c.push_back(entry("check", "check"));
  c.push_back(entry("working", "working"));
  MenuItem lang = submenu("lang", "lang", entry("lngLIST", "Čeština"));
  MenuItem english = entry("lngLIST", "English");
  english.index = 1;
  lang.children.push_back(english);
  c.push_back(std::move(lang));
  c.push_back(entry("hotkeys", "hotkeys"));
  c.push_back(entry("mnubar5", "-"));
  MenuItem st = entry("st", "st");
  st.tag = "0";
  c.push_back(std::move(st));
  c.push_back(entry("obnovit", "obnovit"));
  c.push_back(entry("ab", "ab"));
  c.push_back(entry("upd", "upd"));
  c.push_back(entry("clipadd", "clipadd"));
  c.push_back(entry("mnubar4", "-"));
  c.push_back(entry("en", "en"));
  return root;
}

}  // namespace proxanto
