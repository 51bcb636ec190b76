#pragma once
// The hidden main window: an ordinary top-level window that is never shown
// (a message-only window would miss TaskbarCreated and the session end). It
// owns the tray icon's callback, the timers and the pop-up tray menu, and
// hands every event to Form1.

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "app/form1.h"
#include "app/ports.h"
#include "win/win_util.h"

namespace proxanto::win {

inline constexpr wchar_t kMainWindowClass[] = L"ProxantoMain";

class MainWindow final : public MainWindowPort, public TimerPort {
 public:
  explicit MainWindow(HINSTANCE instance);
  HWND hwnd() const { return window_.get(); }
  HICON icon() const { return icon_.get(); }
  HICON small_icon() const { return small_icon_.get(); }
  void attach(Form1& form) { form_ = &form; }

  void show_tray_menu() override;
  void hide_and_foreground() override;
  void show_about() override;
  void show_filter(int start_index) override;
  void set_enabled(TimerId id, bool enabled) override;
  void restart(TimerId id, std::uint32_t interval_ms) override;

 private:
  static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);

  HINSTANCE instance_;
  UniqueIcon icon_;
  UniqueIcon small_icon_;
  UniqueWindow window_;
  UINT taskbar_created_ = 0;
  UINT show_proxy_ = 0;
  Form1* form_ = nullptr;
  bool in_menu_ = false;
  bool in_about_ = false;  // the about box is open; it is brought to the front, not opened twice
};

// Ends the program after an unexpected failure, through the exit sequence
// when it can run, so the system is never left pointing at a proxy that
// nothing manages any more.
[[noreturn]] void end_after_failure(Form1* form) noexcept;

// Runs a handler of Form1; no exception leaves it.
template <typename Handler>
void guarded(Form1* form, Handler&& handler) noexcept {
  try {
    handler();
  } catch (...) {
    end_after_failure(form);
  }
}

// Remembers the form whose exit sequence runs when the program crashes.
void install_crash_handler(Form1* form);

// Builds the pop-up menu of a menu tree; `commands` maps each command id - 1
// to the item's name and index. Long proxy lists are split into submenus of
// kMenuBlock items so the menu stays usable.
inline constexpr int kMenuBlock = 40;
UniqueMenu build_popup_menu(const MenuItem& root,
                            std::vector<std::pair<std::string, int>>& commands);

}  // namespace proxanto::win
