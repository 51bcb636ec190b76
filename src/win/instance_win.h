#pragma once
// One Proxanto per user, whatever session it runs in, and the small watcher
// that gets the system back to a direct connection should the program die
// without its exit sequence.

#include <windows.h>

#include <string_view>

#include "win/win_util.h"

namespace proxanto::win {

// Sent to the running program by a second start: show the popup with the
// proxy in use, so the user sees the program is there.
inline constexpr wchar_t kShowProxyMessage[] = L"Proxanto.ShowProxy";

// The guard that the one instance of this user holds, in whichever session
// it runs: all sessions of a user share the Internet settings and the
// records. Any process of the user may open it, elevated or not.
UniqueHandle open_instance_guard();

// The instance of this user, held while the program lives. When another
// instance runs, first() is false: one in this session is asked to show its
// popup, one in another session cannot be, so a message box says where it is.
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

// "/recover", run by RunOnce at the next log-on after a power loss or crash,
// and by the uninstaller. Like the watcher, it leaves everything alone while
// an instance of this user runs.
int run_recovery();

}  // namespace proxanto::win
