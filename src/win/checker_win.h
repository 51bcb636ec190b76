#pragma once
// Probing proxies over Winsock: a run's threads, each with up to 64 probes
// on non-blocking sockets and one select, keep the run's number of probes
// going at once and hand the results to the main window in batches; one
// more thread asks the judge without a proxy.

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
  void start(int run, const std::vector<std::string>& addresses,
             const ProbeSettings& settings) override;
  void cancel(int run) override;
  std::int64_t now_seconds() override;

  struct RunState {
    std::atomic<bool> cancelled{false};
    std::atomic<bool> finished{false};
  };

 private:
  HWND window_;
  std::vector<std::pair<int, std::shared_ptr<RunState>>> runs_;
};

}  // namespace proxanto::win
