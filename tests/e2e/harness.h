#pragma once
// Drives the real proxanto.exe from a second process, the way UI automation
// does: it starts the program in a folder of its own, finds its windows,
// reads and answers its message boxes, and reads the registry it writes.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "proxy/recovery.h"
#include "proxy/registry.h"
#include "shared/contracts.h"
#include "shared/worked_example.h"
#include "win/registry_win.h"
#include "win/win_util.h"

namespace proxanto::e2e {

using namespace std::chrono_literals;
using win::narrow;
using win::widen;

inline const std::string kOwnKey = "Software\\Marvedo\\Quillet";
// Port 1 is privileged: no test server is ever given it.
inline const std::string kNoUpdateServer = "http://127.0.0.1:1/update/ip.ini";
// Positions in the tray menu for the keyboard: separators are skipped, the
// disabled first item is not.
inline constexpr int kChangeProxy = 2, kChangeIp = 4, kCopy = 7, kBlock = 8, kCheck = 10,
                     kOnlyWorking = 11, kStop = 14, kRestore = 15, kAbout = 16, kUpdate = 17,
                     kAddFromClipboard = 18, kExit = 19;

// Polls until the condition holds or the time is up.
inline bool wait_for(const std::function<bool()>& condition,
                     std::chrono::milliseconds timeout = 10s) {
  for (const auto end = std::chrono::steady_clock::now() + timeout; !condition();) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(50ms);
  }
  return true;
}

inline std::string text_of(HWND window, bool class_name = false) {
  wchar_t text[1024] = {};
  class_name ? GetClassNameW(window, text, 1024) : GetWindowTextW(window, text, 1024);
  return narrow(text);
}

inline win::Win32Registry registry;
inline std::string reg(RegRoot root, const std::string& path, const std::string& name) {
  return GetRegString(registry, root, path, name);
}
inline std::string proxy() { return test_support::internet_settings(registry); }

// Icons in Wine's stand-alone system tray, each a child window of it.
inline int tray_icon_count() {
  HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr);
  int icons = 0;
  for (HWND i = tray && IsWindowVisible(tray) ? GetWindow(tray, GW_CHILD) : nullptr; i;
       i = GetWindow(i, GW_HWNDNEXT)) {
    icons += IsWindowVisible(i) && text_of(i, true) == "__winex11_tray_icon";
  }
  return icons;
}

// Presses the keys together and releases them once `until` holds.
inline void press_keys(const std::vector<WORD>& keys, const std::function<bool()>& until = {}) {
  std::vector<INPUT> down(keys.size()), up(keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    down[i].type = up[i].type = INPUT_KEYBOARD;
    down[i].ki.wVk = up[i].ki.wVk = keys[i];
    up[i].ki.dwFlags = KEYEVENTF_KEYUP;
  }
  SendInput(static_cast<UINT>(down.size()), down.data(), sizeof(INPUT));
  if (until) wait_for(until, 5s);
  SendInput(static_cast<UINT>(up.size()), up.data(), sizeof(INPUT));
  std::this_thread::sleep_for(60ms);
}

// Presses a dialog's button the way UI automation's Invoke does.
inline void invoke(HWND dialog, int button_id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button_id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, button_id)));
}

inline bool menu_open() {
  HWND menu = FindWindowW(L"#32768", nullptr);
  return menu != nullptr && IsWindowVisible(menu);
}

