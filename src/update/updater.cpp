#include <string>

#include "app/form1.h"

namespace proxanto {

void Form1::upd_Click() { updater(0); }

void Form1::updater(int par) {
  if (update_par_) return;  // one download at a time
  if (par == 0) {
    if (os_.files.file_exists(ini_path)) os_.files.copy_file(ini_path, backup_path());
    stop_proxy();
  }
  // The tray menu, the hot keys and the session end are served while the
  // download runs; only another load or update waits for it.
  update_par_ = par;
  hold_loads(true);
  os_.timers.set_enabled(TimerId::UpdateDeadline, true);
  os_.download.start(++update_ticket_, update_url);
}

void Form1::update_deadline_Timer() { download_done(update_ticket_, std::nullopt); }

void Form1::download_done(int ticket, std::optional<std::string> body) {
  // A download given up at its deadline may still answer later.
  if (!update_par_ || ticket != update_ticket_) return;
  const int par = *update_par_;
  update_par_.reset();
  os_.timers.set_enabled(TimerId::UpdateDeadline, false);
  hold_loads(false);

  // Only what the loader would load a proxy from replaces the database: an
  // error page, or a database whose entries are all blocked or empty, would
  // only bring the empty-database prompt back with the good file gone.
  const bool updated = body && !load_records(*body, std::nullopt).empty() &&
                       os_.files.replace_file(ini_path, *body);
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
  if (!os_.files.file_exists(ini_path)) os_.files.rename_file(backup_path(), ini_path);
  // The proxy in use before; with none, anonymity stays stopped rather than
  // switching on a proxy without a server.
  resume();
}

std::string Form1::backup_path() const {
  return AddBackslash(os_.process.program_folder()) + "ip_backup.ini";
}

}  // namespace proxanto
