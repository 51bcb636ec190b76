#pragma once
// Form1, the hidden main form: it owns the application state, the tray menu
// and every handler of the program. It reaches the platform only through the
// ports of app/ports.h, so the whole of it runs in native tests.

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/menu.h"
#include "app/ports.h"
#include "geo/country_ranges.h"
#include "proxy/recovery.h"
#include "sources/sources.h"

namespace proxanto {

inline constexpr const char* kAppTitle = "Proxanto";
inline constexpr const char* kProductName = "Proxanto";
inline constexpr int kMaxFavorites = 32767;  // menu positions are 16-bit

// Field k of an entry's value (fields are separated by ";"), or empty past
// the last one.
inline std::string_view entry_field(std::string_view value, std::size_t k) {
  for (; k > 0; --k) {
    const std::size_t separator = value.find(';');
    if (separator == std::string_view::npos) return {};
    value.remove_prefix(separator + 1);
  }
  return value.substr(0, value.find(';'));
}

// One accepted entry of ip.ini and the entry number it was read from. Its
// value, blanks at both ends removed, is kept whole: its ";"-separated fields
// are, in file order, the address, the country id as text and any further
// fields, carried and never read. One string per proxy keeps a load of
// tens of thousands of entries quick.
struct ProxyRecord {
  std::string value;
  int entry = 0;

  std::string_view field(std::size_t k) const { return entry_field(value, k); }
  std::string_view address() const { return field(0); }
  std::string_view country() const { return field(1); }
};

class Form1 {
 public:
  explicit Form1(Platform& platform);

  // Public state, read by the other forms.
  std::string Hkey;
  std::string filtr_id = "-1";   // decimal text; "-1" is no filter
  std::string filtr_index = "0"; // decimal text; position in the filter list
  std::int16_t LNG_INT = 0;      // 0 Czech, 100 English
  std::vector<std::string> ARR_CS;
  std::vector<std::string> ARR_EN;

  // Application state.
  PerConnOption proxy_options[4];  // flags, server, then bypass and script when sent
  PerConnOptionList proxy_option_list;
  std::vector<ProxyRecord> ip_list;
  int ip_count = 0;
  std::string ini_path;
  std::string current_ip;
  std::int32_t current_index = 0;
  std::string current_key;  // position of the proxy in use; empty until one is picked
  std::int16_t rnd_index = 0;
  std::string country_cs;
  std::string country_en;
  std::string current_country;
  std::int16_t counter = 0;  // ticks of `t` since the popup was last filled

  MenuItem item = design_tray_menu();  // the tray menu; `item` itself is never shown
  TrayIconRecord nid;                  // the one record handed to the shell
  bool t_enabled = false;

  // Start-up and exit.
  void Form_Load();
  void Form_Unload();
  [[noreturn]] void konec();

  // Proxy database.
  void nacti_ip(int par);
  void restart_nacti_ip();
  void block_Click();

  // System proxy, IP change and anonymity.
  bool SetProxy(bool Enable, const std::string& Server = {});
  void stop_proxy();
  void obnovit_Click();
  void proxy();
  void nabIP_Click(int Index);
  void st_Click();
  void chPROX_Click();
  void ipnabidka();
  // The schedule: "Change every" chooses the interval (item 0 never), and
  // each tick of Rotate changes the proxy as CTRL+Q does.
  void rotateLIST_Click(int index);
  void rotate_Timer();

  // Tray icon, menu and popup.
  void tray();
  void tray_callback(std::uint32_t mouse_message);
  // The task bar was (re)started: the icon must be added again, or the
  // program would lose its only menu.
  void taskbar_created();
  // A tick of the retry timer that runs while the icon could not be added.
  void tray_retry_Timer();
  void cop_Click();
  void ab_Click();
  [[noreturn]] void en_Click();
  void zprava(const std::string& txt, const std::string& txt2);
  void zpravicky();
  void t_Timer();

  // Hot keys.
  void Timer1_Timer();
  void hotkeys_Click();

  // Languages.
  void lng();
  void load_lang(bool refresh_tray);
  void lngLIST_Click(int index);

  // Favourites.
  void oblibene_ip();
  void favadd_Click();
  void favIPsmenu_Click(int index);

