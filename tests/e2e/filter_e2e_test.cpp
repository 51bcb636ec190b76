#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>

#include "e2e/harness.h"
#include "shared/worked_example.h"
#include "win/filter_ids.h"

namespace proxanto::e2e {
namespace {

using namespace std::chrono_literals;

const std::string& kDatabase = test_data::kWorkedExample;
const std::set<std::string> kUnitedStates = {"192.0.2.10:8080", "203.0.113.25:80",
                                             "198.51.100.33:8080"};
constexpr wchar_t kTitle[] = L"Filtr zemí";

// Positions in the tray menu for the keyboard (see switcher_e2e_test.cpp).
constexpr int kChangeIp = 3;
constexpr int kFilter = 8;
constexpr int kExit = 15;

// The program's message box: a dialog titled with the program's name, which
// the filter dialog, a dialog too, is not.
std::optional<MessageBoxView> program_message_box() {
  for (HWND w = FindWindowExW(nullptr, nullptr, L"#32770", L"Proxanto"); w != nullptr;
       w = FindWindowExW(nullptr, w, L"#32770", L"Proxanto")) {
    HWND text = GetDlgItem(w, 0xFFFF);
    if (!IsWindowVisible(w) || text == nullptr) continue;
    MessageBoxView view;
    view.window = w;
    view.title = window_text(w);
    view.text = window_text(text);
    return view;
  }
  return std::nullopt;
}

int row_with_data(HWND list, LRESULT data) {
  const auto rows = static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0));
  for (int row = 0; row < rows; ++row) {
    if (SendMessageW(list, CB_GETITEMDATA, static_cast<WPARAM>(row), 0) == data) return row;
  }
  return -1;
}

class FilterE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_registry();
    start(run);
  }
  void TearDown() override { reset_registry(); }

  static void start(ProxantoRun& program) {
    program.start();
    ASSERT_TRUE(wait_for([] { return proxy_enable() == 1u; }));
    ASSERT_TRUE(wait_for([&] { return program.popup() == nullptr; }));
  }

  // Opens the dialog from the tray menu.
  static HWND open_filter(const ProxantoRun& program) {
    program.choose_from_menu(kFilter);
    HWND dialog = nullptr;
    wait_for([&] {
      dialog = FindWindowW(nullptr, kTitle);
      return dialog != nullptr && IsWindowVisible(dialog);
    });
    return dialog;
  }

  // Chooses the row of a country and presses OK, the way UI automation does;
  // gives the row.
  static int choose_country(HWND dialog, LRESULT country) {
    HWND list = GetDlgItem(dialog, win::kFilterListId);
    const int row = row_with_data(list, country);
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(row), 0);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(win::kFilterOkId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, win::kFilterOkId)));
    return row;
  }

  static std::string saved(const char* name) {
    return reg_string(RegRoot::LocalMachine, kOwnKey, name);
  }

  ProxantoRun run{kDatabase};
};

TEST_F(FilterE2E, ACountryRestrictsTheProxiesAndIsRestoredAtTheNextStart) {
  // The proxy of the Russian Federation is in use, so that the change to one
  // of the United States shows.
  run.choose_from_menu(kChangeIp, {2});
  ASSERT_TRUE(wait_for([] { return proxy_server() == "192.0.2.200:8000"; }));

  HWND dialog = open_filter(run);
  ASSERT_NE(dialog, nullptr) << "the filter dialog did not open";
  EXPECT_EQ(SendMessageW(GetDlgItem(dialog, win::kFilterListId), CB_GETCURSEL, 0, 0), 0)
      << "nothing saved: the row without filter";
  const int row = choose_country(dialog, 8);
  ASSERT_GT(row, 0);
  ASSERT_TRUE(wait_for([&] { return !IsWindow(dialog); })) << "OK did not close the dialog";
  ASSERT_TRUE(wait_for([] { return kUnitedStates.contains(proxy_server()); })) << proxy_server();
  EXPECT_EQ(proxy_enable(), 1u);
  ASSERT_TRUE(wait_for([&] { return saved("filter_index") == std::to_string(row); }));
  EXPECT_EQ(saved("filter_id"), "8");
  // The third proxy of the list is now the third of the United States.
  run.choose_from_menu(kChangeIp, {2});
  EXPECT_TRUE(wait_for([] { return proxy_server() == "198.51.100.33:8080"; })) << proxy_server();

  run.choose_from_menu(kExit);
  ASSERT_TRUE(run.wait_exit().has_value());

  ProxantoRun again{kDatabase};
  start(again);
  EXPECT_TRUE(kUnitedStates.contains(proxy_server())) << proxy_server();
  again.choose_from_menu(kChangeIp, {2});
  EXPECT_TRUE(wait_for([] { return proxy_server() == "198.51.100.33:8080"; }))
      << "the list is not restricted again: " << proxy_server();
  dialog = open_filter(again);
  ASSERT_NE(dialog, nullptr);
  HWND list = GetDlgItem(dialog, win::kFilterListId);
  const LRESULT chosen = SendMessageW(list, CB_GETCURSEL, 0, 0);
  EXPECT_EQ(chosen, row);
  EXPECT_EQ(SendMessageW(list, CB_GETITEMDATA, static_cast<WPARAM>(chosen), 0), 8);
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(win::kFilterCancelId, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, win::kFilterCancelId)));
  EXPECT_TRUE(wait_for([&] { return !IsWindow(dialog); }));
}

TEST_F(FilterE2E, ACountryWithoutEntriesIsReportedAndStillSaved) {
  HWND dialog = open_filter(run);
  ASSERT_NE(dialog, nullptr) << "the filter dialog did not open";
  const int row = choose_country(dialog, 5);  // Iran: no entry in the database
  ASSERT_GT(row, 0);
  std::optional<MessageBoxView> box;
  ASSERT_TRUE(wait_for([&] { return (box = program_message_box()).has_value(); }));
  EXPECT_EQ(box->text,
            "V DB není žádná IP adpovídající vybrané zemi !\r\nFiltr nelze použít !");
  run.answer(*box, IDOK);
  ASSERT_TRUE(wait_for([&] { return !IsWindow(dialog); })) << "the dialog stayed open";
  ASSERT_TRUE(wait_for([] { return saved("filter_id") == "5"; }));
  EXPECT_EQ(saved("filter_index"), std::to_string(row));
  // The whole list is in use again: its third proxy is the Russian one.
  EXPECT_EQ(proxy_enable(), 1u);
  run.choose_from_menu(kChangeIp, {2});
  EXPECT_TRUE(wait_for([] { return proxy_server() == "192.0.2.200:8000"; })) << proxy_server();
  EXPECT_TRUE(run.running());
}

}  // namespace
}  // namespace proxanto::e2e
