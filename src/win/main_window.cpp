#include "win/main_window.h"

#include <cstdlib>
#include <exception>
#include <memory>
#include <string_view>

#include "win/about_win.h"
#include "win/adapters_win.h"
#include "win/checker_win.h"
#include "win/filter_win.h"
#include "win/instance_win.h"

namespace proxanto::win {

namespace {

constexpr UINT kTimer1Interval = 100;
constexpr UINT kTimerTInterval = 1000;
constexpr UINT kTrayRetryInterval = 2000;
Form1* g_crash_form = nullptr;

LONG WINAPI on_unhandled_exception(EXCEPTION_POINTERS*) {
  end_after_failure(std::exchange(g_crash_form, nullptr));
}

void append_items(HMENU menu, const std::vector<MenuItem>& items, std::size_t first,
                  std::size_t last, std::vector<std::pair<std::string, int>>& commands);

void append_item(HMENU menu, const MenuItem& item,
                 std::vector<std::pair<std::string, int>>& commands) {
  if (!item.visible) return;
  if (item.is_separator()) {
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    return;
  }
  UINT flags = MF_STRING;
  if (!item.enabled) flags |= MF_GRAYED;
  if (item.checked) flags |= MF_CHECKED;
  if (item.is_submenu()) {
    HMENU sub = CreatePopupMenu();
    append_items(sub, item.children, 0, item.children.size(), commands);
    AppendMenuW(menu, flags | MF_POPUP, reinterpret_cast<UINT_PTR>(sub),
                widen(item.caption).c_str());
    return;
  }
  commands.emplace_back(item.name, item.index);
  AppendMenuW(menu, flags, commands.size(), widen(item.caption).c_str());
}

void append_items(HMENU menu, const std::vector<MenuItem>& items, std::size_t first,
                  std::size_t last, std::vector<std::pair<std::string, int>>& commands) {
  // Thousands of proxies in one column would run far off the screen: group
  // them in blocks named by their positions, nested as deep as needed.
  const std::size_t block = menu_group_size(last - first, kMenuBlock);
  if (block == 1 || !items[first].children.empty()) {
    for (std::size_t i = first; i < last; ++i) append_item(menu, items[i], commands);
    return;
  }
  for (std::size_t start = first; start < last; start += block) {
    const std::size_t end = start + block < last ? start + block : last;
    HMENU sub = CreatePopupMenu();
    append_items(sub, items, start, end, commands);
    const std::wstring caption =
        std::to_wstring(start + 1) + L" \x2013 " + std::to_wstring(end);
    AppendMenuW(menu, MF_STRING | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), caption.c_str());
  }
}

}  // namespace

UniqueMenu build_popup_menu(const MenuItem& root,
                            std::vector<std::pair<std::string, int>>& commands) {
  UniqueMenu menu(CreatePopupMenu());
  append_items(menu.get(), root.children, 0, root.children.size(), commands);
  return menu;
}

void end_after_failure(Form1* form) noexcept {
  // Only once: a failure inside the exit sequence itself ends at once.
  static bool ending = false;
  if (form != nullptr && !ending) {
    ending = true;
    try {
      form->konec();
    } catch (...) {
    }
  }
  TerminateProcess(GetCurrentProcess(), 1);
  std::abort();
}

void install_crash_handler(Form1* form) {
  g_crash_form = form;
  SetUnhandledExceptionFilter(on_unhandled_exception);
}

MainWindow::MainWindow(HINSTANCE instance) : instance_(instance) {
  // At the sizes the system asks for at its DPI; the small one is the tray's.
  icon_ = load_program_icon(GetSystemMetrics(SM_CXICON));
  small_icon_ = load_program_icon(GetSystemMetrics(SM_CXSMICON));
  WNDCLASSEXW wc = {};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &MainWindow::window_proc;
  wc.hInstance = instance;
  wc.hIcon = icon_.get();
  wc.hIconSm = small_icon_.get();
  wc.lpszClassName = kMainWindowClass;
  RegisterClassExW(&wc);
  taskbar_created_ = RegisterWindowMessageW(L"TaskbarCreated");
  show_proxy_ = RegisterWindowMessageW(kShowProxyMessage);
  // Far off the screen and without a task-bar button, and never shown.
  CreateWindowExW(WS_EX_TOOLWINDOW, kMainWindowClass, L"Proxanto", WS_POPUP, -32000, -32000, 1,
                  1, nullptr, nullptr, instance, this);
}

LRESULT CALLBACK MainWindow::window_proc(HWND window, UINT message, WPARAM wparam,
                                         LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->window_.reset(window);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr || self->form_ == nullptr) {
    return DefWindowProcW(window, message, wparam, lparam);
  }
  LRESULT result = 0;
  guarded(self->form_, [&] { result = self->handle(message, wparam, lparam); });
  return result;
}

