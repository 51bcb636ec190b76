#pragma once
// Recording and scripted stand-ins for the platform, so that Form1 runs
// natively and tests can see every request it makes.

#include <algorithm>
#include <deque>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "app/form1.h"
#include "app/ports.h"
#include "app/text.h"
#include "database/countries.h"
#include "lang/strings.h"
#include "proxy/registry.h"
#include "shared/worked_example.h"

namespace proxanto::testing {

using test_data::kWorkedExample;

// Thrown by FakeProcess::exit_now so that nothing after an exit runs.
struct ProgramExit {};

// One log that the recording fakes write to, so that tests can see the order
// of requests across the registry, WinINet, the popup and the tray.
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
  void write(RegRoot root, const std::string& path, const std::string& name,
             const RegValue& value) override {
    journal->push_back("reg " + name);
    if (path.starts_with('\\')) return;
    const Key k = key(root, path, name);
    values[k] = value;
    for (std::string p = std::get<1>(k);; p.resize(p.rfind('\\'))) {
      keys.insert({root, p});
      if (p.find('\\') == std::string::npos) break;
    }
  }
  void remove(RegRoot root, const std::string& path, const std::string& name) override {
    values.erase(key(root, path, name));
    journal->push_back("reg -" + name);
  }
  bool key_exists(RegRoot root, const std::string& path) const {
    return keys.count({root, std::get<1>(key(root, path, ""))}) != 0;
  }
  static Key key(RegRoot root, std::string path, const std::string& name) {
    while (!path.empty() && path.back() == '\\') path.pop_back();
    return {root, ascii_lower(path), ascii_lower(name)};
  }
  std::map<Key, RegValue> values;
  std::set<std::pair<RegRoot, std::string>> keys;  // every key created, with its parents
  Journal* journal = nullptr;
};

struct MemoryFiles final : FileSystemPort {
  std::optional<std::string> read_file(const std::string& path, std::size_t limit) override {
    const auto found = files.find(path);
    if (found == files.end() || unreadable || found->second.size() > limit) return std::nullopt;
    return found->second;
  }
  bool replace_file(const std::string& path, std::string_view contents) override {
    if (fail_writes) return false;
    files[path] = std::string(contents);
    return true;
  }
  bool file_exists(const std::string& path) override { return files.count(path) != 0; }
  bool copy_file(const std::string& from, const std::string& to) override {
    if (!file_exists(from) || fail_writes) return false;
    files[to] = files[from];
    return true;
  }
  bool remove_file(const std::string& path) override { return files.erase(path) != 0; }
  bool rename_file(const std::string& from, const std::string& to) override {
    if (!file_exists(from) || file_exists(to) || fail_writes) return false;
    files[to] = files[from];
    files.erase(from);
    return true;
  }
  std::map<std::string, std::string> files;
  bool fail_writes = false;
  bool unreadable = false;  // files that exist but cannot be read
};

// One InternetSetOptionW request as the system received it.
struct InternetCall {
  std::uint32_t option = 0;
  std::uint32_t list_size = 0;
  bool connection_null = true;
  std::uint32_t option_count = 0;
  std::uint32_t flags = 0;
  std::optional<std::string> server;  // nothing for a null pointer
};

struct RecordingInternet final : InternetPort {
  bool set_option(std::uint32_t option, const PerConnOptionList* list) override {
    InternetCall call;
    call.option = option;
    if (list != nullptr) {
      call.list_size = list->dwSize;
      call.connection_null = list->pszConnection == nullptr;
      call.option_count = list->dwOptionCount;
      for (std::uint32_t i = 0; i < list->dwOptionCount; ++i) {
        const PerConnOption& o = list->pOptions[i];
        if (o.dwOption == kPerConnFlags) call.flags = o.dwValue;
        if (o.dwOption == kPerConnProxyServer && o.pszValue) call.server = utf16_to_utf8(o.pszValue);
      }
    }
    calls.push_back(call);
    journal->push_back("inet " + std::to_string(option));
    return option == kOptionRefresh ? refresh_result : true;
  }
  std::vector<InternetCall> calls;
  Journal* journal = nullptr;
  bool refresh_result = true;
};

