// Proxanto's entry point: the hidden main window, the platform adapters and
// Form1 wired together, then the message loop.

#include <windows.h>
#include <commctrl.h>

#include "app/form1.h"
#include "portable/clock_random.h"
#include "win/adapters_win.h"
#include "win/file_system_win.h"
#include "win/main_window.h"
#include "win/popup_win.h"
#include "win/registry_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  using namespace proxanto;
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);

  win::MainWindow window(instance);
  win::Win32Registry registry;
  win::Win32FileSystem files;
  win::Win32Internet internet;
  win::Win32MessageBoxes boxes(window.hwnd());
  win::Win32Strings strings(instance);
  win::Win32Tray tray(window.hwnd(), window.small_icon());
  win::Win32Clipboard clipboard(window.hwnd());
  win::Form2Popup popup(window.hwnd());
  win::Win32Keyboard keyboard;
  win::Win32Process process;
  ClockRandom random;
  win::Win32Download download;
  Platform platform{registry, files,    internet, boxes,   strings, tray,  clipboard,
                    popup,    window,   keyboard, window,  process, random, download};

  Form1 form(platform);
  // Tests and deployments may fetch the database update from another server.
  if (const DWORD size = GetEnvironmentVariableW(L"PROXANTO_UPDATE_URL", nullptr, 0); size > 1) {
    std::wstring url(size, L'\0');
    url.resize(GetEnvironmentVariableW(L"PROXANTO_UPDATE_URL", url.data(), size));
    form.update_url = win::narrow(url);
  }
  window.attach(form);
  win::install_crash_handler(&form);
  win::guarded(&form, [&] { form.Form_Load(); });

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
