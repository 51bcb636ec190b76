#include "app/form1.h"

#include <cstdlib>
#include <stdexcept>

#include "app/text.h"
#include "database/countries.h"
#include "proxy/recovery.h"
#include "proxy/registry.h"

namespace proxanto {

std::string AddBackslash(const std::string& path) {
  if (!path.empty() && path.back() == '\\') return path;
  return path + '\\';
}

Form1::Form1(Platform& platform) : os_(platform) {}

std::string Form1::program_file(const char* name) const {
  return AddBackslash(os_.process.program_folder()) + name;
}

void Form1::Form_Load() {
  // A run that ended without the exit sequence may have left its proxy set.
  recover_after_unclean_end(os_.registry, os_.internet);
  Hkey = "Software\\Marvedo\\Quillet";
  adopt_virtual_store();
  menu("working").checked = setting("only_working") == "1";
  rotate_minutes_ = rotation_minutes(setting("rotate_minutes"));
  // The update may come from another server, set in the program's key.
  if (std::string url = setting("update_url"); !url.empty()) {
    update_url = std::move(url);
  }
  ini_path = program_file("ip.ini");
  ARR_EN = english_country_names();
  ARR_CS = czech_country_names();
  ip_count = 0;
  // The last check's results, for the first load's menu and draw.
  load_check_results();

  // The saved filter is taken only as a pair: an id and a row other than the
  // first ("no filter").
  const std::string id = setting("filter_id");
  const std::string index = setting("filter_index");
  std::int64_t row = 0;
  if (!id.empty() && parse_whole_number(index, row) && row != 0) {
    filtr_index = index;
    filtr_id = id;
  } else {
    filtr_index = "0";
    filtr_id = "-1";
  }

  // The hot keys are polled from the start; ticks come once start-up waits.
  os_.timers.set_enabled(TimerId::Timer1, true);
  // The saved language comes first, so that the first prompt, popup and
  // menu speak it.
  lng();
  nacti_ip(0);
  tray();
  oblibene_ip();
}

void Form1::Form_Unload() { konec(); }

void Form1::konec() {
  // Running clients are told too, so none keeps the proxy after the program.
  go_direct();
  if (tray_added_) os_.tray.notify(kNimDelete, nid);
  os_.process.exit_now();
  std::abort();  // exit_now never returns; the compiler cannot see that through the port
}

std::string Form1::message(int n) { return os_.strings.load(100 + n + LNG_INT); }

bool Form1::anonymity_stopped() const {
  const MenuItem* st = item.child("st");
  return st != nullptr && leading_int(st->tag) != 0;
}

MenuItem& Form1::menu(const std::string& name) {
  MenuItem* found = item.child(name);
  if (found == nullptr) throw std::logic_error("no menu item " + name);
  return *found;
}

std::optional<int> Form1::active_filter() const {
  // A saved id that is not a country (garbage in the registry) means no
  // filter rather than a list that matches nothing.
  std::int64_t id = 0;
  if (!parse_whole_number(filtr_id, id) || id < 0 || id >= kCountryCount) return std::nullopt;
  return static_cast<int>(id);
}

void Form1::menu_click(const std::string& name, int index) {
  using Handler = void (Form1::*)();
  using ArrayHandler = void (Form1::*)(int);
  static constexpr struct {
    const char* name;
    Handler handler;
  } kItems[] = {
      {"chPROX", &Form1::chPROX_Click}, {"cop", &Form1::cop_Click},
      {"block", &Form1::block_Click},   {"st", &Form1::st_Click},
      {"obnovit", &Form1::obnovit_Click}, {"ab", &Form1::ab_Click},
      {"en", &Form1::en_Click},         {"hotkeys", &Form1::hotkeys_Click},
      {"favadd", &Form1::favadd_Click}, {"filter", &Form1::filter_Click},
      {"upd", &Form1::upd_Click},       {"check", &Form1::check_Click},
      {"working", &Form1::working_Click}, {"clipadd", &Form1::clipadd_Click},
  };
  // Control arrays: the handler takes the index of the clicked item.
  static constexpr struct {
    const char* name;
    ArrayHandler handler;
  } kArrays[] = {
      {"nabIP", &Form1::nabIP_Click},
      {"lngLIST", &Form1::lngLIST_Click},
      {"favIPsmenu", &Form1::favIPsmenu_Click},
      {"rotateLIST", &Form1::rotateLIST_Click},
  };
  if (!loads_allowed() &&
      (name == "block" || name == "filter" || name == "upd" || name == "clipadd")) {
    return;
  }
  for (const auto& item : kItems) {
    if (name == item.name) return (this->*item.handler)();
  }
  for (const auto& array : kArrays) {
    if (name == array.name) return (this->*array.handler)(index);
  }
}

}  // namespace proxanto
