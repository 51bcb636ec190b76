#pragma once
// The small interfaces through which Form1 reaches the platform. The Win32
// adapters in src/win implement them for the real program; the test fakes
// implement them for native runs.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace proxanto {

// Registry ---------------------------------------------------------------

enum class RegRoot : std::uint32_t {
  CurrentUser = 0x80000001u,
  LocalMachine = 0x80000002u,
};

inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegDword = 4;

// One registry value as stored: its type and raw bytes. Text values hold
// UTF-16LE code units, with or without a terminating NUL.
struct RegValue {
  std::uint32_t type = 0;
  std::vector<std::uint8_t> data;
  bool operator==(const RegValue&) const = default;
};

class RegistryPort {
 public:
  virtual ~RegistryPort() = default;
  // A value of an existing key; nothing when the key or the value is missing.
  virtual std::optional<RegValue> read(RegRoot root, const std::string& path,
                                       const std::string& name) = 0;
  // Stores a value, creating the key and every missing key above it; false
  // when the system refused (a key the user may not write, a full registry).
  virtual bool write(RegRoot root, const std::string& path, const std::string& name,
                     const RegValue& value) = 0;
  // Removes a value from an existing key; never creates the key.
  virtual void remove(RegRoot root, const std::string& path, const std::string& name) = 0;
};

// Files ------------------------------------------------------------------

// Paths are UTF-8 in the platform's own form (backslashes on Windows).
class FileSystemPort {
 public:
  virtual ~FileSystemPort() = default;
  // The whole file; nothing when it is missing, cannot be read or holds more
  // than `limit` bytes.
  virtual std::optional<std::string> read_file(const std::string& path, std::size_t limit) = 0;
  // Writes a new file beside `path` and renames it over the old one, so that
  // a crash or a full disk leaves either the old or the new contents.
  virtual bool replace_file(const std::string& path, std::string_view contents) = 0;
  virtual bool file_exists(const std::string& path) = 0;
  // Copies, replacing an existing destination.
  virtual bool copy_file(const std::string& from, const std::string& to) = 0;
  virtual bool rename_file(const std::string& from, const std::string& to) = 0;
  virtual bool remove_file(const std::string& path) = 0;
};

// WinINet ----------------------------------------------------------------

// Mirrors INTERNET_PER_CONN_OPTIONW: the value is a number for the flags
// option and a UTF-16 text pointer for the server and bypass options.
struct PerConnOption {
  std::uint32_t dwOption = 0;
  std::uint32_t dwValue = 0;
  const char16_t* pszValue = nullptr;
};

// Mirrors INTERNET_PER_CONN_OPTION_LISTW.
struct PerConnOptionList {
  std::uint32_t dwSize = 0;
  const char16_t* pszConnection = nullptr;
  std::uint32_t dwOptionCount = 0;
  std::uint32_t dwOptionError = 0;
  PerConnOption* pOptions = nullptr;
};

inline constexpr std::uint32_t kPerConnFlags = 1;
inline constexpr std::uint32_t kPerConnProxyServer = 2;
inline constexpr std::uint32_t kPerConnProxyBypass = 3;
inline constexpr std::uint32_t kPerConnAutoconfigUrl = 4;
inline constexpr std::uint32_t kOptionPerConnection = 75;
inline constexpr std::uint32_t kOptionSettingsChanged = 39;
inline constexpr std::uint32_t kOptionRefresh = 37;

// Bits of the flags option.
inline constexpr std::uint32_t kProxyTypeDirect = 1;
inline constexpr std::uint32_t kProxyTypeProxy = 2;
inline constexpr std::uint32_t kProxyTypeAutoProxyUrl = 4;  // the automatic configuration script
inline constexpr std::uint32_t kProxyTypeAutoDetect = 8;    // automatic detection (WPAD)

// The default connection's flags and automatic configuration script address.
struct ConnectionSettings {
  std::uint32_t flags = 0;
  std::string autoconfig_url;
};

class InternetPort {
 public:
  virtual ~InternetPort() = default;
  // InternetSetOptionW on the global settings. Option 75 carries `list`;
  // options 39 and 37 carry a 32-bit zero with length 0 and no list.
  virtual bool set_option(std::uint32_t option, const PerConnOptionList* list) = 0;
  // InternetQueryOptionW: the default connection's flags, as the user chose
  // them, and script address; nothing when WinINet does not tell.
  virtual std::optional<ConnectionSettings> query_connection() = 0;
};

