// proxanto_drive: works a running Proxanto from outside, as a user would,
// for `make run` and the screenshots of the README. It runs in the same Wine
// session as the program.
//
//   proxanto_drive started          waits until the program has set a proxy
//                                   and prints it
//   proxanto_drive proxy            prints the proxy of the Internet settings
//   proxanto_drive running          prints the path of the running program's
//                                   exe; exit code 1 when none runs
//   proxanto_drive shot FILE.bmp    saves the screen as a 24-bit bitmap
//   proxanto_drive popup            double click on the tray icon: the popup;
//                                   prints its place (left top width height)
//   proxanto_drive menu             right click on the tray icon: the menu
//   proxanto_drive choose NAME      picks the tray menu item NAME (ab, filter,
//                                   ...); prints the place of the dialog it opens
//   proxanto_drive escape           closes an open menu or dialog
//   proxanto_drive close            ends the program through its exit
//                                   sequence (WM_CLOSE) and waits for it
//
// Exit code 0 on success, 1 when the program or the proxy is not there.

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "app/menu.h"
#include "win/win_util.h"

namespace {

constexpr wchar_t kInternetSettings[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

HWND main_window() { return FindWindowW(L"ProxantoMain", nullptr); }

bool wait_until(bool (*condition)(), DWORD timeout_ms) {
  for (DWORD waited = 0; waited <= timeout_ms; waited += 50) {
    if (condition()) return true;
    Sleep(50);
  }
  return false;
}

// ProxyServer, or empty text when the value is absent; `enabled` gets
// ProxyEnable.
std::wstring proxy_server(DWORD& enabled) {
  enabled = 0;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, kInternetSettings, 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return {};
  }
  DWORD size = sizeof(enabled);
  RegQueryValueExW(key, L"ProxyEnable", nullptr, nullptr, reinterpret_cast<BYTE*>(&enabled),
                   &size);
  wchar_t server[512] = {};
  size = sizeof(server) - sizeof(wchar_t);
  RegQueryValueExW(key, L"ProxyServer", nullptr, nullptr, reinterpret_cast<BYTE*>(server), &size);
  RegCloseKey(key);
  return server;
}

int print_proxy() {
  DWORD enabled = 0;
  const std::wstring server = proxy_server(enabled);
  std::printf("ProxyEnable=%lu ProxyServer=%ls\n", static_cast<unsigned long>(enabled),
              server.empty() ? L"(none)" : server.c_str());
  return 0;
}

bool proxy_set() {
  DWORD enabled = 0;
  return !proxy_server(enabled).empty() && enabled == 1;
}

bool popup_shown() {
  const HWND popup = FindWindowW(L"ProxantoForm2", nullptr);
  return popup != nullptr && IsWindowVisible(popup);
}

bool menu_open() {
  const HWND menu = FindWindowW(L"#32768", nullptr);
  return menu != nullptr && IsWindowVisible(menu);
}

HWND open_dialog() {
  const HWND dialog = FindWindowW(L"#32770", nullptr);
  return dialog != nullptr && IsWindowVisible(dialog) ? dialog : nullptr;
}

int print_place(HWND window) {
  RECT r = {};
  GetWindowRect(window, &r);
  std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
  return 0;
}

// How many times the down key moves from the top of the tray menu to the
// item `name`: the menu runs through every item but the separators.
int downs_to(const std::string& name) {
  int downs = 0;
  for (const proxanto::MenuItem& item : proxanto::design_tray_menu().children) {
    if (item.is_separator()) continue;
    ++downs;
    if (item.name == name) return downs;
  }
  return 0;
}

// The shell's callback on the icon, as the tray sends it.
bool tray_event(UINT mouse_message) {
  const HWND window = main_window();
  if (window == nullptr) return false;
  PostMessageW(window, WM_MOUSEMOVE, 0, static_cast<LPARAM>(mouse_message));
  return true;
}

void press(WORD key) {
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_KEYBOARD;
  input[0].ki.wVk = input[1].ki.wVk = key;
  input[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, input, sizeof(INPUT));
}

int save_screen(const wchar_t* path) {
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;  // bottom-up, as a .bmp file keeps it
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  const DWORD image_size = stride * static_cast<DWORD>(height);

  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  const bool copied = BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY) != FALSE;
  GdiFlush();

