// "Add proxies from clipboard": a copied list joins ip.ini like a file of
// the user's own.

#include <string>

#include "app/form1.h"
#include "app/text.h"
#include "database/profile_file.h"

namespace proxanto {

void Form1::clipadd_Click() {
  const std::optional<std::string> old = os_.files.read_file(ini_path, kMaxProfileBytes);
  // A database that is there but cannot be read must not be replaced by the
  // clipboard's proxies alone.
  if (!old && os_.files.file_exists(ini_path)) {
    os_.message_box.show(message(56), kAppTitle, kMbOk | kMbIconStop);
    return;
  }
  // The database comes first and keeps all it holds; the clipboard adds
  // what it does not hold yet.
  std::vector<SourceList> lists(2);
  lists[0].origin = lists[1].origin = SourceOrigin::Local;
  lists[0].fetched.body = old.value_or("");
  lists[1].fetched.body = os_.clipboard.get_text(kMaxProfileBytes).value_or("");
  const MergeResult merged = merge_sources(
      lists, *lists[0].fetched.body, [this](std::string_view host) { return lookup_country(host); });
  const SourceReport& copied = merged.sources[1];
  if (copied.counts.proxies == 0) {
    os_.message_box.show(message(64), kAppTitle, kMbOk | kMbIconExclamation);
    return;
  }
  if (copied.added > 0) {
    if (old) os_.files.copy_file(ini_path, backup_path());
    if (!os_.files.replace_file(ini_path, merged.database)) {
      os_.message_box.show(message(56), kAppTitle, kMbOk | kMbIconStop);
      return;
    }
  }
  {
    const LoadHold hold(*this);
    os_.message_box.show(
        fill_in(message(63), {std::to_string(copied.added), std::to_string(copied.counts.proxies)}),
        kAppTitle, kMbOk | kMbIconInformation);
  }
  // The new proxies join the list and its menu; the proxy in use, or the
  // stopped state, stays as it is. Block can now mark the proxy in use if
  // the clipboard brought it.
  if (copied.added == 0) return;
  after_load_ = AfterLoad::Keep;
  nacti_ip(1);
  after_load_ = AfterLoad::ApplyRandom;
  if (!current_ip.empty() && !anonymity_stopped()) {
    listed_ = !database_entries(current_ip).empty();
    set_proxy_items(true);
  }
}

}  // namespace proxanto
