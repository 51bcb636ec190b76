#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/form1.h"
#include "app/text.h"
#include "database/countries.h"
#include "database/entries.h"
#include "database/profile_file.h"

namespace proxanto {

namespace {
constexpr const char* kSection = "IP";
constexpr std::size_t kEntryBuffer = 1550;  // 1549 characters and the terminator
}  // namespace

namespace {

// A key that names entry n ("n", or "n_block" for its mark): digits without
// sign or leading zero, as the loader asks for them; -1 for any other key.
int entry_of(std::string_view name, bool& block_mark) {
  constexpr std::string_view kBlock = "_block";
  block_mark = name.size() > kBlock.size() &&
               ascii_lower(name.substr(name.size() - kBlock.size())) == kBlock;
  if (block_mark) name.remove_suffix(kBlock.size());
  if (name.empty() || name.size() > 5 || (name[0] == '0' && name.size() > 1)) return -1;
  int n = 0;
  for (const char c : name) {
    if (c < '0' || c > '9') return -1;
    n = n * 10 + (c - '0');
  }
  return n < kMaxDatabaseEntries ? n : -1;
}

}  // namespace

void for_each_entry(std::string_view text,
                    const std::function<void(int n, std::string_view value, bool blocked)>& visit) {
  // One pass over the section: the first line of each key decides, as for
  // the platform's lookups, and nothing but the text is kept.
  // The first line of a key, as offsets into the text; the value's size is
  // kNone for a line without "=".
  constexpr std::uint32_t kUnseen = 0xFFFFFFFFu, kNone = 0xFFFFFFFEu;
  struct Line {
    std::uint32_t begin = 0;
    std::uint32_t size = kUnseen;
  };
  Line count_line;
  std::vector<Line> values, marks;  // by entry number, as far as the file goes
  for_each_key(text, kSection, [&](const ProfileKey& key) {
    bool block_mark = false;
    const int n = entry_of(key.name, block_mark);
    if (n < 0 && ascii_lower(key.name) != "count") return;
    std::vector<Line>& lines = block_mark ? marks : values;
    if (n >= 0 && static_cast<std::size_t>(n) >= lines.size()) lines.resize(static_cast<std::size_t>(n) + 1);
    Line& slot = n >= 0 ? lines[static_cast<std::size_t>(n)] : count_line;
    if (slot.size != kUnseen) return;
    slot.begin = key.has_value ? static_cast<std::uint32_t>(key.value.data() - text.data()) : 0;
    slot.size = key.has_value ? static_cast<std::uint32_t>(key.value.size()) : kNone;
  });
  const auto value_of = [&](const Line& line) { return text.substr(line.begin, line.size); };
  const auto number = [&](const Line& line) {
    return line.size < kNone ? profile_number(value_of(line)) : 0;
  };
  // A count that is negative (or wraps to it) names no entry.
  const int count = std::clamp(number(count_line), 0, kMaxDatabaseEntries);

  const auto at = [](const std::vector<Line>& lines, int n) {
    return static_cast<std::size_t>(n) < lines.size() ? lines[static_cast<std::size_t>(n)] : Line{};
  };
  for (int n = 0; n < count; ++n) {
    const Line entry = at(values, n);
    if (entry.size >= kNone) continue;
    // Only a quoted or an overlong value needs the platform's copy rules.
    std::string_view value = value_of(entry);
    std::string copied;
    if (value.size() >= kEntryBuffer || value.starts_with('"') || value.starts_with('\'')) {
      copied = profile_value(value, kEntryBuffer);
      value = copied;
    }
    value = trim_blanks(value);
    // An entry without an address is no proxy at all.
    if (trim_blanks(value.substr(0, value.find(';'))).empty()) continue;
    visit(n, value, number(at(marks, n)) != 0);
  }
}

std::vector<ProxyRecord> load_records(std::string database, std::optional<int> filter) {
  const std::string text = profile_text(std::move(database));
  std::vector<ProxyRecord> records;
  for_each_entry(text, [&](int n, std::string_view value, bool blocked) {
    if (blocked) return;
    ProxyRecord record{std::string(value), n};
    if (filter) {
      // An entry with no readable country never matches a country filter.
      const std::optional<int> id = country_id(record.country());
      if (!id || *id != *filter) return;
    }
    records.push_back(std::move(record));
  });
  return records;
}

void Form1::nacti_ip(int par) {
  // A check of the old list ends with it, and so does a wait for its result.
  cancel_check();
  apply_after_check_ = false;
  ip_list.clear();
  ip_count = 0;
  // A file over the size limit loads nothing, as an empty one: its prompt
  // offers a fresh database.
  ip_list = load_records(os_.files.read_file(ini_path, kMaxProfileBytes).value_or(std::string()),
                         active_filter());
  ip_count = static_cast<int>(ip_list.size());
  if (!probe_results.empty()) {
    decltype(probe_results) kept;
    for (const ProxyRecord& record : ip_list) {
      if (auto found = probe_results.find(record.address()); found != probe_results.end()) {
        kept.insert(*found);
      }
    }
    probe_results = std::move(kept);
  }

  if (ip_count == 0) {
    // While the loader asks what to do, the menu must not offer the proxies
    // of the previous load (a blocked one among them).
    clear_ip_menu();
    empty_result(par);
    return;
  }
  ipnabidka();
}

void Form1::restart_nacti_ip() { nacti_ip(1); }

void Form1::hold_loads(bool hold) {
  loads_held_ += hold ? 1 : -1;
  menu("filter").enabled = loads_allowed();
  menu("upd").enabled = loads_allowed();
  set_proxy_items(menu("cop").enabled);
  menu("clipadd").enabled = loads_allowed();
}

void Form1::empty_result(int par) {
  if (par == 1 && !clearing_filter_) {
    {
      const LoadHold hold(*this);
      os_.message_box.show(message(31) + "\r\n" + message(32), kAppTitle,
                           kMbOk | kMbIconExclamation);
    }
    filtr_id = "-1";
    filtr_index = "0";
    // The reload without filter runs once: if it finds nothing either, it
    // offers a download like any empty database instead of clearing the
    // filter again and again.
    clearing_filter_ = true;
    restart_nacti_ip();
    clearing_filter_ = false;
    ipnabidka();
    return;
  }
  int answer = kIdNo;
  {
    const LoadHold hold(*this);
    answer = os_.message_box.show(message(25) + "\r\n" + message(26), kAppTitle,
                                  kMbYesNo | kMbIconStop);
  }
  if (answer == kIdYes) {
    updater(1);
  } else {
    konec();
  }
}

std::vector<int> Form1::database_entries(std::string_view address) {
  std::vector<int> entries;
  address = trim_blanks(address);
  if (address.empty()) return entries;
  // Without a filter the loaded list holds every entry that is not blocked.
  // With one, a favourite may be an entry of a country it leaves out: the
  // file is read whole.
  const bool filtered = active_filter().has_value();
  const std::vector<ProxyRecord> whole =
      filtered ? load_records(os_.files.read_file(ini_path, kMaxProfileBytes).value_or(""),
                              std::nullopt)
               : std::vector<ProxyRecord>();
  for (const ProxyRecord& record : filtered ? whole : ip_list) {
    if (trim_blanks(record.address()) == address) entries.push_back(record.entry);
  }
  return entries;
}

void Form1::block_Click() {
  // The mark goes to the proxy in use, found by its address: after a pick
  // from the favourites no list position names it. Every entry with that
  // address is marked, so that it does not come back under another number.
  const std::vector<int> entries = database_entries(current_ip);
  // A proxy that ip.ini does not hold has nothing to mark; reloading would
  // only replace it with another one.
  if (entries.empty()) return;
  for (const int entry : entries) {
    write_profile_string(os_.files, ini_path, kSection, std::to_string(entry) + "_block", "1");
  }
  nacti_ip(0);
}

}  // namespace proxanto
