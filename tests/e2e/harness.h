#pragma once
// Drives the real proxanto.exe from a second process, the way UI automation
// does: it starts the program in a folder of its own, finds its windows,
// reads and answers its message boxes, and reads the registry it writes.

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/ports.h"
#include "proxy/registry.h"
#include "shared/worked_example.h"

namespace proxanto::e2e {

inline const std::string kOwnKey = "Software\\Marvedo\\Quillet";
// Port 1 is privileged: no test server is ever given it.
inline const std::string kNoUpdateServer = "http://127.0.0.1:1/update/ip.ini";

// Positions in the tray menu for the keyboard: separators are skipped, the
// disabled first item is not.
inline constexpr int kChangeProxy = 2, kChangeIp = 3, kCopy = 6, kBlock = 7, kCheck = 9,
                     kOnlyWorking = 10, kStop = 13, kRestore = 14, kAbout = 15, kUpdate = 16,
                     kExit = 17;

// Polls until the condition holds or the time is up.
bool wait_for(const std::function<bool()>& condition,
              std::chrono::milliseconds timeout = std::chrono::seconds(10));

struct MessageBoxView {
  HWND window = nullptr;
  std::string text;
};

class ProxantoRun {
 public:
  // A fresh folder holding proxanto.exe and, when given, an ip.ini.
  explicit ProxantoRun(const std::optional<std::string>& ip_ini);
  ~ProxantoRun();
  ProxantoRun(const ProxantoRun&) = delete;
  ProxantoRun& operator=(const ProxantoRun&) = delete;

  // The update comes from `update_url` (saved in the program's key): by
  // default a port where nothing listens, so no run reaches the maker's server.
  void start(const std::string& update_url = kNoUpdateServer, const std::wstring& arguments = {});
  bool running() const;
  // Waits for the process to end; its exit code, or nothing on time-out.
  std::optional<DWORD> wait_exit(std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // Ends the process as Task Manager does: no exit sequence runs.
  void kill();
  std::string path(const std::string& name) const { return folder_ + "\\" + name; }
  std::optional<std::string> read_file(const std::string& name = "ip.ini") const;

  HWND main_window() const;
  // The program's message box titled "Proxanto" once it is up, with `text`
  // when one is given.
  std::optional<MessageBoxView> wait_message_box(const std::string& text = {}) const;
  void answer(const MessageBoxView& box, int button_id) const;
  HWND popup() const;  // the visible notification popup, or null
  // The popup's two lines "first|second" once its first line reads `first`.
  std::optional<std::string> wait_popup(const std::string& first) const;

  // The tray icon's callback, as the shell sends it.
  void tray_event(UINT mouse_message) const;
  // Opens the tray menu and chooses an item with the keyboard, the way a user
  // does: `downs` presses of the down arrow, then for each entry of
  // `submenu_downs` a right arrow into the submenu and that many downs, then
  // Enter.
  void choose_from_menu(int downs, const std::vector<int>& submenu_downs = {}) const;
  // The session ends (log-off or shut-down).
  void end_session() const;

 private:
  std::vector<HWND> top_windows() const;
  std::string folder_;
  PROCESS_INFORMATION process_{};
};

// The registry as the tests see it: the program's keys are removed around
// each test.
void reset_registry();
std::string reg_string(RegRoot root, const std::string& path, const std::string& name);
void set_reg_string(RegRoot root, const std::string& path, const std::string& name,
                    const std::string& text);
std::optional<DWORD> proxy_enable();
std::optional<std::string> proxy_server();  // nothing when the value is absent
// ProxyEnable 0 and no ProxyServer: a direct connection.
bool proxy_reset();

// Icons in Wine's stand-alone system tray, each a child window of it.
int tray_icon_count();
std::string window_text(HWND window);
std::string clipboard_text();
void press_keys(const std::vector<WORD>& keys);
// Presses a dialog's button the way UI automation's Invoke does.
void invoke(HWND dialog, int button_id);

class ProgramTest : public ::testing::Test {
 protected:
  void SetUp() override { reset_registry(); }
  void TearDown() override { reset_registry(); }
  // Starts a program and waits until a proxy is in use and the start-up
  // announcement has closed (about three and a half seconds later).
  static void start_running(ProxantoRun& program, const std::string& update_url = kNoUpdateServer) {
    program.start(update_url);
    ASSERT_TRUE(wait_for([] { return proxy_enable() == 1u; }));
    ASSERT_TRUE(wait_for([&] { return program.popup() == nullptr; }));
  }
  ProxantoRun run{test_data::kWorkedExample};
};

}  // namespace proxanto::e2e
