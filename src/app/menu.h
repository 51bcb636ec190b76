#pragma once
// The tray menu as plain data. Form1 owns the tree and changes it; the window
// layer renders it as a pop-up menu each time it opens, and tests assert on it.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace proxanto {

struct MenuItem {
  std::string name;  // control name; the items of a control array share it
  int index = 0;     // position inside its control array
  std::string caption;
  std::string tag;
  bool enabled = true;
  bool checked = false;
  bool visible = true;
  std::vector<MenuItem> children;

  bool is_separator() const { return caption == "-"; }
  bool is_submenu() const { return !children.empty(); }

  // The direct child with this name and index, or nullptr.
  MenuItem* child(std::string_view child_name, int child_index = 0);
  const MenuItem* child(std::string_view child_name, int child_index = 0) const;
};

// The tray menu as designed: the root `item` with its twenty children.
MenuItem design_tray_menu();

// A control array emptied down to its item 0, which shows `placeholder`,
// disabled and without a tag.
void reset_menu_array(std::vector<MenuItem>& items, const std::string& placeholder);

// Item `index` of a control array filled in order: item 0 exists already,
// each later one is created at the end.
MenuItem& menu_array_item(std::vector<MenuItem>& items, const std::string& name, int index);

// Long lists are shown in submenus of consecutive items: how many items one
// submenu at the top level stands for, so that no level holds more than
// `limit` entries. 1 when the list fits as it is.
std::size_t menu_group_size(std::size_t count, std::size_t limit);

}  // namespace proxanto
