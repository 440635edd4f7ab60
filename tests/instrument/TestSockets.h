#pragma once
#include <cstddef>
#include <cstdint>

// The few TCP socket calls the loopback HTTP server of the update check's
// tests needs (POSIX sockets, or Winsock in the Windows test program).
using TestSocket = intptr_t;
constexpr TestSocket kNoSocket = -1;

// A TCP socket listening on 127.0.0.1 at a port the system chose (written
// to *port); kNoSocket on failure.
TestSocket ListenOnLoopback(int* port);
// Whether the socket turned readable (a connection waiting, data, or the
// peer's close) within ms milliseconds.
bool WaitReadable(TestSocket s, int ms);
TestSocket AcceptOne(TestSocket listener);
// Bytes received (at most n), 0 when the peer closed, < 0 on failure.
int ReceiveSome(TestSocket s, char* buffer, int n);
bool SendAll(TestSocket s, const char* data, size_t n);
void CloseTestSocket(TestSocket s);
