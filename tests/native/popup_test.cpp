#include <gtest/gtest.h>

#include "fakes.h"

namespace proxanto::testing {
namespace {

class Popup : public ::testing::Test {
 protected:
  TestPlatform os;
  Form1 form{os.platform};
};

TEST_F(Popup, ClosesOnTheThirdTickAfterTheLatestMessage) {
  os.popup.place();
  os.popup.fade_in();
  form.zprava("a", "b");
  EXPECT_EQ(os.popup.txt, "a");
  EXPECT_EQ(os.popup.txt2, "b");
  EXPECT_TRUE(os.timers.state[TimerId::t]);
  form.t_Timer();
  form.t_Timer();
  form.zprava("c", "d");  // a second change resets the count
  form.t_Timer();
  form.t_Timer();
  EXPECT_TRUE(os.popup.shown);
  EXPECT_EQ(os.popup.txt, "c");
  form.t_Timer();
  EXPECT_FALSE(os.popup.exists);
  EXPECT_FALSE(os.timers.state[TimerId::t]);
  EXPECT_FALSE(form.t_enabled);
}

TEST_F(Popup, ARunningTimerIsNotRestarted) {
  form.zprava("a", "b");
  form.zprava("c", "d");
  EXPECT_EQ(os.timers.changes, 1);
  EXPECT_EQ(form.counter, 0);
}

TEST_F(Popup, AnnouncementFadesInBeforeTheLinesAreWritten) {
  form.ARR_CS = czech_country_names();
  form.current_ip = "192.0.2.1:80";
  form.country_cs = "Japonsko";
  form.country_en = "Japan";
  os.popup.place();
  form.zpravicky();
  EXPECT_EQ(os.popup.log, (std::vector<std::string>{"place", "fade_in", "repaint", "lines"}));
  EXPECT_EQ(form.current_country, "Japonsko");
  form.LNG_INT = 100;
  form.zpravicky();
  EXPECT_EQ(form.current_country, "Japan");
  EXPECT_EQ(os.popup.txt2, "Japan");
  EXPECT_EQ(form.menu("ACTIVE_IP").caption, "IP: 192.0.2.1:80 (Japan)");
}

}  // namespace
}  // namespace proxanto::testing
