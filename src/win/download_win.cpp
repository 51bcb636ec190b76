#include <urlmon.h>
#include <wininet.h>

#include "win/adapters_win.h"
#include "win/win_util.h"

namespace proxanto::win {

bool Win32Download::download(const std::string& url, const std::string& path) {
  const std::wstring address = widen(url);
  // An update must be the server's file as it is now, never a copy from the
  // Internet cache.
  DeleteUrlCacheEntryW(address.c_str());
  return URLDownloadToFileW(nullptr, address.c_str(), widen(path).c_str(), 0, nullptr) == S_OK;
}

}  // namespace proxanto::win
