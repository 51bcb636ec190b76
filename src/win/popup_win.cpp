#include "win/popup_win.h"

#include <algorithm>
#include <string>
#include <utility>

#include "win/gdi_util.h"
#include "win/popup_ids.h"
#include "win/resource_ids.h"

namespace proxanto::win {

namespace {

constexpr wchar_t kClassName[] = L"ProxantoForm2";
constexpr wchar_t kCaption[] = L"Proxanto";
// A line break, two blanks and the product name, so the name sits on the
// banner's second line.
constexpr wchar_t kBannerText[] = L"\r\n  Proxanto";

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
constexpr DWORD kFadeIn = AW_BLEND | AW_ACTIVATE | AW_CENTER;
constexpr DWORD kFadeOut = AW_BLEND | AW_HIDE | AW_CENTER;
constexpr DWORD kFadeMilliseconds = 500;

constexpr int kPixelTwips = 15;
constexpr int kBackgroundWidthPx = 207;
constexpr int kBackgroundHeightPx = 119;

constexpr COLORREF kSurfaceColour = RGB(64, 64, 64);
constexpr COLORREF kBannerColour = RGB(255, 255, 255);
constexpr COLORREF kWideLineColour = RGB(192, 192, 192);
constexpr COLORREF kThinLineColour = RGB(192, 255, 192);
constexpr COLORREF kMessageColour = RGB(0, 0, 0);
constexpr COLORREF kStateColour = RGB(192, 64, 0);

ATOM register_class(WNDPROC procedure) {
  static const ATOM atom = [procedure] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = procedure;
    wc.hInstance = module();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    return RegisterClassExW(&wc);
  }();
  return atom;
}

std::wstring window_text(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

// Copies a picture, made at the size of `target`, there.
void draw_picture(HDC dc, HBITMAP picture, const RECT& target) {
  if (!picture) return;
  UniqueDc memory(CreateCompatibleDC(dc));
  if (!memory) return;
  SelectedObject selected(memory.get(), picture);
  BitBlt(dc, target.left, target.top, width_of(target), height_of(target), memory.get(), 0, 0,
         SRCCOPY);
}

}  // namespace

Form2Popup::Form2Popup(HWND owner) : owner_(owner) {}

Form2Popup::~Form2Popup() { window_.reset(); }

void Form2Popup::create() {
  if (!surface_brush_) surface_brush_.reset(CreateSolidBrush(kSurfaceColour));
  if (!banner_brush_) banner_brush_.reset(CreateSolidBrush(kBannerColour));
  if (!wide_line_brush_) wide_line_brush_.reset(CreateSolidBrush(kWideLineColour));
  if (!thin_line_brush_) thin_line_brush_.reset(CreateSolidBrush(kThinLineColour));
  if (!register_class(&Form2Popup::window_proc)) return;

  // Created at the top right corner, so that it has the DPI of the monitor
  // it appears on; lay_out gives it its size.
  HWND window = CreateWindowExW(kExStyle, kClassName, kCaption, kStyle,
                                GetSystemMetrics(SM_CXSCREEN) - 1, 0, 1, 1, owner_, nullptr,
                                module(), this);
  if (!window) return;
  window_.reset(window);

  // Owner-drawn labels keep their text readable through GetWindowText (and so
  // by screen readers) while the popup paints them over its own picture.
  const std::pair<int, const wchar_t*> children[] = {
      {kPopupBannerId, kBannerText}, {kPopupMessageId, L""}, {kPopupStateId, L""}};
  for (const auto& [id, text] : children) {
    CreateWindowExW(0, L"STATIC", text, WS_CHILD | WS_VISIBLE | SS_OWNERDRAW | SS_NOPREFIX, 0, 0,
                    0, 0, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), module(),
                    nullptr);
  }
  lay_out(dpi_of(window));
}