// Message boxes and the string table -------------------------------------

inline constexpr unsigned kMbOk = 0;
inline constexpr unsigned kMbYesNo = 4;
inline constexpr unsigned kMbIconStop = 16;
inline constexpr unsigned kMbIconExclamation = 48;
inline constexpr unsigned kMbIconInformation = 64;
inline constexpr int kIdOk = 1;
inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

class MessageBoxPort {
 public:
  virtual ~MessageBoxPort() = default;
  // A modal box; gives the button pressed (kIdOk, kIdYes, kIdNo, ...).
  virtual int show(const std::string& text, const std::string& title, unsigned style) = 0;
};

class StringTablePort {
 public:
  virtual ~StringTablePort() = default;
  virtual std::string load(int id) = 0;
};

// Tray icon and clipboard -----------------------------------------------

inline constexpr std::uint32_t kNimAdd = 0;
inline constexpr std::uint32_t kNimModify = 1;
inline constexpr std::uint32_t kNimDelete = 2;
inline constexpr std::size_t kTipChars = 64;

// The icon record shared by every Shell_NotifyIcon call. The window and icon
// handles are the adapter's; szTip is the whole 64-character field.
struct TrayIconRecord {
  std::uint32_t cbSize = 0;
  std::uint32_t uID = 0;
  std::uint32_t uFlags = 0;
  std::uint32_t uCallbackMessage = 0;
  std::string szTip;
};

class TrayPort {
 public:
  virtual ~TrayPort() = default;
  virtual bool notify(std::uint32_t message, const TrayIconRecord& record) = 0;
};

class ClipboardPort {
 public:
  virtual ~ClipboardPort() = default;
  // Clears the clipboard and puts the text on it.
  virtual void set_text(const std::string& text) = 0;
  // The text on the clipboard; nothing when it holds no text or more than
  // `limit` characters.
  virtual std::optional<std::string> get_text(std::size_t limit) = 0;
};

// Windows of the program -------------------------------------------------

// The notification popup (Form2).
class PopupPort {
 public:
  virtual ~PopupPort() = default;
  // Creates the popup hidden when it does not exist; top 0, right edge on the
  // screen's right edge.
  virtual void place() = 0;
  // Fades in (500 ms); does nothing when the popup is already shown.
  virtual void fade_in() = 0;
  virtual void repaint() = 0;
  virtual void set_lines(const std::string& txt, const std::string& txt2) = 0;
  // Fades out (500 ms) and destroys the popup.
  virtual void fade_out_and_close() = 0;
};

// Timer1 polls the hot keys, t closes the popup, TrayRetry adds the tray
// icon again while the shell is not ready to take it, Rotate changes the
// proxy on the user's schedule.
enum class TimerId : unsigned { Timer1 = 1, t = 2, TrayRetry = 3, Rotate = 5 };

class TimerPort {
 public:
  virtual ~TimerPort() = default;
  // Starts or stops a timer of fixed interval; stops any timer.
  virtual void set_enabled(TimerId id, bool enabled) = 0;
  // Starts a timer whose interval Form1 chooses (Rotate), in milliseconds,
  // anew: its next tick comes one whole interval from now.
  virtual void restart(TimerId id, std::uint32_t interval_ms) = 0;
};

class KeyboardPort {
 public:
  virtual ~KeyboardPort() = default;
  // GetKeyState: high bit set while the key is down.
  virtual std::int16_t key_state(int virtual_key) = 0;
};

// The hidden main window and the modal forms it owns.
class MainWindowPort {
 public:
  virtual ~MainWindowPort() = default;
  // Renders Form1's menu tree as a pop-up menu at the mouse and runs the
  // chosen item's handler.
  virtual void show_tray_menu() = 0;
  // Keeps the main window hidden and brings it to the foreground, so that a
  // pop-up menu opened next closes when the user clicks elsewhere.
  virtual void hide_and_foreground() = 0;
  virtual void show_about() = 0;
  // The country filter dialog (Form3), modal, preselecting row `start_index`;
  // its OK calls Form1::filter_chosen.
  virtual void show_filter(int start_index) = 0;
};

// Process ----------------------------------------------------------------

