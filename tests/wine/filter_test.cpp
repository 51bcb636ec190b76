#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/form1.h"
#include "database/countries.h"
#include "win/adapters_win.h"
#include "win/filter_ids.h"
#include "win/filter_win.h"
#include "native/fakes.h"
#include "wine/ui_driver.h"

namespace proxanto::win {
namespace {

LRESULT on_list(HWND dialog, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
  return SendMessageW(GetDlgItem(dialog, kFilterListId), message, wparam, lparam);
}

// Over a Form1 in English on the worked example; the registry keeps nothing,
// message boxes are answered at once, after `while_shown`.
class FilterDialog : public ::testing::Test, RegistryPort, MessageBoxPort {
 protected:
  std::optional<RegValue> read(RegRoot, const std::string&, const std::string&) override { return {}; }
  bool write(RegRoot, const std::string&, const std::string&, const RegValue&) override { return true; }
  void remove(RegRoot, const std::string&, const std::string&) override {}
  int show(const std::string&, const std::string&, unsigned) override {
    if (++boxes == 1) while_shown();
    return kIdOk;
  }
  void SetUp() override {
    form.ARR_EN = english_country_names();
    form.LNG_INT = 100;
    form.ini_path = os.ini_path();
    // Two countries past the first table: Germany (82) twice, the United Kingdom (99).
    os.ini() = "[IP]\r\ncount=4\r\n0=192.0.2.10:8080;8\r\n1=192.0.2.11:80;82\r\n"
               "2=192.0.2.12:80;82\r\n3=192.0.2.13:80;99\r\n";
    form.filter_Click();  // counts the countries, then opens the fake's dialog
  }
  void run(int start_index, const std::function<void(HWND)>& inspect) {
    drive_modal([&] { show_filter_dialog(owner.get(), form, start_index); }, &open_dialog, inspect);
  }

  int boxes = 0;
  std::function<void()> while_shown;
  testing::TestPlatform os;
  Win32Strings strings{GetModuleHandleW(nullptr)};
  Platform platform{*this, os.files, os, *this, strings, os, os, os, os, os, os, os, os, os, os};
  Form1 form{platform};
  const UniqueWindow owner = make_window();
};

// A dialog laid out for its DPI, and again with the icon and picture
// made for it when the DPI changes; a start row outside the first table
// without a filter of the later rows chooses the row without filter. The
// first table's countries come first, sorted, then those of the database's
// other countries with their numbers of proxies, sorted apart. Enter
// presses OK; while the loader's message waits, the dialog neither opens
// again nor takes OK, Cancel or closing. Escape and the close box close it.
TEST_F(FilterDialog, LayoutFollowsTheDpi) {
  while_shown = [&] {
    show_filter_dialog(owner.get(), form, 0);  // a second dialog would wait to be ended by force
    for (const int id : {kFilterOkId, kFilterCancelId}) PostMessageW(open_dialog(), WM_COMMAND, id, 0);
    PostMessageW(open_dialog(), WM_CLOSE, 0, 0);
    for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&message);
    EXPECT_TRUE(open_dialog()) << "the dialog closed under the running handler";
  };
  run(34, [&](HWND dialog) {
    EXPECT_EQ((std::pair{on_list(dialog, CB_GETCURSEL), on_list(dialog, CB_GETITEMDATA, 0)}),
              (std::pair<LRESULT, LRESULT>{0, -1}));
    ASSERT_EQ(on_list(dialog, CB_GETCOUNT), 36);
    std::vector<std::wstring> first, later;
    for (WPARAM row = 1; row < 36; ++row) {
      wchar_t text[64] = {};
      on_list(dialog, CB_GETLBTEXT, row, reinterpret_cast<LPARAM>(text));
      const std::string name = form.ARR_EN.at(static_cast<std::size_t>(on_list(dialog, CB_GETITEMDATA, row)));
      EXPECT_EQ(narrow(text), row < 34 ? name : name + (row == 34 ? " (2)" : " (1)"));
      (row < 34 ? first : later).push_back(text);
    }
    EXPECT_EQ(later, (std::vector<std::wstring>{L"Germany (2)", L"United Kingdom (1)"}));
    EXPECT_TRUE(std::is_sorted(first.begin(), first.end(), [](const auto& a, const auto& b) {
      return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_LESS_THAN;
    }));

    expect_layout_follows_dpi(dialog, {3015, 1335},
                              {{kFilterPictureId, 0, 0, 930, 885},
                               {kFilterLabelId, 1080, 120, 1815, 255},
                               {kFilterListId, 1080, 360, 1815, 315},
                               {kFilterCancelId, 120, 840, 1215, 375},
                               {kFilterOkId, 1680, 840, 1215, 375}});
    BITMAP picture{};
    GetObjectW(reinterpret_cast<HGDIOBJ>(SendDlgItemMessageW(dialog, kFilterPictureId, STM_GETIMAGE, IMAGE_BITMAP, 0)),
               sizeof(picture), &picture);
    EXPECT_EQ((std::pair<long, long>{picture.bmWidth, picture.bmHeight}),
              (std::pair{px(930, other_dpi()), px(885, other_dpi())}));
    const auto icon = reinterpret_cast<HICON>(SendMessageW(dialog, WM_GETICON, ICON_SMALL, 0));
    EXPECT_EQ(icon_width(icon), static_cast<int>(16 * other_dpi() / 96));
    WPARAM row = 1;
    while (row < 33 && on_list(dialog, CB_GETITEMDATA, row) != 5) ++row;  // Iran, without entries
    on_list(dialog, CB_SETCURSEL, row);
    press_key(dialog, VK_RETURN);
  });
  EXPECT_EQ(boxes, 1) << "Enter did not press OK, or OK ran twice";
  // A later row's place moves with the database: the active filter's row is chosen.
  form.filtr_id = "99";
  for (const auto& [start, chosen] : {std::pair{40, 35}, {5, 5}}) {
    run(start, [chosen = chosen](HWND dialog) {
      EXPECT_EQ(on_list(dialog, CB_GETCURSEL), chosen);
      press_key(dialog, VK_ESCAPE);
    });
  }
  run(0, [](HWND dialog) { press_key(dialog, VK_ESCAPE); });
  run(0, [](HWND dialog) { PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); });
}

}  // namespace
}  // namespace proxanto::win