void Form2Popup::lay_out(UINT dpi) {
  HWND window = window_.get();
  Layout l;
  l.client = SIZE{twips_to_px(2955, dpi), twips_to_px(1695, dpi)};
  l.banner = twips_rect(0, 0, 3015, 735, dpi);
  l.message = twips_rect(120, 840, 2415, 375, dpi);
  l.state = twips_rect(120, 1200, 2415, 375, dpi);
  l.logo = twips_rect(2280, 0, 720, 720, dpi);
  l.background =
      twips_rect(0, 0, kBackgroundWidthPx * kPixelTwips, kBackgroundHeightPx * kPixelTwips, dpi);
  l.line_y = twips_to_px(720, dpi);
  l.line_right = twips_to_px(3000, dpi);
  l.wide_line = std::max(1, twips_to_px(2 * kPixelTwips, dpi));
  l.thin_line = std::max(1, twips_to_px(kPixelTwips, dpi));
  layout_ = l;

  background_ =
      load_picture(IDB_POPUP_BACKGROUND, 0, width_of(l.background), height_of(l.background));
  logo_ = load_picture(IDB_POPUP_LOGO, IDB_POPUP_LOGO_2X, width_of(l.logo), height_of(l.logo));
  // The labels take the new fonts before the old ones are deleted; the
  // owner-drawn labels paint with the font they hold.
  UniqueFont banner_font = make_font({L"Arial", 11.25, true}, dpi);
  UniqueFont line_font = make_font({L"Arial", 9.75, true}, dpi);
  const std::pair<int, const RECT&> labels[] = {
      {kPopupBannerId, l.banner}, {kPopupMessageId, l.message}, {kPopupStateId, l.state}};
  for (const auto& [id, rect] : labels) {
    HWND label = GetDlgItem(window, id);
    HFONT font = id == kPopupBannerId ? banner_font.get() : line_font.get();
    SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    MoveWindow(label, rect.left, rect.top, width_of(rect), height_of(rect), FALSE);
  }
  banner_font_ = std::move(banner_font);
  line_font_ = std::move(line_font);

  extra_height_ = 0;
  set_client_size(window, l.client.cx, l.client.cy, dpi);
  fit_state_line();
  InvalidateRect(window, nullptr, TRUE);
}

void Form2Popup::fit_state_line() {
  // A long second line (the counts after a check) wraps onto more lines
  // rather than being cut; the popup keeps its width and its corner.
  HWND popup = window_.get();
  HWND label = GetDlgItem(popup, kPopupStateId);
  const std::wstring text = window_text(label);
  RECT needed = layout_.state;
  {
    const WindowDc dc(label);
    if (!dc.get()) return;
    SelectedObject font(dc.get(), line_font_.get());
    DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &needed,
              DT_CALCRECT | DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
  }
  const int extra = std::max(0, height_of(needed) - height_of(layout_.state));
  if (extra == extra_height_) return;
  extra_height_ = extra;
  const RECT& line = layout_.state;
  MoveWindow(label, line.left, line.top, width_of(line), height_of(line) + extra, TRUE);
  set_client_size(popup, layout_.client.cx, layout_.client.cy + extra, dpi_of(popup));
  InvalidateRect(popup, nullptr, TRUE);
}

LRESULT CALLBACK Form2Popup::window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  try {
    if (message == WM_NCCREATE) {
      const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<Form2Popup*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self) return self->handle(window, message, wparam, lparam);
  } catch (...) {
    // Painting and window bookkeeping have nothing to report; the default
    // handling below keeps the window consistent.
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

LRESULT Form2Popup::handle(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;  // WM_PAINT covers every pixel
    case WM_PAINT: {
      PaintCycle paint(window);
      paint_surface(paint.dc());
      return 0;
    }
    case WM_PRINTCLIENT:
      paint_surface(reinterpret_cast<HDC>(wparam));
      return 0;
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
      switch (item.CtlID) {
        case kPopupBannerId:
          draw_banner(item);
          return TRUE;
        case kPopupMessageId:
          draw_line_label(item, kMessageColour);
          return TRUE;
        case kPopupStateId:
          draw_line_label(item, kStateColour);
          return TRUE;
        default:
          break;
      }
      break;
    }
    case WM_DPICHANGED:
      // The popup belongs at the top right corner whatever the system
      // suggests.
      lay_out(HIWORD(wparam));
      place();
      return 0;
    case WM_MOUSEACTIVATE:
      // A click on the notification must not take the keyboard from the
      // window the user works in.
      return MA_NOACTIVATE;
    case WM_NCDESTROY:
      SetWindowLongPtrW(window, GWLP_USERDATA, 0);
      if (window_.get() == window) window_.release();
      break;
    default:
      break;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

void Form2Popup::paint_surface(HDC dc) const {
  const RECT client{0, 0, layout_.client.cx, layout_.client.cy + extra_height_};
  FillRect(dc, &client, surface_brush_.get());
  draw_picture(dc, background_.get(), layout_.background);
}

void Form2Popup::draw_banner(const DRAWITEMSTRUCT& item) const {
  HDC dc = item.hDC;
  FillRect(dc, &item.rcItem, banner_brush_.get());

  const std::wstring text = window_text(item.hwndItem);
  RECT text_area = item.rcItem;
  SelectedObject font(dc, reinterpret_cast<HFONT>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &text_area, DT_LEFT | DT_NOPREFIX);

  // The banner starts at the client's origin, so client coordinates serve.
  // The logo comes first and the rule over it, so that the rule runs the full
  // width; the grey line is laid first and the green one on its lower edge,
  // giving a two-tone rule at the banner's foot.
  draw_picture(dc, logo_.get(), layout_.logo);
  const RECT wide{0, layout_.line_y - layout_.wide_line + 1, layout_.line_right, layout_.line_y + 1};
  FillRect(dc, &wide, wide_line_brush_.get());
  const RECT thin{0, layout_.line_y - layout_.thin_line + 1, layout_.line_right, layout_.line_y + 1};
  FillRect(dc, &thin, thin_line_brush_.get());
}

void Form2Popup::draw_line_label(const DRAWITEMSTRUCT& item, COLORREF colour) const {
  HDC dc = item.hDC;
  // The label is transparent: paint the popup's own surface under it first,
  // shifted so that the picture lines up with the parent's.
  RECT in_parent = item.rcItem;
  MapWindowPoints(item.hwndItem, GetParent(item.hwndItem), reinterpret_cast<POINT*>(&in_parent), 2);
  POINT old_origin{};
  OffsetViewportOrgEx(dc, -in_parent.left, -in_parent.top, &old_origin);
  paint_surface(dc);
  SetViewportOrgEx(dc, old_origin.x, old_origin.y, nullptr);

  const std::wstring text = window_text(item.hwndItem);
  RECT text_area = item.rcItem;
  SelectedObject font(dc, reinterpret_cast<HFONT>(SendMessageW(item.hwndItem, WM_GETFONT, 0, 0)));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, colour);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &text_area,
            DT_LEFT | DT_WORDBREAK | DT_NOPREFIX);
}

