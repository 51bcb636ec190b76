#pragma once
// Probing proxies over Winsock: one thread per run keeps up to 64 probes
// going at once with non-blocking sockets, and hands the results to the main
// window in batches.

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <memory>
#include <utility>
#include <vector>

#include "app/ports.h"

namespace proxanto::win {

// Posted to the main window: wParam is the run, lParam a ProbeBatch that the
// receiver deletes.
inline constexpr UINT kProbeDoneMessage = WM_APP + 2;
struct ProbeBatch {
  std::vector<std::pair<int, ProbeResult>> results;  // index in the run, result
};

class Win32Checker final : public CheckerPort {
 public:
  explicit Win32Checker(HWND window) : window_(window) {}
  void start(int run, const std::vector<std::string>& addresses) override;
  void cancel(int run) override;

  struct RunState {
    std::atomic<bool> cancelled{false};
    std::atomic<bool> finished{false};
  };

 private:
  HWND window_;
  std::vector<std::pair<int, std::shared_ptr<RunState>>> runs_;
};

}  // namespace proxanto::win