class ProxantoRun {
 public:
  // A fresh folder holding proxanto.exe and, when given, an ip.ini.
  explicit ProxantoRun(const std::optional<std::string>& ip_ini = test_data::kWorkedExample) {
    namespace fs = std::filesystem;
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    static int serial = 0;
    const fs::path folder = fs::temp_directory_path() /
                            ("proxanto-e2e-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(++serial));
    fs::create_directories(folder);
    fs::copy_file(fs::path(self).parent_path() / "proxanto.exe", folder / "proxanto.exe");
    if (ip_ini) std::ofstream(folder / "ip.ini", std::ios::binary) << *ip_ini;
    folder_ = narrow(folder.wstring());
  }
  ~ProxantoRun() {
    if (!ended(0ms)) kill();
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
    // The program's watcher runs from the folder until it has seen the program end.
    wait_for([&] {
      std::error_code error;
      std::filesystem::remove_all(widen(folder_), error);
      return !error;
    }, 5s);
  }
  // The update comes from `sources` (one address a line), preset in the
  // machine's key as an administrator would: by default a port where nothing
  // listens, so no run reaches the maker's server or a public list.
  void start(const std::string& sources = kNoUpdateServer, const std::wstring& arguments = {}) {
    SetRegString(registry, RegRoot::LocalMachine, kOwnKey, "sources", sources);
    std::wstring command = L"\"" + widen(path("proxanto.exe")) + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                   widen(folder_).c_str(), &startup, &process_);
    WaitForInputIdle(process_.hProcess, 5000);
  }
  bool ended(std::chrono::milliseconds timeout = 10s) const {
    return WaitForSingleObject(process_.hProcess, DWORD(timeout.count())) == WAIT_OBJECT_0;
  }
  // Ends the process as Task Manager does: no exit sequence runs.
  void kill() {
    TerminateProcess(process_.hProcess, 3);
    ended(5s);
  }
  std::string path(const std::string& name) const { return folder_ + "\\" + name; }
  std::optional<std::string> read_file(const std::string& name = "ip.ini") const {
    std::ifstream file(std::filesystem::path(widen(path(name))), std::ios::binary);
    if (!file) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(file), {});
  }

  // The program's top-level window of a class (visible and titled when asked).
  HWND window(const std::string& class_name, bool visible = false,
              const std::string& title = "") const {
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
      DWORD pid = 0;
      GetWindowThreadProcessId(w, &pid);
      if (pid == process_.dwProcessId && text_of(w, true) == class_name &&
          (!visible || IsWindowVisible(w)) && (title.empty() || text_of(w) == title)) {
        return w;
      }
    }
    return nullptr;
  }
  HWND main_window() const { return window("ProxantoMain"); }
  // The program's message box with this text (static 0xFFFF), once it is up.
  HWND message_box(const std::string& text) const {
    HWND box = nullptr;
    wait_for([&] {
      box = window("#32770", true, "Proxanto");
      return box && text_of(GetDlgItem(box, 0xFFFF)) == text;
    });
    return box;
  }
  HWND popup() const { return window("ProxantoForm2", true); }
  // The popup's two lines (labels 1002 and 1003) as "first|second".
  std::string popup_lines() const {
    HWND p = popup();
    return p ? text_of(GetDlgItem(p, 1002)) + "|" + text_of(GetDlgItem(p, 1003)) : "";
  }

  // The tray icon's callback, as the shell sends it.
  void tray_event(UINT mouse_message) const {
    PostMessageW(main_window(), WM_MOUSEMOVE, 0, static_cast<LPARAM>(mouse_message));
  }
  // Opens the tray menu and chooses an item with the keyboard as a user does:
  // arrows down, for a submenu right and down again, then Enter.
  void choose_from_menu(int downs, int submenu_downs = -1) const {
    tray_event(WM_RBUTTONDOWN);
    tray_event(WM_RBUTTONUP);
    wait_for(menu_open);
    std::this_thread::sleep_for(200ms);
    for (int i = 0; i < downs; ++i) press_keys({VK_DOWN});
    if (submenu_downs >= 0) press_keys({VK_RIGHT});
    for (int i = 0; i < submenu_downs; ++i) press_keys({VK_DOWN});
    press_keys({VK_RETURN});
    wait_for([] { return !menu_open(); }, 3s);
  }
  // The session ends (log-off or shut-down).
  void end_session() const {
    for (const UINT message : {WM_QUERYENDSESSION, WM_ENDSESSION}) {
      SendMessageTimeoutW(main_window(), message, TRUE, ENDSESSION_LOGOFF, 0, 3000, nullptr);
    }
  }

 private:
  std::string folder_;
  PROCESS_INFORMATION process_{};
};

// Around each test the program's keys go, and the Internet settings are emptied.
class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override { TearDown(); }
  void TearDown() override {
    DeleteRegValue(registry, RegRoot::CurrentUser, kInternetSettings, "ProxyServer");
    DeleteRegValue(registry, RegRoot::CurrentUser, kInternetSettings, "ProxyEnable");
    DeleteRegValue(registry, RegRoot::CurrentUser, kInternetSettings, "ProxyOverride");
    clear_applied(registry);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, widen(kOwnKey).c_str());
    RegDeleteTreeW(HKEY_CURRENT_USER, widen(kOwnKey).c_str());
  }
  // Starts a program; returns once a proxy is in use and the start-up popup closed.
  static void start_running(ProxantoRun& program, const std::string& sources = kNoUpdateServer) {
    program.start(sources);
    ASSERT_TRUE(wait_for([] { return proxy().ends_with(" on"); }));
    ASSERT_TRUE(wait_for([&] { return program.popup() == nullptr; }));
  }
  ProxantoRun run;
};

}  // namespace proxanto::e2e
