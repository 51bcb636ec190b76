#include "app/form1.h"
#include "app/text.h"
#include "proxy/recovery.h"
#include "proxy/registry.h"

namespace proxanto {

namespace {
constexpr std::uint32_t kFlagsEnable = 0xFFFFFFFFu;
constexpr std::uint32_t kFlagsDisable = 5;  // PROXY_TYPE_DIRECT | PROXY_TYPE_AUTO_PROXY_URL
constexpr std::uint32_t kOptionListSize = 20;
}  // namespace

bool Form1::SetProxy(bool Enable, const std::string& Server) {
  proxy_server_ = utf8_to_utf16(Server);
  proxy_options[0] = PerConnOption{kPerConnFlags, Enable ? kFlagsEnable : kFlagsDisable, nullptr};
  proxy_options[1] =
      PerConnOption{kPerConnProxyServer, 0, Server.empty() ? nullptr : proxy_server_.c_str()};
  proxy_options[2] = PerConnOption{kPerConnProxyBypass, 0, nullptr};
  // Two options only: the user's own bypass list stays as it is.
  proxy_option_list = PerConnOptionList{kOptionListSize, nullptr, 2, 0, proxy_options};

  os_.internet.set_option(kOptionPerConnection, &proxy_option_list);
  os_.internet.set_option(kOptionSettingsChanged, nullptr);
  return os_.internet.set_option(kOptionRefresh, nullptr);
}

void Form1::stop_proxy() {
  os_.popup.place();
  switch_to_direct(os_.registry);
  SetProxy(false, "");
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
  switch_to_direct(os_.registry);
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
