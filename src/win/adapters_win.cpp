#include "win/adapters_win.h"

#include <shellapi.h>
#include <wininet.h>

#include <initializer_list>
#include <string>

#include "win/resource_ids.h"
#include "win/win_util.h"

namespace proxanto::win {

bool Win32Internet::set_option(std::uint32_t option, const PerConnOptionList* list) {
  const SetOption set = watcher_ ? watcher_ : InternetSetOptionW;
  if (list == nullptr) {
    DWORD zero = 0;
    return set(nullptr, option, &zero, 0) != FALSE;
  }
  // The same request in the platform's own layout (20 bytes on 32-bit).
  INTERNET_PER_CONN_OPTIONW options[4] = {};
  const DWORD count = list->dwOptionCount <= 4 ? list->dwOptionCount : 4;
  for (DWORD i = 0; i < count; ++i) {
    const PerConnOption& source = list->pOptions[i];
    options[i].dwOption = source.dwOption;
    if (source.dwOption == INTERNET_PER_CONN_FLAGS) {
      options[i].Value.dwValue = source.dwValue;
    } else {
      options[i].Value.pszValue =
          const_cast<LPWSTR>(reinterpret_cast<const wchar_t*>(source.pszValue));
    }
  }
  INTERNET_PER_CONN_OPTION_LISTW request = {};
  request.dwSize = sizeof(request);
  request.pszConnection =
      const_cast<LPWSTR>(reinterpret_cast<const wchar_t*>(list->pszConnection));
  request.dwOptionCount = count;
  request.pOptions = options;
  return set(nullptr, option, &request, sizeof(request)) != FALSE;
}

namespace {
// WinINet allocates the texts it answers with; the caller frees them.
struct GlobalFreer {
  void operator()(wchar_t* text) const { GlobalFree(text); }
};
}  // namespace

std::optional<ConnectionSettings> Win32Internet::query_connection() {
  // INTERNET_PER_CONN_FLAGS_UI holds what the user chose (automatic
  // detection may be off in INTERNET_PER_CONN_FLAGS while it is ticked);
  // WinINet before Internet Explorer 8 knows only INTERNET_PER_CONN_FLAGS.
  for (const DWORD flags_option :
       {DWORD{INTERNET_PER_CONN_FLAGS_UI}, DWORD{INTERNET_PER_CONN_FLAGS}}) {
    INTERNET_PER_CONN_OPTIONW options[2] = {};
    options[0].dwOption = flags_option;
    options[1].dwOption = INTERNET_PER_CONN_AUTOCONFIG_URL;
    INTERNET_PER_CONN_OPTION_LISTW list = {};
    list.dwSize = sizeof(list);
    list.dwOptionCount = 2;
    list.pOptions = options;
    DWORD size = sizeof(list);
    const bool answered =
        InternetQueryOptionW(nullptr, INTERNET_OPTION_PER_CONNECTION_OPTION, &list, &size) != FALSE;
    // Also a refused query may have filled the text.
    const Unique<wchar_t*, GlobalFreer> script(options[1].Value.pszValue);
    if (answered) {
      return ConnectionSettings{options[0].Value.dwValue,
                                script ? narrow(script.get()) : std::string()};
    }
  }
  return std::nullopt;
}

int Win32MessageBoxes::show(const std::string& text, const std::string& title, unsigned style) {
  // The program has no visible window of its own: without MB_SETFOREGROUND a
  // box could open behind the user's windows.
  return MessageBoxW(owner_, widen(text).c_str(), widen(title).c_str(),
                     style | MB_SETFOREGROUND);
}

std::string Win32Strings::load(int id) {
  const wchar_t* text = nullptr;
  const int length = LoadStringW(instance_, static_cast<UINT>(id),
                                 reinterpret_cast<LPWSTR>(&text), 0);
  if (length <= 0 || text == nullptr) return {};
  return narrow(std::wstring_view(text, static_cast<std::size_t>(length)));
}

bool Win32Tray::notify(std::uint32_t message, const TrayIconRecord& record) {
  NOTIFYICONDATAW data = {};
  data.cbSize = sizeof(data);
  data.hWnd = window_;
  data.uID = record.uID;
  data.uFlags = record.uFlags;
  data.uCallbackMessage = record.uCallbackMessage;
  data.hIcon = icon_;
  const std::wstring tip = widen(record.szTip);
  // The record's field holds 64 characters; the shell reads up to the NUL.
  const std::size_t length = tip.size() < kTipChars ? tip.size() : kTipChars;
  tip.copy(data.szTip, length);
  data.szTip[length] = L'\0';
  return Shell_NotifyIconW(message, &data) != FALSE;
}

namespace {

// Another program may hold the clipboard for a moment.
bool open_clipboard(HWND owner) {
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (OpenClipboard(owner)) return true;
    Sleep(20);
  }
  return false;
}

}  // namespace

void Win32Clipboard::set_text(const std::string& text) {
  const std::wstring wide = widen(text);
  if (!open_clipboard(owner_)) return;
  EmptyClipboard();
  const SIZE_T bytes = (wide.size() + 1) * sizeof(wchar_t);
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (memory != nullptr) {
    if (void* target = GlobalLock(memory)) {
      memcpy(target, wide.c_str(), bytes);
      GlobalUnlock(memory);
      // On success the clipboard owns the memory.
      if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) GlobalFree(memory);
    } else {
      GlobalFree(memory);
    }
  }
  CloseClipboard();
}

std::optional<std::string> Win32Clipboard::get_text(std::size_t limit) {
  if (!open_clipboard(owner_)) return std::nullopt;
  std::optional<std::string> text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    // The text ends at its NUL, or at the end of the memory if another
    // program left none.
    const std::size_t units = GlobalSize(data) / sizeof(wchar_t);
    if (const auto* wide = static_cast<const wchar_t*>(GlobalLock(data))) {
      std::wstring_view view(wide, units);
      view = view.substr(0, view.find(L'\0'));
      if (view.size() <= limit) text = narrow(view);
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

std::int16_t Win32Keyboard::key_state(int virtual_key) {
  // The program never has the keyboard focus: read the global state.
  return static_cast<std::int16_t>(GetAsyncKeyState(virtual_key));
}

std::string Win32Process::program_path() { return narrow(module_path()); }

std::string Win32Process::program_folder() {
  std::wstring path = module_path();
  const std::size_t slash = path.find_last_of(L"\\/");
  if (slash != std::wstring::npos) path.resize(slash == 2 && path[1] == L':' ? 3 : slash);
  return narrow(path);
}

void Win32Process::exit_now() { ExitProcess(0); }

std::string_view Win32Process::country_ranges() {
  // A resource stays loaded, at the same place, as long as the program runs.
  const HRSRC found = FindResourceW(module(), MAKEINTRESOURCEW(IDR_COUNTRY_RANGES), RT_RCDATA);
  const HGLOBAL loaded = found ? LoadResource(module(), found) : nullptr;
  const void* bytes = loaded ? LockResource(loaded) : nullptr;
  if (!bytes) return {};
  return {static_cast<const char*>(bytes), SizeofResource(module(), found)};
}

}  // namespace proxanto::win
