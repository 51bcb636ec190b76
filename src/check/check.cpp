// Checking the proxies from the tray menu, and the option to use only those
// that work.

#include <algorithm>
#include <string>

#include "app/form1.h"
#include "database/countries.h"
#include "proxy/registry.h"

namespace proxanto {

namespace {
std::string replace_all(std::string text, const std::string& what, const std::string& with) {
  for (std::size_t at = text.find(what); at != std::string::npos;
       at = text.find(what, at + with.size())) {
    text.replace(at, what.size(), with);
  }
  return text;
}
}  // namespace

void Form1::check_Click() {
  if (check_ || ip_count <= 0) return;
  check_ = CheckRun{++check_runs_, {}, 0, 0};
  check_->addresses.reserve(ip_list.size());
  for (const ProxyRecord& record : ip_list) check_->addresses.emplace_back(record.address());
  menu("check").enabled = false;
  announce(message(33), check_progress());
  set_tooltip(std::string(kProductName) + "\r\n" + check_progress() + '\0');
  os_.checker.start(check_->id, check_->addresses);
}

void Form1::working_Click() {
  MenuItem& working = menu("working");
  working.checked = !working.checked;
  save_setting("only_working", working.checked ? "1" : "0");
}

void Form1::cancel_check() {
  for (std::optional<CheckRun>* run : {&check_, &probe_}) {
    if (*run) os_.checker.cancel((*run)->id);
    run->reset();
  }
  menu("check").enabled = true;
}

void Form1::probe_done(int run, int index, const ProbeResult& result) {
  const bool whole_list = check_ && check_->id == run;
  CheckRun* owner = whole_list ? &*check_ : probe_ && probe_->id == run ? &*probe_ : nullptr;
  if (owner == nullptr || index < 0 || index >= static_cast<int>(owner->addresses.size())) return;
  const std::string address = owner->addresses[static_cast<std::size_t>(index)];
  probe_results[address] = result;

  if (!whole_list) {
    // The proxy just applied: its items show the result, and the user hears
    // when it does not work, so that CTRL+Q can change it.
    probe_.reset();
    for (int i = 0; i < ip_count; ++i) {
      if (ip_list[static_cast<std::size_t>(i)].address() == address) show_probe(i);
    }
    if (result.outcome != ProbeResult::Outcome::Working && address == current_ip &&
        !anonymity_stopped()) {
      announce(address, message(37) + " " + probe_text(result));
    }
    return;
  }
  ++check_->done;
  if (result.outcome == ProbeResult::Outcome::Working) ++check_->working;
  // The list has not changed since the check began: a load ends the check.
  show_probe(index);
  const std::string progress = check_progress();
  set_tooltip(std::string(kProductName) + "\r\n" + progress + '\0');
  if (check_->done < static_cast<int>(check_->addresses.size())) {
    if (t_enabled) zprava(message(33), progress);  // while the popup shows, it follows
    return;
  }
  check_.reset();
  menu("check").enabled = true;
  announce(message(36), progress);
}

std::string Form1::probe_text(const ProbeResult& result) {
  switch (result.outcome) {
    case ProbeResult::Outcome::Working:
      return std::to_string(result.ms) + " ms";
    case ProbeResult::Outcome::Refused:
      return message(38);
    case ProbeResult::Outcome::TimedOut:
      return message(39);
    case ProbeResult::Outcome::WrongAnswer:
      break;
  }
  return message(40);
}

std::string Form1::check_progress() {
  if (!check_) return {};
  std::string text = replace_all(message(35), "%1", std::to_string(check_->done));
  text = replace_all(text, "%2", std::to_string(check_->addresses.size()));
  return replace_all(text, "%3", std::to_string(check_->working));
}

void Form1::show_probe(int position) {
  // The IP menu's items stand in list order, item i for proxy i: addressed
  // directly, a check of a long list never searches the menu per result.
  std::vector<MenuItem>& items = menu("ipadd").children;
  if (position < 0 || position >= ip_count || static_cast<std::size_t>(position) >= items.size()) {
    return;
  }
  show_probe(items[static_cast<std::size_t>(position)], ip_list[static_cast<std::size_t>(position)]);
}

// The item's caption: the proxy with its country, and the result of its last
// probe if it has one.
void Form1::show_probe(MenuItem& item, const ProxyRecord& record) {
  const auto& names = ip_menu_lng_ == 0 ? ARR_CS : ARR_EN;
  with_country(item.caption, record.address(), country_name(names, record.country()));
  const auto found = probe_results.find(record.address());
  if (found == probe_results.end()) return;
  const bool working = found->second.outcome == ProbeResult::Outcome::Working;
  // A proxy that failed stays in the list, shown but not offered.
  item.caption += (working ? " " : " \u2013 ") + probe_text(found->second);
  item.enabled = working;
}

}  // namespace proxanto
