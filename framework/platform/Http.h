#pragma once
#include <string>

// One plain HTTP GET, made synchronously on the calling thread (the online
// update check's single exchange). Windows: WinINet; elsewhere: libcurl, with
// the same request on the wire and the same results.
struct HttpGetRequest {
  const char* agent = "";     // the User-Agent
  const char* host = "";
  int port = 80;
  const char* object = "";    // path and query; a leading "/" is added when missing
  const char* accept = "*/*"; // the one accepted type
  // Bounds in milliseconds; 0 leaves the system's own, which can hold the
  // calling thread for minutes when a server accepts and never answers.
  int connectTimeoutMs = 0;
  int totalTimeoutMs = 0;  // the whole exchange, connecting included
};

// Returns the response body, whatever the status code (an error page is a
// body too). Empty when no exchange took place: no network, unknown host,
// refused connection, a request that could not be sent, or either time-out
// (a time-out discards what had arrived: the body may be cut anywhere).
//
// The body is read in pieces of at most 1024 bytes until a read fails or
// returns nothing; a read failing half way keeps what came before. No proxy
// is used. Redirects to other http addresses are followed, as WinINet does
// by default (the libcurl side stops after 10 of them).
//
// status, when given, receives the response's status code (200, 404, 503
// ...), or 0 when no response arrived.
//
// Collecting the body may throw std::bad_alloc; everything the exchange
// opened is released first.
std::string HttpGet(const HttpGetRequest& request, int* status = nullptr);
