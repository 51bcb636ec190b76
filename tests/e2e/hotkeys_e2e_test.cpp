#include <thread>

#include "e2e/harness.h"

namespace proxanto::e2e {
namespace {

using namespace std::chrono_literals;

// Holds the keys down together, as a user's fingers do, until the program
// has acted, and lets go at once: the keys are polled every 100 ms and a
// combination still held would act again.
void hold_until(const std::vector<WORD>& keys, const std::function<bool()>& acted) {
  std::vector<INPUT> down(keys.size()), up(keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    down[i].type = up[i].type = INPUT_KEYBOARD;
    down[i].ki.wVk = up[keys.size() - 1 - i].ki.wVk = keys[i];
    up[keys.size() - 1 - i].ki.dwFlags = KEYEVENTF_KEYUP;
  }
  SendInput(static_cast<UINT>(down.size()), down.data(), sizeof(INPUT));
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (!acted() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(5ms);
  }
  SendInput(static_cast<UINT>(up.size()), up.data(), sizeof(INPUT));
}

class KeysAndMenusE2E : public ProgramTest {
 protected:
  void SetUp() override {
    ProgramTest::SetUp();
    start_running(run);
  }
};

// Stop and continue by CTRL+E are toggles: held a moment too long, a second
// tick toggles back, so their order is checked natively with a scripted
// keyboard; here the keys that do not toggle are driven for real.
TEST_F(KeysAndMenusE2E, ControlWCopiesAndControlQChangesTheProxy) {
  const std::string in_use = proxy_server();
  hold_until({VK_CONTROL, 'W'}, [&] { return run.message_box().has_value(); });
  const auto box = run.wait_message_box();
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->text, "IP adresa byla zkopírována");
  EXPECT_EQ(clipboard_text(), in_use);
  // A key held over two polls copies twice, each time with its own box.
  while (const auto open = run.message_box()) {
    run.answer(*open, IDOK);
    wait_for([&] { return !IsWindow(open->window); }, 3s);
  }

  ASSERT_TRUE(wait_for([&] { return run.popup() == nullptr; }));
  hold_until({VK_CONTROL, 'Q'}, [&] { return run.popup() != nullptr; });
  EXPECT_NE(run.popup(), nullptr);
  EXPECT_EQ(proxy_enable(), 1u);
  EXPECT_TRUE(run.running());
}

TEST_F(KeysAndMenusE2E, EnglishChosenFromTheMenuIsSavedAndAnnounced) {
  run.choose_from_menu(kLanguage, {1});  // English
  ASSERT_TRUE(wait_for([] { return saved("lang") == "1"; }));
  const auto popup = run.wait_popup(proxy_server());
  ASSERT_TRUE(popup.has_value());
  EXPECT_TRUE(popup->second == "United States" || popup->second == "Russian Federation")
      << popup->second;

  run.choose_from_menu(kHotKeys);
  const auto box = run.wait_message_box();
  ASSERT_TRUE(box.has_value());
  EXPECT_EQ(box->text,
            "CTRL + Q - Change proxy\r\nCTRL + W - Copy IP Address to clipboard\r\n"
            "CTRL + E - Continue with anonymity/Stop anonymity");
  run.answer(*box, IDOK);
}

TEST_F(KeysAndMenusE2E, FavouriteAddedFromTheMenuIsAppliedFromItsSubmenu) {
  const std::string in_use = proxy_server();
  run.choose_from_menu(kAddFavourite);
  const std::string key = kOwnKey + "\\Favorites";
  ASSERT_TRUE(wait_for([&] { return reg_string(RegRoot::LocalMachine, key, "count") == "1"; }));
  EXPECT_EQ(reg_string(RegRoot::LocalMachine, key, "0").rfind(in_use + "/", 0), 0u);

  run.choose_from_menu(kStop);  // so that the favourite visibly switches back on
  ASSERT_TRUE(wait_for([] { return proxy_enable() == 0u; }));
  run.choose_from_menu(kFavourites, {0});
  EXPECT_TRUE(wait_for([&] { return proxy_enable() == 1u && proxy_server() == in_use; }));
}

}  // namespace
}  // namespace proxanto::e2e
