#include "app/form1.h"
#include "database/countries.h"

namespace proxanto {

void Form1::announce(const std::string& txt, const std::string& txt2) {
  os_.popup.place();
  os_.popup.fade_in();
  os_.popup.repaint();
  zprava(txt, txt2);
}

void Form1::zprava(const std::string& txt, const std::string& txt2) {
  counter = 0;
  // A running timer keeps its interval, so the closing tick may come up to a
  // second early; restarting it would need a new timer.
  if (!t_enabled) {
    t_enabled = true;
    os_.timers.set_enabled(TimerId::t, true);
  }
  os_.popup.set_lines(txt, txt2);
}

void Form1::t_Timer() {
  os_.popup.repaint();
  ++counter;
  if (counter >= 3) {
    os_.popup.fade_out_and_close();
    t_enabled = false;
    os_.timers.set_enabled(TimerId::t, false);
  }
}

void Form1::set_proxy_items(bool in_use) {
  menu("cop").enabled = in_use;
  menu("block").enabled = in_use && loads_allowed() && listed_;
}

void Form1::zpravicky() {
  set_proxy_items(true);
  menu("st").caption = message(6);
  menu("st").tag = "0";
  current_country = LNG_INT == 0 ? country_cs : country_en;
  menu("ACTIVE_IP").caption = "IP: " + with_country(current_ip, current_country);
  os_.popup.fade_in();
  os_.popup.repaint();
  zprava(current_ip, current_country);
  set_tooltip(proxy_tooltip());
}

std::string Form1::proxy_tooltip() const {
  return std::string(kProductName) + "\r\n" + current_ip + "\r\n" + current_country + '\0';
}

}  // namespace proxanto
