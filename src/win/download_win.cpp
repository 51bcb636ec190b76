// The database download: WinHTTP on a thread of its own, so that the tray
// menu, the hot keys and the session end are served while it runs. Every
// limit a server could abuse is checked here; anything outside them is a
// failed download.

#include <windows.h>
#include <winhttp.h>
#include <shlwapi.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "win/adapters_win.h"
#include "win/win_util.h"

namespace proxanto::win {

namespace {

constexpr std::size_t kMaxBody = 16u << 20;  // the largest database the loader reads
constexpr int kMaxRedirects = 5;
constexpr int kStallMs = 15000;  // no data for this long fails the download
constexpr DWORD kMaxUrl = 2048;

struct InternetCloser {
  void operator()(HINTERNET handle) const { WinHttpCloseHandle(handle); }
};
using UniqueInternet = Unique<HINTERNET, InternetCloser>;

struct Job {
  HWND window;
  int ticket;
  std::wstring url;
};

std::optional<std::wstring> header(HINTERNET request, DWORD which) {
  DWORD bytes = 0;
  WinHttpQueryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &bytes,
                      WINHTTP_NO_HEADER_INDEX);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || bytes == 0) return std::nullopt;
  std::wstring text(bytes / sizeof(wchar_t), L'\0');
  if (!WinHttpQueryHeaders(request, which, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &bytes,
                           WINHTTP_NO_HEADER_INDEX)) {
    return std::nullopt;
  }
  text.resize(bytes / sizeof(wchar_t));
  return text;
}

// A Location that may be relative, made whole against the address it came from.
std::wstring resolve(const std::wstring& base, const std::wstring& location) {
  wchar_t combined[kMaxUrl] = {};
  DWORD size = kMaxUrl;
  if (FAILED(UrlCombineW(base.c_str(), location.c_str(), combined, &size, 0))) return {};
  return combined;
}

enum class Step { Body, Redirect, Failed };

// One request: the body of a 2xx answer into `body`, or the next address.
Step request_once(HINTERNET session, const std::wstring& url, std::string& body,
                  std::wstring& next) {
  URL_COMPONENTS parts = {};
  parts.dwStructSize = sizeof(parts);
  wchar_t host[256] = {};
  wchar_t path[kMaxUrl] = {};
  wchar_t extra[kMaxUrl] = {};
  parts.lpszHostName = host;
  parts.dwHostNameLength = 256;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = kMaxUrl;
  parts.lpszExtraInfo = extra;
  parts.dwExtraInfoLength = kMaxUrl;
  if (!WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) return Step::Failed;
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) {
    return Step::Failed;
  }
  const UniqueInternet connection(WinHttpConnect(session, host, parts.nPort, 0));
  const std::wstring object = std::wstring(path) + extra;
  const UniqueInternet request(WinHttpOpenRequest(
      connection.get(), L"GET", object.c_str(), nullptr, WINHTTP_NO_REFERER,
      WINHTTP_DEFAULT_ACCEPT_TYPES,
      WINHTTP_FLAG_REFRESH | (parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0)));
  if (!request) return Step::Failed;
  // Redirects are followed here, counted.
  DWORD no_redirects = WINHTTP_DISABLE_REDIRECTS;
  WinHttpSetOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &no_redirects,
                   sizeof(no_redirects));
  if (!WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA,
                          0, 0, 0) ||
      !WinHttpReceiveResponse(request.get(), nullptr)) {
    return Step::Failed;
  }
  DWORD status = 0;
  DWORD size = sizeof(status);
  if (!WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                           WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                           WINHTTP_NO_HEADER_INDEX)) {
    return Step::Failed;
  }
  if (status >= 300 && status < 400) {
    const std::optional<std::wstring> location = header(request.get(), WINHTTP_QUERY_LOCATION);
    next = location ? resolve(url, *location) : std::wstring();
    return next.empty() ? Step::Failed : Step::Redirect;
  }
  if (status < 200 || status >= 300) return Step::Failed;

  std::optional<std::uint64_t> expected;
  if (const auto length = header(request.get(), WINHTTP_QUERY_CONTENT_LENGTH)) {
    expected = std::wcstoull(length->c_str(), nullptr, 10);
    if (*expected > kMaxBody) return Step::Failed;
  }
  body.clear();
  char buffer[16384];
  while (true) {
    DWORD got = 0;
    if (!WinHttpReadData(request.get(), buffer, sizeof(buffer), &got)) return Step::Failed;
    if (got == 0) break;
    if (body.size() + got > kMaxBody) return Step::Failed;
    body.append(buffer, got);
  }
  // A connection that closed early leaves the body short of what was announced.
  if (expected && body.size() != *expected) return Step::Failed;
  return Step::Body;
}

std::optional<std::string> fetch(const std::wstring& url) {
  // The system's WinHTTP proxy setting, never the public proxy this program
  // puts into the Internet settings.
  const UniqueInternet session(WinHttpOpen(L"Proxanto", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                           WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) return std::nullopt;
  WinHttpSetTimeouts(session.get(), kStallMs, kStallMs, kStallMs, kStallMs);
  std::wstring address = url;
  std::string body;
  for (int redirects = 0; redirects <= kMaxRedirects; ++redirects) {
    std::wstring next;
    switch (request_once(session.get(), address, body, next)) {
      case Step::Body:
        return body;
      case Step::Failed:
        return std::nullopt;
      case Step::Redirect:
        address = next;
        break;
    }
  }
  return std::nullopt;
}

DWORD WINAPI download_thread(void* parameter) {
  const std::unique_ptr<Job> job(static_cast<Job*>(parameter));
  auto outcome = std::make_unique<DownloadOutcome>();
  try {
    outcome->body = fetch(job->url);
  } catch (...) {
    outcome->body.reset();  // out of memory: a failed download
  }
  if (PostMessageW(job->window, kDownloadDoneMessage, static_cast<WPARAM>(job->ticket),
                   reinterpret_cast<LPARAM>(outcome.get()))) {
    outcome.release();  // the window owns it now
  }
  return 0;
}

}  // namespace

void Win32Download::start(int ticket, const std::string& url) {
  auto job = std::make_unique<Job>(Job{window_, ticket, widen(url)});
  HANDLE thread = CreateThread(nullptr, 0, download_thread, job.get(), 0, nullptr);
  if (thread == nullptr) {
    PostMessageW(window_, kDownloadDoneMessage, static_cast<WPARAM>(ticket),
                 reinterpret_cast<LPARAM>(new DownloadOutcome{}));
    return;
  }
  job.release();  // the thread owns it
  CloseHandle(thread);
}

}  // namespace proxanto::win
