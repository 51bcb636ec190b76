#pragma once
// Recording and scripted stand-ins for the platform, so that Form1 runs
// natively and tests can see every request it makes.

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
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

// Thrown by FakeProcess::exit_now so that nothing after an exit runs.
struct ProgramExit {};

// One log that every recording fake writes to, so that tests can see the
// order of requests across the registry, WinINet, the popup and the tray.
using Journal = std::vector<std::string>;

class MemoryRegistry final : public RegistryPort {
 public:
  using Key = std::tuple<RegRoot, std::string, std::string>;
  std::optional<RegValue> read(RegRoot root, const std::string& path,
                               const std::string& name) override {
    const auto found = values.find(key(root, path, name));
    if (found == values.end()) return std::nullopt;
    return found->second;
  }
  void write(RegRoot root, const std::string& path, const std::string& name,
             const RegValue& value) override {
    values[key(root, path, name)] = value;
    writes.push_back(ascii_lower(name));
    if (journal) journal->push_back("reg " + name);
  }
  void remove(RegRoot root, const std::string& path, const std::string& name) override {
    values.erase(key(root, path, name));
    writes.push_back("-" + ascii_lower(name));
    if (journal) journal->push_back("reg -" + name);
  }
  static Key key(RegRoot root, std::string path, const std::string& name) {
    while (!path.empty() && path.back() == '\\') path.pop_back();
    return {root, ascii_lower(path), ascii_lower(name)};
  }
  bool has(RegRoot root, const std::string& path, const std::string& name) const {
    return values.count(key(root, path, name)) != 0;
  }
  std::map<Key, RegValue> values;
  std::vector<std::string> writes;  // value names in order; "-name" for a delete
  Journal* journal = nullptr;
};

class MemoryFiles final : public FileSystemPort {
 public:
  std::optional<std::string> read_file(const std::string& path) override {
    const auto found = files.find(path);
    if (found == files.end()) return std::nullopt;
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

class RecordingInternet final : public InternetPort {
 public:
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
        if (o.dwOption == kPerConnProxyServer && o.pszValue != nullptr) {
          call.server = utf16_to_utf8(o.pszValue);
        }
      }
    }
    calls.push_back(call);
    if (journal) journal->push_back("inet " + std::to_string(option));
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
};

class ScriptedMessageBoxes final : public MessageBoxPort {
 public:
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

class RecordingTray final : public TrayPort {
 public:
  bool notify(std::uint32_t message, const TrayIconRecord& record) override {
    calls.push_back({message, record});
    if (journal) journal->push_back("tray " + std::to_string(message));
    if (refusals > 0) {
      --refusals;
      return false;
    }
    return true;
  }
  int refusals = 0;  // calls the shell refuses before it takes icons
  Journal* journal = nullptr;
  struct Call {
    std::uint32_t message;
    TrayIconRecord record;
  };
  std::vector<Call> calls;
};

class RecordingClipboard final : public ClipboardPort {
 public:
  void set_text(const std::string& value) override {
    text = value;
    ++writes;
  }
  std::string text;
  int writes = 0;
};

class RecordingPopup final : public PopupPort {
 public:
  void note(const std::string& what) {
    log.push_back(what);
    if (journal) journal->push_back("popup " + what);
  }
  void place() override {
    note("place");
    exists = true;
  }
  void fade_in() override {
    note("fade_in");
    if (exists) shown = true;
  }
  void repaint() override { note("repaint"); }
  void set_lines(const std::string& a, const std::string& b) override {
    note("lines");
    txt = a;
    txt2 = b;
  }
  void fade_out_and_close() override {
    note("close");
    exists = shown = false;
    txt.clear();
    txt2.clear();
  }
  std::vector<std::string> log;
  Journal* journal = nullptr;
  bool exists = false;
  bool shown = false;
  std::string txt, txt2;
};

class RecordingTimers final : public TimerPort {
 public:
  void set_enabled(TimerId id, bool enabled) override {
    state[id] = enabled;
    ++changes;
  }
  std::map<TimerId, bool> state;
  int changes = 0;
};

class FakeKeyboard final : public KeyboardPort {
 public:
  std::int16_t key_state(int vk) override {
    return held.count(vk) ? static_cast<std::int16_t>(0x8000 | (toggled.count(vk) ? 1 : 0))
                          : static_cast<std::int16_t>(toggled.count(vk) ? 1 : 0);
  }
  std::set<int> held, toggled;
};

class RecordingWindow final : public MainWindowPort {
 public:
  void show_tray_menu() override { ++menus; }
  void hide_and_foreground() override { ++foregrounds; }
  void show_about() override { ++abouts; }
  void show_filter(int start_index) override { filter_starts.push_back(start_index); }
  int menus = 0, foregrounds = 0, abouts = 0;
  std::vector<int> filter_starts;
};

class FakeProcess final : public ProcessPort {
 public:
  std::string program_folder() override { return folder; }
  [[noreturn]] void exit_now() override {
    ++exits;
    throw ProgramExit{};
  }
  std::string folder = "C:\\Program Files\\Proxanto";
  int exits = 0;
};

class ScriptedRandom final : public RandomPort {
 public:
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

// Serves downloads from a table of URLs into MemoryFiles; any other URL
// fails.
class FakeDownload final : public DownloadPort {
 public:
  explicit FakeDownload(MemoryFiles& files) : files_(files) {}
  bool download(const std::string& url, const std::string& path) override {
    requests.push_back(url);
    if (while_downloading) while_downloading();
    const auto found = served.find(url);
    if (found == served.end()) return false;
    files_.files[path] = found->second;
    return true;
  }
  std::map<std::string, std::string> served;
  std::vector<std::string> requests;
  std::function<void()> while_downloading;

 private:
  MemoryFiles& files_;
};

// All fakes together, and a Form1 wired to them.
struct TestPlatform {
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
  FakeDownload download{files};
  Platform platform{registry, files,    internet, boxes,   strings, tray,   clipboard,
                    popup,    timers,   keyboard, window,  process, random, download};

  Journal journal;

  TestPlatform() {
    registry.journal = &journal;
    internet.journal = &journal;
    tray.journal = &journal;
    popup.journal = &journal;
  }
  TestPlatform(const TestPlatform&) = delete;
  TestPlatform& operator=(const TestPlatform&) = delete;

  std::string ini_path() const { return process.folder + "\\ip.ini"; }
  void set_ini(const std::string& text) { files.files[ini_path()] = text; }
  std::string reg(RegRoot root, const std::string& path, const std::string& name) {
    return GetRegString(registry, root, path, name);
  }
  std::optional<RegValue> raw(RegRoot root, const std::string& path, const std::string& name) {
    return registry.read(root, path, name);
  }
  std::string proxy_server() { return reg(RegRoot::CurrentUser, kInternetSettings, "ProxyServer"); }
  std::optional<std::uint32_t> proxy_enable() {
    const auto v = raw(RegRoot::CurrentUser, kInternetSettings, "ProxyEnable");
    if (!v || v->type != kRegDword || v->data.size() != 4) return std::nullopt;
    return v->data[0] | (v->data[1] << 8) | (v->data[2] << 16) | (static_cast<std::uint32_t>(v->data[3]) << 24);
  }
};

using test_data::kWorkedExample;

}  // namespace proxanto::testing
