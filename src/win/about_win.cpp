#include "win/about_win.h"

#include <shellapi.h>

#include <algorithm>
#include <array>
#include <string>
#include <utility>

#include "geo/country_ranges_source.h"
#include "win/about_ids.h"
#include "win/dialog_util.h"
#include "win/gdi_util.h"
#include "win/version_info.h"
#include "win/win_util.h"
#include "win/window_util.h"

namespace proxanto::win {

namespace {

constexpr wchar_t kAppTitle[] = L"Proxanto";
constexpr wchar_t kMakerMail[] = L"info@marvedo.com";
constexpr wchar_t kMakerWeb[] = L"http://www.marvedo.com/";

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = 0;

constexpr COLORREF kLinkColour = RGB(0, 0, 255);
constexpr COLORREF kPanelBorder = RGB(202, 204, 202);
constexpr COLORREF kPanelFill = RGB(242, 244, 232);
constexpr COLORREF kLineColour = RGB(192, 192, 192);

std::wstring replace_all(std::wstring text, std::wstring_view what, std::wstring_view with) {
  for (std::size_t at = text.find(what); at != std::wstring::npos;
       at = text.find(what, at + with.size())) {
    text.replace(at, what.size(), with);
  }
  return text;
}

// The credit and licence that the address-to-country data asks for, with
// the date of the data.
std::wstring data_credit() {
  return L"Země podle adresy IP: © NRO (nro.net),\nlicence CC BY 4.0; ip-location-db, " +
         std::to_wstring(kCountryRangesDay) + L". " + std::to_wstring(kCountryRangesMonth) + L". " +
         std::to_wstring(kCountryRangesYear);
}

std::wstring window_text(HWND window) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

// The box's controls in the order the form creates them, at their design
// places in twips. The title, the version and the links fit their size to
// their text, from the left edge, the links from the right one. The other
// labels grow where their text comes out wider than their design at some DPI
// or with a substituted font: no caption is cut off.
enum FontRole { kButtonFont, kCreatedByFont, kSignatureFont, kLinkFont, kVersionFont, kTitleFont,
                kFontCount };
enum class Fit { kNone, kFromLeft, kFromRight, kAtLeastDesign };
struct Design {
  int id;
  const wchar_t* window_class;
  const wchar_t* text;
  DWORD style;
  int left, top, width, height;
  FontRole font;
  Fit fit;
};
constexpr Design kDesign[] = {
    {kAboutCloseId, L"BUTTON", L"", WS_TABSTOP | BS_PUSHBUTTON | BS_CENTER | BS_VCENTER, 3120,
     1200, 1095, 375, kButtonFont, Fit::kNone},
    {kAboutCreatedById, L"STATIC", L"created by", SS_NOPREFIX, 120, 1125, 1815, 255,
     kCreatedByFont, Fit::kAtLeastDesign},
    {kAboutSignatureId, L"STATIC", L"Marvedo-World", SS_NOPREFIX, 240, 1320, 1695, 375,
     kSignatureFont, Fit::kAtLeastDesign},
    {kAboutMailId, L"STATIC", L"", SS_NOPREFIX | SS_NOTIFY | SS_RIGHT, 3600, 600, 645, 195,
     kLinkFont, Fit::kFromRight},
    {kAboutWebId, L"STATIC", L"", SS_NOPREFIX | SS_NOTIFY | SS_RIGHT, 3480, 840, 750, 195,
     kLinkFont, Fit::kFromRight},
    {kAboutVersionId, L"STATIC", L"", SS_NOPREFIX, 960, 480, 600, 210, kVersionFont,
     Fit::kFromLeft},
    {kAboutTitleId, L"STATIC", L"", SS_NOPREFIX, 840, 240, 735, 270, kTitleFont, Fit::kFromLeft},
    {kAboutDataId, L"STATIC", L"", SS_NOPREFIX, 120, 1755, 4095, 450, kVersionFont, Fit::kNone},
};
const FontLook kFonts[kFontCount] = {
    {L"MS Sans Serif", 8.25},
    {L"Arial", 8.25, false, true},
    {L"Comic Sans MS", 9.75, true, false, false, ANSI_CHARSET},
    {L"MS Sans Serif", 8.25, true},
    {L"Arial", 8.25},
    {L"Arial", 11.25, true},
};
const FontLook kLinkUnderlinedFont{L"MS Sans Serif", 8.25, true, false, true};
constexpr int kClientWidthTwips = 4335;
// The design's 1695, and below it the two lines that credit the country data.
constexpr int kClientHeightTwips = 2280;
constexpr int kPixelTwips = 15;  // one pixel at 96 DPI: the width of the lines

class AboutBox final : public DialogHandler {
 public:
  explicit AboutBox(HICON icon) : icon_(icon) {}

  void run(HWND owner) { run_dialog(owner, kStyle, kExStyle, *this); }

 private:
  enum Link { kMail, kWeb, kLinkCount };

