#pragma once
// Ports that do nothing, for tests that need a Form1 but only some of its
// platform.

#include <cstdlib>

#include "app/ports.h"
#include "shared/worked_example.h"

namespace proxanto::win {

struct NullPorts : MessageBoxPort, StringTablePort, TrayPort, ClipboardPort, PopupPort, TimerPort,
                   KeyboardPort, MainWindowPort, ProcessPort, RandomPort, FileSystemPort,
                   DownloadPort, InternetPort, CheckerPort {
  int show(const std::string&, const std::string&, unsigned) override { return 0; }
  std::string load(int) override { return {}; }
  bool notify(std::uint32_t, const TrayIconRecord&) override { return false; }
  void set_text(const std::string&) override {}
  void place() override {}
  void fade_in() override {}
  void repaint() override {}
  void set_lines(const std::string&, const std::string&) override {}
  void fade_out_and_close() override {}
  void set_enabled(TimerId, bool) override {}
  std::int16_t key_state(int) override { return 0; }
  void show_tray_menu() override {}
  void hide_and_foreground() override {}
  void show_about() override {}
  void show_filter(int) override {}
  void start(int, const std::string&) override {}
  void start(int, const std::vector<std::string>&) override {}
  void cancel(int) override {}
  std::string program_folder() override { return {}; }
  std::string program_path() override { return {}; }
  [[noreturn]] void exit_now() override { std::abort(); }
  double draw() override { return 0; }
  std::optional<std::string> read_file(const std::string&, std::size_t) override { return {}; }
  bool replace_file(const std::string&, std::string_view) override { return false; }
  bool file_exists(const std::string&) override { return false; }
  bool copy_file(const std::string&, const std::string&) override { return false; }
  bool rename_file(const std::string&, const std::string&) override { return false; }
  bool remove_file(const std::string&) override { return false; }
  bool set_option(std::uint32_t, const PerConnOptionList*) override { return true; }
};

// The loader's worked example is the only file there is: entries 0, 2 and 5
// in the United States (8), entry 3 in the Russian Federation (24), entry 1
// blocked.
struct WorkedExampleFiles final : NullPorts {
  std::optional<std::string> read_file(const std::string&, std::size_t) override {
    return test_data::kWorkedExample;
  }
};

}  // namespace proxanto::win