struct ShownBox {
  std::string text;
  std::string title;
  unsigned style = 0;
  bool operator==(const ShownBox&) const = default;
  friend void PrintTo(const ShownBox& box, std::ostream* out) {
    *out << "{\"" << box.text << "\", \"" << box.title << "\", style " << box.style << "}";
  }
};

struct ScriptedMessageBoxes final : MessageBoxPort {
  int show(const std::string& text, const std::string& title, unsigned style) override {
    shown.push_back({text, title, style});
    if (while_open) while_open();
    if (answers.empty()) return kIdOk;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::deque<int> answers;
  std::vector<ShownBox> shown;
  std::function<void()> while_open;  // runs as if an event came during the box
};

struct RecordingTray final : TrayPort {
  bool notify(std::uint32_t message, const TrayIconRecord& record) override {
    calls.push_back({message, record});
    journal->push_back("tray " + std::to_string(message));
    return refusals-- <= 0;
  }
  int refusals = 0;  // calls the shell refuses before it takes icons
  Journal* journal = nullptr;
  struct Call {
    std::uint32_t message;
    TrayIconRecord record;
  };
  std::vector<Call> calls;
};

struct RecordingClipboard final : ClipboardPort {
  void set_text(const std::string& value) override { text = value; }
  std::string text;
};

struct RecordingPopup final : PopupPort {
  void place() override {
    journal->push_back("popup place");
    exists = true;
  }
  void fade_in() override {
    journal->push_back("popup fade_in");
    shown = exists;
  }
  void repaint() override { journal->push_back("popup repaint"); }
  void set_lines(const std::string& a, const std::string& b) override {
    journal->push_back("popup lines");
    lines = a + "|" + b;
  }
  void fade_out_and_close() override {
    journal->push_back("popup close");
    exists = shown = false;
    lines.clear();
  }
  Journal* journal = nullptr;
  bool exists = false;
  bool shown = false;
  std::string lines;  // the two lines, joined by "|"
};

struct RecordingTimers final : TimerPort {
  void set_enabled(TimerId id, bool enabled) override {
    state[id] = enabled;
    ++changes;
  }
  std::map<TimerId, bool> state;
  int changes = 0;
};

struct FakeKeyboard final : KeyboardPort {
  std::int16_t key_state(int vk) override {
    return static_cast<std::int16_t>((held.count(vk) ? 0x8000 : 0) | (toggled.count(vk) ? 1 : 0));
  }
  std::set<int> held, toggled;
};

struct RecordingWindow final : MainWindowPort {
  void show_tray_menu() override { ++menus; }
  void hide_and_foreground() override { ++foregrounds; }
  void show_about() override { ++abouts; }
  void show_filter(int start_index) override { filter_starts.push_back(start_index); }
  int menus = 0, foregrounds = 0, abouts = 0;
  std::vector<int> filter_starts;
};

struct FakeProcess final : ProcessPort {
  std::string program_folder() override { return folder; }
  std::string program_path() override { return folder + "\\proxanto.exe"; }
  [[noreturn]] void exit_now() override {
    ++exits;
    throw ProgramExit{};
  }
  std::string folder = "C:\\Program Files\\Proxanto";
  int exits = 0;
};

struct ScriptedRandom final : RandomPort {
  double draw() override {
    ++draws;
    if (values.empty()) return 0.0;
    const double r = values.front();
    values.pop_front();
    return r;
  }
  std::deque<double> values;
  int draws = 0;
};

// Downloads that finish when the test says so, with the body `served` holds
// for their URL; any other URL fails.
struct FakeDownload final : DownloadPort {
  void start(int ticket, const std::string& url) override { started.emplace_back(ticket, url); }
  // Delivers the outcome of the latest download to the form.
  void finish(Form1& form) {
    const auto [ticket, url] = started.back();
    const auto found = served.find(url);
    form.download_done(ticket, found == served.end() ? std::nullopt : std::optional(found->second));
  }
  std::map<std::string, std::string> served;
  std::vector<std::pair<int, std::string>> started;
};

// Probe runs that the test answers itself through Form1::probe_done.
struct FakeChecker final : CheckerPort {
  void start(int run, const std::vector<std::string>& addresses) override {
    runs.emplace_back(run, addresses);
  }
  void cancel(int run) override { cancelled.push_back(run); }
  std::vector<std::pair<int, std::vector<std::string>>> runs;
  std::vector<int> cancelled;
};

// All fakes together.
struct TestPlatform {
  Journal journal;
  MemoryRegistry registry;
  MemoryFiles files;
  RecordingInternet internet;
  ScriptedMessageBoxes boxes;
  BuiltinStringTable strings;
  RecordingTray tray;
  RecordingClipboard clipboard;
  RecordingPopup popup;
  RecordingTimers timers;
  FakeKeyboard keyboard;
  RecordingWindow window;
  FakeProcess process;
  ScriptedRandom random;
  FakeDownload download;
  FakeChecker checker;
  Platform platform{registry, files,  internet, boxes,  strings, tray,     clipboard, popup,
                    timers,   keyboard, window, process, random, download, checker};