  INT_PTR handle(HWND box, UINT message, WPARAM wparam, LPARAM lparam) override {
    switch (message) {
      case WM_INITDIALOG:
        load(box);
        return TRUE;
      case WM_COMMAND:
        on_command(box, LOWORD(wparam), HIWORD(wparam));
        return TRUE;
      case WM_CTLCOLORSTATIC:
        return reinterpret_cast<INT_PTR>(
            label_colours(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam)));
      case WM_SETCURSOR:
        if (on_set_cursor(reinterpret_cast<HWND>(wparam), HIWORD(lparam))) {
          SetWindowLongPtrW(box, DWLP_MSGRESULT, TRUE);
          return TRUE;
        }
        return FALSE;
      case WM_MOUSEMOVE:
        on_mouse_move(box, POINT{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))});
        return TRUE;
      case WM_PAINT: {
        PaintCycle paint(box);
        paint_surface(paint.dc());
        return TRUE;
      }
      case WM_PRINTCLIENT:
        paint_surface(reinterpret_cast<HDC>(wparam));
        return TRUE;
      default:
        return FALSE;
    }
  }

  void load(HWND box) {
    panel_brush_.reset(CreateSolidBrush(kPanelFill));
    line_brush_.reset(CreateSolidBrush(kLineColour));
    for (const Design& d : kDesign) add_control(box, d.id, d.window_class, d.text, d.style);
    HWND close = GetDlgItem(box, kAboutCloseId);
    links_[kMail] = GetDlgItem(box, kAboutMailId);
    links_[kWeb] = GetDlgItem(box, kAboutWebId);
    HWND version = GetDlgItem(box, kAboutVersionId);
    HWND title = GetDlgItem(box, kAboutTitleId);
    lay_out(box, dpi_of(box));

    MakeTopmost(box);
    SetWindowTextW(close, L"Zavřít");
    SetWindowTextW(box, L"O programu %1");
    SetWindowTextW(version, L"Verze:");
    FlatButton(close);
    SetWindowTextW(box, replace_all(window_text(box), L"%1", kAppTitle).c_str());
    set_text_sized(title, kAppTitle, false);
    const ProgramVersion v = program_version(module()).value_or(ProgramVersion{});
    const std::wstring version_text = window_text(version) + L" " + std::to_wstring(v.major) +
                                      L"." + std::to_wstring(v.minor) + L"." +
                                      std::to_wstring(v.revision);
    set_text_sized(version, version_text, false);
    set_text_sized(links_[kMail], kMakerMail, true);
    set_text_sized(links_[kWeb], kMakerWeb, true);
    SetWindowTextW(GetDlgItem(box, kAboutDataId), data_credit().c_str());

    centre(box);
  }

  void lay_out(HWND box, UINT dpi) override {
    // The controls take the new fonts before the old ones are deleted.
    std::array<UniqueFont, kFontCount> fonts;
    for (int role = 0; role < kFontCount; ++role) fonts[role] = make_font(kFonts[role], dpi);
    UniqueFont link_underlined = make_font(kLinkUnderlinedFont, dpi);
    for (const Design& d : kDesign) {
      HWND control = GetDlgItem(box, d.id);
      const bool underlined = (control == links_[kMail] && underlined_[kMail]) ||
                              (control == links_[kWeb] && underlined_[kWeb]);
      place_control(control, twips_rect(d.left, d.top, d.width, d.height, dpi),
                    underlined ? link_underlined.get() : fonts[d.font].get());
      if (d.fit != Fit::kNone) fit_to_text(control, d.fit);
    }
    fonts_ = std::move(fonts);
    link_underlined_font_ = std::move(link_underlined);

    const int line_width = twips_to_px(kPixelTwips, dpi);
    panel_ = twips_rect(760, 200, 3510, 870, dpi);
    panel_pen_.reset(CreatePen(PS_INSIDEFRAME, line_width, kPanelBorder));
    line_ = twips_rect(120, 1080, 4080, 0, dpi);
    line_.bottom = line_.top + line_width;
    icon_area_ = twips_rect(240, 240, 480, 480, dpi);
    // The icon as the resource has it at this size, when it came from one;
    // otherwise DrawIconEx scales the one given.
    icon_image_.reset(static_cast<HICON>(CopyImage(icon_, IMAGE_ICON, width_of(icon_area_),
                                                   height_of(icon_area_), LR_COPYFROMRESOURCE)));
    set_client_size(box, twips_to_px(kClientWidthTwips, dpi), twips_to_px(kClientHeightTwips, dpi),
                    dpi);
    InvalidateRect(box, nullptr, TRUE);
  }

  // Sets a label's text and fits the label to it. A right-aligned label keeps
  // its right edge and grows to the left.
  static void set_text_sized(HWND label, const std::wstring& text, bool keep_right_edge) {
    SetWindowTextW(label, text.c_str());
    fit_to_text(label, keep_right_edge ? Fit::kFromRight : Fit::kFromLeft);
  }

  static void fit_to_text(HWND label, Fit fit) {
    const std::wstring text = window_text(label);
    HWND box = GetParent(label);
    RECT place{};
    GetWindowRect(label, &place);
    MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&place), 2);

    RECT extent{};
    {
      const WindowDc dc(label);
      if (!dc.get()) return;
      SelectedObject font(dc.get(), reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)));
      DrawTextW(dc.get(), text.c_str(), static_cast<int>(text.size()), &extent,
                DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    }
    int width = width_of(extent);
    int height = height_of(extent);
    if (fit == Fit::kAtLeastDesign) {
      width = std::max(width, width_of(place));
      height = std::max(height, height_of(place));
    }
    const int left = fit == Fit::kFromRight ? place.right - width : place.left;
    MoveWindow(label, left, place.top, width, height, FALSE);
  }

  void on_command(HWND box, int id, int code) {
    switch (id) {
      case kAboutCloseId:
      case IDOK:
      case IDCANCEL:
        EndDialog(box, id);
        break;
      case kAboutWebId:
        if (code == STN_CLICKED) {
          ShellExecuteW(box, L"open", window_text(links_[kWeb]).c_str(), nullptr, nullptr, 0);
        }
        break;
      case kAboutMailId:
        if (code == STN_CLICKED) {
          const std::wstring target = L"mailto:" + window_text(links_[kMail]);
          ShellExecuteW(box, L"open", target.c_str(), nullptr, nullptr, 0);
        }
        break;
      default:
        break;
    }
  }

  // Every label is transparent; each lies wholly on the panel or wholly on the
  // box's surface, so the colour under it serves as its background.
  HBRUSH label_colours(HDC dc, HWND label) const {
    const int id = GetDlgCtrlID(label);
    const bool on_panel =
        id == kAboutMailId || id == kAboutWebId || id == kAboutVersionId || id == kAboutTitleId;
    SetTextColor(dc, id == kAboutMailId || id == kAboutWebId ? kLinkColour : GetSysColor(COLOR_BTNTEXT));
    SetBkColor(dc, on_panel ? kPanelFill : GetSysColor(COLOR_BTNFACE));
    return on_panel ? panel_brush_.get() : GetSysColorBrush(COLOR_BTNFACE);
  }

  // The links and the button show a hand; moving over a link underlines it.
  bool on_set_cursor(HWND under_mouse, UINT mouse_message) {
    for (int link = 0; link < kLinkCount; ++link) {
      if (under_mouse == links_[link]) {
        if (mouse_message == WM_MOUSEMOVE) set_underline(static_cast<Link>(link), true);
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return true;
      }
    }
    if (under_mouse && GetDlgCtrlID(under_mouse) == kAboutCloseId) {
      SetCursor(LoadCursorW(nullptr, IDC_HAND));
      return true;
    }
    return false;
  }

  // The box's own surface takes both underlines away; the other labels, like
  // the links, belong to themselves and leave the underlines alone.
  void on_mouse_move(HWND box, POINT at) {
    HWND under_mouse = ChildWindowFromPointEx(box, at, CWP_SKIPINVISIBLE);
    if (under_mouse && under_mouse != box) return;
    set_underline(kMail, false);
    set_underline(kWeb, false);
  }

  void set_underline(Link link, bool underlined) {
    if (underlined_[link] == underlined) return;
    underlined_[link] = underlined;
    HFONT font = underlined ? link_underlined_font_.get() : fonts_[kLinkFont].get();
    SendMessageW(links_[link], WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  }

  void paint_surface(HDC dc) const {
    {
      SelectedObject pen(dc, panel_pen_.get());
      SelectedObject brush(dc, panel_brush_.get());
      Rectangle(dc, panel_.left, panel_.top, panel_.right, panel_.bottom);
    }
    FillRect(dc, &line_, line_brush_.get());
    if (HICON icon = icon_image_ ? icon_image_.get() : icon_) {
      DrawIconEx(dc, icon_area_.left, icon_area_.top, icon, width_of(icon_area_),
                 height_of(icon_area_), 0, nullptr, DI_NORMAL);
    }
  }

  HICON icon_;
  HWND links_[kLinkCount]{};
  bool underlined_[kLinkCount]{};
  RECT panel_{};
  RECT line_{};
  RECT icon_area_{};
  UniqueIcon icon_image_;
  std::array<UniqueFont, kFontCount> fonts_;
  UniqueFont link_underlined_font_;
  UniqueBrush panel_brush_;
  UniquePen panel_pen_;
  UniqueBrush line_brush_;
};

}  // namespace

void show_about_box(HWND owner, HICON icon) {
  // The fonts and brushes live in `box` and outlast the dialog, which is
  // destroyed before DialogBoxIndirectParamW returns.
  AboutBox box(icon);
  box.run(owner);
}

}  // namespace proxanto::win
