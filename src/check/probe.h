#pragma once
// One probe of a proxy: ask it for a page whose exact contents are known and
// compare what comes back. A dead proxy refuses or stays silent; a bad one
// answers with an error, a login page or an injected page instead. A proxy
// that passes is then asked for the judge's page, whose answer tells what
// the proxy gives away (check/anonymity.h).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace proxanto {

inline constexpr const char* kTestUrl = "http://www.msftconnecttest.com/connecttest.txt";
inline constexpr std::string_view kTestPage = "Microsoft Connect Test";
inline constexpr const char* kDefaultJudgeUrl = "http://httpbin.org/get";
inline constexpr int kProbeTimeoutMs = 5000;
inline constexpr int kProbesAtOnce = 256;
inline constexpr int kMinProbesAtOnce = 16;
inline constexpr int kMaxProbesAtOnce = 1024;

struct ProxyEndpoint {
  std::string host;
  std::uint16_t port = 0;
};
// The host and port of an address as ProxyServer holds it ("host:port",
// also with "http://" before it or "/" after it); nothing for anything else.
std::optional<ProxyEndpoint> proxy_endpoint(std::string_view address);

// The server and path of a plain http:// address ("/" when it names none);
// nothing for any other scheme or a malformed address.
struct HttpTarget {
  ProxyEndpoint server;
  std::string path;
};
std::optional<HttpTarget> http_target(std::string_view url);

// A GET of `url`: a proxy is asked for the whole address, the server itself
// only for the path. Nothing when the address is not a plain http:// one.
std::optional<std::string> get_request(std::string_view url, bool to_proxy);

enum class AnswerState { Incomplete, Right, Wrong };
// The bytes a server sent so far; `closed` when it has closed the
// connection. Right once the whole answer is in with status 200, its body
// then in `body`; Wrong for another status or a cut or oversized answer.
struct HttpAnswer {
  AnswerState state = AnswerState::Incomplete;
  std::string_view body;
};
HttpAnswer read_answer(std::string_view bytes, bool closed);

// Right only for status 200 with exactly the test page.
AnswerState test_page_answer(std::string_view bytes, bool closed);

}  // namespace proxanto
