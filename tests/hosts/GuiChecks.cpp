#include "GuiChecks.h"

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <thread>

#include "lice/lice.h"

namespace gui {

namespace {
int gPassed = 0, gFailed = 0;  // the script thread's
std::mutex gLogLock;
std::vector<std::string> gLog;
}  // namespace

void Check(bool ok, std::string what) {
  for (char& c : what) c = c == '\n' ? ' ' : c;  // one line per check
  std::printf("%s: %s\n", ok ? "ok" : "FAILED", what.c_str());
  std::fflush(stdout);
  (ok ? gPassed : gFailed)++;
}

void CheckSoon(const std::function<bool()>& cond, const std::function<std::string()>& what, int timeoutMs) {
  const bool ok = WaitFor(cond, timeoutMs);
  Check(ok, what());
}

int Summary() {
  std::printf("%d passed, %d failed\n", gPassed, gFailed);
  std::fflush(stdout);
  return gFailed == 0 ? 0 : 1;
}

std::string Format(const char* fmt, ...) {
  char buf[1024];
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(buf, sizeof(buf), fmt, args);
  va_end(args);
  return buf;
}

void Log(const std::string& entry) {
  std::lock_guard<std::mutex> g(gLogLock);
  gLog.push_back(entry);
}

size_t Mark() {
  std::lock_guard<std::mutex> g(gLogLock);
  return gLog.size();
}

std::vector<std::string> Since(size_t mark, const std::vector<std::string>& prefixes) {
  std::lock_guard<std::mutex> g(gLogLock);
  std::vector<std::string> out;
  for (size_t i = mark; i < gLog.size(); ++i) {
    bool keep = prefixes.empty();
    for (const std::string& p : prefixes) keep = keep || gLog[i].compare(0, p.size(), p) == 0;
    if (keep) out.push_back(gLog[i]);
  }
  return out;
}

bool Logged(size_t mark, const std::string& entry) {
  const std::vector<std::string> since = Since(mark);
  return std::find(since.begin(), since.end(), entry) != since.end();
}

std::string Join(const std::vector<std::string>& v) {
  std::string s;
  for (const std::string& e : v) s += (s.empty() ? "" : ", ") + e;
  return "[" + s + "]";
}

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

bool WaitFor(const std::function<bool()>& cond, int timeoutMs) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (cond()) return true;
    if (std::chrono::steady_clock::now() >= end) return cond();
    SleepMs(10);
  }
}

Picture Picture::Crop(int l, int t, int r, int b) const {
  Picture part;
  part.width = std::max(0, r - l);
  part.height = std::max(0, b - t);
  part.pixels.reserve(static_cast<size_t>(part.width) * part.height);
  for (int y = t; y < b; ++y) {
    for (int x = l; x < r; ++x) part.pixels.push_back(At(x, y));
  }
  return part;
}

bool Same(const Picture& a, const Picture& b, std::string* why) {
  if (a.width != b.width || a.height != b.height || a.Empty()) {
    *why = Format("sizes %dx%d and %dx%d", a.width, a.height, b.width, b.height);
    return false;
  }
  size_t differ = 0, first = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) {
    if (a.pixels[i] != b.pixels[i] && differ++ == 0) first = i;
  }
  *why = differ == 0 ? std::string("identical")
                     : Format("%u pixels differ, first at (%d,%d): %06X and %06X", static_cast<unsigned>(differ),
                              static_cast<int>(first % a.width), static_cast<int>(first / a.width),
                              static_cast<unsigned>(a.pixels[first]), static_cast<unsigned>(b.pixels[first]));
  return differ == 0;
}

bool WritePicture(const Picture& picture, const std::string& path) {
  if (picture.Empty()) return false;
  LICE_MemBitmap bitmap(picture.width, picture.height);
  if (!bitmap.GetBits()) return false;
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      bitmap.GetBits()[static_cast<size_t>(y) * bitmap.GetRowSpan() + x] = picture.At(x, y) | 0xFF000000u;
    }
  }
  return LICE_WritePNG(&bitmap, path.c_str(), false);
}

}  // namespace gui