  TestPlatform() { registry.journal = internet.journal = tray.journal = popup.journal = &journal; }
  TestPlatform(const TestPlatform&) = delete;
  TestPlatform& operator=(const TestPlatform&) = delete;

  std::string ini_path() const { return process.folder + "\\ip.ini"; }
  std::string& ini() { return files.files[ini_path()]; }
  // The entries of the journal that start with `what` ("reg", "inet", ...).
  Journal steps(const std::string& what) const {
    Journal out;
    std::copy_if(journal.begin(), journal.end(), std::back_inserter(out),
                 [&](const std::string& step) { return step.rfind(what + " ", 0) == 0; });
    return out;
  }
  std::string reg(RegRoot root, const std::string& path, const std::string& name) {
    return GetRegString(registry, root, path, name);
  }
  void save(const std::string& name, const std::string& value) {
    SetRegString(registry, RegRoot::LocalMachine, "Software\\Marvedo\\Quillet", name, value);
  }
  std::optional<std::string> proxy_server() {
    if (!registry.read(RegRoot::CurrentUser, kInternetSettings, "ProxyServer")) return std::nullopt;
    return reg(RegRoot::CurrentUser, kInternetSettings, "ProxyServer");
  }
  std::optional<std::uint32_t> proxy_enable() {
    const auto v = registry.read(RegRoot::CurrentUser, kInternetSettings, "ProxyEnable");
    if (!v || v->type != kRegDword || v->data.size() != 4) return std::nullopt;
    return v->data[0] | (v->data[1] << 8) | (v->data[2] << 16) |
           (static_cast<std::uint32_t>(v->data[3]) << 24);
  }
  // After the exit sequence: no proxy server and the proxy switched off.
  bool proxy_reset() { return !proxy_server() && proxy_enable() == 0u; }
};

// A Form1 on the fakes.
struct Program {
  TestPlatform os;
  Form1 form{os.platform};

  // Runs a step; true when it ended the program.
  bool ends(const std::function<void()>& step) {
    try {
      step();
    } catch (const ProgramExit&) {
      return true;
    }
    return false;
  }
  // Starts the program on a database; true when start-up ended it.
  bool start(const std::string& ini = kWorkedExample) {
    os.ini() = ini;
    return ends([this] { form.Form_Load(); });
  }
  // The tables and paths of start-up, without loading anything.
  void prepare() {
    form.Hkey = "Software\\Marvedo\\Quillet";
    form.ini_path = os.ini_path();
    form.ARR_EN = english_country_names();
    form.ARR_CS = czech_country_names();
  }
  // The entry numbers of the loaded proxies.
  std::vector<int> entries() const {
    std::vector<int> out;
    for (const auto& r : form.ip_list) out.push_back(r.entry);
    return out;
  }
};

}  // namespace proxanto::testing
