#pragma once
// Drives the real proxanto.exe from a second process, the way UI automation
// does: it starts the program in a folder of its own, finds its windows,
// reads and answers its message boxes, and reads the registry it writes.

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/ports.h"
#include "win/win_util.h"

namespace proxanto::e2e {

inline const std::string kOwnKey = "Software\\Marvedo\\Quillet";
// The variable that points the program's database update at another server.
inline const std::string kUpdateUrlVariable = "PROXANTO_UPDATE_URL";

// Polls until the condition holds or the time is up.
bool wait_for(const std::function<bool()>& condition,
              std::chrono::milliseconds timeout = std::chrono::seconds(10));

struct MessageBoxView {
  HWND window = nullptr;
  std::string title;
  std::string text;
  std::vector<std::string> buttons;  // captions of the push buttons, in order
  bool has(int button_id) const;
};

class ProxantoRun {
 public:
  // A fresh folder holding proxanto.exe and, when given, an ip.ini.
  explicit ProxantoRun(const std::optional<std::string>& ip_ini);
  ~ProxantoRun();
  ProxantoRun(const ProxantoRun&) = delete;
  ProxantoRun& operator=(const ProxantoRun&) = delete;

  // Variables added to, or replacing, those the program inherits.
  using Environment = std::vector<std::pair<std::string, std::string>>;
  // Unless `environment` names another, the program's database update comes
  // from a loopback port where nothing listens: no run ever reaches the
  // maker's web server.
  void start(const Environment& environment = {});
  bool running() const;
  // Waits for the process to end; its exit code, or nothing on time-out.
  std::optional<DWORD> wait_exit(std::chrono::milliseconds timeout = std::chrono::seconds(10));

  const std::string& folder() const { return folder_; }
  std::string ini_path() const { return folder_ + "\\ip.ini"; }
  std::string read_ini() const;
  // A file of the program's folder by name; nothing when it is not there.
  std::optional<std::string> read_file(const std::string& name) const;

  // Windows of the running program.
  HWND main_window() const;
  std::optional<MessageBoxView> message_box() const;
  std::optional<MessageBoxView> wait_message_box(
      std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
  void answer(const MessageBoxView& box, int button_id) const;
  HWND popup() const;           // the visible notification popup, or null
  HWND tray_menu() const;       // the open pop-up menu, or null

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
  std::optional<std::string> ip_ini_;
  PROCESS_INFORMATION process_{};
};

// Test state in the registry: the program's own key and the proxy values.
void reset_registry();
std::string reg_string(RegRoot root, const std::string& path, const std::string& name);
std::optional<DWORD> proxy_enable();
bool proxy_server_exists();
std::string proxy_server();

// Icons in Wine's stand-alone system tray, each a child window of it.
int tray_icon_count();
// The shell restarted: what every program with a tray icon is told.
void broadcast_taskbar_created(HWND window);

std::string window_text(HWND window);
std::string clipboard_text();
void press_keys(const std::vector<WORD>& keys);

}  // namespace proxanto::e2e