class ProcessPort {
 public:
  virtual ~ProcessPort() = default;
  // The folder of the running program, in the platform's form.
  virtual std::string program_folder() = 0;
  // The full path of the program file.
  virtual std::string program_path() = 0;
  // Ends the program at once: no further event, handler or destructor runs.
  [[noreturn]] virtual void exit_now() = 0;
  // The address-to-country range table the program carries (the bytes of
  // ipv4_country.bin, a resource of the program file), valid as long as the
  // program runs; empty when it is missing. Asked for only when a country is
  // looked up, so that start-up never reads it.
  virtual std::string_view country_ranges() = 0;
};

// Why a download brought no body.
enum class FetchFailure {
  Unreachable,  // no connection, no such host, a failed secure handshake
  Status,       // an answer other than 2xx (the status goes with it)
  Redirect,     // more than 5 redirects, or one from https:// to http://
  Incomplete,   // cut short of its length, or more than 16 MB
  TimedOut,     // 15 s without data, or not done 60 s after its start
  BadAddress,   // not an http:// or https:// address
};

struct FetchResult {
  std::optional<std::string> body;                   // the body of a complete 2xx answer
  FetchFailure failure = FetchFailure::Unreachable;  // without a body: why
  int status = 0;                                    // with FetchFailure::Status
};

class DownloadPort {
 public:
  virtual ~DownloadPort() = default;
  // Starts fetching the URL in the background and returns at once; several
  // downloads may run at the same time. The outcome comes back once, on the
  // user-interface thread, as Form1::download_done(ticket, result), at the
  // latest 60 s after the start: by then the transfer has been cancelled
  // and nothing of it is left running.
  virtual void start(int ticket, const std::string& url) = 0;
};

// Checking proxies ----------------------------------------------------------

// The outcome of one probe of a proxy: asked for the test page through it,
// did it answer with that page, and how long did the whole answer take. A
// proxy that did is then judged by what a judge (a server that answers with
// the request it received) saw through it: the user's own address
// (Transparent), only headers that a proxy adds (Anonymous), or neither
// (Elite). Unknown when the judge gave no usable answer through the proxy,
// NoJudge when it gave none to the request without a proxy, so that no
// proxy could be judged.
struct ProbeResult {
  enum class Outcome { Working, Refused, TimedOut, WrongAnswer };
  enum class Anonymity { Unknown, NoJudge, Transparent, Anonymous, Elite };
  Outcome outcome = Outcome::Refused;
  int ms = 0;  // until the full answer, for a working proxy
  Anonymity anonymity = Anonymity::Unknown;
  bool operator==(const ProbeResult&) const = default;
  // Working and not known to reveal the user's address: offered in the IP
  // menu and drawn by "Only working proxies".
  bool offered() const { return outcome == Outcome::Working && anonymity != Anonymity::Transparent; }
};

// How a run probes: the judge's address (plain http://) and how many probes
// may be under way at once.
struct ProbeSettings {
  std::string judge_url;
  int at_once = 256;
};

class CheckerPort {
 public:
  virtual ~CheckerPort() = default;
  // Probes the proxies (addresses as in ProxyServer) in the background, at
  // most `settings.at_once` at once, each within 5 s in all, and returns at
  // once. The run first asks the judge once without a proxy. The results
  // come back on the user-interface thread in batches, as
  // Form1::probes_done(run, {index, result}...), index being the address's
  // position in the list.
  virtual void start(int run, const std::vector<std::string>& addresses,
                     const ProbeSettings& settings) = 0;
  // Ends a run at once; its results still under way are dropped.
  virtual void cancel(int run) = 0;
  // The time of day in seconds since 1970 (UTC), which dates a check's
  // results.
  virtual std::int64_t now_seconds() = 0;
};

class RandomPort {
 public:
  virtual ~RandomPort() = default;
  // A uniform draw 0 <= r < 1, the generator seeded from the clock first.
  virtual double draw() = 0;
};

// Everything Form1 needs of the platform.
struct Platform {
  RegistryPort& registry;
  FileSystemPort& files;
  InternetPort& internet;
  MessageBoxPort& message_box;
  StringTablePort& strings;
  TrayPort& tray;
  ClipboardPort& clipboard;
  PopupPort& popup;
  TimerPort& timers;
  KeyboardPort& keyboard;
  MainWindowPort& window;
  ProcessPort& process;
  RandomPort& random;
  DownloadPort& download;
  CheckerPort& checker;
};

}  // namespace proxanto
