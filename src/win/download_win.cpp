// The downloads of the update: WinHTTP, each on a thread of its own, so that
// the tray menu, the hot keys and the session end are served while they run.
// Every limit a server could abuse is checked here; anything outside them is
// a failed download, and none outlives its deadline.

#include <windows.h>
#include <winhttp.h>
#include <shlwapi.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "update/redirects.h"
#include "win/adapters_win.h"
#include "win/win_util.h"

namespace proxanto::win {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxBody = 16u << 20;  // the largest database the loader reads
constexpr DWORD kStallMs = 15000;            // no data for this long fails the download
constexpr DWORD kMaxUrl = 2048;

struct InternetCloser {
  void operator()(HINTERNET handle) const { WinHttpCloseHandle(handle); }
};
using UniqueInternet = Unique<HINTERNET, InternetCloser>;

struct Job {
  HWND window;
  int ticket;
  std::string url;
  Clock::time_point deadline;
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

// Bounds the next blocking call on the request: 15 s without data, and never
// past the deadline, so that the transfer ends there whatever the server
// does. Sending a request looks the name up, connects and sends, each under
// its own time limit: the three share what is left. False once the deadline
// has passed.
bool bound(HINTERNET request, Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  if (left <= 0) return false;
  const int each = static_cast<int>(std::min<long long>(std::max<long long>(left / 3, 1), kStallMs));
  const int receive = static_cast<int>(std::min<long long>(left, kStallMs));
  WinHttpSetTimeouts(request, each, each, each, receive);
  return true;
}

FetchStep failed(FetchFailure failure, int status = 0) {
  return {std::nullopt, {std::nullopt, failure, status}};
}

// A call on the request failed: a time limit (Wine reports the socket's own
// error for it), or `otherwise`.
FetchStep failed_call(Clock::time_point deadline, FetchFailure otherwise) {
  const DWORD error = GetLastError();
  const bool late =
      error == ERROR_WINHTTP_TIMEOUT || error == WSAETIMEDOUT || Clock::now() >= deadline;
  return failed(late ? FetchFailure::TimedOut : otherwise);
}

// One request: the body of a 2xx answer, or the next address.
FetchStep request_once(HINTERNET session, const std::string& address, Clock::time_point deadline) {
  const std::wstring url = widen(address);
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
  if (!WinHttpCrackUrl(url.c_str(), 0, 0, &parts) ||
      (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS)) {
    return failed(FetchFailure::BadAddress);
  }
  const UniqueInternet connection(WinHttpConnect(session, host, parts.nPort, 0));
  const std::wstring object = std::wstring(path) + extra;
  const UniqueInternet request(WinHttpOpenRequest(
      connection.get(), L"GET", object.c_str(), nullptr, WINHTTP_NO_REFERER,
      WINHTTP_DEFAULT_ACCEPT_TYPES,
      WINHTTP_FLAG_REFRESH | (parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0)));
  if (!request) return failed(FetchFailure::Unreachable);
  // Redirects are followed by follow_redirects, which checks each one.
  DWORD no_redirects = WINHTTP_DISABLE_REDIRECTS;
  WinHttpSetOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &no_redirects,
                   sizeof(no_redirects));
  if (!bound(request.get(), deadline)) return failed(FetchFailure::TimedOut);
  if (!WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA,
                          0, 0, 0)) {
    return failed_call(deadline, FetchFailure::Unreachable);
  }
  if (!bound(request.get(), deadline)) return failed(FetchFailure::TimedOut);
  if (!WinHttpReceiveResponse(request.get(), nullptr)) {
    return failed_call(deadline, FetchFailure::Unreachable);
  }
  DWORD status = 0;
  DWORD size = sizeof(status);
  if (!WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                           WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                           WINHTTP_NO_HEADER_INDEX)) {
    return failed(FetchFailure::Unreachable);
  }
  if (status >= 300 && status < 400) {
    const std::optional<std::wstring> location = header(request.get(), WINHTTP_QUERY_LOCATION);
    const std::wstring next = location ? resolve(url, *location) : std::wstring();
    if (next.empty()) return failed(FetchFailure::Status, static_cast<int>(status));
    return {narrow(next), {}};
  }
  if (status < 200 || status >= 300) return failed(FetchFailure::Status, static_cast<int>(status));

  std::optional<std::uint64_t> expected;
  if (const auto length = header(request.get(), WINHTTP_QUERY_CONTENT_LENGTH)) {
    expected = std::wcstoull(length->c_str(), nullptr, 10);
    if (*expected > kMaxBody) return failed(FetchFailure::Incomplete);
  }
  std::string body;
  char buffer[16384];
  while (true) {
    DWORD got = 0;
    if (!bound(request.get(), deadline)) return failed(FetchFailure::TimedOut);
    if (!WinHttpReadData(request.get(), buffer, sizeof(buffer), &got)) {
      return failed_call(deadline, FetchFailure::Incomplete);
    }
    if (got == 0) break;
    if (body.size() + got > kMaxBody) return failed(FetchFailure::Incomplete);
    body.append(buffer, got);
  }
  // A connection that closed early leaves the body short of what was announced.
  if (expected && body.size() != *expected) return failed(FetchFailure::Incomplete);
  return {std::nullopt, {std::move(body)}};
}

FetchResult fetch(const Job& job) {
  // The system's WinHTTP proxy setting, never the public proxy this program
  // puts into the Internet settings.
  const UniqueInternet session(WinHttpOpen(L"Proxanto", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                           WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session) return {};
  return follow_redirects(job.url, [&](const std::string& address) {
    return request_once(session.get(), address, job.deadline);
  });
}

DWORD WINAPI download_thread(void* parameter) {
  const std::unique_ptr<Job> job(static_cast<Job*>(parameter));
  auto outcome = std::make_unique<DownloadOutcome>();
  try {
    outcome->result = fetch(*job);
  } catch (...) {
    outcome->result = {};  // out of memory: a failed download
  }
  // A full message queue refuses the outcome for a moment; lost, it would
  // hold the update, and every command that waits for it, for good.
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (PostMessageW(job->window, kDownloadDoneMessage, static_cast<WPARAM>(job->ticket),
                     reinterpret_cast<LPARAM>(outcome.get()))) {
      outcome.release();  // the window owns it now
      break;
    }
    if (!IsWindow(job->window)) break;
    Sleep(50);
  }
  return 0;
}

}  // namespace

void Win32Download::start(int ticket, const std::string& url) {
  running();  // forgets the threads that have ended
  auto job = std::make_unique<Job>(
      Job{window_, ticket, url, Clock::now() + std::chrono::milliseconds(deadline_ms_)});
  UniqueHandle thread(CreateThread(nullptr, 0, download_thread, job.get(), 0, nullptr));
  if (!thread) {
    auto outcome = std::make_unique<DownloadOutcome>();
    if (PostMessageW(window_, kDownloadDoneMessage, static_cast<WPARAM>(ticket),
                     reinterpret_cast<LPARAM>(outcome.get()))) {
      outcome.release();  // the window owns it now
    }
    return;
  }
  job.release();  // the thread owns it
  threads_.push_back(std::move(thread));
}

std::size_t Win32Download::running() {
  std::erase_if(threads_, [](const UniqueHandle& thread) {
    return WaitForSingleObject(thread.get(), 0) == WAIT_OBJECT_0;
  });
  return threads_.size();
}

}  // namespace proxanto::win
