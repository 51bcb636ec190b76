#pragma once
// Thin Win32 implementations of Form1's ports.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "app/ports.h"
#include "win/win_util.h"

namespace proxanto::win {

class Win32Internet final : public InternetPort {
 public:
  // What takes the requests instead of InternetSetOptionW: a test's own
  // function that watches them on their way to it.
  using SetOption = BOOL(WINAPI*)(void* internet, DWORD option, void* buffer, DWORD length);
  Win32Internet() = default;
  explicit Win32Internet(SetOption watcher) : watcher_(watcher) {}
  bool set_option(std::uint32_t option, const PerConnOptionList* list) override;
  std::optional<ConnectionSettings> query_connection() override;

 private:
  SetOption watcher_ = nullptr;
};

class Win32MessageBoxes final : public MessageBoxPort {
 public:
  explicit Win32MessageBoxes(HWND owner) : owner_(owner) {}
  int show(const std::string& text, const std::string& title, unsigned style) override;

 private:
  HWND owner_;
};

class Win32Strings final : public StringTablePort {
 public:
  explicit Win32Strings(HINSTANCE instance) : instance_(instance) {}
  std::string load(int id) override;

 private:
  HINSTANCE instance_;
};

class Win32Tray final : public TrayPort {
 public:
  Win32Tray(HWND window, HICON icon) : window_(window), icon_(icon) {}
  bool notify(std::uint32_t message, const TrayIconRecord& record) override;

 private:
  HWND window_;
  HICON icon_;
};

class Win32Clipboard final : public ClipboardPort {
 public:
  explicit Win32Clipboard(HWND owner) : owner_(owner) {}
  void set_text(const std::string& text) override;
  std::optional<std::string> get_text(std::size_t limit) override;

 private:
  HWND owner_;
};

class Win32Keyboard final : public KeyboardPort {
 public:
  std::int16_t key_state(int virtual_key) override;
};

// Posted to the main window when a download ends: wParam is its ticket,
// lParam a DownloadOutcome that the receiver deletes.
inline constexpr UINT kDownloadDoneMessage = WM_APP + 1;
struct DownloadOutcome {
  FetchResult result;
};

// Each download on a thread of its own, which ends by the deadline at the
// latest, whatever the server does.
class Win32Download final : public DownloadPort {
 public:
  static constexpr DWORD kDeadlineMs = 60000;
  explicit Win32Download(HWND window, DWORD deadline_ms = kDeadlineMs)
      : window_(window), deadline_ms_(deadline_ms) {}
  void start(int ticket, const std::string& url) override;
  // The downloads whose threads have not ended yet.
  std::size_t running();

 private:
  HWND window_;  // receives kDownloadDoneMessage
  DWORD deadline_ms_;
  std::vector<UniqueHandle> threads_;
};

class Win32Process final : public ProcessPort {
 public:
  std::string program_folder() override;
  std::string program_path() override;
  [[noreturn]] void exit_now() override;
  std::string_view country_ranges() override;
};

}  // namespace proxanto::win
