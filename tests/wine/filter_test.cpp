#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/form1.h"
#include "database/countries.h"
#include "proxy/registry.h"
#include "win/adapters_win.h"
#include "win/filter_ids.h"
#include "win/filter_win.h"
#include "win/registry_win.h"
#include "wine/null_ports.h"
#include "wine/ui_driver.h"

namespace proxanto::win {
namespace {

const std::string kOwnKey = "Software\\Marvedo\\Quillet";
constexpr std::size_t kRows = 34;  // "no filter" and 33 countries

struct Row {
  std::wstring text;
  LRESULT data = 0;
};

std::vector<Row> rows_of(HWND list) {
  std::vector<Row> rows;
  const auto count = static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    wchar_t text[128] = {};
    SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
    rows.push_back({text, SendMessageW(list, CB_GETITEMDATA, static_cast<WPARAM>(i), 0)});
  }
  return rows;
}

HWND list_of(HWND dialog) { return GetDlgItem(dialog, kFilterListId); }
LRESULT chosen_row(HWND dialog) { return SendMessageW(list_of(dialog), CB_GETCURSEL, 0, 0); }

// Chooses the row of a country; gives the row.
int choose(HWND dialog, LRESULT country) {
  const std::vector<Row> rows = rows_of(list_of(dialog));
  int row = 0;
  while (row < static_cast<int>(rows.size()) && rows[static_cast<std::size_t>(row)].data != country)
    ++row;
  SendMessageW(list_of(dialog), CB_SETCURSEL, static_cast<WPARAM>(row), 0);
  return row;
}

BOOL CALLBACK find_dialog(HWND window, LPARAM found) {
  if (!IsWindowVisible(window) || !GetDlgItem(window, kFilterListId)) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// The open filter dialog of this thread, or null.
HWND open_dialog() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), &find_dialog, reinterpret_cast<LPARAM>(&found));
  return found;
}

// Records the texts of the message boxes and answers OK; `while_shown` runs
// while a box would be waiting for the user.
struct RecordedBoxes final : MessageBoxPort {
  int show(const std::string& text, const std::string&, unsigned) override {
    texts.push_back(text);
    if (while_shown) while_shown();
    return kIdOk;
  }
  std::vector<std::string> texts;
  std::function<void()> while_shown;
};

class FilterDialog : public ::testing::Test {
 protected:
  void SetUp() override {
    form.Hkey = kOwnKey;
    form.ini_path = "C:\\proxanto\\ip.ini";
    form.ARR_EN = english_country_names();
    form.ARR_CS = czech_country_names();
    clean_registry();
    ASSERT_TRUE(owner);
  }
  void TearDown() override { clean_registry(); }
  void clean_registry() {
    for (const char* name : {"filter_id", "filter_index"})
      DeleteRegValue(registry, RegRoot::LocalMachine, kOwnKey, name);
    for (const char* name : {"ProxyServer", "ProxyEnable"})
      DeleteRegValue(registry, RegRoot::CurrentUser, kInternetSettings, name);
  }
  std::string saved(const char* name) {
    return GetRegString(registry, RegRoot::LocalMachine, kOwnKey, name);
  }
  // Opens the dialog; `inspect` runs inside its modal loop and must close it.
  ModalRun run(int start_index, std::function<void(HWND)> inspect) {
    const ModalRun result = drive_modal(
        [&] { show_filter_dialog(owner.get(), form, start_index); }, &open_dialog,
        std::move(inspect));
    EXPECT_TRUE(result.inspected) << "the dialog never appeared";
    EXPECT_FALSE(result.closed_by_force) << "the dialog did not close";
    EXPECT_TRUE(IsWindowEnabled(owner.get()));
    return result;
  }
  void expect_nothing_changed(const char* how) {
    EXPECT_EQ(form.filtr_id + "/" + form.filtr_index, "-1/0") << how;
    EXPECT_EQ(form.ip_count, 0) << how << ": the list was loaded";
    EXPECT_TRUE(form.current_ip.empty()) << how;
    EXPECT_TRUE(boxes.texts.empty()) << how;
    for (const char* name : {"filter_id", "filter_index"})
      EXPECT_FALSE(registry.read(RegRoot::LocalMachine, kOwnKey, name)) << how << " saved " << name;
  }

  NullPorts unused;
  Win32Registry registry;
  Win32Strings strings{GetModuleHandleW(nullptr)};
  WorkedExampleFiles files;
  RecordedBoxes boxes;
  Platform platform{registry, files,  unused, boxes,  strings, unused, unused,
                    unused,   unused, unused, unused, unused,  unused, unused, unused};
  Form1 form{platform};
  const UniqueWindow owner = make_window();
};