  // Country filter: the menu item opens the dialog; the dialog's OK hands
  // over the chosen row's country id (-1 for no filter) and position.
  void filter_Click();
  void filter_chosen(int country, int position);
  // The country id of the active filter; nothing without one (or for a saved
  // id that is no country).
  std::optional<int> active_filter() const;
  // The proxies of each country id in the database, the filter aside,
  // counted as the filter dialog opens: it lists the countries that have some.
  std::vector<int> country_counts;

  // The country of a proxy address ("a.b.c.d:port"), from the range table the
  // program carries, which is read at the first call; nothing for a host
  // name or an address the table does not know.
  std::optional<int> lookup_country(std::string_view address);

  // Database update: 0 from the menu, 1 from the empty-database prompt. The
  // sources are fetched in the background, at most 4 at once; the last
  // download_done merges them into ip.ini.
  void updater(int par);
  void upd_Click();
  void download_done(int ticket, FetchResult result);
  // The maker's database, the first source unless the setting "sources"
  // names others: the value "update_url" of the program's key, or the
  // maker's server. http:// and https:// addresses both work.
  std::string update_url = "http://www.marvedo.com/update/ip.ini";
  // Merges the proxies on the clipboard into ip.ini, as a file of the user's.
  void clipadd_Click();

  // Checking the proxies: "Check proxies" probes every loaded proxy in the
  // background and judges what each working one gives away; "Only working
  // proxies" makes the random change choose among those that work and do
  // not reveal the user's address, and probes each proxy once it is applied.
  void check_Click();
  void working_Click();
  // One result, or a batch of results of one run as the checker hands them
  // over.
  void probe_done(int run, int index, const ProbeResult& result);
  void probes_done(int run, std::span<const std::pair<int, ProbeResult>> results);
  // The results of the last check, by address; a load forgets those of
  // proxies it no longer holds. They are kept in a file beside ip.ini and
  // read again at start-up while less than a day old.
  std::map<std::string, ProbeResult, std::less<>> probe_results;

  // The program's settings, in its key under HKEY_CURRENT_USER: a value is
  // read from there, or else from the same key under HKEY_LOCAL_MACHINE,
  // where an administrator may preset it for every user. `subkey` is empty
  // or "\\Favorites".
  std::string setting(const std::string& name, const std::string& subkey = {});
  // Stores a setting in the user's key. False when the system refused it;
  // the user is told, since the choice would be gone at the next start.
  bool save_setting(const std::string& name, const std::string& value,
                    const std::string& subkey = {});

  // Runs the click handler of a menu item chosen by the user.
  void menu_click(const std::string& name, int index);

  // Message n (1-99) of the current language.
  std::string message(int n);
  // The anonymity flag, the tag of `st`: "0" while a proxy is in use.
  bool anonymity_stopped() const;
  MenuItem& menu(const std::string& name);
  // False while a load's prompt is open: the commands that start another
  // load (block, filter, update) wait until it is answered.
  bool loads_allowed() const { return loads_held_ == 0; }

 private:
  // Holds back the commands that start a load while it lives (a load's
  // prompt is open): another load would nest a second prompt inside the
  // first, whose answer would then act on a list it never saw.
  class LoadHold {
   public:
    explicit LoadHold(Form1& form) : form_(form) { form_.hold_loads(true); }
    ~LoadHold() { form_.hold_loads(false); }
    LoadHold(const LoadHold&) = delete;
    LoadHold& operator=(const LoadHold&) = delete;

   private:
    Form1& form_;
  };

