#include "app/form1.h"

namespace proxanto {

namespace {
constexpr int kVkControl = 0x11;
constexpr int kVkQ = 0x51;
constexpr int kVkW = 0x57;
constexpr int kVkE = 0x45;
}  // namespace

void Form1::Timer1_Timer() {
  // Held: the high bit of the state; the low bit alone (toggled, or pressed
  // since the last poll) does not count.
  const auto held = [this](int key) {
    const std::int16_t state = os_.keyboard.key_state(key);
    return state != 0 && state != 1;
  };
  if (!held(kVkControl)) return;
  // Each key is read again after the previous action returned.
  if (held(kVkQ)) proxy();
  if (held(kVkW)) cop_Click();
  if (held(kVkE)) st_Click();
}

void Form1::hotkeys_Click() {
  os_.message_box.show("CTRL + Q - " + message(14) + "\r\n" +
                           "CTRL + W - " + message(13) + "\r\n" +
                           "CTRL + E - " + message(7) + "/" + message(6),
                       kAppTitle, kMbOk);
}

}  // namespace proxanto