TEST_F(FilterDialog, ShowsItsTextsAndEveryCountrySortedByNameInEitherLanguage) {
  struct Language {
    std::int16_t lng_int;
    std::vector<std::wstring> texts;  // title, label, OK, Cancel, the row without filter
  } languages[] = {
      {0, {L"Filtr zemí", L"Vyberte zemi:", L"Ok", L"Storno", L"- Vypnuto -"}},
      {100, {L"Countries Filter", L"Change country:", L"Ok", L"Cancel", L"- Off -"}},
  };
  std::vector<std::wstring> orders;
  for (const Language& language : languages) {
    form.LNG_INT = language.lng_int;
    const std::vector<std::string>& names = language.lng_int == 0 ? form.ARR_CS : form.ARR_EN;
    run(0, [&](HWND dialog) {
      const std::vector<Row> rows = rows_of(list_of(dialog));
      EXPECT_EQ((std::vector<std::wstring>{text_of(dialog),
                                           text_of(GetDlgItem(dialog, kFilterLabelId)),
                                           text_of(GetDlgItem(dialog, kFilterOkId)),
                                           text_of(GetDlgItem(dialog, kFilterCancelId)),
                                           rows.empty() ? L"" : rows[0].text}),
                language.texts);
      ASSERT_EQ(rows.size(), kRows);
      EXPECT_EQ(rows[0].data, -1);
      EXPECT_EQ(chosen_row(dialog), 0);
      std::vector<bool> seen(names.size(), false);
      std::wstring order;
      for (std::size_t i = 1; i < kRows; ++i) {
        const LRESULT id = rows[i].data;
        ASSERT_TRUE(id >= 0 && id < static_cast<LRESULT>(names.size())) << "row " << i;
        EXPECT_EQ(narrow(rows[i].text), names[static_cast<std::size_t>(id)])
            << "row " << i << " carries the id of another country";
        EXPECT_FALSE(seen[static_cast<std::size_t>(id)]) << "id " << id << " twice";
        seen[static_cast<std::size_t>(id)] = true;
        // Sorted as the user's locale sorts, without regard to case.
        EXPECT_NE(CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, rows[i - 1].text.c_str(),
                                 -1, rows[i].text.c_str(), -1),
                  CSTR_GREATER_THAN)
            << narrow(rows[i - 1].text) << " before " << narrow(rows[i].text);
        order += static_cast<wchar_t>(L'A' + id);
      }
      orders.push_back(order);
      click(dialog, kFilterCancelId);
    });
  }
  ASSERT_EQ(orders.size(), 2u);
  EXPECT_NE(orders[0], orders[1]) << "the same order in both languages: not sorted by name";
}

TEST_F(FilterDialog, IsAModalWindowOfTheDesignSizeCentredWithFlatButtons) {
  run(0, [&](HWND dialog) {
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), owner.get());
    EXPECT_FALSE(IsWindowEnabled(owner.get())) << "modal";
    EXPECT_TRUE(SendMessageW(dialog, WM_GETICON, ICON_SMALL, 0)) << "no icon";
    EXPECT_NE(GetWindowLongW(dialog, GWL_STYLE) & WS_SYSMENU, 0) << "no close box";

    expect_client_twips_and_centred(dialog, 3015, 1335);

    const struct {
      int id, left, top, width, height;
    } design[] = {{kFilterPictureId, 0, 0, 930, 885},
                  {kFilterLabelId, 1080, 120, 1815, 255},
                  {kFilterListId, 1080, 360, 1815, 315},
                  {kFilterCancelId, 120, 840, 1215, 375},
                  {kFilterOkId, 1680, 840, 1215, 375}};
    for (const auto& d : design) {
      const RECT r = rect_in(GetDlgItem(dialog, d.id), dialog);
      const RECT want = twips_rect(d.left, d.top, d.width, d.height);
      EXPECT_EQ((std::vector<LONG>{r.left, r.top, width_of(r), height_of(r)}),
                (std::vector<LONG>{want.left, want.top, width_of(want), height_of(want)}))
          << d.id;
    }

    // The picture is drawn, and under the Cancel button that overlaps it.
    HWND picture = GetDlgItem(dialog, kFilterPictureId);
    const auto bitmap =
        reinterpret_cast<HBITMAP>(SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
    BITMAP info{};
    ASSERT_TRUE(bitmap && GetObjectW(bitmap, sizeof(info), &info));
    EXPECT_EQ(info.bmWidth, twips_to_px_x(930));
    EXPECT_EQ(info.bmHeight, twips_to_px_y(885));
    EXPECT_TRUE(above(GetDlgItem(dialog, kFilterCancelId), picture));

    const LONG list_style = GetWindowLongW(list_of(dialog), GWL_STYLE);
    EXPECT_EQ(list_style & 3, CBS_DROPDOWNLIST) << "no free text";
    EXPECT_NE(list_style & CBS_SORT, 0);
    EXPECT_EQ(GetFocus(), list_of(dialog));
    for (const int id : {kFilterOkId, kFilterCancelId}) {
      EXPECT_NE(GetWindowLongW(GetDlgItem(dialog, id), GWL_STYLE) & BS_FLAT, 0) << id;
    }
    EXPECT_EQ(SendMessageW(dialog, DM_GETDEFID, 0, 0), MAKELRESULT(kFilterOkId, DC_HASDEFID));
    EXPECT_EQ(GetWindowLongW(GetDlgItem(dialog, kFilterOkId), GWL_STYLE) & BS_TYPEMASK,
              BS_DEFPUSHBUTTON);
    click(dialog, kFilterCancelId);
  });
  EXPECT_FALSE(open_dialog());
}

