// Changing the proxy on a schedule: "Change every" in the tray menu, saved
// as rotate_minutes. While anonymity runs, each tick of Rotate changes the
// proxy as CTRL+Q does; every change of the proxy, by hand or by the
// schedule, starts the interval anew, and stopping anonymity stops it.

#include <algorithm>
#include <iterator>
#include <string>

#include "app/form1.h"
#include "app/text.h"

namespace proxanto {

namespace {
constexpr int kChoices[] = {0, 5, 10, 30, 60};  // minutes of the menu's items; 0 is never
constexpr int kHandSet = 5;                     // the item of any other value
constexpr std::int64_t kMaxMinutes = 24 * 60;
}  // namespace

int rotation_minutes(std::string_view text) {
  std::int64_t minutes = 0;
  if (!parse_whole_number(text, minutes) || minutes < 1 || minutes > kMaxMinutes) return 0;
  return static_cast<int>(minutes);
}

void Form1::rotateLIST_Click(int index) {
  // The item of a value set by hand keeps it.
  if (index < 0 || index >= kHandSet) return;
  rotate_minutes_ = kChoices[index];
  save_setting("rotate_minutes", std::to_string(rotate_minutes_));
  show_rotation();
  schedule_rotation();
}

void Form1::rotate_Timer() {
  // A tick already on its way when anonymity stopped changes nothing.
  if (anonymity_stopped() || current_ip.empty()) return;
  proxy();
}

void Form1::schedule_rotation() {
  if (rotate_minutes_ > 0 && !anonymity_stopped() && !current_ip.empty()) {
    os_.timers.restart(TimerId::Rotate, static_cast<std::uint32_t>(rotate_minutes_) * 60000u);
  } else {
    os_.timers.set_enabled(TimerId::Rotate, false);
  }
}

void Form1::show_rotation() {
  const bool offered = std::find(std::begin(kChoices), std::end(kChoices), rotate_minutes_) !=
                       std::end(kChoices);
  for (MenuItem& choice : menu("rotate").children) {
    const bool hand_set = choice.index == kHandSet;
    const int minutes = hand_set ? rotate_minutes_ : kChoices[choice.index];
    choice.visible = !hand_set || !offered;
    choice.checked = choice.visible && minutes == rotate_minutes_;
    // Czech counts 1, 2 to 4 and 5 or more minutes in three forms.
    const int form = minutes == 0 ? 44 : minutes == 1 ? 47 : minutes < 5 ? 46 : 45;
    choice.caption = fill_in(message(form), {std::to_string(minutes)});
  }
}

}  // namespace proxanto
