#pragma once
// What a proxy gives away to the sites it fetches from. A judge is a server
// that answers with the request it received: its headers and the address of
// the client it saw. It is asked once without a proxy, which shows the
// user's own address and the headers the judge's side adds itself, and once
// through each proxy. Judges answer in their own forms: httpbin's JSON
// ("origin" and "headers") or a plain dump of the request ("REMOTE_ADDR =
// ...", "HTTP_VIA = ..." or "Via: ..."), so the answers are read as text,
// by the names of their fields.

#include <string>
#include <string_view>
#include <vector>

#include "app/ports.h"

namespace proxanto {

// The client addresses a judge's answer shows: the values of its "origin",
// "REMOTE_ADDR" or "ip" field. Empty when it shows none: that answer cannot
// be used.
std::vector<std::string> client_addresses(std::string_view answer);

// The level of a proxy from the judge's direct answer and its answer through
// the proxy: Transparent when one of the user's addresses appears anywhere
// in the latter; Anonymous when it holds a header that proxies add and the
// direct answer lacked; Elite otherwise. NoJudge when the direct answer
// shows no address, Unknown when the one through the proxy shows none.
ProbeResult::Anonymity judge_anonymity(std::string_view direct, std::string_view proxied);

}  // namespace proxanto
