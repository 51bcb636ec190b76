#pragma once
// The redirects of a download, followed by the program itself so that each
// one is checked: at most 5, and none from https:// to http://, which would
// let the server, or anyone who forges its answer, drop the encryption.

#include <functional>
#include <optional>
#include <string>

#include "app/ports.h"

namespace proxanto {

inline constexpr int kMaxRedirects = 5;

// What one request of a download gave: the address a 3xx answer points to
// (made absolute), or the outcome.
struct FetchStep {
  std::optional<std::string> redirect;
  FetchResult result;
};

// Requests `url`, then each address it is redirected to while that is allowed.
FetchResult follow_redirects(const std::string& url,
                             const std::function<FetchStep(const std::string& url)>& request);

}  // namespace proxanto
