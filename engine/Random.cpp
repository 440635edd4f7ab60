#include "Random.h"

#include <atomic>
#include <cstdint>

// The generators are shared by every instance in the process, and instances
// may render on different threads at once. A draw is one atomic
// read-modify-write: a compare-exchange loop that retries when another thread
// stepped the generator in between. This keeps the render path free of locks
// (a mutex could block the audio thread behind a descheduled one), and no two
// draws ever see the same state, nor is a step lost. Interleaving between
// instances is accepted: each draw still follows the one sequence.
namespace {

static_assert(std::atomic<uint32_t>::is_always_lock_free, "random generators must be lock-free");

std::atomic<uint32_t> gSampleHold{1};
std::atomic<uint32_t> gLfoRandom{1};
std::atomic<uint32_t> gNoteRandom{1};

double Draw(std::atomic<uint32_t>& state) {
  uint32_t x = state.load(std::memory_order_relaxed);
  uint32_t next;
  do {
    next = x * 16807u;  // modulo 2^32
  } while (!state.compare_exchange_weak(x, next, std::memory_order_relaxed));
  return static_cast<int32_t>(next) * 4.6566129e-10;
}

}  // namespace

double DrawSampleHold() { return Draw(gSampleHold); }
double DrawLfoRandom() { return Draw(gLfoRandom); }
double DrawNoteRandom() { return Draw(gNoteRandom); }

void ResetRandomGenerators() {
  gSampleHold.store(1);
  gLfoRandom.store(1);
  gNoteRandom.store(1);
}
