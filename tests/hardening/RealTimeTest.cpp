// The render path under real-time rules: with every engine path in use at
// once (all voice modes with and without unison, synced LFOs reading the
// host transport, every modulation source on every selector, every formant
// type, every LFO wave, soft clip, glide, pedal, pitch bend and mod wheel),
// ProcessBlock must allocate nothing, take no lock beyond the plug-in lock
// its caller holds, and hand the floating-point control register back as it
// found it. The voices take each of their render paths in turn.
#include <gtest/gtest.h>
#include <xmmintrin.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "../engine/AllocCounter.h"
#include "LoaderChecks.h"
#include "LockCounter.h"
#include "ParamTable.h"
#include "Quarvi.h"

namespace {

// Rounding mode, exception masks, flush-to-zero and denormals-are-zero; the
// six sticky exception flags below them are results, not mode.
constexpr unsigned kMxcsrModeBits = 0xFFC0u;
constexpr unsigned kFlushToZeroAndDenormalsAreZero = 0x8040u;

struct Instance {
  AEffect* e = CreateCheckedInstance();
  Quarvi* q = e ? static_cast<Quarvi*>(static_cast<IPlugVST*>(e->object)) : nullptr;
  ~Instance() { CloseCheckedInstance(e); }

  int Index(const char* name) const { return FindParamIndex(name); }

  // The way a host sets a value: normalized, through the effect record.
  void Set(int index, double plain) {
    const IPlugParam* p = q->GetParam(index);
    e->setParameter(e, index, static_cast<float>(p->ToNormalized(plain)));
  }
  void Set(const char* name, double plain) { Set(Index(name), plain); }

  void Midi(const std::vector<std::vector<int>>& messages) {
    std::vector<VstMidiEvent> events;
    for (const std::vector<int>& m : messages) events.push_back(MidiEvent(m[0], m[1], m[2], m[3]));
    SendEvents(e, events);
  }
};

struct Selector {
  const char* name;
  int count;
};

TEST(RealTime, LockCounterSeesTheLocksOfThisThread) {
  if (!LockCountingAvailable()) GTEST_SKIP() << "locks are not countable in this build";
  std::mutex m;
  std::recursive_mutex r;
  const long before = LocksTakenOnThisThread();
  m.lock();
  m.unlock();
  r.lock();
  r.lock();
  r.unlock();
  r.unlock();
  if (m.try_lock()) m.unlock();
  EXPECT_EQ(LocksTakenOnThisThread() - before, 4);
}

TEST(RealTime, EveryRenderPathAllocatesNothingLocksNothingAndKeepsTheFloatMode) {
  Instance in;
  ASSERT_NE(in.q, nullptr);
  AEffect* e = in.e;
  e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
  e->dispatcher(e, effSetBlockSize, 0, 1024, nullptr, 0.0f);
  e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);

  // Every formant sounds from both oscillators, every modulation input has
  // an amount, the output clips into the soft clipper.
  for (const char* f : {"F1", "F2", "F3"}) {
    for (const char* osc : {"Osc1 ", "Osc2 "}) in.Set((std::string(osc) + f).c_str(), 1);
    in.Set((std::string("Bw ") + f).c_str(), 0.3);
  }
  int sign = 1;
  for (int i = 0; i < kParamTableSize; ++i) {
    const std::string name = kParamTable[i].name;
    const bool amount = name.find("Amt") != std::string::npos || name.find("Am F") != std::string::npos ||
                        name.rfind("LFOMod", 0) == 0;
    if (amount) {
      in.Set(i, 0.6 * sign);
      sign = -sign;
    }
  }
  in.Set("Volume", 1.0);
  in.Set("SoftClip", 1);
  in.Set("Portamnt", 0.05);
  in.Set("PB Range", 12);
  in.Set("Env 2 Dly", 0.2);
  in.Set("Env 3 Dly", 0.1);
  in.Set("Unison LFO Phase", 90);

  const Selector selectors[] = {
      {"FM1Src 1", 19}, {"FM2Src 1", 19}, {"FM1Src 2", 19}, {"FM2Src 2", 19}, {"FM1Sc F1", 19},
      {"FM2Sc F1", 19}, {"FM1Sc F2", 19}, {"FM2Sc F2", 19}, {"FM1Sc F3", 19}, {"FM2Sc F3", 19},
      {"PanSrc 1", 19}, {"PanSrc 2", 19}, {"AMSrc F1", 13}, {"AMSrc F2", 13}, {"AMSrc F3", 13},
      {"AM1Src 1", 13}, {"AM2Src 1", 13}, {"AM1Src 2", 13}, {"AM2Src 2", 13}, {"LFOSrc 1", 13},
      {"LFOSrc 2", 13}, {"LFOSrc 3", 13}, {"Type F1", 3},   {"Type F2", 3},   {"Type F3", 3},
      {"LFOWav 1", 7},  {"LFOWav 2", 7},  {"LFOWav 3", 7},  {"Env1 Trg", 2},  {"Env2 Trg", 2},
      {"Env3 Trg", 2},  {"LFORtg 1", 2},  {"LFORtg 2", 2},  {"LFORtg 3", 2},
  };
  const int blockSizes[] = {1, 7, 44, 64, 100, 441, 512, 1024};
  constexpr int kSteps = 96;  // each of the 32 voice modes three times
  std::vector<double> left(1024), right(1024);
  double* outs[2] = {left.data(), right.data()};

