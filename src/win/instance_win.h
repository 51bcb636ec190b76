#pragma once
// One Proxanto per user session, and the small watcher that gets the system
// back to a direct connection should the program die without its exit
// sequence.

#include <windows.h>

#include <string_view>

#include "win/win_util.h"

namespace proxanto::win {

// Sent to the running program by a second start: show the popup with the
// proxy in use, so the user sees the program is there.
inline constexpr wchar_t kShowProxyMessage[] = L"Proxanto.ShowProxy";

// The instance of this session, held while the program lives. When another
// instance runs, it is asked to show its popup and first() is false.
class SingleInstance {
 public:
  SingleInstance();
  bool first() const { return first_; }

 private:
  UniqueHandle mutex_;
  bool first_ = false;
};

// Starts "proxanto.exe /watch <handle>", which waits for this process to end.
void start_watcher();

// The watcher's own run: waits for the program, then recovers when the
// program did not end cleanly. It never shows anything.
int run_watcher(std::wstring_view program_handle);

// "/recover", run by RunOnce at the next log-on after a power loss or crash.
int run_recovery();

}  // namespace proxanto::win
