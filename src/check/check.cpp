// Checking the proxies from the tray menu, and the option to use only those
// that work.

#include <algorithm>
#include <string>

#include "app/form1.h"
#include "app/text.h"
#include "check/probe.h"
#include "check/results_file.h"
#include "database/countries.h"
#include "database/profile_file.h"
#include "proxy/registry.h"

namespace proxanto {

namespace {
using Anonymity = ProbeResult::Anonymity;
}  // namespace

void Form1::check_Click() {
  if (check_ || ip_count <= 0) return;
  check_ = CheckRun{++check_runs_, {}, 0, 0};
  check_->addresses.reserve(ip_list.size());
  for (const ProxyRecord& record : ip_list) check_->addresses.emplace_back(record.address());
  menu("check").enabled = false;
  announce(message(33), check_progress());
  set_tooltip(std::string(kProductName) + "\r\n" + check_progress() + '\0');
  os_.checker.start(check_->id, check_->addresses, probe_settings());
}

ProbeSettings Form1::probe_settings() {
  ProbeSettings settings{setting("judge_url"), kProbesAtOnce};
  if (settings.judge_url.empty()) settings.judge_url = kDefaultJudgeUrl;
  // A number out of range is taken as the nearest allowed; anything else
  // as no setting.
  std::int64_t at_once = 0;
  if (parse_whole_number(setting("probes_at_once"), at_once)) {
    settings.at_once = static_cast<int>(std::clamp<std::int64_t>(at_once, kMinProbesAtOnce,
                                                                 kMaxProbesAtOnce));
  }
  return settings;
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
  const std::pair<int, ProbeResult> one{index, result};
  probes_done(run, {&one, 1});
}

void Form1::probes_done(int run, std::span<const std::pair<int, ProbeResult>> results) {
  bool counted = false;
  for (const auto& [index, result] : results) counted |= take_probe(run, index, result);
  // The progress is shown once a batch: each tooltip is a request to the
  // shell, and a batch of a long list holds hundreds of results.
  if (!counted || !check_) return;
  const std::string progress = check_progress();
  set_tooltip(std::string(kProductName) + "\r\n" + progress + '\0');
  if (check_->done < static_cast<int>(check_->addresses.size())) {
    if (t_enabled) zprava(message(33), progress);  // while the popup shows, it follows
    return;
  }
  const std::string summary = check_summary();
  check_.reset();
  menu("check").enabled = true;
  keep_check_results();
  // After an update of unchecked proxies: one that works, if any does, and
  // the counts shown over its announcement.
  if (std::exchange(apply_after_check_, false) && !offered_proxies().empty()) proxy();
  announce(message(36), summary);
}

bool Form1::take_probe(int run, int index, const ProbeResult& result) {
  const bool whole_list = check_ && check_->id == run;
  CheckRun* owner = whole_list ? &*check_ : probe_ && probe_->id == run ? &*probe_ : nullptr;
  if (owner == nullptr || index < 0 || index >= static_cast<int>(owner->addresses.size())) {
    return false;
  }
  const std::string address = owner->addresses[static_cast<std::size_t>(index)];
  probe_results[address] = result;

  if (!whole_list) {
    // The proxy just applied: its items show the result, and the user hears
    // when it does not work or reveals their address, so that CTRL+Q can
    // change it; a result that arrives after another proxy was applied, or
    // anonymity was stopped, is no news about the proxy in use.
    probe_.reset();
    for (int i = 0; i < ip_count; ++i) {
      if (ip_list[static_cast<std::size_t>(i)].address() == address) show_probe(i);
    }
    if (!result.offered() && address == current_ip && !anonymity_stopped()) {
      announce(address, result.outcome == ProbeResult::Outcome::Working
                            ? message(72)
                            : message(37) + " " + probe_text(result));
    }
    return false;
  }
  ++check_->done;
  if (result.outcome == ProbeResult::Outcome::Working) {
    ++check_->working;
    check_->elite += result.anonymity == Anonymity::Elite;
    check_->anonymous += result.anonymity == Anonymity::Anonymous;
    check_->transparent += result.anonymity == Anonymity::Transparent;
    if (result.anonymity == Anonymity::NoJudge) check_->judged = false;
  }
  // The list has not changed since the check began: a load ends the check.
  show_probe(index);
  return true;
}

std::string Form1::probe_text(const ProbeResult& result) {
  switch (result.outcome) {
    case ProbeResult::Outcome::Working: {
      const int level = result.anonymity == Anonymity::Elite         ? 70
                        : result.anonymity == Anonymity::Anonymous   ? 71
                        : result.anonymity == Anonymity::Transparent ? 72
                                                                     : 0;
      return std::to_string(result.ms) + " ms" + (level ? ", " + message(level) : "");
    }
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
  return fill_in(message(35), {std::to_string(check_->done),
                               std::to_string(check_->addresses.size()),
                               std::to_string(check_->working)});
}

std::string Form1::check_summary() {
  // "57 working: 12 elite, 30 anonymous, 15 reveal your address", and how
  // many gave the judge no answer.
  if (!check_->judged) return fill_in(message(74), {std::to_string(check_->working)});
  std::string text = fill_in(message(73), {std::to_string(check_->working),
                                           std::to_string(check_->elite),
                                           std::to_string(check_->anonymous),
                                           std::to_string(check_->transparent)});
  const int unknown = check_->working - check_->elite - check_->anonymous - check_->transparent;
  if (unknown > 0) text += fill_in(message(75), {std::to_string(unknown)});
  return text;
}

void Form1::keep_check_results() {
  // A folder that cannot be written loses only what a new check brings back.
  os_.files.replace_file(program_file(kResultsFile),
                         write_results({os_.checker.now_seconds(), probe_results}));
}

void Form1::load_check_results() {
  const std::optional<std::string> text =
      os_.files.read_file(program_file(kResultsFile), kMaxProfileBytes);
  std::optional<KeptResults> kept = text ? read_results(*text) : std::nullopt;
  if (!kept) return;
  const std::int64_t age = os_.checker.now_seconds() - kept->time;
  if (age >= 0 && age < kResultsLifetimeSeconds) probe_results = std::move(kept->results);
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
  // A proxy that failed or reveals the user's address stays in the list,
  // shown but not offered.
  const bool offered = found->second.offered();
  item.caption += (offered ? " " : " \u2013 ") + probe_text(found->second);
  item.enabled = offered;
}

}  // namespace proxanto
