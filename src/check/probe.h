#pragma once
// One probe of a proxy: ask it for a page whose exact contents are known and
// compare what comes back. A dead proxy refuses or stays silent; a bad one
// answers with an error, a login page or an injected page instead.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace proxanto {

inline constexpr const char* kTestHost = "www.msftconnecttest.com";
inline constexpr const char* kTestUrl = "http://www.msftconnecttest.com/connecttest.txt";
inline constexpr std::string_view kTestPage = "Microsoft Connect Test";
inline constexpr int kProbeTimeoutMs = 5000;
inline constexpr int kProbesAtOnce = 64;

// The request sent to the proxy: a GET of the test address.
std::string probe_request();

struct ProxyEndpoint {
  std::string host;
  std::uint16_t port = 0;
};
// The host and port of an address as ProxyServer holds it ("host:port",
// also with "http://" before it or "/" after it); nothing for anything else.
std::optional<ProxyEndpoint> proxy_endpoint(std::string_view address);

enum class AnswerState { Incomplete, Right, Wrong };
// Judges the bytes a proxy sent so far; `closed` when it has closed the
// connection. Right only for status 200 with exactly the test page.
AnswerState judge_answer(std::string_view bytes, bool closed);

}  // namespace proxanto
