#include <string>

#include "app/form1.h"
#include "database/profile_file.h"

namespace proxanto {

void Form1::upd_Click() { updater(0); }

void Form1::updater(int par) {
  const std::string backup = AddBackslash(os_.process.program_folder()) + "ip_backup.ini";
  if (par == 0) {
    if (os_.files.file_exists(ini_path)) os_.files.copy_file(ini_path, backup);
    stop_proxy();
  }

  // The download lands beside the database first: a failed transfer, or an
  // error page that a server sent instead of the database, must never
  // replace the user's database.
  const std::string incoming = ini_path + ".download";
  bool updated = os_.download.download(update_url, incoming);
  if (updated) {
    const std::optional<std::string> contents = os_.files.read_file(incoming, kMaxProfileBytes);
    // Only what the loader would load a proxy from replaces the database: an
    // error page, or a database whose entries are all blocked or empty, would
    // only bring the empty-database prompt back with the good file gone.
    updated = contents && !load_records(*contents, std::nullopt).empty() &&
              os_.files.replace_file(ini_path, *contents);
  }
  os_.files.remove_file(incoming);

  if (updated) {
    os_.message_box.show(message(27), kAppTitle, kMbOk | kMbIconInformation);
    nacti_ip(1);
    return;
  }
  os_.message_box.show(message(28), kAppTitle, kMbOk | kMbIconStop);
  // From the empty-database prompt there is nothing to go back to. The exit
  // sequence runs, so that a proxy left from before (the last one, just
  // blocked) does not stay set in the system.
  if (par == 1) konec();
  if (!os_.files.file_exists(ini_path)) os_.files.rename_file(backup, ini_path);
  // The proxy in use before; with none, anonymity stays stopped rather than
  // switching on a proxy without a server.
  resume();
}

}  // namespace proxanto
