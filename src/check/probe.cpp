#include "check/probe.h"

#include <cstdlib>

#include "app/text.h"

namespace proxanto {

namespace {
// Nothing the test page or a judge's page comes with is anywhere near
// this long.
constexpr std::size_t kMaxAnswer = 64 * 1024;
}  // namespace

std::optional<ProxyEndpoint> proxy_endpoint(std::string_view address) {
  address = trim_blanks(address);
  if (ascii_lower(address.substr(0, 7)) == "http://") address.remove_prefix(7);
  if (address.ends_with('/')) address.remove_suffix(1);
  const std::size_t colon = address.rfind(':');
  if (colon == std::string_view::npos || colon == 0) return std::nullopt;
  const std::string_view host = address.substr(0, colon);
  const std::string_view port = address.substr(colon + 1);
  std::int64_t number = 0;
  if (port.empty() || port.size() > 5 || !parse_whole_number(port, number) || number < 1 ||
      number > 65535 || host.find_first_of(";=/ ") != std::string_view::npos) {
    return std::nullopt;
  }
  return ProxyEndpoint{std::string(host), static_cast<std::uint16_t>(number)};
}

std::optional<HttpTarget> http_target(std::string_view url) {
  url = trim_blanks(url);
  if (ascii_lower(url.substr(0, 7)) != "http://") return std::nullopt;
  // Anything below a space would end the request line or a header early.
  for (const char c : url) {
    if (static_cast<unsigned char>(c) <= ' ') return std::nullopt;
  }
  const std::string_view rest = url.substr(7);
  const std::size_t slash = rest.find('/');
  const std::string_view authority = rest.substr(0, slash);
  std::optional<ProxyEndpoint> server;
  if (authority.find(':') != std::string_view::npos) {
    server = proxy_endpoint(authority);
  } else if (!authority.empty() && authority.find_first_of(";=") == std::string_view::npos) {
    server = ProxyEndpoint{std::string(authority), 80};
  }
  if (!server) return std::nullopt;
  return HttpTarget{*server, slash == std::string_view::npos ? "/" : std::string(rest.substr(slash))};
}

std::optional<std::string> get_request(std::string_view url, bool to_proxy) {
  const std::optional<HttpTarget> target = http_target(url);
  if (!target) return std::nullopt;
  std::string host = target->server.host;
  if (target->server.port != 80) host += ":" + std::to_string(target->server.port);
  return "GET " + (to_proxy ? std::string(trim_blanks(url)) : target->path) +
         " HTTP/1.1\r\nHost: " + host +
         "\r\nUser-Agent: Proxanto\r\nAccept: */*\r\nConnection: close\r\n\r\n";
}

HttpAnswer read_answer(std::string_view bytes, bool closed) {
  const AnswerState unfinished = closed ? AnswerState::Wrong : AnswerState::Incomplete;
  if (bytes.size() > kMaxAnswer) return {AnswerState::Wrong, {}};
  const std::size_t head_end = bytes.find("\r\n\r\n");
  if (head_end == std::string_view::npos) {
    return {unfinished, {}};
  }
  const std::string head = ascii_lower(bytes.substr(0, head_end));
  std::string_view body = bytes.substr(head_end + 4);
  // "HTTP/1.1 200 OK": the status is the second word.
  const std::size_t space = head.find(' ');
  const bool status_ok = head.starts_with("http/") && space != std::string::npos &&
                         head.compare(space + 1, 3, "200") == 0;
  const std::size_t length_at = head.find("\r\ncontent-length:");
  if (length_at != std::string::npos) {
    const std::size_t length = static_cast<std::size_t>(
        std::strtoull(head.c_str() + length_at + 17, nullptr, 10));
    if (body.size() < length) return {unfinished, {}};
    body = body.substr(0, length);
  } else if (!closed) {
    return {AnswerState::Incomplete, {}};  // the body ends where the connection does
  }
  return {status_ok ? AnswerState::Right : AnswerState::Wrong, status_ok ? body : std::string_view()};
}

AnswerState test_page_answer(std::string_view bytes, bool closed) {
  const HttpAnswer answer = read_answer(bytes, closed);
  if (answer.state == AnswerState::Right && answer.body != kTestPage) return AnswerState::Wrong;
  return answer.state;
}

}  // namespace proxanto