TEST_F(FilterDialog, PreselectsTheStartRowAndAnyPositionOutsideTheListChoosesTheFirst) {
  const std::pair<int, int> cases[] = {{0, 0}, {7, 7}, {33, 33}, {34, 0}, {-1, 0}, {1000, 0}};
  for (const auto& [start, chosen] : cases) {
    run(start, [&, chosen = chosen, start = start](HWND dialog) {
      EXPECT_EQ(chosen_row(dialog), chosen) << "start row " << start;
      click(dialog, kFilterCancelId);
    });
  }
}

TEST_F(FilterDialog, CancelEscapeAndTheCloseBoxChangeNothing) {
  const std::pair<const char*, std::function<void(HWND)>> closes[] = {
      {"Cancel", [](HWND dialog) { click(dialog, kFilterCancelId); }},
      {"Escape", [](HWND dialog) { press_key(dialog, VK_ESCAPE); }},
      {"close box", [](HWND dialog) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }},
  };
  for (const auto& [how, close] : closes) {
    run(0, [&, close = close](HWND dialog) {
      choose(dialog, 8);
      close(dialog);
    });
    expect_nothing_changed(how);
  }
}

// Which row carries which country, and what OK does with it, is checked end
// to end; here Enter presses OK, and the row without filter switches it off.
TEST_F(FilterDialog, EnterPressesOkAndTheRowWithoutFilterSwitchesTheFilterOff) {
  form.filter_chosen(8, 3);
  ASSERT_EQ(form.ip_count, 3);
  run(3, [&](HWND dialog) {
    choose(dialog, -1);
    press_key(dialog, VK_RETURN);
  });
  EXPECT_EQ(form.filtr_id + "/" + form.filtr_index, "-1/0");
  EXPECT_EQ(saved("filter_id") + "/" + saved("filter_index"), "-1/0");
  EXPECT_EQ(form.ip_count, 4);
  EXPECT_TRUE(boxes.texts.empty());
}

TEST_F(FilterDialog, ACountryWithoutEntriesIsSavedWhileTheLoaderClearsTheFilter) {
  int iran_row = -1;
  int dialogs_while_shown = 0;
  // While the loader's message waits, the dialog is asked again to take OK,
  // Cancel and to close: none of it may run a second time or close the
  // dialog under the running handler.
  boxes.while_shown = [&] {
    HWND dialog = open_dialog();
    if (boxes.texts.size() > 1 || !dialog) return;  // a second box: no endless nesting
    ++dialogs_while_shown;
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(kFilterOkId, BN_CLICKED), 0);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(kFilterCancelId, BN_CLICKED), 0);
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    pump_messages();
  };
  run(0, [&](HWND dialog) {
    iran_row = choose(dialog, 5);
    click(dialog, kFilterOkId);
  });
  ASSERT_GT(iran_row, 0);
  EXPECT_EQ(dialogs_while_shown, 1) << "the dialog closed before the handler ended";
  EXPECT_EQ(boxes.texts, std::vector<std::string>{"V DB není žádná IP adpovídající vybrané zemi !"
                                                  "\r\nFiltr nelze použít !"});
  EXPECT_EQ(form.filtr_id + "/" + form.filtr_index, "-1/0");
  EXPECT_EQ(form.ip_count, 4) << "the whole list is loaded instead";
  EXPECT_EQ(saved("filter_id") + "/" + saved("filter_index"), "5/" + std::to_string(iran_row));
  EXPECT_FALSE(open_dialog());
}

TEST_F(FilterDialog, AskedForAgainWhileOpenTheDialogIsNotOpenedTwice) {
  int dialogs = 0;
  run(0, [&](HWND dialog) {
    show_filter_dialog(owner.get(), form, 0);  // returns at once
    for (HWND w = FindWindowW(nullptr, L"Filtr zemí"); w;
         w = FindWindowExW(nullptr, w, nullptr, L"Filtr zemí")) {
      ++dialogs;
    }
    click(dialog, kFilterCancelId);
  });
  EXPECT_EQ(dialogs, 1);
  run(0, [](HWND dialog) { click(dialog, kFilterCancelId); });  // closed, it opens again
}

}  // namespace
}  // namespace proxanto::win
