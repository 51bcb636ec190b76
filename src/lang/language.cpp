#include "app/form1.h"
#include "app/text.h"
#include "proxy/registry.h"

namespace proxanto {

std::string message_in_saved_language(RegistryPort& registry, StringTablePort& strings, int n) {
  // Only a saved 1 is English, as for the main form.
  const bool english = leading_int(read_setting(registry, kRecordKey, "lang")) == 1;
  return strings.load(100 + n + (english ? 100 : 0));
}

void Form1::lng() {
  const std::string saved = setting("lang");
  int index = LNG_INT == 0 ? 0 : 1;
  if (!saved.empty()) {
    // Anything but 1 (including text that is no number) means Czech.
    index = leading_int(saved) == 1 ? 1 : 0;
  }
  LNG_INT = static_cast<std::int16_t>(index);
  MenuItem& lang = menu("lang");
  for (MenuItem& language : lang.children) language.checked = language.index == index;
  if (LNG_INT == 1) LNG_INT = 100;
  load_lang(false);
}

void Form1::load_lang(bool refresh_tray) {
  static constexpr struct {
    const char* name;
    int message;
  } kCaptions[] = {
      {"ACTIVE_IP", 8}, {"chPROX", 14},  {"cop", 13},     {"st", 6},      {"en", 12},
      {"hotkeys", 15},  {"lang", 16},    {"favadd", 18},  {"favIPs", 19}, {"ipadd", 20},
      {"obnovit", 21},  {"ab", 24},      {"filter", 4},   {"upd", 29},    {"block", 30},
      {"check", 33},    {"working", 34}, {"rotate", 43},  {"clipadd", 62},
  };
  for (const auto& caption : kCaptions) menu(caption.name).caption = message(caption.message);
  // The stop item offers what it will do: continue while anonymity is stopped.
  if (anonymity_stopped()) menu("st").caption = message(7);
  show_rotation();

  if (refresh_tray) {
    current_country = LNG_INT == 0 ? country_cs : country_en;
    set_tooltip(proxy_tooltip());
  }
}

}  // namespace proxanto

namespace proxanto {

void Form1::lngLIST_Click(int index) {
  if (index != 0 && index != 1) return;
  for (MenuItem& language : menu("lang").children) language.checked = language.index == index;
  LNG_INT = static_cast<std::int16_t>(index * 100);
  // Before any proxy was applied (an empty database, its download under
  // way) there is none to show either: the stopped state is in force.
  const bool in_use = !anonymity_stopped() && !current_ip.empty();
  load_lang(in_use);
  save_setting("lang", std::to_string(index));
  os_.popup.place();
  // The announcement tells the state in force, in the new language; the
  // system proxy is not touched.
  if (in_use) {
    zpravicky();
  } else {
    announce_stopped();
  }
}

}  // namespace proxanto
