#include "e2e/harness.h"

#include <thread>

#include "proxy/registry.h"
#include "win/registry_win.h"

namespace proxanto::e2e {

using namespace std::chrono_literals;

bool wait_for(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(50ms);
  }
}

std::string window_text(HWND window) {
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(window, text.data(), length + 1);
  text.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
  return win::narrow(text);
}

static std::string class_name(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return win::narrow(name);
}

bool MessageBoxView::has(int button_id) const {
  return window != nullptr && GetDlgItem(window, button_id) != nullptr;
}

namespace {
std::string own_folder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring p(path);
  return win::narrow(p.substr(0, p.find_last_of(L'\\')));
}

void write_bytes(const std::string& path, const std::string& bytes) {
  win::UniqueHandle file(CreateFileW(win::widen(path).c_str(), GENERIC_WRITE, 0, nullptr,
                                     CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

void delete_tree(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") DeleteFileW((folder + L"\\" + name).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(folder.c_str());
}
}  // namespace

ProxantoRun::ProxantoRun(const std::optional<std::string>& ip_ini) : ip_ini_(ip_ini) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  static int serial = 0;
  folder_ = win::narrow(temp) + "proxanto-e2e-" + std::to_string(GetCurrentProcessId()) + "-" +
            std::to_string(++serial);
  CreateDirectoryW(win::widen(folder_).c_str(), nullptr);
  CopyFileW(win::widen(own_folder() + "\\proxanto.exe").c_str(),
            win::widen(folder_ + "\\proxanto.exe").c_str(), FALSE);
  if (ip_ini_) write_bytes(ini_path(), *ip_ini_);
}

ProxantoRun::~ProxantoRun() {
  if (process_.hProcess != nullptr) {
    if (running()) {
      TerminateProcess(process_.hProcess, 3);
      WaitForSingleObject(process_.hProcess, 5000);
    }
    CloseHandle(process_.hProcess);
    CloseHandle(process_.hThread);
  }
  delete_tree(win::widen(folder_));
}

namespace {
// Sets variables of this process, which a child inherits, and puts the
// earlier values back when it goes.
class ScopedEnvironment {
 public:
  explicit ScopedEnvironment(const ProxantoRun::Environment& variables) {
    for (const auto& [name, value] : variables) {
      std::wstring wide_name = win::widen(name);
      std::optional<std::wstring> old;
      if (const DWORD size = GetEnvironmentVariableW(wide_name.c_str(), nullptr, 0); size > 0) {
        old.emplace(size, L'\0');
        old->resize(GetEnvironmentVariableW(wide_name.c_str(), old->data(), size));
      }
      SetEnvironmentVariableW(wide_name.c_str(), win::widen(value).c_str());
      saved_.emplace_back(std::move(wide_name), std::move(old));
    }
  }
  ~ScopedEnvironment() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      SetEnvironmentVariableW(it->first.c_str(), it->second ? it->second->c_str() : nullptr);
    }
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::vector<std::pair<std::wstring, std::optional<std::wstring>>> saved_;
};

// Port 1 is privileged: no test server is ever given it.
const std::string kNoUpdateServer = "http://127.0.0.1:1/update/ip.ini";
}  // namespace

void ProxantoRun::start(const Environment& environment) {
  Environment variables = {{kUpdateUrlVariable, kNoUpdateServer}};
  variables.insert(variables.end(), environment.begin(), environment.end());
  const ScopedEnvironment scope(variables);
  std::wstring command = L"\"" + win::widen(folder_ + "\\proxanto.exe") + L"\"";
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                 win::widen(folder_).c_str(), &startup, &process_);
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

std::string ProxantoRun::read_ini() const { return read_file("ip.ini").value_or(std::string()); }

std::optional<std::string> ProxantoRun::read_file(const std::string& name) const {
  win::UniqueHandle file(CreateFileW(win::widen(folder_ + "\\" + name).c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes(1 << 20, '\0');
  DWORD got = 0;
  ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr);
  bytes.resize(got);
  return bytes;
}

namespace {
struct WindowSearch {
  DWORD pid;
  std::vector<HWND> found;
};

BOOL CALLBACK collect_window(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == search->pid) search->found.push_back(window);
  return TRUE;
}
}  // namespace

