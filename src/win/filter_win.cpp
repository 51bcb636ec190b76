#include "win/filter_win.h"

#include <commctrl.h>

#include <string>
#include <utility>
#include <vector>

#include "win/dialog_util.h"
#include "win/filter_ids.h"
#include "win/gdi_util.h"
#include "win/main_window.h"
#include "win/resource_ids.h"
#include "win/win_util.h"
#include "win/window_util.h"

namespace proxanto::win {

namespace {

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr int kClientWidthTwips = 3015;
constexpr int kClientHeightTwips = 1335;
constexpr int kDroppedRows = 12;
constexpr int kComboBorderPx = 6;  // the closed box around its selection field

// The dialog that is open now: the tray menu still works while it is shown,
// and asking for the dialog again brings this one to the front.
HWND g_open_dialog = nullptr;

std::wstring item_text(HWND list, int row) {
  const LRESULT length = SendMessageW(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(row), 0);
  if (length == CB_ERR) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT got = SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(row),
                                   reinterpret_cast<LPARAM>(text.data()));
  text.resize(got == CB_ERR ? 0 : static_cast<std::size_t>(got));
  return text;
}

// The picture at the given size in pixels; scaled smoothly when the screen is
// not at 96 DPI.
UniqueBitmap load_picture(int width, int height) {
  UniqueBitmap picture(static_cast<HBITMAP>(LoadImageW(
      module(), MAKEINTRESOURCEW(IDB_FILTER_PICTURE), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
  BITMAP info{};
  if (!picture || !GetObjectW(picture.get(), sizeof(info), &info)) return picture;
  if (info.bmWidth == width && info.bmHeight == height) return picture;

  HDC screen = GetDC(nullptr);
  if (!screen) return picture;
  UniqueBitmap scaled(CreateCompatibleBitmap(screen, width, height));
  {
    UniqueDc source(CreateCompatibleDC(screen));
    UniqueDc target(CreateCompatibleDC(screen));
    if (scaled && source && target) {
      SelectedObject from(source.get(), picture.get());
      SelectedObject to(target.get(), scaled.get());
      SetStretchBltMode(target.get(), HALFTONE);
      SetBrushOrgEx(target.get(), 0, 0, nullptr);
      StretchBlt(target.get(), 0, 0, width, height, source.get(), 0, 0, info.bmWidth,
                 info.bmHeight, SRCCOPY);
    }
  }
  ReleaseDC(nullptr, screen);
  return scaled ? std::move(scaled) : std::move(picture);
}

// A failure of the dialog's own work closes it (the call into the form cannot
// throw): nothing was changed yet, so everything is left as it was.
class FilterDialog final : public DialogHandler {
 public:
  FilterDialog(Form1& form, int start_index) : form_(form), start_index_(start_index) {}

  void run(HWND owner) { run_dialog(owner, kStyle, 0, *this); }

 private:
  INT_PTR handle(HWND box, UINT message, WPARAM wparam, LPARAM) override {
    switch (message) {
      case WM_INITDIALOG:
        g_open_dialog = box;
        load(box);
        return FALSE;  // the focus is set by load
      case WM_COMMAND:
        on_command(box, LOWORD(wparam));
        return TRUE;
      case WM_CLOSE:
        if (!busy_) EndDialog(box, IDCANCEL);
        return TRUE;
      default:
        return FALSE;
    }
  }

  void load(HWND box) {
    font_ = make_font(L"MS Sans Serif", 8.25, false, false, false, EASTEUROPE_CHARSET);
    big_icon_.reset(static_cast<HICON>(
        LoadImageW(module(), MAKEINTRESOURCEW(IDI_PROXANTO), IMAGE_ICON,
                   GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0)));
    small_icon_.reset(static_cast<HICON>(
        LoadImageW(module(), MAKEINTRESOURCEW(IDI_PROXANTO), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0)));
    SendMessageW(box, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big_icon_.get()));
    SendMessageW(box, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_icon_.get()));

    // Creation order is the tab order: the list, then the buttons left to right.
    HWND label = add(box, kFilterLabelId, L"STATIC", SS_NOPREFIX, twips_rect(1080, 120, 1815, 255));
    HWND list = add(box, kFilterListId, L"COMBOBOX",
                    WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_SORT,
                    twips_rect(1080, 360, 1815, 315));
    HWND cancel = add(box, kFilterCancelId, L"BUTTON", WS_TABSTOP | BS_PUSHBUTTON,
                      twips_rect(120, 840, 1215, 375));
    HWND ok = add(box, kFilterOkId, L"BUTTON", WS_TABSTOP | BS_DEFPUSHBUTTON,
                  twips_rect(1680, 840, 1215, 375));
    add_picture(box);
    fit_list(list);

    SetWindowTextW(box, widen(form_.message(4)).c_str());
    SetWindowTextW(label, widen(form_.message(5)).c_str());
    SetWindowTextW(ok, widen(form_.message(2)).c_str());
    SetWindowTextW(cancel, widen(form_.message(3)).c_str());
    FlatButton(ok);
    FlatButton(cancel);
    SendMessageW(box, DM_SETDEFID, kFilterOkId, 0);

    fill_list(list);
    size_and_centre(box, kClientWidthTwips, kClientHeightTwips);
    SetFocus(list);
  }

  HWND add(HWND box, int id, const wchar_t* window_class, DWORD style, const RECT& rect) {
    return add_control(box, id, window_class, L"", style, rect, font_.get());
  }

  // The picture lies under the Cancel button, which overlaps its lower edge:
  // it is the last sibling and clips the others out of its painting.
  void add_picture(HWND box) {
    const RECT place = twips_rect(0, 0, 930, 885);
    picture_ = load_picture(width_of(place), height_of(place));
    HWND picture = add(box, kFilterPictureId, L"STATIC", SS_BITMAP | WS_CLIPSIBLINGS, place);
    SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture_.get()));
    SetWindowPos(picture, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  }

  // The closed list is as high as its design; the open one shows a dozen rows.
  static void fit_list(HWND list) {
    const int closed = twips_to_px_y(315);
    SendMessageW(list, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), closed - kComboBorderPx);
    const LRESULT row = SendMessageW(list, CB_GETITEMHEIGHT, 0, 0);
    const int rows_height = row > 0 ? static_cast<int>(row) * kDroppedRows : closed * kDroppedRows;
    SetWindowPos(list, nullptr, 0, 0, twips_to_px_x(1815), closed + rows_height + 2,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // Version 6 of the controls counts rows instead of using the height.
    SendMessageW(list, CB_SETMINVISIBLE, kDroppedRows, 0);
  }

  // The row without filter and one row per country in the current language;
  // the list sorts the rows as they come, so each country's row is found
  // again by its name.
  void fill_list(HWND list) {
    const LRESULT off = SendMessageW(list, CB_ADDSTRING, 0,
                                     reinterpret_cast<LPARAM>(widen(form_.message(1)).c_str()));
    if (off >= 0) SendMessageW(list, CB_SETITEMDATA, static_cast<WPARAM>(off), -1);

    const std::vector<std::string>& names = form_.LNG_INT == 0 ? form_.ARR_CS : form_.ARR_EN;
    for (std::size_t id = 0; id < names.size(); ++id) {
      const std::wstring name = widen(names[id]);
      SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
      const int rows = static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0));
      for (int row = 0; row < rows; ++row) {
        if (item_text(list, row) == name) {
          SendMessageW(list, CB_SETITEMDATA, static_cast<WPARAM>(row), static_cast<LPARAM>(id));
        }
      }
    }

