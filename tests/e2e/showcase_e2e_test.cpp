#include <gtest/gtest.h>

#include <thread>

#include "e2e/harness.h"

namespace proxanto::e2e {
namespace {

using namespace std::chrono_literals;

// Not a check: poses the program for screenshots taken by
// tools/screenshots (popup at 1.5 s, tray menu at 5 s, IP menu at 8 s).
TEST(Showcase, DISABLED_PosesForScreenshots) {
  reset_registry();
  std::string ini = "[IP]\r\ncount=60\r\n";
  for (int i = 0; i < 60; ++i) {
    ini += std::to_string(i) + "=192.0.2." + std::to_string(i + 1) + ":8080;" +
           std::to_string(i % 33) + "\r\n";
  }
  ProxantoRun run{ini};
  run.start();
  std::this_thread::sleep_for(4500ms);
  run.tray_event(WM_RBUTTONUP);
  std::this_thread::sleep_for(300ms);
  press_keys({VK_DOWN, VK_DOWN, VK_DOWN});
  std::this_thread::sleep_for(2000ms);
  press_keys({VK_RIGHT});
  std::this_thread::sleep_for(3000ms);
  press_keys({VK_ESCAPE, VK_ESCAPE});
  reset_registry();
}

}  // namespace
}  // namespace proxanto::e2e
