#include "win/win_util.h"

#include "app/text.h"

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
int screen_dpi(int axis) {
  HDC dc = GetDC(nullptr);
  const int dpi = dc ? GetDeviceCaps(dc, axis) : 96;
  if (dc) ReleaseDC(nullptr, dc);
  return dpi > 0 ? dpi : 96;
}
}  // namespace

int twips_to_px_x(int twips) { return MulDiv(twips, screen_dpi(LOGPIXELSX), 1440); }
int twips_to_px_y(int twips) { return MulDiv(twips, screen_dpi(LOGPIXELSY), 1440); }

RECT twips_rect(int left, int top, int width, int height) {
  const int x = twips_to_px_x(left);
  const int y = twips_to_px_y(top);
  return RECT{x, y, x + twips_to_px_x(width), y + twips_to_px_y(height)};
}

}  // namespace proxanto::win
