#include "update/redirects.h"

#include "app/text.h"

namespace proxanto {

FetchResult follow_redirects(const std::string& url,
                             const std::function<FetchStep(const std::string& url)>& request) {
  std::string address = url;
  for (int redirects = 0;; ++redirects) {
    FetchStep step = request(address);
    if (!step.redirect) return std::move(step.result);
    const bool downgrade = ascii_lower(address.substr(0, 8)) == "https://" &&
                           ascii_lower(step.redirect->substr(0, 8)) != "https://";
    if (downgrade || redirects == kMaxRedirects) return {std::nullopt, FetchFailure::Redirect};
    address = std::move(*step.redirect);
  }
}

}  // namespace proxanto
