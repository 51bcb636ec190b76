#include "app/form1.h"
#include "proxy/recovery.h"
#include "proxy/registry.h"

namespace proxanto {

bool Form1::SetProxy(bool Enable, const std::string& Server) {
  connection_ = Enable ? proxy_change(Server, local_bypass_)
                       : direct_change(user_connection(), local_bypass_);
  return send_connection(os_.internet, connection_, proxy_options, proxy_option_list);
}

const std::optional<ConnectionSettings>& Form1::user_connection() {
  // Once a proxy is applied, WinINet holds the program's flags, not the user's.
  if (!user_connection_read_) {
    user_connection_ = os_.internet.query_connection();
    user_connection_read_ = true;
  }
  return user_connection_;
}

void Form1::go_direct() {
  local_bypass_ = switch_to_direct(os_.registry);
  SetProxy(false, "");
}

void Form1::stop_proxy() {
  apply_after_check_ = false;  // the user's stop holds, also when a check ends later
  os_.popup.place();
  go_direct();
  announce_stopped();
  schedule_rotation();
}

void Form1::announce_stopped() {
  set_proxy_items(false);
  menu("st").caption = message(7);
  menu("st").tag = "1";
  menu("ACTIVE_IP").caption = message(8);
  os_.popup.fade_in();
  os_.popup.repaint();
  zprava(message(9), message(10));
  set_tooltip(std::string(kProductName) + '\0');
}

void Form1::obnovit_Click() {
  apply_after_check_ = false;
  local_bypass_ = switch_to_direct(os_.registry);
  os_.popup.place();
  SetProxy(false, "");
  set_proxy_items(false);
  menu("st").caption = message(7);
  menu("st").tag = "1";
  os_.popup.fade_in();
  os_.popup.repaint();
  zprava(message(22), message(23));
  schedule_rotation();
}

}  // namespace proxanto
