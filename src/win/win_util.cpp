#include "win/win_util.h"

#include "win/gdi_util.h"

#include "app/text.h"
#include "win/resource_ids.h"

namespace proxanto::win {

std::wstring widen(std::string_view utf8) {
  const std::u16string u = utf8_to_utf16(utf8);
  return std::wstring(u.begin(), u.end());
}

std::string narrow(std::wstring_view utf16) {
  return utf16_to_utf8(std::u16string(utf16.begin(), utf16.end()));
}

std::wstring module_path() {
  std::wstring path(MAX_PATH, L'\0');
  while (true) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

namespace {

// The system's DPI: that of the screen for a program that is not aware of
// the DPI of each monitor.
UINT system_dpi() {
  const WindowDc screen(nullptr);
  const int dpi = screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 0;
  return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

}  // namespace

UINT dpi_of(HWND window) {
  using DpiForWindow = UINT(WINAPI*)(HWND);
  static const auto dpi_for_window = user32_function<DpiForWindow>("GetDpiForWindow");
  const UINT dpi = window && dpi_for_window ? dpi_for_window(window) : 0;
  return dpi > 0 ? dpi : system_dpi();
}

int twips_to_px(int twips, UINT dpi) { return MulDiv(twips, static_cast<int>(dpi), 1440); }

RECT twips_rect(int left, int top, int width, int height, UINT dpi) {
  const int x = twips_to_px(left, dpi);
  const int y = twips_to_px(top, dpi);
  return RECT{x, y, x + twips_to_px(width, dpi), y + twips_to_px(height, dpi)};
}

int metric_for_dpi(int index, UINT dpi) {
  using MetricsForDpi = int(WINAPI*)(int, UINT);
  static const auto metrics_for_dpi = user32_function<MetricsForDpi>("GetSystemMetricsForDpi");
  if (metrics_for_dpi) return metrics_for_dpi(index, dpi);
  return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(system_dpi()));
}

void set_client_size(HWND window, int width, int height, UINT dpi) {
  using AdjustForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  static const auto adjust_for_dpi = user32_function<AdjustForDpi>("AdjustWindowRectExForDpi");
  const auto style = static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE));
  const auto ex_style = static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE));
  RECT outer{0, 0, width, height};
  if (!adjust_for_dpi || !adjust_for_dpi(&outer, style, FALSE, ex_style, dpi)) {
    AdjustWindowRectEx(&outer, style, FALSE, ex_style);
  }
  constexpr UINT kFlags = SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE;
  SetWindowPos(window, nullptr, 0, 0, width_of(outer), height_of(outer), kFlags);
  // The frame can differ from the prediction (a theme; a frame that has not
  // followed a change of DPI yet): what counts is the client area.
  RECT client{};
  GetClientRect(window, &client);
  if (client.right != width || client.bottom != height) {
    SetWindowPos(window, nullptr, 0, 0, width_of(outer) + width - client.right,
                 height_of(outer) + height - client.bottom, kFlags);
  }
}

UniqueIcon load_program_icon(int size) {
  return UniqueIcon(static_cast<HICON>(
      LoadImageW(module(), MAKEINTRESOURCEW(IDI_PROXANTO), IMAGE_ICON, size, size, 0)));
}

}  // namespace proxanto::win