std::vector<HWND> ProxantoRun::top_windows() const {
  WindowSearch search{process_.dwProcessId, {}};
  EnumWindows(collect_window, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND ProxantoRun::main_window() const {
  for (HWND w : top_windows()) {
    if (class_name(w) == "ProxantoMain") return w;
  }
  return nullptr;
}

std::optional<MessageBoxView> ProxantoRun::message_box() const {
  for (HWND w : top_windows()) {
    // The program's message boxes are the dialogs titled with its name; the
    // filter dialog and the about box have titles of their own.
    if (class_name(w) != "#32770" || !IsWindowVisible(w) || window_text(w) != "Proxanto") {
      continue;
    }
    MessageBoxView view;
    view.window = w;
    view.title = window_text(w);
    // The message box's text is the static control with id 0xFFFF.
    if (HWND text = GetDlgItem(w, 0xFFFF)) view.text = window_text(text);
    for (HWND child = GetWindow(w, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      if (class_name(child) == "Button") view.buttons.push_back(window_text(child));
    }
    return view;
  }
  return std::nullopt;
}

std::optional<MessageBoxView> ProxantoRun::wait_message_box(std::chrono::milliseconds timeout) const {
  std::optional<MessageBoxView> box;
  wait_for([&] { return (box = message_box()).has_value(); }, timeout);
  return box;
}

void ProxantoRun::answer(const MessageBoxView& box, int button_id) const {
  // What UI automation's Invoke does for a dialog button.
  PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(button_id, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box.window, button_id)));
}

HWND ProxantoRun::popup() const {
  for (HWND w : top_windows()) {
    if (IsWindowVisible(w) && GetDlgItem(w, 1002) != nullptr && class_name(w) != "#32770") {
      return w;
    }
  }
  return nullptr;
}

HWND ProxantoRun::tray_menu() const {
  HWND menu = FindWindowW(L"#32768", nullptr);
  return menu != nullptr && IsWindowVisible(menu) ? menu : nullptr;
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
  tray_event(WM_RBUTTONDOWN);
  tray_event(WM_RBUTTONUP);
  wait_for([&] { return tray_menu() != nullptr; });
  std::this_thread::sleep_for(200ms);
  std::vector<WORD> keys(static_cast<std::size_t>(downs), VK_DOWN);
  for (int sub : submenu_downs) {
    keys.push_back(VK_RIGHT);
    for (int i = 0; i < sub; ++i) keys.push_back(VK_DOWN);
  }
  keys.push_back(VK_RETURN);
  press_keys(keys);
  wait_for([&] { return tray_menu() == nullptr; }, 3s);
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
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, win::widen(kOwnKey).c_str());
  RegDeleteKeyW(HKEY_LOCAL_MACHINE, win::widen(kOwnKey).c_str());
}

std::string reg_string(RegRoot root, const std::string& path, const std::string& name) {
  win::Win32Registry registry;
  return GetRegString(registry, root, path, name);
}

std::optional<DWORD> proxy_enable() {
  win::Win32Registry registry;
  const auto value = registry.read(RegRoot::CurrentUser, kInternetSettings, "ProxyEnable");
  if (!value || value->type != REG_DWORD || value->data.size() != 4) return std::nullopt;
  return value->data[0] | (value->data[1] << 8) | (value->data[2] << 16) |
         (static_cast<DWORD>(value->data[3]) << 24);
}

bool proxy_server_exists() {
  win::Win32Registry registry;
  return registry.read(RegRoot::CurrentUser, kInternetSettings, "ProxyServer").has_value();
}

std::string proxy_server() { return reg_string(RegRoot::CurrentUser, kInternetSettings, "ProxyServer"); }

int tray_icon_count() {
  HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr);
  if (tray == nullptr || !IsWindowVisible(tray)) return 0;
  int icons = 0;
  for (HWND child = GetWindow(tray, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (class_name(child) == "__winex11_tray_icon" && IsWindowVisible(child)) ++icons;
  }
  return icons;
}

void broadcast_taskbar_created(HWND window) {
  PostMessageW(window, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
}

std::string clipboard_text() {
  std::string text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
      text = win::narrow(chars);
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

}  // namespace proxanto::e2e
