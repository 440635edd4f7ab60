#include "Http.h"

#include <curl/curl.h>

#include <exception>
#include <memory>
#include <mutex>
#include <string>

namespace {

// libcurl wants its global set-up once per process before any handle; it is
// never undone, since other instances may still be checking.
void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct Sink {
  std::string body;
  std::exception_ptr failure;
};

// libcurl is C: nothing may be thrown through it. A failure to store the
// piece aborts the transfer and is rethrown once libcurl has returned.
size_t Collect(char* data, size_t size, size_t count, void* user) {
  Sink* sink = static_cast<Sink*>(user);
  try {
    sink->body.append(data, size * count);
  } catch (...) {
    sink->failure = std::current_exception();
    return 0;
  }
  return size * count;
}

struct CurlDeleter {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct ListDeleter {
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

}  // namespace

std::string HttpGet(const HttpGetRequest& request, int* status) {
  if (status) *status = 0;
  InitCurlOnce();
  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  if (!curl) return std::string();

  std::string url = "http://";
  url += request.host;
  url += ':';
  url += std::to_string(request.port);
  if (request.object[0] != '/') url += '/';
  url += request.object;
  const std::string accept = std::string("Accept: ") + request.accept;
  std::unique_ptr<curl_slist, ListDeleter> headers(curl_slist_append(nullptr, accept.c_str()));
  if (!headers) return std::string();

  Sink sink;
  CURL* c = curl.get();
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http");
  curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
  curl_easy_setopt(c, CURLOPT_USERAGENT, request.agent);
  curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
  // A direct connection, as WinINet's direct access type: no proxy, not even
  // one named by the environment.
  curl_easy_setopt(c, CURLOPT_PROXY, "");
  // WinINet follows redirects unless told not to; only to plain http.
  curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http");
  curl_easy_setopt(c, CURLOPT_MAXREDIRS, 10L);
  // Pieces of at most 1024 bytes reach the collector.
  curl_easy_setopt(c, CURLOPT_BUFFERSIZE, 1024L);
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &sink);
  // No signals: the host's threads and handlers are not ours to disturb.
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  if (request.connectTimeoutMs > 0)
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(request.connectTimeoutMs));
  if (request.totalTimeoutMs > 0)
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(request.totalTimeoutMs));

  const CURLcode result = curl_easy_perform(c);
  if (sink.failure) std::rethrow_exception(sink.failure);
  // A failed connection or request has delivered nothing; a read that failed
  // half way keeps what came before it, except when time ran out.
  if (result == CURLE_OPERATION_TIMEDOUT) return std::string();
  long code = 0;
  if (status && curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &code) == CURLE_OK) *status = static_cast<int>(code);
  return std::move(sink.body);
}
