#include "Transfer.h"

#include <optional>
#include <vector>

#include "engine/ErrorText.h"
#include "engine/HttpFields.h"
#include "framework/LogText.h"
#include "framework/Thread.h"

namespace {

// INTERNET_FLAG_RELOAD | INTERNET_FLAG_EXISTING_CONNECT | INTERNET_FLAG_NO_CACHE_WRITE |
// INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_PRAGMA_NOCACHE
constexpr DWORD kRequestFlags = 0xA4400100;
constexpr char kGet[] = "GET";
constexpr DWORD kConnectRetries = 3;
constexpr DWORD kTimeoutMilliseconds = 30000;

void SetDwordOption(HINTERNET handle, DWORD option, DWORD value) {
  // Results are ignored: the defaults are only less patient.
  WinInet().SetOptionA(handle, option, &value, sizeof(value));
}

// The parts of an https URL that a request is made of.
struct UrlParts {
  std::string host;
  INTERNET_PORT port = INTERNET_DEFAULT_HTTPS_PORT;
  std::string object;  // path and query
};

bool CrackUrl(const std::string& url, UrlParts& parts) {
  URL_COMPONENTSA components = {};
  components.dwStructSize = sizeof(components);
  // Non-zero lengths with null pointers ask for pointers into url itself.
  components.dwHostNameLength = 1;
  components.dwUrlPathLength = 1;
  components.dwExtraInfoLength = 1;
  if (!WinInet().CrackUrlA(url.c_str(), static_cast<DWORD>(url.size()), 0, &components)) {
    return false;
  }
  parts.host.assign(components.lpszHostName, components.dwHostNameLength);
  if (components.nPort != 0) parts.port = components.nPort;
  parts.object.assign(components.lpszUrlPath, components.dwUrlPathLength);
  parts.object.append(components.lpszExtraInfo, components.dwExtraInfoLength);
  return true;
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

// A text option of a handle, read straight into field, which may then hold a password; false,
// with field wiped, when there is none or it does not fit.
bool QueryOptionInto(HINTERNET handle, DWORD option, char* field, DWORD size, DWORD& length) {
  length = size;
  if (!WinInet().QueryOptionA(handle, option, field, &length) || length >= size) {
    ::SecureZeroMemory(field, size);
    length = 0;
    return false;
  }
  field[length] = '\0';
  return true;
}

// The session's proxy settings; info points into buffer. GetLastError tells why it failed.
bool QueryProxyInfo(HINTERNET session, std::vector<char>& buffer, INTERNET_PROXY_INFO& info) {
  buffer.resize(4096);
  DWORD length = static_cast<DWORD>(buffer.size());
  if (!WinInet().QueryOptionA(session, INTERNET_OPTION_PROXY, buffer.data(), &length)) {
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
    buffer.resize(length);
    if (!WinInet().QueryOptionA(session, INTERNET_OPTION_PROXY, buffer.data(), &length)) {
      return false;
    }
  }
  ::CopyMemory(&info, buffer.data(), sizeof(info));
  return true;
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

std::string InternetSession::ProxyDescription() const {
  std::vector<char> buffer;
  INTERNET_PROXY_INFO info;
  if (!QueryProxyInfo(handle_.get(), buffer, info)) {
    return "unknown, error " + std::to_string(::GetLastError());
  }
  std::string text = "access type " + std::to_string(info.dwAccessType);
  if (info.dwAccessType == INTERNET_OPEN_TYPE_DIRECT) text += " (direct)";
  if (info.dwAccessType == INTERNET_OPEN_TYPE_PROXY) text += " (proxy)";
  // The names come from the system's settings, outside the setup: quoted as the log quotes them.
  text += ", proxy ";
  text += QuoteLogText(info.lpszProxy ? reinterpret_cast<const char*>(info.lpszProxy) : "");
  text += ", bypass ";
  text += QuoteLogText(info.lpszProxyBypass ? reinterpret_cast<const char*>(info.lpszProxyBypass)
                                            : "");
  return text;
}

bool InternetSession::NamesProxy() const {
  std::vector<char> buffer;
  INTERNET_PROXY_INFO info;
  if (QueryProxyInfo(handle_.get(), buffer, info) && info.dwAccessType == INTERNET_OPEN_TYPE_PROXY &&
      info.lpszProxy && *reinterpret_cast<const char*>(info.lpszProxy) != '\0') {
    return true;
  }
  // A script for automatic configuration may leave the session's own answer direct.
  INTERNET_PER_CONN_OPTIONA flags = {};
  flags.dwOption = INTERNET_PER_CONN_FLAGS;
  INTERNET_PER_CONN_OPTION_LISTA list = {};
  list.dwSize = sizeof(list);
  list.dwOptionCount = 1;
  list.pOptions = &flags;
  DWORD size = sizeof(list);
  return WinInet().QueryOptionA(handle_.get(), INTERNET_OPTION_PER_CONNECTION_OPTION, &list,
                                &size) &&
         (flags.Value.dwValue & (PROXY_TYPE_PROXY | PROXY_TYPE_AUTO_PROXY_URL)) != 0;
}

void ProxyCredentials::TakeFrom(HINTERNET request) {
  Clear();
  const bool user = QueryOptionInto(request, INTERNET_OPTION_PROXY_USERNAME, user_,
                                    sizeof(user_), userLength_);
  const bool password = QueryOptionInto(request, INTERNET_OPTION_PROXY_PASSWORD, password_,
                                        sizeof(password_), passwordLength_);
  if (!user || !password || userLength_ == 0) Clear();
}

void ProxyCredentials::GiveTo(HINTERNET request) const {
  if (userLength_ == 0) return;
  // Results are ignored: without them the proxy asks again, and the user is asked again.
  WinInet().SetOptionA(request, INTERNET_OPTION_PROXY_USERNAME, const_cast<char*>(user_),
                       userLength_);
  WinInet().SetOptionA(request, INTERNET_OPTION_PROXY_PASSWORD, const_cast<char*>(password_),
                       passwordLength_);
}

void ProxyCredentials::Clear() {
  ::SecureZeroMemory(user_, sizeof(user_));
  ::SecureZeroMemory(password_, sizeof(password_));
  userLength_ = 0;
  passwordLength_ = 0;
}

std::string ProxyChallenge(HINTERNET request) {
  return QueryText(request, HTTP_QUERY_PROXY_AUTHENTICATE).value_or("");
}

TransferOutcome Transfer(const InternetSession& session, const std::string& url,
                         TransferBuffer& buffer, const TThread& worker,
                         TransferWatcher* watcher, const ProxyCredentials* credentials) {
  const WinInetApi& api = WinInet();
  TransferOutcome outcome;
  // The request is opened in three steps rather than by its URL alone: only a request whose
  // time-outs are set before it is sent is sure to honour them (Wine otherwise waits for ever
  // on a server that stalls), and the session's time-outs are given to it here.
  UrlParts parts;
  if (!CrackUrl(url, parts)) {
    outcome.error = ::GetLastError();
    return outcome;
  }
  InternetHandle connection(api.ConnectA(session.Handle(), parts.host.c_str(), parts.port, nullptr,
                                         nullptr, INTERNET_SERVICE_HTTP, 0, 0));
  if (!connection) {
    outcome.error = ::GetLastError();
    return outcome;
  }
  InternetHandle request(api.OpenRequestA(connection.get(), kGet, parts.object.c_str(), nullptr,
                                          nullptr, nullptr, kRequestFlags | INTERNET_FLAG_SECURE, 0));
  if (!request) {
    outcome.error = ::GetLastError();
    return outcome;
  }
  SetDwordOption(request.get(), INTERNET_OPTION_CONNECT_TIMEOUT, kTimeoutMilliseconds);
  SetDwordOption(request.get(), INTERNET_OPTION_SEND_TIMEOUT, kTimeoutMilliseconds);
  SetDwordOption(request.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, kTimeoutMilliseconds);
  if (credentials) credentials->GiveTo(request.get());
  if (!api.SendRequestA(request.get(), nullptr, 0, nullptr, 0)) {
    outcome.error = ::GetLastError();
    // Windows refuses a redirect from https to http itself; it is the same fault as one that
    // was followed.
    if (outcome.error == ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR) outcome.faultText = InsecureRedirectText();
    return outcome;
  }

  // Checked in this order; the first that fails names the fault.
  std::optional<std::string> finalUrl = FinalUrl(request.get());
  if (finalUrl && *finalUrl != url) outcome.finalUrl = *finalUrl;
  if (finalUrl && !IsSecureUrl(*finalUrl)) {
    outcome.faultText = InsecureRedirectText();
    return outcome;
  }
  if (std::optional<std::string> status = QueryText(request.get(), HTTP_QUERY_STATUS_CODE)) {
    std::optional<uint32_t> code = ParseStatusCode(*status);
    outcome.status = code.value_or(0);
    outcome.statusText = QueryText(request.get(), HTTP_QUERY_STATUS_TEXT).value_or("");
    if (code && !IsSuccessStatus(*code)) {
      outcome.faultText = HttpStatusText(*code, outcome.statusText);
      // The body of a 407 is the proxy's own page, never content; the request is kept only
      // for the sign-in dialog.
      if (*code == HTTP_STATUS_PROXY_AUTH_REQ) {
        outcome.proxyAsksForCredentials = true;
        outcome.connection = std::move(connection);
        outcome.request = std::move(request);
      }
      return outcome;
    }
  }
  std::optional<uint64_t> declaredLength;
  if (std::optional<std::string> length = QueryText(request.get(), HTTP_QUERY_CONTENT_LENGTH)) {
    declaredLength = ParseContentLength(*length);
  }
  outcome.declaredLength = declaredLength;

  char* data = buffer.Data();
  const size_t capacity = buffer.Capacity();
  size_t received = 0;
  bool stopped = false;
  bool complete = false;
  bool full = false;
  if (watcher) watcher->BodyStarted();
  while (!stopped && !complete && !worker.Terminated()) {
    if (received == capacity) {
      stopped = true;
      full = true;
      break;
    }
    DWORD read = 0;
    if (!api.ReadFile(request.get(), data + received, static_cast<DWORD>(capacity - received),
                      &read)) {
      outcome.error = ::GetLastError();
      stopped = true;
    } else if (read == 0) {
      complete = true;
    } else {
      // Seen while it is fresh in the cache: checking adds no second pass over the buffer.
      if (watcher) watcher->Received(data + received, read);
      received += read;
    }
  }

  buffer.SetReceived(received);
  outcome.received = received;
  if (full) {
    outcome.faultText = FileTooLargeText(capacity - 1);
  } else if (complete && declaredLength && received != *declaredLength) {
    // WinINet ends a body that the server cut short exactly as a complete one.
    outcome.faultText = ShortBodyText(received, *declaredLength);
  } else {
    outcome.complete = complete;
  }
  return outcome;
}