    const int rows = static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0));
    const int chosen = start_index_ >= 0 && start_index_ < rows ? start_index_ : 0;
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(chosen), 0);
  }

  void on_command(HWND box, int id) {
    // While the form works on the choice, its message boxes and the timers
    // run their own loops: nothing in the dialog may act a second time.
    if (busy_) return;
    if (id == kFilterOkId) {
      on_ok(box);
    } else if (id == kFilterCancelId) {
      EndDialog(box, IDCANCEL);
    }
  }

  void on_ok(HWND box) {
    HWND list = GetDlgItem(box, kFilterListId);
    int position = static_cast<int>(SendMessageW(list, CB_GETCURSEL, 0, 0));
    if (position < 0) position = 0;
    const auto country =
        static_cast<int>(SendMessageW(list, CB_GETITEMDATA, static_cast<WPARAM>(position), 0));

    busy_ = true;
    EnableWindow(box, FALSE);
    Form1& form = form_;
    guarded(&form, [&form, country, position] { form.filter_chosen(country, position); });
    EnableWindow(box, TRUE);
    busy_ = false;
    EndDialog(box, IDOK);
  }

  Form1& form_;
  int start_index_;
  bool busy_ = false;
  UniqueFont font_;
  UniqueIcon big_icon_;
  UniqueIcon small_icon_;
  UniqueBitmap picture_;
};

}  // namespace

void show_filter_dialog(HWND owner, Form1& form, int start_index) {
  if (g_open_dialog != nullptr && IsWindow(g_open_dialog)) {
    SetForegroundWindow(g_open_dialog);
    return;
  }
  // The fonts, icons and picture live in `dialog` and outlast the window,
  // which is destroyed before DialogBoxIndirectParamW returns.
  FilterDialog dialog(form, start_index);
  dialog.run(owner);
  g_open_dialog = nullptr;
}

}  // namespace proxanto::win
