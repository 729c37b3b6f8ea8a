#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/WinInet.h"
#include "framework/Handles.h"

class TThread;

using InternetHandle = UniqueHandle<InternetHandleTraits>;

// One buffer serves the whole run: it receives the manifest and then each file in turn. Each
// read asks for all the space left, so it is never reallocated; nothing of 16,000,000 bytes or
// more fits.
constexpr size_t kTransferBufferSize = 16000000;

class TransferBuffer {
 public:
  explicit TransferBuffer(size_t capacity = kTransferBufferSize)
      : data_(new char[capacity]), capacity_(capacity) {}

  char* Data() { return data_.get(); }
  const char* Data() const { return data_.get(); }
  size_t Capacity() const { return capacity_; }
  size_t Received() const { return received_; }
  void SetReceived(size_t received) { received_ = received; }

 private:
  std::unique_ptr<char[]> data_;
  size_t capacity_;
  size_t received_ = 0;
};

// Sees the data of a transfer as it arrives, read by read.
class TransferWatcher {
 public:
  // The body starts to arrive, from byte 0.
  virtual void BodyStarted() = 0;
  virtual void Received(const char* data, size_t size) = 0;

 protected:
  ~TransferWatcher() = default;
};

// The outcome of one transfer. A transfer is complete only when the whole body of a 2xx answer
// arrived over https, as many bytes as the server declared, and it fitted in the buffer.
struct TransferOutcome {
  bool complete = false;
  DWORD error = 0;         // the code of the call that failed, recorded when it failed
  std::string faultText;   // replaces the system's text when no call failed
  // The answer was 407: a proxy asks who is there, or a server poses as one. Its request stays
  // open, with its connection, for the system's sign-in dialog, which needs it; CloseRequest
  // lets both go after it.
  bool proxyAsksForCredentials = false;
  InternetHandle connection;
  InternetHandle request;
  // What the answer said, for the log: its status (0 before one came), where it came from, the
  // declared length when there was one, and the bytes received.
  uint32_t status = 0;
  std::string statusText;
  // The address WinINet says the answer came from, when it differs from the one requested: where
  // redirects led.
  std::string finalUrl;
  std::optional<uint64_t> declaredLength;
  size_t received = 0;

  void CloseRequest() {
    request.reset();
    connection.reset();
  }
};

// What the user gave the proxy's sign-in dialog. Windows keeps it on the request the dialog was
// shown for, which is closed after it, so it is carried to every request after it in the run.
// WinINet writes it straight into these fixed buffers, and nothing copies it from them: a string
// would leave copies behind as it grows or moves. Never written anywhere; wiped when cleared and
// when dropped. An object of it is neither copied nor moved.
class ProxyCredentials {
 public:
  ProxyCredentials() = default;
  ProxyCredentials(const ProxyCredentials&) = delete;
  ProxyCredentials& operator=(const ProxyCredentials&) = delete;
  ~ProxyCredentials() { Clear(); }

  // Takes what the dialog left on request, if anything.
  void TakeFrom(HINTERNET request);
  // Gives it to a request before it is sent; nothing when there is none.
  void GiveTo(HINTERNET request) const;
  void Clear();

 private:
  // Far more than anyone types into the dialog; a longer text is not taken.
  static constexpr DWORD kFieldSize = 512;
  char user_[kFieldSize] = {};
  char password_[kFieldSize] = {};
  DWORD userLength_ = 0;
  DWORD passwordLength_ = 0;
};

// The setup's internet session with its options.
class InternetSession {
 public:
  // Opens the session; on failure the error is the code InternetOpenA failed with.
  bool Open(const char* userAgent);
  DWORD OpenError() const { return openError_; }
  HINTERNET Handle() const { return handle_.get(); }
  void Close() { handle_.reset(); }
  // The proxy WinINet uses, as Windows' settings give it: the access type, the proxy and the
  // bypass list. Never credentials.
  std::string ProxyDescription() const;
  // Whether the system's settings name a proxy for the session: a static proxy, or a script for
  // automatic configuration. Auto-detection alone does not count: Windows has it on by default,
  // also on machines with no proxy at all.
  bool NamesProxy() const;

 private:
  InternetHandle handle_;
  DWORD openError_ = 0;
};

// What a proxy that answered 407 asks for: its Proxy-Authenticate field, the scheme and realm.
std::string ProxyChallenge(HINTERNET request);

// Downloads url into buffer from byte 0, showing the data to watcher when there is one. The
// worker's terminate request ends the read loop.
TransferOutcome Transfer(const InternetSession& session, const std::string& url,
                         TransferBuffer& buffer, const TThread& worker,
                         TransferWatcher* watcher = nullptr,
                         const ProxyCredentials* credentials = nullptr);
