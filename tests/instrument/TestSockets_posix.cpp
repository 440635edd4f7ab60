#include "TestSockets.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

TestSocket ListenOnLoopback(int* port) {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  if (s < 0) return kNoSocket;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = 0;
  socklen_t len = sizeof(a);
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof(a)) != 0 || listen(s, 8) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
    close(s);
    return kNoSocket;
  }
  *port = ntohs(a.sin_port);
  return s;
}

bool WaitReadable(TestSocket s, int ms) {
  pollfd p{static_cast<int>(s), POLLIN, 0};
  return poll(&p, 1, ms) > 0;
}

TestSocket AcceptOne(TestSocket listener) {
  const int c = accept(static_cast<int>(listener), nullptr, nullptr);
  return c < 0 ? kNoSocket : c;
}

int ReceiveSome(TestSocket s, char* buffer, int n) {
  return static_cast<int>(recv(static_cast<int>(s), buffer, static_cast<size_t>(n), 0));
}

bool SendAll(TestSocket s, const char* data, size_t n) {
  while (n > 0) {
    const ssize_t sent = send(static_cast<int>(s), data, n, MSG_NOSIGNAL);
    if (sent <= 0) return false;
    data += sent;
    n -= static_cast<size_t>(sent);
  }
  return true;
}

void CloseTestSocket(TestSocket s) {
  if (s == kNoSocket) return;
  shutdown(static_cast<int>(s), SHUT_WR);
  close(static_cast<int>(s));
}
