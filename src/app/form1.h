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

namespace proxanto {

inline constexpr const char* kAppTitle = "Proxanto";
inline constexpr const char* kProductName = "Proxanto";

// One accepted entry of ip.ini and the entry number it was read from. Its
// value, blanks at both ends removed, is kept whole: its ";"-separated fields
// are, in file order, the address, the country id as text and any further
// fields, carried and never read. One string per proxy keeps a load of
// tens of thousands of entries quick.
struct ProxyRecord {
  std::string value;
  int entry = 0;

  // Field k, or empty past the last one.
  std::string_view field(std::size_t k) const {
    std::string_view rest = value;
    for (; k > 0; --k) {
      const std::size_t separator = rest.find(';');
      if (separator == std::string_view::npos) return {};
      rest.remove_prefix(separator + 1);
    }
    return rest.substr(0, rest.find(';'));
  }
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
  PerConnOption proxy_options[3];
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

  // Database update: 0 from the menu, 1 from the empty-database prompt. The
  // download runs in the background; download_done finishes the update.
  void updater(int par);
  void upd_Click();
  void download_done(int ticket, std::optional<std::string> body);
  void update_deadline_Timer();
  // Where the update comes from: the value "update_url" of the program's key,
  // or the maker's server. http:// and https:// addresses both work.
  std::string update_url = "http://www.marvedo.com/update/ip.ini";

  // Checking the proxies: "Check proxies" probes every loaded proxy in the
  // background and judges what each working one gives away; "Only working
  // proxies" makes the random change choose among those that work and do
  // not reveal the user's address, and probes each proxy once it is applied.
  void check_Click();
  void working_Click();
  void probe_done(int run, int index, const ProbeResult& result);
  // A batch of results of one run, as the checker hands them over.
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
  std::string backup_path() const;
  // Checking proxies: stops a check, names a result, shows the progress and
  // the counts at the end, keeps the results and reads them at start-up.
  void cancel_check();
  // Takes one result in; true when it counts for the check of the whole list.
  bool take_probe(int run, int index, const ProbeResult& result);
  ProbeSettings probe_settings();
  std::string probe_text(const ProbeResult& result);
  std::string check_progress();
  std::string check_summary();
  std::string check_results_path() const;
  void keep_check_results();
  void load_check_results();
  void show_probe(int position);
  void show_probe(MenuItem& item, const ProxyRecord& record);
  void add_tray_icon();
  void clear_ip_menu();
  std::optional<int> active_filter() const;

  Platform& os_;
  std::u16string proxy_server_;  // the server text option 75 points into
  bool clearing_filter_ = false; // inside the reload after an empty filtered result
  bool tray_added_ = false;    // the icon belongs in the tray from start-up on
  bool tray_retrying_ = false;  // the shell refused it; the retry timer runs
  int loads_held_ = 0;          // prompts of loads, or a download, under way
  std::optional<int> update_par_;  // the par of the update whose download runs
  int update_ticket_ = 0;          // its download; older outcomes are ignored
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
};

// The proxies a database yields: its entries that are there, not blocked
// and, with a filter, of that country. The loader and the update's check of
// a download share it.
std::vector<ProxyRecord> load_records(std::string database, std::optional<int> filter);

// The path unchanged when it ends in a backslash, otherwise with one added.
std::string AddBackslash(const std::string& path);

}  // namespace proxanto
