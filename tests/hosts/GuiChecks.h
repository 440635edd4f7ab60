#pragma once
// The GUI rigs' checks, their log and their pictures, the same on every
// platform. Each check prints "ok: ..." or "FAILED: ..." on one line; the
// rig's last line is "N passed, N failed". What the host sees (gestures,
// automation, display updates, keys reaching its window, events of a test
// layout) goes into one ordered log that the checks read. The user-interface
// thread works on its own time, so checks wait for what they expect.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace gui {

// ---- checks ---------------------------------------------------------------------------
void Check(bool ok, std::string what);
// Waits for cond, then checks it; the description is made after the wait, so
// it shows the log as it ended up.
void CheckSoon(const std::function<bool()>& cond, const std::function<std::string()>& what, int timeoutMs = 3000);
// Prints the closing "N passed, N failed"; the program's exit status.
int Summary();
std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// ---- the log ----------------------------------------------------------------------------
void Log(const std::string& entry);  // any thread
size_t Mark();
// Entries since a mark, only those that start with one of the prefixes (all
// of them when none is given).
std::vector<std::string> Since(size_t mark, const std::vector<std::string>& prefixes = {});
bool Logged(size_t mark, const std::string& entry);
std::string Join(const std::vector<std::string>& v);  // "[a, b]"

// ---- waiting ------------------------------------------------------------------------------
void SleepMs(int ms);
// Polls cond every 10 ms until it holds or timeoutMs passed; returns its last result.
bool WaitFor(const std::function<bool()>& cond, int timeoutMs = 3000);

// ---- pictures -------------------------------------------------------------------------------
struct Picture {
  int width = 0, height = 0;
  std::vector<uint32_t> pixels;  // 0x00RRGGBB, top row first
  uint32_t At(int x, int y) const {
    return x >= 0 && y >= 0 && x < width && y < height ? pixels[static_cast<size_t>(y) * width + x] : 0;
  }
  bool Empty() const { return pixels.empty(); }
  // The part from (l, t) to (r, b), exclusive (outside pixels read as 0).
  Picture Crop(int l, int t, int r, int b) const;
  bool operator==(const Picture& o) const { return width == o.width && height == o.height && pixels == o.pixels; }
  bool operator!=(const Picture& o) const { return !(*this == o); }
};
// Identical pixels ("identical" in *why); otherwise *why names the first
// difference and how many pixels differ.
bool Same(const Picture& a, const Picture& b, std::string* why);
bool WritePicture(const Picture& picture, const std::string& path);  // PNG, UTF-8 path

}  // namespace gui
