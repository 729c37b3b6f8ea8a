#include "Transfer.h"

#include <optional>
#include <vector>

#include "engine/ErrorText.h"
#include "engine/HttpFields.h"
#include "framework/Thread.h"

namespace {

// INTERNET_FLAG_RELOAD | INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_NO_CACHE_WRITE |
// INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_PRAGMA_NOCACHE
constexpr DWORD kOpenUrlFlags = 0xA4400100;
constexpr DWORD kConnectRetries = 3;
constexpr DWORD kTimeoutMilliseconds = 30000;

void SetDwordOption(HINTERNET handle, DWORD option, DWORD value) {
  // Results are ignored: the defaults are only less patient.
  WinInet().SetOptionA(handle, option, &value, sizeof(value));
}

std::optional<std::string> QueryText(HINTERNET request, DWORD query) {
  std::vector<char> buffer(1024);
  DWORD length = static_cast<DWORD>(buffer.size());
  DWORD index = 0;
  if (!WinInet().QueryInfoA(request, query, buffer.data(), &length, &index)) {
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::nullopt;
    buffer.resize(length + 1);
    length = static_cast<DWORD>(buffer.size());
    index = 0;
    if (!WinInet().QueryInfoA(request, query, buffer.data(), &length, &index)) return std::nullopt;
  }
  return std::string(buffer.data(), length);
}

// The address the answer finally came from, after any redirects.
std::optional<std::string> FinalUrl(HINTERNET request) {
  std::vector<char> buffer(INTERNET_MAX_URL_LENGTH + 1);
  DWORD length = static_cast<DWORD>(buffer.size());
  if (!WinInet().QueryOptionA(request, INTERNET_OPTION_URL, buffer.data(), &length)) {
    return std::nullopt;
  }
  return std::string(buffer.data());
}

}  // namespace

bool InternetSession::Open(const char* userAgent) {
  const WinInetApi& api = WinInet();
  if (!api.OpenA) {
    openError_ = ERROR_MOD_NOT_FOUND;
    return false;
  }
  handle_.reset(api.OpenA(userAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
  if (!handle_) {
    openError_ = ::GetLastError();
    return false;
  }
  SetDwordOption(handle_.get(), INTERNET_OPTION_CONNECT_RETRIES, kConnectRetries);
  SetDwordOption(handle_.get(), INTERNET_OPTION_CONNECT_TIMEOUT, kTimeoutMilliseconds);
  SetDwordOption(handle_.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, kTimeoutMilliseconds);
  SetDwordOption(handle_.get(), INTERNET_OPTION_SEND_TIMEOUT, kTimeoutMilliseconds);
  return true;
}

TransferOutcome Transfer(const InternetSession& session, const std::string& url,
                         TransferBuffer& buffer, const TThread& worker) {
  const WinInetApi& api = WinInet();
  TransferOutcome outcome;
  InternetHandle request(api.OpenUrlA(session.Handle(), url.c_str(), nullptr, 0, kOpenUrlFlags, 0));
  if (!request) {
    outcome.error = ::GetLastError();
    // Windows refuses a redirect from https to http itself; it is the same fault as one that
    // was followed.
    if (outcome.error == ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR) outcome.faultText = InsecureRedirectText();
    return outcome;
  }
  // Not every WinINet passes the session's receive time-out on to a request opened by its URL
  // (Wine waits for ever on a server that stalls); the request gets the same time-out itself.
  SetDwordOption(request.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, kTimeoutMilliseconds);

  // Checked in this order; the first that fails names the fault.
  std::optional<std::string> finalUrl = FinalUrl(request.get());
  if (finalUrl && !IsSecureUrl(*finalUrl)) {
    outcome.faultText = InsecureRedirectText();
    return outcome;
  }
  if (std::optional<std::string> status = QueryText(request.get(), HTTP_QUERY_STATUS_CODE)) {
    std::optional<uint32_t> code = ParseStatusCode(*status);
    if (code && !IsSuccessStatus(*code)) {
      std::string statusText = QueryText(request.get(), HTTP_QUERY_STATUS_TEXT).value_or("");
      outcome.faultText = HttpStatusText(*code, statusText);
      return outcome;
    }
  }
  std::optional<uint64_t> declaredLength;
  if (std::optional<std::string> length = QueryText(request.get(), HTTP_QUERY_CONTENT_LENGTH)) {
    declaredLength = ParseContentLength(*length);
  }

  char* data = buffer.Data();
  size_t received = 0;
  bool stopped = false;
  bool complete = false;
  bool full = false;
  while (!stopped && !complete && !worker.Terminated()) {
    if (received == kTransferBufferSize) {
      stopped = true;
      full = true;
      break;
    }
    DWORD read = 0;
    if (!api.ReadFile(request.get(), data + received,
                      static_cast<DWORD>(kTransferBufferSize - received), &read)) {
      outcome.error = ::GetLastError();
      stopped = true;
    } else if (read == 0) {
      complete = true;
    } else {
      received += read;
    }
  }

  buffer.SetReceived(received);
  if (full) {
    outcome.faultText = FileTooLargeText();
  } else if (complete && declaredLength && received != *declaredLength) {
    // WinINet ends a body that the server cut short exactly as a complete one.
    outcome.faultText = ShortBodyText(received, *declaredLength);
  } else {
    outcome.complete = complete;
  }
  return outcome;
}
