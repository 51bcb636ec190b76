#include <set>

#include "e2e/harness.h"
#include "win/filter_ids.h"

namespace proxanto::e2e {
namespace {

const std::set<std::string> kUnitedStates = {"192.0.2.10:8080", "203.0.113.25:80",
                                             "198.51.100.33:8080"};

class FilterE2E : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    start_running(run);
  }
  // Opens the dialog from the tray menu.
  static HWND open_filter(const ProxantoRun& program) {
    program.choose_from_menu(kFilter);
    HWND dialog = nullptr;
    wait_for([&] { return (dialog = FindWindowW(nullptr, L"Filtr zemí")) && IsWindowVisible(dialog); });
    return dialog;
  }
  static LRESULT row_data(HWND list, LRESULT row) {
    return SendMessageW(list, CB_GETITEMDATA, static_cast<WPARAM>(row), 0);
  }
  // Chooses the row of a country and presses OK, the way UI automation does;
  // gives the row.
  static int choose_country(HWND dialog, LRESULT country) {
    HWND list = GetDlgItem(dialog, win::kFilterListId);
    int row = static_cast<int>(SendMessageW(list, CB_GETCOUNT, 0, 0)) - 1;
    while (row > 0 && row_data(list, row) != country) --row;
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(row), 0);
    invoke(dialog, win::kFilterOkId);
    return row;
  }
  // The proxy at the third position of the IP menu, once chosen.
  static void expect_third_proxy(const ProxantoRun& program, const std::string& address) {
    program.choose_from_menu(kChangeIp, {2});
    EXPECT_TRUE(wait_for([&] { return proxy_server() == address; })) << proxy_server();
  }
};

TEST_F(FilterE2E, ACountryRestrictsTheProxiesAndIsRestoredAtTheNextStart) {
  // The proxy of the Russian Federation is in use, so that the change to one
  // of the United States shows.
  expect_third_proxy(run, "192.0.2.200:8000");
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
  expect_third_proxy(run, "198.51.100.33:8080");
  run.choose_from_menu(kExit);
  ASSERT_TRUE(run.wait_exit().has_value());

  ProxantoRun again{test_data::kWorkedExample};
  start_running(again);
  EXPECT_TRUE(kUnitedStates.contains(proxy_server())) << proxy_server();
  expect_third_proxy(again, "198.51.100.33:8080");
  dialog = open_filter(again);
  ASSERT_NE(dialog, nullptr);
  HWND list = GetDlgItem(dialog, win::kFilterListId);
  const LRESULT chosen = SendMessageW(list, CB_GETCURSEL, 0, 0);
  EXPECT_EQ(chosen, row);
  EXPECT_EQ(row_data(list, chosen), 8);
  invoke(dialog, win::kFilterCancelId);
  EXPECT_TRUE(wait_for([&] { return !IsWindow(dialog); }));
}

TEST_F(FilterE2E, ACountryWithoutEntriesIsReportedAndStillSaved) {
  HWND dialog = open_filter(run);
  ASSERT_NE(dialog, nullptr) << "the filter dialog did not open";
  const int row = choose_country(dialog, 5);  // Iran: no entry in the database
  ASSERT_GT(row, 0);
  const auto box = run.wait_message_box();
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->text, "V DB není žádná IP adpovídající vybrané zemi !\r\nFiltr nelze použít !");
  run.answer(*box, IDOK);
  ASSERT_TRUE(wait_for([&] { return !IsWindow(dialog); })) << "the dialog stayed open";
  ASSERT_TRUE(wait_for([] { return saved("filter_id") == "5"; }));
  EXPECT_EQ(saved("filter_index"), std::to_string(row));
  // The whole list is in use again: its third proxy is the Russian one.
  EXPECT_EQ(proxy_enable(), 1u);
  expect_third_proxy(run, "192.0.2.200:8000");
  EXPECT_TRUE(run.running());
}

}  // namespace
}  // namespace proxanto::e2e
