#include "check/probe.h"

#include <cstdlib>

#include "app/text.h"

namespace proxanto {

namespace {
// Nothing the test page comes with is anywhere near this long.
constexpr std::size_t kMaxAnswer = 64 * 1024;
}  // namespace

std::string probe_request() {
  return std::string("GET ") + kTestUrl + " HTTP/1.1\r\nHost: " + kTestHost +
         "\r\nUser-Agent: Proxanto\r\nAccept: */*\r\nConnection: close\r\n\r\n";
}

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

AnswerState judge_answer(std::string_view bytes, bool closed) {
  if (bytes.size() > kMaxAnswer) return AnswerState::Wrong;
  const std::size_t head_end = bytes.find("\r\n\r\n");
  if (head_end == std::string_view::npos) {
    return closed ? AnswerState::Wrong : AnswerState::Incomplete;
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
    if (body.size() < length) return closed ? AnswerState::Wrong : AnswerState::Incomplete;
    body = body.substr(0, length);
  } else if (!closed) {
    return AnswerState::Incomplete;  // the body ends where the connection does
  }
  return status_ok && body == kTestPage ? AnswerState::Right : AnswerState::Wrong;
}

}  // namespace proxanto
