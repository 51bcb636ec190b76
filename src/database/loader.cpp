#include <cstdlib>
#include <string>

#include "app/form1.h"
#include "app/text.h"
#include "database/countries.h"
#include "database/profile_file.h"

namespace proxanto {

namespace {
constexpr const char* kSection = "IP";
constexpr std::size_t kEntryBuffer = 1550;  // 1549 characters and the terminator
constexpr int kMaxEntries = 32767;          // entry numbers and menu positions are 16-bit
}  // namespace

void Form1::nacti_ip(int par) {
  ip_list.clear();
  ip_count = 0;

  const ProfileFile file = read_profile(os_.files, ini_path);
  int count = file.get_int(kSection, "count", 0);
  if (count > kMaxEntries) count = kMaxEntries;
  const std::optional<int> filter = active_filter();

  for (int n = 0; n < count; ++n) {
    const std::string key = std::to_string(n);
    const std::string value = file.get_string(kSection, key, "", kEntryBuffer);
    if (value.empty()) continue;
    if (file.get_int(kSection, key + "_block", 0) != 0) continue;

    std::vector<std::string> fields = split(trim_blanks(value), ';');
    // An entry without an address is no proxy at all.
    if (trim_blanks(fields[0]).empty()) continue;
    if (filter) {
      // An entry with no readable country never matches a country filter.
      const std::optional<int> id = country_id(fields.size() > 1 ? fields[1] : std::string());
      if (!id || *id != *filter) continue;
    }
    ip_list.push_back(ProxyRecord{std::move(fields), n});
  }
  ip_count = static_cast<int>(ip_list.size());

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

void Form1::empty_result(int par) {
  if (par == 1 && !clearing_filter_) {
    os_.message_box.show(message(31) + "\r\n" + message(32), kAppTitle,
                         kMbOk | kMbIconExclamation);
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
  const int answer = os_.message_box.show(message(25) + "\r\n" + message(26), kAppTitle,
                                          kMbYesNo | kMbIconStop);
  if (answer == kIdYes) {
    updater(1);
  } else {
    konec();
  }
}

void Form1::block_Click() {
  std::int64_t position = -1;
  // Nothing to mark while no proxy from the list is in use: writing a key
  // without an entry number would only litter the database.
  if (parse_whole_number(current_key, position) && position >= 0 && position < ip_count) {
    const ProxyRecord& record = ip_list[static_cast<std::size_t>(position)];
    write_profile_string(os_.files, ini_path, kSection, std::to_string(record.entry) + "_block",
                         "1");
  }
  nacti_ip(0);
}

}  // namespace proxanto