void Form2Popup::restack() const {
  HWND popup = window_.get();
  if (!popup) return;
  // Topmost, but below any topmost window of this thread that is on the
  // screen (the about box, a dialog): a notification never covers the box
  // the user is answering.
  HWND insert_after = HWND_TOPMOST;
  const DWORD thread = GetCurrentThreadId();
  for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
    if (!(GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TOPMOST)) break;
    if (w != popup && IsWindowVisible(w) && GetWindowThreadProcessId(w, nullptr) == thread) {
      insert_after = w;
    }
  }
  SetWindowPos(popup, insert_after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void Form2Popup::place() {
  if (!window_) create();
  HWND popup = window_.get();
  if (!popup) return;
  RECT outer{};
  GetWindowRect(popup, &outer);
  SetWindowPos(popup, nullptr, GetSystemMetrics(SM_CXSCREEN) - width_of(outer), 0, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  restack();
}

void Form2Popup::fade_in() {
  HWND popup = window_.get();
  if (!popup || IsWindowVisible(popup)) return;
  DWORD flags = kFadeIn;
  // While the user answers one of the program's own windows, the popup
  // appears without taking the keyboard from it.
  HWND active = GetActiveWindow();
  if (active && active != popup && IsWindowVisible(active)) flags &= ~static_cast<DWORD>(AW_ACTIVATE);
  if (!AnimateWindow(popup, kFadeMilliseconds, flags) || !IsWindowVisible(popup)) {
    ShowWindow(popup, SW_SHOWNOACTIVATE);
  }
  restack();
}

void Form2Popup::repaint() {
  if (HWND popup = window_.get()) {
    RedrawWindow(popup, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }
}

void Form2Popup::set_lines(const std::string& txt, const std::string& txt2) {
  HWND popup = window_.get();
  if (!popup) return;
  const struct {
    int id;
    const std::string& text;
  } lines[] = {{kPopupMessageId, txt}, {kPopupStateId, txt2}};
  for (const auto& line : lines) {
    HWND label = GetDlgItem(popup, line.id);
    SetWindowTextW(label, widen(line.text).c_str());
    RedrawWindow(label, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  }
  fit_state_line();
}

void Form2Popup::fade_out_and_close() {
  HWND popup = window_.get();
  if (!popup) return;
  if (IsWindowVisible(popup) &&
      (!AnimateWindow(popup, kFadeMilliseconds, kFadeOut) || IsWindowVisible(popup))) {
    ShowWindow(popup, SW_HIDE);
  }
  window_.reset();
}

}  // namespace proxanto::win