  // Copies the settings that a 32-bit version left in the virtual store
  // into the user's key, where this version keeps them.
  void adopt_virtual_store();
  void apply_proxy(const std::string& address);
  // The positions of the loaded proxies that the last check found working
  // and not revealing the user's address.
  std::vector<int> offered_proxies() const;
  // The user's own settings of the default connection, read once, before
  // this run changes them; every way out gives them back.
  const std::optional<ConnectionSettings>& user_connection();
  // Back to a direct connection in the registry and WinINet alike.
  void go_direct();
  // Places the popup, fades it in and shows the two lines.
  void announce(const std::string& txt, const std::string& txt2);
  // Applies the proxy in use again, in the registry and WinINet alike.
  void resume();
  // Menus, popup and tooltip of the stopped state.
  void announce_stopped();
  // Enables or disables the commands that need a proxy in use.
  void set_proxy_items(bool in_use);
  void hold_loads(bool hold);
  void set_tooltip(const std::string& text);
  std::string proxy_tooltip() const;
  void empty_result(int par);
  // A file in the program's folder, beside ip.ini.
  std::string program_file(const char* name) const;
  std::string backup_path() const { return program_file("ip_backup.ini"); }
  // Checking proxies: stops a check, names a result, shows the progress and
  // the counts at the end, keeps the results and reads them at start-up.
  void cancel_check();
  // Takes one result in; true when it counts for the check of the whole list.
  bool take_probe(int run, int index, const ProbeResult& result);
  ProbeSettings probe_settings();
  std::string probe_text(const ProbeResult& result);
  std::string check_progress();
  std::string check_summary();
  void keep_check_results();
  void load_check_results();
  void show_probe(int position);
  void show_probe(MenuItem& item, const ProxyRecord& record);
  void add_tray_icon();
  void clear_ip_menu();
  // The entries of ip.ini, blocked ones aside, that hold this address,
  // whatever their country (as of the last load when no filter is active).
  std::vector<int> database_entries(std::string_view address);
  // Runs Rotate while a proxy is in use and a schedule is chosen, from now.
  void schedule_rotation();
  // The captions and the check mark of "Change every".
  void show_rotation();

  Platform& os_;
  ConnectionChange connection_;  // the texts option 75 points into
  std::optional<ConnectionSettings> user_connection_;
  bool user_connection_read_ = false;
  // The bypass list in force is the program's own: SetProxy sends it with a
  // proxy and removes it on the way back.
  bool local_bypass_ = false;
  bool clearing_filter_ = false; // inside the reload after an empty filtered result
  // What the end of a load does: apply a proxy at random, as always; wait
  // for the check of proxies nobody has checked yet; or keep the state in
  // force (proxies added to the database).
  enum class AfterLoad { ApplyRandom, ApplyAfterCheck, Keep };
  AfterLoad after_load_ = AfterLoad::ApplyRandom;
  bool apply_after_check_ = false;  // no proxy applied until the check finds one that works
  bool tray_added_ = false;    // the icon belongs in the tray from start-up on
  bool tray_retrying_ = false;  // the shell refused it; the retry timer runs
  int loads_held_ = 0;          // prompts of loads, or a download, under way
  // An update under way: its sources in order, those waiting for one of the
  // 4 places, and the downloads running, by ticket.
  struct UpdateRun {
    int par = 0;
    std::vector<SourceList> sources;
    std::vector<std::size_t> waiting;
    std::map<int, std::size_t> running;
  };
  std::optional<UpdateRun> update_;
  int update_ticket_ = 0;
  void start_downloads();
  void finish_update();
  // A run of probes: the whole list from "Check proxies", or the one proxy
  // just applied. Results of other runs are dropped.
  struct CheckRun {
    int id = 0;
    std::vector<std::string> addresses;
    int done = 0;
    int working = 0;
    // Working proxies by level; those of no level make up the rest.
    int elite = 0, anonymous = 0, transparent = 0;
    bool judged = true;  // false once the judge failed without a proxy
  };
  std::optional<CheckRun> check_;  // the check of the whole list, while it runs
  std::optional<CheckRun> probe_;  // the probe of the proxy in use
  int check_runs_ = 0;
  std::int16_t ip_menu_lng_ = 0;  // the language of the IP menu's country names
  std::optional<CountryRanges> country_ranges_;  // once read
  bool country_ranges_read_ = false;            // read, or found missing or damaged
  std::string country_id_;  // the country id of the proxy in use, as text
  bool listed_ = false;     // the proxy in use has an entry in ip.ini for Block to mark
  int rotate_minutes_ = 0;  // the schedule's interval; 0 is never
};

// The proxies a database yields: its entries that are there, not blocked
// and, with a filter, of that country. The loader and the update's check of
// a download share it.
std::vector<ProxyRecord> load_records(std::string database, std::optional<int> filter);

// The schedule's interval in minutes from its saved text: a whole number
// from 1 to 1,440, or 0 (never) for anything else.
int rotation_minutes(std::string_view text);

// A setting of the program's key `key`: the user's value, or else the
// machine's.
std::string read_setting(RegistryPort& registry, const std::string& key, const std::string& name);

// Message n in the language the user saved, for a start that ends before
// its main form exists.
std::string message_in_saved_language(RegistryPort& registry, StringTablePort& strings, int n);

// The path unchanged when it ends in a backslash, otherwise with one added.
std::string AddBackslash(const std::string& path);

}  // namespace proxanto
