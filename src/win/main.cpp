// Proxanto's entry point: the hidden main window, the platform adapters and
// Form1 wired together, then the message loop.

#include <windows.h>
#include <commctrl.h>

#include "app/form1.h"
#include "app/clock_random.h"
#include "win/adapters_win.h"
#include "win/checker_win.h"
#include "win/file_system_win.h"
#include "win/instance_win.h"
#include "win/main_window.h"
#include "win/popup_win.h"
#include "win/registry_win.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR command_line, int) {
  using namespace proxanto;
  // The same program file serves as the watcher and as the log-on recovery.
  const std::wstring_view arguments = command_line ? command_line : L"";
  if (arguments.starts_with(L"/watch ")) return win::run_watcher(arguments.substr(7));
  if (arguments == L"/recover") return win::run_recovery();
  const win::SingleInstance session;
  if (!session.first()) return 0;
  win::start_watcher();

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
  win::Win32Download download(window.hwnd());
  win::Win32Checker checker(window.hwnd());
  Platform platform{registry, files,  internet, boxes,  strings, tray,     clipboard, popup,
                    window,   keyboard, window, process, random, download, checker};

  Form1 form(platform);
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
