#include "app/form1.h"
#include "app/text.h"

namespace proxanto {

namespace {
constexpr std::uint32_t kWmMouseMove = 0x200;
constexpr std::uint32_t kWmLButtonDblClk = 0x203;
constexpr std::uint32_t kWmRButtonUp = 0x205;

// The tip field: left-aligned, padded with blanks, cut after 64 characters.
std::string fit_tip(const std::string& text) {
  std::u16string tip = utf8_to_utf16(text);
  tip.resize(kTipChars, u' ');
  return utf16_to_utf8(tip);
}
}  // namespace

void Form1::tray() {
  nid.cbSize = 88;
  nid.uID = 1;
  nid.uFlags = 7;  // NIF_MESSAGE | NIF_ICON | NIF_TIP
  nid.uCallbackMessage = kWmMouseMove;
  // Start-up has already applied a proxy: the tooltip names it from the first.
  const bool in_use = !current_ip.empty() && !anonymity_stopped();
  nid.szTip = fit_tip(in_use ? proxy_tooltip() : std::string(kProductName) + '\0');
  tray_added_ = true;
  add_tray_icon();
}

void Form1::add_tray_icon() {
  // At log-on the shell may not take icons yet; without the icon the program
  // would have no menu, so it keeps trying.
  // An icon the shell still has refuses a second add but takes a modify.
  const bool shown = os_.tray.notify(kNimAdd, nid) || os_.tray.notify(kNimModify, nid);
  if (!shown && !tray_retrying_) {
    tray_retrying_ = true;
    os_.timers.set_enabled(TimerId::TrayRetry, true);
  } else if (shown && tray_retrying_) {
    tray_retrying_ = false;
    os_.timers.set_enabled(TimerId::TrayRetry, false);
  }
}

void Form1::tray_retry_Timer() {
  if (tray_retrying_) add_tray_icon();
}

void Form1::taskbar_created() {
  if (tray_added_) add_tray_icon();
}

void Form1::set_tooltip(const std::string& text) {
  nid.szTip = fit_tip(text);
  os_.tray.notify(kNimModify, nid);
}

void Form1::tray_callback(std::uint32_t mouse_message) {
  switch (mouse_message) {
    case kWmLButtonDblClk:
      announce(current_ip, current_country);
      break;
    case kWmRButtonUp:
      os_.window.show_tray_menu();
      break;
    case kWmMouseMove:
      // Merely moving over the icon must not take the focus from the
      // user's window.
      break;
    default:
      os_.window.hide_and_foreground();
      break;
  }
}

void Form1::cop_Click() {
  if (current_ip.empty()) return;
  os_.clipboard.set_text(current_ip);
  os_.message_box.show(message(11), kAppTitle, kMbOk | kMbIconInformation);
}

void Form1::ab_Click() { os_.window.show_about(); }

void Form1::en_Click() { konec(); }

}  // namespace proxanto
