#include "win/filter_win.h"

#include <commctrl.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "database/countries.h"
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
constexpr int kComboBorderPx = 6;  // around the closed box's selection field, at 96 DPI
const FontLook kFont{L"MS Sans Serif", 8.25};

// The dialog that is open now: the tray menu still works while it is shown,
// and asking for the dialog again brings this one to the front.
HWND g_open_dialog = nullptr;

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
    // Creation order is the tab order: the list, then the buttons left to
    // right; the picture comes last.
    HWND label = add_control(box, kFilterLabelId, L"STATIC", L"", SS_NOPREFIX);
    HWND list = add_control(box, kFilterListId, L"COMBOBOX", L"",
                            WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST);
    HWND cancel = add_control(box, kFilterCancelId, L"BUTTON", L"", WS_TABSTOP | BS_PUSHBUTTON);
    HWND ok = add_control(box, kFilterOkId, L"BUTTON", L"", WS_TABSTOP | BS_DEFPUSHBUTTON);
    // The picture lies under the Cancel button, which overlaps its lower
    // edge: it is the last sibling and clips the others out of its painting.
    HWND picture = add_control(box, kFilterPictureId, L"STATIC", L"", SS_BITMAP | WS_CLIPSIBLINGS);
    SetWindowPos(picture, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

    SetWindowTextW(box, widen(form_.message(4)).c_str());
    SetWindowTextW(label, widen(form_.message(5)).c_str());
    SetWindowTextW(ok, widen(form_.message(2)).c_str());
    SetWindowTextW(cancel, widen(form_.message(3)).c_str());
    FlatButton(ok);
    FlatButton(cancel);
    SendMessageW(box, DM_SETDEFID, kFilterOkId, 0);

    fill_list(list);
    lay_out(box, dpi_of(box));
    centre(box);
    SetFocus(list);
  }

  void lay_out(HWND box, UINT dpi) override {
    struct Place {
      int id, left, top, width, height;
    };
    static constexpr Place kPlaces[] = {{kFilterPictureId, 0, 0, 930, 885},
                                        {kFilterLabelId, 1080, 120, 1815, 255},
                                        {kFilterListId, 1080, 360, 1815, 315},
                                        {kFilterCancelId, 120, 840, 1215, 375},
                                        {kFilterOkId, 1680, 840, 1215, 375}};
    // The controls take the new font before the old one is deleted.
    UniqueFont font = make_font(kFont, dpi);
    for (const Place& p : kPlaces) {
      place_control(GetDlgItem(box, p.id), twips_rect(p.left, p.top, p.width, p.height, dpi),
                    font.get());
    }
    font_ = std::move(font);
    fit_list(GetDlgItem(box, kFilterListId), dpi);

    const RECT picture_place = twips_rect(0, 0, 930, 885, dpi);
    UniqueBitmap picture = load_picture(IDB_FILTER_PICTURE, IDB_FILTER_PICTURE_2X,
                                        width_of(picture_place), height_of(picture_place));
    SendMessageW(GetDlgItem(box, kFilterPictureId), STM_SETIMAGE, IMAGE_BITMAP,
                 reinterpret_cast<LPARAM>(picture.get()));
    picture_ = std::move(picture);

    // The icons at the sizes the system asks for at this DPI.
    UniqueIcon big_icon = load_program_icon(metric_for_dpi(SM_CXICON, dpi));
    UniqueIcon small_icon = load_program_icon(metric_for_dpi(SM_CXSMICON, dpi));
    SendMessageW(box, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big_icon.get()));
    SendMessageW(box, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_icon.get()));
    big_icon_ = std::move(big_icon);
    small_icon_ = std::move(small_icon);

    set_client_size(box, twips_to_px(kClientWidthTwips, dpi), twips_to_px(kClientHeightTwips, dpi),
                    dpi);
  }

  // The closed list is as high as its design; the open one shows a dozen
  // rows. The closed box is its selection field in a border whose width
  // depends on the DPI and the theme: the field is sized for the border at
  // 96 DPI scaled, then corrected by what came out.
  static void fit_list(HWND list, UINT dpi) {
    const int closed = twips_to_px(315, dpi);
    const int field = closed - MulDiv(kComboBorderPx, static_cast<int>(dpi), kDefaultDpi);
    SendMessageW(list, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field);
    RECT now{};
    GetWindowRect(list, &now);
    if (height_of(now) != closed) {
      SendMessageW(list, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), field + closed - height_of(now));
    }
    const LRESULT row = SendMessageW(list, CB_GETITEMHEIGHT, 0, 0);
    const int rows_height = row > 0 ? static_cast<int>(row) * kDroppedRows : closed * kDroppedRows;
    SetWindowPos(list, nullptr, 0, 0, twips_to_px(1815, dpi), closed + rows_height + 2,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // Version 6 of the controls counts rows instead of using the height.
    SendMessageW(list, CB_SETMINVISIBLE, kDroppedRows, 0);
  }

  // The row without filter, the countries of the first table, then the
  // other countries that proxies of the database have, each with its number
  // of proxies. Each part is sorted by name as the list control sorts; the
  // list itself does not sort, so that the parts stay apart.
  void fill_list(HWND list) {
    struct Row {
      std::wstring text;
      int country;
    };
    const std::vector<std::string>& names = form_.LNG_INT == 0 ? form_.ARR_CS : form_.ARR_EN;
    const std::vector<int>& counts = form_.country_counts;
    std::vector<Row> first, later;
    for (std::size_t id = 0; id < names.size(); ++id) {
      const int count = id < counts.size() ? counts[id] : 0;
      if (id < kFirstTableCount) {
        first.push_back({widen(names[id]), static_cast<int>(id)});
      } else if (count > 0) {
        const std::string text = names[id] + " (" + std::to_string(count) + ")";
        later.push_back({widen(text), static_cast<int>(id)});
      }
    }
    const auto by_name = [](const Row& a, const Row& b) {
      return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.text.c_str(), -1,
                            b.text.c_str(), -1) == CSTR_LESS_THAN;
    };
    std::sort(first.begin(), first.end(), by_name);
    std::sort(later.begin(), later.end(), by_name);

    const auto add = [list](const std::wstring& text, int country) {
      const LRESULT row =
          SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
      if (row >= 0) SendMessageW(list, CB_SETITEMDATA, static_cast<WPARAM>(row), country);
    };
    add(widen(form_.message(1)), -1);
    for (const Row& row : first) add(row.text, row.country);
    for (const Row& row : later) add(row.text, row.country);

    // The first table's rows keep their places from one opening to the next;
    // the later ones move with the database, so the active filter's own row
    // is chosen there.
    const int fixed_rows = 1 + static_cast<int>(first.size());
    int chosen = start_index_ >= 0 && start_index_ < fixed_rows ? start_index_ : 0;
    const std::optional<int> filter = form_.active_filter();
    if (start_index_ >= fixed_rows && filter) {
      for (std::size_t k = 0; k < later.size(); ++k) {
        if (later[k].country == *filter) chosen = fixed_rows + static_cast<int>(k);
      }
    }
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
