#include "app/form1.h"
#include "app/text.h"
#include "database/countries.h"
#include "proxy/recovery.h"
#include "proxy/registry.h"

namespace proxanto {

void Form1::apply_proxy(const std::string& address) {
  apply_after_check_ = false;  // the user's own choice ends a wait for a check
  // A bypass list of the user's own stays as it is; with none, the user's
  // own network goes direct.
  local_bypass_ = bypass_free(os_.registry);
  record_applied(os_.registry, {address, user_connection(), local_bypass_ ? kLocalBypass : ""},
                 "\"" + os_.process.program_path() + "\" /recover");
  if (local_bypass_) {
    SetRegString(os_.registry, RegRoot::CurrentUser, kInternetSettings, "ProxyOverride",
                 kLocalBypass);
  }
  SetRegString(os_.registry, RegRoot::CurrentUser, kInternetSettings, "ProxyServer", address);
  SetRegDword(os_.registry, RegRoot::CurrentUser, kInternetSettings, "ProxyEnable", 1);
  SetProxy(true, address);
  zpravicky();
  schedule_rotation();
  if (menu("working").checked) {
    if (probe_) os_.checker.cancel(probe_->id);
    probe_ = CheckRun{++check_runs_, {address}, 0, 0};
    os_.checker.start(probe_->id, probe_->addresses, probe_settings());
  }
}

std::vector<int> Form1::offered_proxies() const {
  std::vector<int> offered;
  if (probe_results.empty()) return offered;
  for (int i = 0; i < ip_count; ++i) {
    const auto found = probe_results.find(ip_list[static_cast<std::size_t>(i)].address());
    if (found != probe_results.end() && found->second.offered()) offered.push_back(i);
  }
  return offered;
}

void Form1::proxy() {
  // A hot key can arrive while the loader's prompt waits with an empty list.
  if (ip_count <= 0 || ip_list.empty()) return;
  os_.popup.place();
  // With "Only working proxies", the draw is among those that passed the
  // last check and do not reveal the user's address; with none such, or no
  // check yet, among all.
  const std::vector<int> working =
      menu("working").checked ? offered_proxies() : std::vector<int>();
  const int choices = working.empty() ? ip_count : static_cast<int>(working.size());
  const double r = os_.random.draw();
  int pick = static_cast<int>(choices * r);
  if (pick < 0) pick = 0;
  if (pick >= choices) pick = choices - 1;
  const int index = working.empty() ? pick : working[static_cast<std::size_t>(pick)];
  rnd_index = static_cast<std::int16_t>(index);

  const ProxyRecord& record = ip_list[static_cast<std::size_t>(index)];
  current_ip = record.address();
  current_index = index;
  country_cs = country_name(ARR_CS, record.country());
  country_en = country_name(ARR_EN, record.country());
  country_id_ = record.country();
  listed_ = true;
  current_key = std::to_string(current_index);
  apply_proxy(current_ip);
}

void Form1::nabIP_Click(int Index) {
  const MenuItem* chosen = menu("ipadd").child("nabIP", Index);
  if (chosen == nullptr) return;
  // The tag is position/address/country id. Read the position up to the first
  // slash and the id after the last one, so an address with a slash survives.
  const std::string& tag = chosen->tag;
  const std::size_t first = tag.find('/');
  const std::size_t last = tag.rfind('/');
  if (first == std::string::npos || last == first) return;
  const std::string t0 = tag.substr(0, first);
  const std::string t1 = tag.substr(first + 1, last - first - 1);
  const std::string t2 = tag.substr(last + 1);

  os_.popup.place();
  country_cs = country_name(ARR_CS, t2);
  country_en = country_name(ARR_EN, t2);
  country_id_ = t2;
  listed_ = true;
  current_ip = t1;
  current_key = t0;
  current_index = static_cast<std::int32_t>(leading_int(t0));
  apply_proxy(t1);
}

void Form1::st_Click() {
  if (anonymity_stopped()) {
    resume();
  } else {
    stop_proxy();
  }
}

void Form1::resume() {
  // Nothing to continue with before any proxy was applied.
  if (current_ip.empty()) return;
  os_.popup.place();
  // The registry too: WinINet alone would leave the Internet settings saying
  // "direct" while the menu says a proxy is in use.
  apply_proxy(current_ip);
}

void Form1::chPROX_Click() { proxy(); }

}  // namespace proxanto
