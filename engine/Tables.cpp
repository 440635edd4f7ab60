#include "Tables.h"

#include <climits>
#include <cmath>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

namespace {

constexpr double kPi = 3.141592653589793;

NoteTables BuildNoteTables() {
  NoteTables n;
  for (int i = 0; i < 136; ++i) {
    const double f = 440.0 * std::pow(2.0, (i - 69) / 12.0);
    // Four entries near the top are held to two decimals.
    if (i >= 124 && i <= 127)
      n.t[i] = std::round(f * 100.0) / 100.0;
    else
      n.t[i] = std::round(f * 1000.0) / 1000.0;
    n.l[i] = std::round(8.176 * std::pow(2.0, -i / 12.0) * 1e10) / 1e10;
  }
  return n;
}

WaveTables BuildWaveTables() {
  WaveTables w;
  for (int k = 0; k < kTableSize; ++k) {
    w.sine[k] = std::sin(2.0 * kPi * k / kTableSize);
    w.decay[k] = std::exp(-10.0 * k / kTableSize);
  }
  for (int i = 0; i < kTableSize / 2; ++i) {
    const double s = std::sin(kPi * i / kTableSize);
    w.pulse[i] = 4095.0 * (s * s);
  }
  for (int i = kTableSize / 2; i < kTableSize; ++i) w.pulse[i] = w.pulse[kTableSize - 1 - i];
  return w;
}

void BuildIncrements(PhaseIncrementTable* t, double sampleRate) {
  t->sampleRate = sampleRate;
  const double perHz = 268435456.0 / sampleRate;
  for (int i = 0; i <= kMaxPitch; ++i) {
    const double v = perHz * NoteFrequency(i);
    // Below about 2.5 kHz the top notes would exceed a 32-bit increment.
    t->inc[i] = v >= static_cast<double>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(v);
  }
  t->maxIncrement = t->inc[kMaxPitch];
}

}  // namespace

const NoteTables& GetNoteTables() {
  static const NoteTables tables = BuildNoteTables();
  return tables;
}

const WaveTables& GetWaveTables() {
  static const WaveTables tables = BuildWaveTables();
  return tables;
}

double NoteFrequency(int p) {
  const NoteTables& n = GetNoteTables();
  if (p == 0) return 8.176;
  if (p > 0) {
    if (p >= kMaxPitch) return 19912.127;
    const int i = p / 128, f = p % 128;
    return n.t[i] + (n.t[i + 1] - n.t[i]) * f * 0.0078125;
  }
  if (p <= -kMaxPitch) return 0.0033570162;
  const int q = -p;
  const int i = q / 128, f = q % 128;
  return n.l[i] + (n.l[i + 1] - n.l[i]) * f * 0.0078125;
}

int PitchForFrequency(double hz) {
  int p = 8640, s = 8640;
  do {
    s /= 2;
    const double g = NoteFrequency(p);
    if (g > hz)
      p -= s;
    else if (g < hz)
      p += s;
    else
      break;
  } while (s != 0);
  return p;
}

namespace {
// Tables nobody holds any more are kept for a while (a host that switches
// between two rates, instances closed and opened again), but only this many:
// a process that meets many rates must not keep a table for each.
constexpr size_t kSpareIncrementTables = 2;

struct IncrementTableCache {
  std::mutex lock;
  std::vector<std::shared_ptr<const PhaseIncrementTable>> tables;  // most recently requested last
};
IncrementTableCache& Cache() {
  static IncrementTableCache cache;
  return cache;
}
}  // namespace

std::shared_ptr<const PhaseIncrementTable> PhaseIncrementTableFor(double sampleRate) {
  IncrementTableCache& cache = Cache();
  std::lock_guard<std::mutex> guard(cache.lock);
  auto& tables = cache.tables;
  std::shared_ptr<const PhaseIncrementTable> table;
  for (auto it = tables.begin(); it != tables.end(); ++it) {
    if ((*it)->sampleRate == sampleRate) {
      table = *it;
      tables.erase(it);
      break;
    }
  }
  if (!table) {
    auto built = std::make_shared<PhaseIncrementTable>();
    BuildIncrements(built.get(), sampleRate);
    table = std::move(built);
  }
  tables.push_back(table);
  // Held only by the cache: spare. The newest spares stay, older ones go.
  size_t spare = 0;
  for (size_t i = tables.size(); i-- > 0;) {
    if (tables[i].use_count() == 1 && ++spare > kSpareIncrementTables)
      tables.erase(tables.begin() + static_cast<std::ptrdiff_t>(i));
  }
  return table;
}

int CachedPhaseIncrementTables() {
  IncrementTableCache& cache = Cache();
  std::lock_guard<std::mutex> guard(cache.lock);
  return static_cast<int>(cache.tables.size());
}
