#pragma once
// Recording and scripted stand-ins for the platform, so that Form1 runs
// natively and tests can see every request it makes.

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "app/form1.h"
#include "app/text.h"
#include "database/countries.h"
#include "lang/strings.h"
#include "proxy/registry.h"
#include "shared/contracts.h"
#include "shared/worked_example.h"

namespace proxanto::testing {

using test_data::kWorkedExample;

struct ProgramExit {};  // thrown by exit_now, so that nothing after an exit runs

// One log of the requests to the registry, WinINet, the popup and the tray,
// in the order they were made.
using Journal = std::vector<std::string>;

// Keys and values in memory, named as the registry names them: without
// regard to case, a trailing backslash allowed, a leading one naming nothing.
struct MemoryRegistry final : RegistryPort {
  using Key = std::tuple<RegRoot, std::string, std::string>;
  std::optional<RegValue> read(RegRoot root, const std::string& path,
                               const std::string& name) override {
    const auto found = values.find(key(root, path, name));
    return found == values.end() ? std::nullopt : std::optional(found->second);
  }
  bool write(RegRoot root, const std::string& path, const std::string& name,
             const RegValue& value) override {
    journal.push_back("reg " + name);
    if (path.starts_with('\\') || refused.count(root)) return false;
    const Key k = key(root, path, name);
    values[k] = value;
    for (std::string p = std::get<1>(k);; p.resize(p.rfind('\\'))) {
      keys.insert({root, p});
      if (p.find('\\') == std::string::npos) break;
    }
    return true;
  }
  void remove(RegRoot root, const std::string& path, const std::string& name) override {
    values.erase(key(root, path, name));
    journal.push_back("reg -" + name);
  }
  static Key key(RegRoot root, std::string path, const std::string& name) {
    while (!path.empty() && path.back() == '\\') path.pop_back();
    return {root, ascii_lower(path), ascii_lower(name)};
  }
  std::map<Key, RegValue> values;
  std::set<std::pair<RegRoot, std::string>> keys;  // every key created, with its parents
  std::set<RegRoot> refused;  // roots the user may not write, as HKLM for a standard user
  Journal journal;
};

struct MemoryFiles final : FileSystemPort {
  std::optional<std::string> read_file(const std::string& path, std::size_t limit) override {
    const auto found = files.find(path);
    if (found == files.end() || unreadable || found->second.size() > limit) return std::nullopt;
    return found->second;
  }
  bool replace_file(const std::string& path, std::string_view contents) override {
    if (!fail_writes) files[path] = std::string(contents);
    return !fail_writes;
  }
  bool file_exists(const std::string& path) override { return files.count(path) != 0; }
  bool copy_file(const std::string& from, const std::string& to) override {
    return file_exists(from) && replace_file(to, std::string(files[from]));
  }
  bool remove_file(const std::string& path) override { return files.erase(path) != 0; }
  bool rename_file(const std::string& from, const std::string& to) override {
    return file_exists(from) && !file_exists(to) && copy_file(from, to) && remove_file(from);
  }
  std::map<std::string, std::string> files;
  bool fail_writes = false;
  bool unreadable = false;  // files that exist but cannot be read
};

// Every port but the registry, the files and the string table: each records
// what Form1 asks of it and answers as the test scripted.
struct TestPlatform final : InternetPort, MessageBoxPort, TrayPort, ClipboardPort, PopupPort,
                            TimerPort, KeyboardPort, MainWindowPort, ProcessPort, RandomPort,
                            DownloadPort, CheckerPort {
  MemoryRegistry registry;
  Journal& journal = registry.journal;
  MemoryFiles files;
  BuiltinStringTable strings;
  Platform platform{registry, files, *this, *this, strings, *this, *this, *this,
                    *this,    *this, *this, *this, *this,   *this, *this};

  // WinINet's proxy requests, as "75 <flags> <server>": flags "on" for the
  // fixed proxy alone (3), "off" for Windows' default (9), else "flags N";
  // "-" for no server; then "+local" or "-local" when the local bypass list
  // is sent or removed, "script <url>" when a script address is sent. The
  // journal has every request. The default connection keeps what it was
  // sent: a later query sees it.
  bool set_option(std::uint32_t option, const PerConnOptionList* list) override {
    journal.push_back("inet " + std::to_string(option));
    if (!list) return true;
    std::string call = list->dwSize != 20 || list->pszConnection ? "75 (other connection)" : "75";
    for (std::uint32_t i = 0; i < list->dwOptionCount; ++i) {
      const PerConnOption& o = list->pOptions[i];
      const std::string text = o.pszValue ? utf16_to_utf8(o.pszValue) : "-";
      if (o.dwOption == kPerConnFlags) {
        connection.flags = o.dwValue;
        call += o.dwValue == 3 ? " on" : o.dwValue == 9 ? " off" : " flags " + std::to_string(o.dwValue);
      } else if (o.dwOption == kPerConnProxyServer) {
        call += " " + text;
      } else if (o.dwOption == kPerConnProxyBypass) {
        call += !o.pszValue ? " -local" : text == kLocalBypass ? " +local" : " bypass " + text;
      } else if (o.dwOption == kPerConnAutoconfigUrl) {
        connection.autoconfig_url = text;
        call += " script " + text;
      } else {
        call += " ?";
      }
    }
    internet.push_back(call);
    return true;
  }
  std::optional<ConnectionSettings> query_connection() override {
    journal.push_back("inet query");
    return wininet_answers ? std::optional(connection) : std::nullopt;
  }
  ConnectionSettings connection{9, ""};  // the default connection in WinINet
  bool wininet_answers = true;
  std::vector<std::string> internet;

  // Message boxes as "title, icon buttons: text"; answered from `answers`, then OK.
  int show(const std::string& text, const std::string& title, unsigned style) override {
    const char* icons[] = {"", "stop ", "?", "exclamation ", "information ", "?", "?", "?"};
    boxes.push_back(title + ", " + icons[style >> 4 & 7] + (style & kMbYesNo ? "yes/no" : "ok") +
                    ": " + text);
    if (while_open) while_open();
    const int answer = answers.empty() ? kIdOk : answers.front();
    if (!answers.empty()) answers.pop_front();
    return answer;
  }
  std::vector<std::string> boxes;
  std::deque<int> answers;
  std::function<void()> while_open;  // runs as if an event came during the box

  bool notify(std::uint32_t message, const TrayIconRecord& record) override {
    tray.emplace_back(message, record);
    journal.push_back("tray " + std::to_string(message));
    return refusals-- <= 0;
  }
  std::vector<std::pair<std::uint32_t, TrayIconRecord>> tray;
  int refusals = 0;  // calls the shell refuses before it takes icons
  const std::string& tip() const { return tray.back().second.szTip; }

  void set_text(const std::string& text) override { clipboard = text; }
  std::optional<std::string> get_text(std::size_t limit) override {
    return clipboard.size() > limit ? std::nullopt : std::optional(clipboard);
  }
  std::string clipboard;

  void place() override { journal.push_back("popup place"); }
  void fade_in() override { journal.push_back("popup fade_in"); }
  void repaint() override { journal.push_back("popup repaint"); }
  void set_lines(const std::string& a, const std::string& b) override {
    journal.push_back("popup lines");
    popup_lines = a + "|" + b;
  }
  void fade_out_and_close() override { journal.push_back("popup close"); }
  std::string popup_lines;  // the two lines, joined by "|"

  void set_enabled(TimerId id, bool enabled) override { timers[int(id)] = enabled; }
  void restart(TimerId id, std::uint32_t ms) override {
    restarts.push_back(ms);
    timers[int(id)] = true;
  }
  std::map<int, bool> timers;           // by the number of each TimerId
  std::vector<std::uint32_t> restarts;  // the interval of each start anew

  std::int16_t key_state(int vk) override {
    return static_cast<std::int16_t>((held.count(vk) ? 0x8000 : 0) | (toggled.count(vk) ? 1 : 0));
  }
  std::set<int> held, toggled;

  void show_tray_menu() override { ++menus; }
  void hide_and_foreground() override { ++foregrounds; }
  void show_about() override {}
  void show_filter(int start_index) override { filter_starts.push_back(start_index); }
  int menus = 0, foregrounds = 0;
  std::vector<int> filter_starts;

  std::string program_folder() override { return folder; }
  std::string program_path() override { return folder + "\\proxanto.exe"; }
  [[noreturn]] void exit_now() override { throw ProgramExit{}; }
  std::string folder = "C:\\Program Files\\Proxanto";
  std::string_view country_ranges() override { return ++ranges_reads, ranges; }
  std::string ranges;  // the range table the program carries, and how often it was asked for
  int ranges_reads = 0;

  double draw() override {
    ++draws;
    const double r = randoms.empty() ? 0.0 : randoms.front();
    if (!randoms.empty()) randoms.pop_front();
    return r;
  }
  std::deque<double> randoms;
  int draws = 0;

  // Downloads finish when the test says so, in the order they started, with
  // the body `served` holds for their URL; any other URL answers 404.
  void start(int ticket, const std::string& url) override { started.emplace_back(ticket, url); }
  void finish(Form1& form, std::size_t count = SIZE_MAX) {
    for (; count > 0 && finished < started.size(); --count) {
      const auto [ticket, url] = started[finished++];
      const auto found = served.find(url);
      form.download_done(ticket, found == served.end()
                                     ? FetchResult{std::nullopt, FetchFailure::Status, 404}
                                     : FetchResult{found->second});
    }
  }
  std::map<std::string, std::string> served;
  std::vector<std::pair<int, std::string>> started;
  std::size_t finished = 0;

  // Probe runs, answered by the test through Form1::probe_done.
  void start(int run, const std::vector<std::string>& addresses,
             const ProbeSettings& settings) override {
    runs.emplace_back(run, addresses);
    probe_settings = settings;
  }
  void cancel(int run) override { cancelled.push_back(run); }
  std::int64_t now_seconds() override { return now; }
  std::vector<std::pair<int, std::vector<std::string>>> runs;
  ProbeSettings probe_settings;  // of the latest run
  std::vector<int> cancelled;
  std::int64_t now = 1'700'000'000;

  std::string ini_path() const { return folder + "\\ip.ini"; }
  std::string& ini() { return files.files[ini_path()]; }
  std::string reg(RegRoot root, const std::string& path, const std::string& name) {
    return GetRegString(registry, root, path, name);
  }
  void save(const std::string& name, const std::string& value, const std::string& key = "") {
    SetRegString(registry, RegRoot::CurrentUser, "Software\\Marvedo\\Quillet" + key, name, value);
  }
  std::string proxy() { return test_support::internet_settings(registry); }
};

// A Form1 on the fakes.
struct Program {
  TestPlatform os;
  Form1 form{os.platform};