LRESULT MainWindow::handle(UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == taskbar_created_ && taskbar_created_ != 0) {
    form_->taskbar_created();
    return 0;
  }
  if (message == show_proxy_ && show_proxy_ != 0) {
    // A second start: the double click's popup shows the proxy in use.
    form_->tray_callback(WM_LBUTTONDBLCLK);
    return 0;
  }
  switch (message) {
    case WM_MOUSEMOVE:
      // The tray icon's callback: lParam carries the mouse message.
      form_->tray_callback(static_cast<std::uint32_t>(lparam));
      return 0;
    case WM_TIMER:
      if (wparam == static_cast<WPARAM>(TimerId::Timer1)) form_->Timer1_Timer();
      if (wparam == static_cast<WPARAM>(TimerId::t)) form_->t_Timer();
      if (wparam == static_cast<WPARAM>(TimerId::TrayRetry)) form_->tray_retry_Timer();
      if (wparam == static_cast<WPARAM>(TimerId::Rotate)) form_->rotate_Timer();
      return 0;
    case kProbeDoneMessage: {
      const std::unique_ptr<ProbeBatch> batch(reinterpret_cast<ProbeBatch*>(lparam));
      form_->probes_done(static_cast<int>(wparam), batch->results);
      return 0;
    }
    case kDownloadDoneMessage: {
      const std::unique_ptr<DownloadOutcome> outcome(reinterpret_cast<DownloadOutcome*>(lparam));
      form_->download_done(static_cast<int>(wparam), std::move(outcome->result));
      return 0;
    }
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (wparam) form_->Form_Unload();
      return 0;
    case WM_SYSCOMMAND:
      // The window is never shown, yet it can hold the focus after a menu:
      // Alt+F4 there must not end the program behind the user's back.
      if ((wparam & 0xFFF0) == SC_CLOSE) return 0;
      return DefWindowProcW(hwnd(), message, wparam, lparam);
    case WM_CLOSE:
      form_->Form_Unload();
      return 0;
    default:
      return DefWindowProcW(hwnd(), message, wparam, lparam);
  }
}

void MainWindow::show_tray_menu() {
  // A second right click while the menu is open must not open another.
  if (in_menu_) return;
  std::vector<std::pair<std::string, int>> commands;
  UniqueMenu menu = build_popup_menu(form_->item, commands);
  POINT at = {};
  GetCursorPos(&at);
  SetForegroundWindow(hwnd());
  in_menu_ = true;
  const UINT chosen = static_cast<UINT>(TrackPopupMenu(
      menu.get(), TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, hwnd(), nullptr));
  in_menu_ = false;
  // Lets the menu close properly when the user clicks elsewhere next time.
  PostMessageW(hwnd(), WM_NULL, 0, 0);
  menu.reset();
  if (chosen >= 1 && chosen <= commands.size()) {
    const auto& [name, index] = commands[chosen - 1];
    form_->menu_click(name, index);
  }
}

void MainWindow::hide_and_foreground() {
  ShowWindow(hwnd(), SW_HIDE);
  SetForegroundWindow(hwnd());
}

void MainWindow::show_about() {
  // One about box at a time: the tray menu still opens while it is shown.
  if (in_about_) {
    wchar_t caption[64] = {};
    for (HWND window = GetTopWindow(nullptr); window != nullptr;
         window = GetWindow(window, GW_HWNDNEXT)) {
      if (GetWindow(window, GW_OWNER) == hwnd() && GetWindowTextW(window, caption, 64) > 0 &&
          std::wstring_view(caption).starts_with(L"O programu")) {
        SetForegroundWindow(window);
        break;
      }
    }
    return;
  }
  in_about_ = true;
  show_about_box(hwnd(), icon_.get());
  in_about_ = false;
}

void MainWindow::show_filter(int start_index) {
  show_filter_dialog(hwnd(), *form_, start_index);
}

void MainWindow::set_enabled(TimerId id, bool enabled) {
  const auto timer = static_cast<UINT_PTR>(id);
  if (enabled) {
    const UINT interval = id == TimerId::t           ? kTimerTInterval
                          : id == TimerId::TrayRetry ? kTrayRetryInterval
                                                     : kTimer1Interval;
    SetTimer(hwnd(), timer, interval, nullptr);
  } else {
    KillTimer(hwnd(), timer);
  }
}

void MainWindow::restart(TimerId id, std::uint32_t interval_ms) {
  // SetTimer on a running timer replaces it: the count starts again.
  SetTimer(hwnd(), static_cast<UINT_PTR>(id), interval_ms, nullptr);
}

}  // namespace proxanto::win
