#include <string>

#include "app/form1.h"
#include "database/profile_file.h"

namespace proxanto {

namespace {
constexpr std::size_t kDownloadsAtOnce = 4;
}  // namespace

void Form1::upd_Click() { updater(0); }

void Form1::updater(int par) {
  if (update_) return;  // one update at a time
  if (par == 0) {
    if (os_.files.file_exists(ini_path)) os_.files.copy_file(ini_path, backup_path());
    stop_proxy();
  }
  // The tray menu, the hot keys and the session end are served while the
  // downloads run; only another load or update waits for them.
  hold_loads(true);
  update_ = UpdateRun{par, {}, {}, {}};
  // Read now, so that a changed setting counts from the next update on.
  for (const std::string& address : source_addresses(setting("sources"), update_url)) {
    SourceList& source = update_->sources.emplace_back();
    source.address = address;
    switch (source_kind(address)) {
      case SourceKind::Web:
        update_->waiting.push_back(update_->sources.size() - 1);
        break;
      case SourceKind::File:
        // A file of the user's own: read at once, and it may name proxies
        // of the local network.
        source.origin = SourceOrigin::Local;
        source.fetched.body = os_.files.read_file(file_path(address), kMaxProfileBytes);
        break;
      case SourceKind::Invalid:
        source.fetched.failure = FetchFailure::BadAddress;
        break;
    }
  }
  start_downloads();
}

void Form1::start_downloads() {
  UpdateRun& run = *update_;
  std::vector<std::pair<int, std::string>> starting;
  while (!run.waiting.empty() && run.running.size() < kDownloadsAtOnce) {
    const std::size_t index = run.waiting.front();
    run.waiting.erase(run.waiting.begin());
    run.running.emplace(++update_ticket_, index);
    starting.emplace_back(update_ticket_, run.sources[index].address);
  }
  if (run.running.empty()) return finish_update();
  for (const auto& [ticket, address] : starting) os_.download.start(ticket, address);
}

void Form1::download_done(int ticket, FetchResult result) {
  if (!update_) return;
  const auto found = update_->running.find(ticket);
  if (found == update_->running.end()) return;
  update_->sources[found->second].fetched = std::move(result);
  update_->running.erase(found);
  start_downloads();
}

void Form1::finish_update() {
  const UpdateRun run = std::move(*update_);
  update_.reset();
  hold_loads(false);

  // Only what the loader would load a proxy from replaces the database: an
  // error page, or lists whose proxies are all blocked, would only bring the
  // empty-database prompt back with the good file gone.
  const MergeResult merged =
      merge_sources(run.sources, os_.files.read_file(ini_path, kMaxProfileBytes).value_or(""),
                    [this](std::string_view host) { return lookup_country(host); });
  const bool write_failed =
      merged.loadable > 0 && !os_.files.replace_file(ini_path, merged.database);
  const bool updated = merged.loadable > 0 && !write_failed;
  const std::string report =
      update_report(updated, write_failed, merged.sources, [this](int n) { return message(n); });
  if (updated) {
    bool check = false;
    {
      const LoadHold hold(*this);
      os_.message_box.show(report, kAppTitle, kMbOk | kMbIconInformation);
      // Most proxies of public lists are dead, and applying one breaks the
      // user's web: they are offered a check first.
      check = merged.from_plain_lists > 0 &&
              os_.message_box.show(message(61), kAppTitle, kMbYesNo | kMbIconExclamation) == kIdYes;
    }
    if (check && !menu("working").checked) working_Click();
    // With a check to come, the connection stays direct until it has found a
    // proxy that works.
    after_load_ = check ? AfterLoad::ApplyAfterCheck : AfterLoad::ApplyRandom;
    nacti_ip(1);
    after_load_ = AfterLoad::ApplyRandom;
    if (check) check_Click();
    return;
  }
  os_.message_box.show(report, kAppTitle, kMbOk | kMbIconStop);
  // From the empty-database prompt there is nothing to go back to. The exit
  // sequence runs, so that a proxy left from before (the last one, just
  // blocked) does not stay set in the system.
  if (run.par == 1) konec();
  if (!os_.files.file_exists(ini_path)) os_.files.rename_file(backup_path(), ini_path);
  // The proxy in use before; with none, anonymity stays stopped rather than
  // switching on a proxy without a server.
  resume();
}

}  // namespace proxanto
