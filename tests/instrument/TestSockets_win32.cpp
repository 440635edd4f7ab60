#include "TestSockets.h"

#include <winsock2.h>

namespace {
// Winsock is started once for the whole test program and left running.
bool Started() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}
}  // namespace

TestSocket ListenOnLoopback(int* port) {
  if (!Started()) return kNoSocket;
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return kNoSocket;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = 0;
  int len = sizeof(a);
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0 || listen(s, 8) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    closesocket(s);
    return kNoSocket;
  }
  *port = ntohs(a.sin_port);
  return static_cast<TestSocket>(s);
}

bool WaitReadable(TestSocket s, int ms) {
  fd_set set;
  FD_ZERO(&set);
  FD_SET(static_cast<SOCKET>(s), &set);
  timeval t{ms / 1000, (ms % 1000) * 1000};
  return select(0, &set, nullptr, nullptr, &t) > 0;
}

TestSocket AcceptOne(TestSocket listener) {
  const SOCKET c = accept(static_cast<SOCKET>(listener), nullptr, nullptr);
  return c == INVALID_SOCKET ? kNoSocket : static_cast<TestSocket>(c);
}

int ReceiveSome(TestSocket s, char* buffer, int n) {
  return recv(static_cast<SOCKET>(s), buffer, n, 0);
}

bool SendAll(TestSocket s, const char* data, size_t n) {
  while (n > 0) {
    const int sent = send(static_cast<SOCKET>(s), data, static_cast<int>(n), 0);
    if (sent <= 0) return false;
    data += sent;
    n -= static_cast<size_t>(sent);
  }
  return true;
}

void CloseTestSocket(TestSocket s) {
  if (s == kNoSocket) return;
  shutdown(static_cast<SOCKET>(s), SD_SEND);
  closesocket(static_cast<SOCKET>(s));
}