  // Runs a step; true when it ended the program.
  bool ends(const std::function<void()>& step) try {
    step();
    return false;
  } catch (const ProgramExit&) {
    return true;
  }
  // Starts the program on a database; true when start-up ended it.
  bool start(const std::string& ini = kWorkedExample) {
    os.ini() = ini;
    return ends([this] { form.Form_Load(); });
  }
  // The key, path, tables and captions of start-up, without loading anything.
  void prepare() {
    form.Hkey = "Software\\Marvedo\\Quillet";
    form.ini_path = os.ini_path();
    form.ARR_EN = english_country_names();
    form.ARR_CS = czech_country_names();
    form.load_lang(false);
  }
  // The entry numbers of the loaded proxies.
  std::vector<int> entries() const {
    std::vector<int> out;
    for (const auto& r : form.ip_list) out.push_back(r.entry);
    return out;
  }
  // Menu items as the user sees them: captions, "(off)" after disabled
  // ones. The tray menu's named items (all by default), or a submenu's.
  std::string menu(const std::vector<std::string>& names = {}, const std::string& submenu = "") {
    std::string text;
    for (const MenuItem& m : (submenu.empty() ? form.item : form.menu(submenu)).children) {
      if (!names.empty() && std::find(names.begin(), names.end(), m.name) == names.end()) continue;
      text += (text.empty() ? "" : " | ") + m.caption + (m.enabled ? "" : " (off)");
    }
    return text;
  }
  // What is in force and what says so: the Internet settings in the
  // registry, WinINet's last proxy setting, the popup and the tooltip.
  std::string shown() {
    const std::string inet = os.internet.empty() ? "none" : os.internet.back().substr(3);
    const std::string tip = os.tray.empty() ? "" : os.tip().substr(0, os.tip().find('\0'));
    return os.proxy() + "; inet " + inet + "; popup " + os.popup_lines + "; tip " + tip;
  }
};

}  // namespace proxanto::testing
