#include "e2e/harness.h"

#include <filesystem>
#include <fstream>
#include <thread>

#include "proxy/recovery.h"
#include "proxy/registry.h"
#include "win/registry_win.h"
#include "win/win_util.h"

namespace proxanto::e2e {

using namespace std::chrono_literals;
namespace fs = std::filesystem;
using win::narrow;
using win::widen;

bool wait_for(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(50ms);
  }
  return true;
}

std::string window_text(HWND window) {
  wchar_t text[1024] = {};
  GetWindowTextW(window, text, 1024);
  return narrow(text);
}

namespace {

std::string class_name(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return narrow(name);
}

BOOL CALLBACK collect_window(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<std::pair<DWORD, std::vector<HWND>>*>(context);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == search->first) search->second.push_back(window);
  return TRUE;
}

}  // namespace

ProxantoRun::ProxantoRun(const std::optional<std::string>& ip_ini) {
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

ProxantoRun::~ProxantoRun() {
  if (process_.hProcess != nullptr) {
    if (running()) kill();
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
  }
  // The program's watcher runs from the folder until it has seen the
  // program end.
  wait_for([&] {
    std::error_code error;
    fs::remove_all(widen(folder_), error);
    return !error;
  }, 5s);
}

void ProxantoRun::start(const std::string& update_url, const std::wstring& arguments) {
  set_reg_string(RegRoot::LocalMachine, kOwnKey, "update_url", update_url);
  std::wstring command = L"\"" + widen(path("proxanto.exe")) + L"\" " + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                 widen(folder_).c_str(), &startup, &process_);
  WaitForInputIdle(process_.hProcess, 5000);
}

bool ProxantoRun::running() const {
  return process_.hProcess != nullptr && WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> ProxantoRun::wait_exit(std::chrono::milliseconds timeout) {
  if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) {
    return std::nullopt;
  }
  DWORD code = 0;
  GetExitCodeProcess(process_.hProcess, &code);
  return code;
}

void ProxantoRun::kill() {
  TerminateProcess(process_.hProcess, 3);
  WaitForSingleObject(process_.hProcess, 5000);
}

std::optional<std::string> ProxantoRun::read_file(const std::string& name) const {
  std::ifstream file(fs::path(widen(path(name))), std::ios::binary);
  if (!file) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(file), {});
}

std::vector<HWND> ProxantoRun::top_windows() const {
  std::pair<DWORD, std::vector<HWND>> search{process_.dwProcessId, {}};
  EnumWindows(collect_window, reinterpret_cast<LPARAM>(&search));
  return search.second;
}

HWND ProxantoRun::main_window() const {
  for (HWND w : top_windows()) {
    if (class_name(w) == "ProxantoMain") return w;
  }
  return nullptr;
}

std::optional<MessageBoxView> ProxantoRun::wait_message_box(const std::string& text) const {
  std::optional<MessageBoxView> box;
  const bool up = wait_for([&] {
    for (HWND w : top_windows()) {
      // The message box's text is the static control with id 0xFFFF.
      if (class_name(w) == "#32770" && IsWindowVisible(w) && window_text(w) == "Proxanto") {
        box = MessageBoxView{w, window_text(GetDlgItem(w, 0xFFFF))};
        return text.empty() || box->text == text;
      }
    }
    return false;
  });
  return up ? box : std::nullopt;
}

void invoke(HWND dialog, int button_id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button_id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, button_id)));
}

void ProxantoRun::answer(const MessageBoxView& box, int button_id) const {
  invoke(box.window, button_id);
}

HWND ProxantoRun::popup() const {
  HWND popup = FindWindowW(L"ProxantoForm2", nullptr);
  return popup != nullptr && IsWindowVisible(popup) ? popup : nullptr;
}

std::optional<std::string> ProxantoRun::wait_popup(const std::string& first) const {
  std::string lines;
  const bool shown = wait_for([&] {
    HWND popup = this->popup();
    // The two lines are the labels with ids 1002 and 1003.
    lines = popup ? window_text(GetDlgItem(popup, 1002)) + "|" + window_text(GetDlgItem(popup, 1003))
                  : "";
    return popup != nullptr && lines.starts_with(first + "|");
  });
  return shown ? std::optional(lines) : std::nullopt;
}

void ProxantoRun::tray_event(UINT mouse_message) const {
  PostMessageW(main_window(), WM_MOUSEMOVE, 0, static_cast<LPARAM>(mouse_message));
}

void press_keys(const std::vector<WORD>& keys) {
  for (WORD key : keys) {
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_KEYBOARD;
    input[0].ki.wVk = input[1].ki.wVk = key;
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
    std::this_thread::sleep_for(60ms);
  }
}

void ProxantoRun::choose_from_menu(int downs, const std::vector<int>& submenu_downs) const {
  const auto menu_open = [] {
    HWND menu = FindWindowW(L"#32768", nullptr);
    return menu != nullptr && IsWindowVisible(menu);
  };
  tray_event(WM_RBUTTONDOWN);
  tray_event(WM_RBUTTONUP);
  wait_for(menu_open);
  std::this_thread::sleep_for(200ms);
  std::vector<WORD> keys(static_cast<std::size_t>(downs), VK_DOWN);
  for (int sub : submenu_downs) {
    keys.push_back(VK_RIGHT);
    keys.insert(keys.end(), static_cast<std::size_t>(sub), VK_DOWN);
  }
  keys.push_back(VK_RETURN);
  press_keys(keys);
  wait_for([&] { return !menu_open(); }, 3s);
}

void ProxantoRun::end_session() const {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(main_window(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG,
                      3000, &result);
  SendMessageTimeoutW(main_window(), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_ABORTIFHUNG,
                      3000, &result);
}

void reset_registry() {
  win::Win32Registry registry;
  DeleteRegValue(registry, RegRoot::CurrentUser, kInternetSettings, "ProxyServer");
  DeleteRegValue(registry, RegRoot::CurrentUser, kInternetSettings, "ProxyEnable");
  clear_applied(registry);
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, widen(kOwnKey).c_str());
}

std::string reg_string(RegRoot root, const std::string& path, const std::string& name) {
  win::Win32Registry registry;
  return GetRegString(registry, root, path, name);
}

void set_reg_string(RegRoot root, const std::string& path, const std::string& name,
                    const std::string& text) {
  win::Win32Registry registry;
  SetRegString(registry, root, path, name, text);
}

std::optional<DWORD> proxy_enable() {
  win::Win32Registry registry;
  const auto value = registry.read(RegRoot::CurrentUser, kInternetSettings, "ProxyEnable");
  if (!value || value->type != REG_DWORD || value->data.size() != 4) return std::nullopt;
  return value->data[0] | (value->data[1] << 8) | (value->data[2] << 16) |
         (static_cast<DWORD>(value->data[3]) << 24);
}

std::optional<std::string> proxy_server() {
  win::Win32Registry registry;
  if (!registry.read(RegRoot::CurrentUser, kInternetSettings, "ProxyServer")) return std::nullopt;
  return reg_string(RegRoot::CurrentUser, kInternetSettings, "ProxyServer");
}

bool proxy_reset() { return proxy_enable() == 0u && !proxy_server(); }

int tray_icon_count() {
  HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr);
  if (tray == nullptr || !IsWindowVisible(tray)) return 0;
  int icons = 0;
  for (HWND child = GetWindow(tray, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    icons += class_name(child) == "__winex11_tray_icon" && IsWindowVisible(child);
  }
  return icons;
}

std::string clipboard_text() {
  std::string text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = narrow(chars);
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

}  // namespace proxanto::e2e
