#include "Http.h"

#include <windows.h>
#include <wininet.h>

#include <string>

namespace {

// The three handles of an exchange, closed in reverse order of opening; a
// handle never obtained is skipped. Also on an exception.
struct Handles {
  HINTERNET root = nullptr, connection = nullptr, request = nullptr;
  ~Handles() {
    if (request) InternetCloseHandle(request);
    if (connection) InternetCloseHandle(connection);
    if (root) InternetCloseHandle(root);
  }
};

// The bounds of one exchange. Windows offers time-outs per operation only
// (connect, send, each receive), so the whole exchange is bounded by giving
// every blocking step no more than the time that is left.
class Deadline {
 public:
  explicit Deadline(int totalMs) : mBounded(totalMs > 0), mEnd(GetTickCount64() + totalMs) {}
  bool Bounded() const { return mBounded; }
  // Milliseconds left, at least 1 while any are left; 0 when time is up.
  DWORD Left() const {
    const ULONGLONG now = GetTickCount64();
    return now < mEnd ? static_cast<DWORD>(mEnd - now) : 0;
  }

 private:
  bool mBounded;
  ULONGLONG mEnd;
};

void SetTimeout(HINTERNET handle, DWORD option, DWORD ms) {
  InternetSetOptionA(handle, option, &ms, sizeof(ms));
}

// The connect time-out, never beyond the end of the whole exchange.
DWORD ConnectBound(const HttpGetRequest& request, const Deadline& deadline) {
  DWORD ms = static_cast<DWORD>(request.connectTimeoutMs);
  if (deadline.Bounded() && deadline.Left() < ms) ms = deadline.Left() > 0 ? deadline.Left() : 1;
  return ms;
}

bool TimedOut() { return GetLastError() == ERROR_INTERNET_TIMEOUT; }

}  // namespace

std::string HttpGet(const HttpGetRequest& request, int* status) {
  if (status) *status = 0;
  Deadline deadline(request.totalTimeoutMs);
  Handles h;
  h.root = InternetOpenA(request.agent, INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
  if (!h.root) return std::string();
  // The connect time-out on the root reaches the connection and the request
  // made from it; the request's own are set again below, since not every
  // WinINet passes send and receive time-outs down from the root.
  if (request.connectTimeoutMs > 0)
    SetTimeout(h.root, INTERNET_OPTION_CONNECT_TIMEOUT, ConnectBound(request, deadline));

  h.connection = InternetConnectA(h.root, request.host, static_cast<INTERNET_PORT>(request.port),
                                  nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  if (!h.connection) return std::string();
  const char* accept[] = {request.accept, nullptr};
  h.request = HttpOpenRequestA(h.connection, "GET", request.object, nullptr, nullptr, accept, 0, 0);
  if (!h.request) return std::string();
  if (request.connectTimeoutMs > 0)
    SetTimeout(h.request, INTERNET_OPTION_CONNECT_TIMEOUT, ConnectBound(request, deadline));
  if (deadline.Bounded()) {
    if (deadline.Left() == 0) return std::string();
    SetTimeout(h.request, INTERNET_OPTION_SEND_TIMEOUT, deadline.Left());
    SetTimeout(h.request, INTERNET_OPTION_RECEIVE_TIMEOUT, deadline.Left());
  }
  if (!HttpSendRequestA(h.request, nullptr, 0, nullptr, 0)) return std::string();
  if (status) {
    DWORD code = 0, size = sizeof(code);
    if (HttpQueryInfoA(h.request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &size, nullptr))
      *status = static_cast<int>(code);
  }

  std::string body;
  char piece[1024];
  for (;;) {
    DWORD want = sizeof(piece);
    if (deadline.Bounded()) {
      const DWORD left = deadline.Left();
      if (left == 0) return std::string();
      SetTimeout(h.request, INTERNET_OPTION_RECEIVE_TIMEOUT, left);
      // A plain read waits until the whole piece has arrived, which a server
      // sending a byte now and then could stretch without end: ask what is
      // there (waiting for at least one byte), then read no more than that.
      DWORD available = 0;
      if (!InternetQueryDataAvailable(h.request, &available, 0, 0)) {
        if (TimedOut() || deadline.Left() == 0) return std::string();
        break;
      }
      if (available > 0 && available < want) want = available;
    }
    DWORD got = 0;
    if (!InternetReadFile(h.request, piece, want, &got)) {
      if (TimedOut() || (deadline.Bounded() && deadline.Left() == 0)) return std::string();
      break;
    }
    if (got == 0) break;
    body.append(piece, got);
  }
  return body;
}