  bool written = false;
  if (copied && bits != nullptr) {
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof(file) + sizeof(info.bmiHeader);
    file.bfSize = file.bfOffBits + image_size;
    info.bmiHeader.biSizeImage = image_size;
    HANDLE out = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                             nullptr);
    if (out != INVALID_HANDLE_VALUE) {
      DWORD done = 0;
      written = WriteFile(out, &file, sizeof(file), &done, nullptr) &&
                WriteFile(out, &info.bmiHeader, sizeof(info.bmiHeader), &done, nullptr) &&
                WriteFile(out, bits, image_size, &done, nullptr) && done == image_size;
      CloseHandle(out);
    }
  }
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return written ? 0 : 1;
}

// The process of the program's main window, opened for `access`; empty when
// it cannot be opened.
proxanto::win::UniqueHandle program_process(HWND window, DWORD access) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return proxanto::win::UniqueHandle(OpenProcess(access, FALSE, pid));
}

int close_program() {
  const HWND window = main_window();
  if (window == nullptr) return 1;
  const auto process = program_process(window, SYNCHRONIZE);
  PostMessageW(window, WM_CLOSE, 0, 0);
  const bool ended = process && WaitForSingleObject(process.get(), 10000) == WAIT_OBJECT_0;
  return ended ? 0 : 1;
}

// Which copy runs matters to the installer's tests: the installed one.
int print_running() {
  const HWND window = main_window();
  if (window == nullptr) return 1;
  wchar_t path[MAX_PATH] = {};
  DWORD size = MAX_PATH;
  if (const auto process = program_process(window, PROCESS_QUERY_LIMITED_INFORMATION)) {
    QueryFullProcessImageNameW(process.get(), 0, path, &size);
  }
  std::printf("%ls\n", path);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring verb = argc > 1 ? argv[1] : L"";
  if (verb == L"started") {
    if (!wait_until([] { return main_window() != nullptr && proxy_set(); }, 60000)) return 1;
    return print_proxy();
  }
  if (verb == L"proxy") return print_proxy();
  if (verb == L"running") return print_running();
  if (verb == L"shot" && argc > 2) return save_screen(argv[2]);
  if (verb == L"popup") {
    // Visible at once where the system cannot fade; a little later where it can.
    if (!popup_shown() && !tray_event(WM_LBUTTONDBLCLK)) return 1;
    if (!wait_until(popup_shown, 5000)) return 1;
    Sleep(600);
    return print_place(FindWindowW(L"ProxantoForm2", nullptr));
  }
  if (verb == L"menu" || verb == L"choose") {
    // The menu opens at the mouse: near the top right, beside the popup.
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 250, 150);
    if (!tray_event(WM_RBUTTONUP)) return 1;
    const bool open = wait_until(menu_open, 5000);
    Sleep(300);
    if (verb == L"menu" || !open) return open ? 0 : 1;
    const int downs = argc > 2 ? downs_to(std::string(argv[2], argv[2] + wcslen(argv[2]))) : 0;
    if (downs == 0) return 2;
    for (int i = 0; i < downs; ++i) press(VK_DOWN);
    press(VK_RETURN);
    if (!wait_until([] { return open_dialog() != nullptr; }, 5000)) return 1;
    Sleep(300);
    return print_place(open_dialog());
  }
  if (verb == L"escape") {
    press(VK_ESCAPE);
    return wait_until([] { return !menu_open() && open_dialog() == nullptr; }, 3000) ? 0 : 1;
  }
  if (verb == L"close") return close_program();
  std::fputs(
      "usage: proxanto_drive started|proxy|running|shot FILE|popup|menu|choose NAME|escape|close\n",
      stderr);
  return 2;
}