  long allocations = 0, locks = 0;
  int modeChanges = 0, notFinite = 0;
  std::string firstProblem;
  bool clipped = false;
  for (int s = 0; s < kSteps; ++s) {
    // Host side, outside the measured calls.
    in.Set("Voices", s % 32);
    in.Set("Unison", s < 64 ? 1 : 0);
    for (int k = 0; k < 3; ++k) {
      const std::string n = std::to_string(k + 1);
      in.Set(("LFOSyn " + n).c_str(), s % 16 == 15 ? 0 : 1);
      in.Set(("LFOFrq " + n).c_str(), std::fmod(s * 7.3 + k * 31.0, 100.0));
    }
    for (size_t i = 0; i < sizeof(selectors) / sizeof(selectors[0]); ++i) {
      in.Set(selectors[i].name, static_cast<double>((s + static_cast<int>(i)) % selectors[i].count));
    }
    // Each render path of the voices in turn (where the processor has it).
    const RenderPath kPaths[] = {RenderPath::kPerVoice, RenderPath::kSse2, RenderPath::kAvx2, RenderPath::kAvx512};
    const RenderPath path = kPaths[(s + s / 32) % 4];  // each voice mode on three of them
    SetRenderPath(RenderPathAvailable(path) ? path : RenderPath::kAuto);
    const int n = blockSizes[s % 8];
    const int at = n > 1 ? (s * 13) % n : 0;
    in.Midi({{0x90, 48 + (s * 5) % 24, 40 + (s * 11) % 88, 0},
             {0x90, 60 + s % 12, 127, at},
             {0x80, 48 + ((s + 22) * 5) % 24, 0, at},
             {0xB0, 1, (s * 13) % 128, at},
             {0xB0, 64, s % 8 < 4 ? 127 : 0, 0},
             {0xE0, (s * 37) % 128, (s * 17) % 128, at}});

    for (int repeat = 0; repeat < 3; ++repeat) {
      const unsigned saved = _mm_getcsr();
      const unsigned mode = (s + repeat) % 2 ? (saved | kFlushToZeroAndDenormalsAreZero)
                                             : (saved & ~kFlushToZeroAndDenormalsAreZero);
      _mm_setcsr(mode);
      in.q->Lock();
      const unsigned before = _mm_getcsr();
      const long locksBefore = LocksTakenOnThisThread();
      AllocationScope scope;
      in.q->ProcessBlock(nullptr, outs, n);
      const long blockAllocations = scope.Count();
      const long blockLocks = LocksTakenOnThisThread() - locksBefore;
      const unsigned after = _mm_getcsr();
      in.q->Unlock();
      _mm_setcsr(saved);

      allocations += blockAllocations;
      locks += blockLocks;
      if ((after & kMxcsrModeBits) != (before & kMxcsrModeBits)) ++modeChanges;
      for (int i = 0; i < n; ++i) {
        if (!std::isfinite(left[i]) || !std::isfinite(right[i])) ++notFinite;
      }
      if (firstProblem.empty() && (blockAllocations || blockLocks || notFinite ||
                                   (after & kMxcsrModeBits) != (before & kMxcsrModeBits))) {
        firstProblem = "step " + std::to_string(s) + ", block of " + std::to_string(n) + ": " +
                       std::to_string(blockAllocations) + " allocations, " + std::to_string(blockLocks) +
                       " locks, float mode " + std::to_string(before) + " -> " + std::to_string(after);
      }
    }
    clipped = in.q->TakeClipIndicator() || clipped;
  }
  SetRenderPath(RenderPath::kAuto);
  EXPECT_EQ(allocations, 0) << firstProblem;
  if (LockCountingAvailable()) EXPECT_EQ(locks, 0) << firstProblem;
  EXPECT_EQ(modeChanges, 0) << firstProblem;
  EXPECT_EQ(notFinite, 0) << firstProblem;
  // The paths were really taken: the synced LFOs read the host's tempo and
  // the output went through the clipper.
  EXPECT_EQ(in.q->Transport().tempo, 120.0);
  EXPECT_TRUE(clipped);
}

}  // namespace
