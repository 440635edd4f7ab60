// Ten minutes of audio at 44.1 kHz through one instance: a held chord with
// sustaining envelopes, notes that decay to silence while held, LFOs at the
// ends of their range (0.01 Hz and 100 Hz) and one synced to the host at
// "1/32", all feeding pitch, level and pan. No sample may be a NaN or
// infinite, and once every key is up, every voice must fall idle within the
// release time of its amplitude envelope.
//
// Under the sanitizers the same scenario covers less time (the sanitized
// tree runs every test in a Debug build, many times slower).
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "LoaderChecks.h"
#include "ParamTable.h"
#include "Quarvi.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QUARVI_LONG_RUN_SECONDS 20
#else
#define QUARVI_LONG_RUN_SECONDS 600
#endif

namespace {

constexpr double kRate = 44100.0;
constexpr int kBlock = 512;

class Player {
 public:
  Player() {
    e_ = CreateCheckedInstance();
    q_ = e_ ? static_cast<Quarvi*>(static_cast<IPlugVST*>(e_->object)) : nullptr;
  }
  ~Player() { CloseCheckedInstance(e_); }
  Player(const Player&) = delete;
  Player& operator=(const Player&) = delete;

  Quarvi* q() const { return q_; }
  AEffect* e() const { return e_; }

  void Set(const char* name, double plain) {
    const int i = FindParamIndex(name);
    ASSERT_GE(i, 0) << name;
    e_->setParameter(e_, i, static_cast<float>(q_->GetParam(i)->ToNormalized(plain)));
  }

  void Midi(int status, int d1, int d2, int offset = 0) { SendEvents(e_, {MidiEvent(status, d1, d2, offset)}); }

  // Renders frames in host blocks; counts samples that are not finite and
  // keeps the peak.
  void Render(long frames) {
    float* outs[2] = {left_.data(), right_.data()};
    while (frames > 0) {
      const int n = frames < kBlock ? static_cast<int>(frames) : kBlock;
      e_->processReplacing(e_, nullptr, outs, n);
      for (int i = 0; i < n; ++i) {
        if (!std::isfinite(left_[i]) || !std::isfinite(right_[i])) ++notFinite;
        peak = std::fmax(peak, std::fmax(std::fabs(left_[i]), std::fabs(right_[i])));
      }
      frames -= n;
    }
  }

  long notFinite = 0;
  double peak = 0.0;

 private:
  AEffect* e_ = nullptr;
  Quarvi* q_ = nullptr;
  std::vector<float> left_ = std::vector<float>(kBlock), right_ = std::vector<float>(kBlock);
};

// The plain value of an LFO rate whose synced display reads text.
double SyncedRate(Quarvi* q, int index, const char* text) {
  char shown[IPlugParam::kTextSize];
  const IPlugParam* p = q->GetParam(index);
  for (int step = 0; step <= 10000; ++step) {
    const double v = step * 0.01;
    p->FormatValue(v, false, shown, true);
    if (std::strcmp(shown, text) == 0) return v;
  }
  return -1.0;
}

TEST(LongRun, TenMinutesStayFiniteAndEveryVoiceFallsIdleAfterItsRelease) {
  Player pl;
  ASSERT_NE(pl.q(), nullptr);
  AEffect* e = pl.e();
  e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
  e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
  e->dispatcher(e, effSetBlockSize, 0, kBlock, nullptr, 0.0f);
  e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);

  // Four voices: two keys, each doubled by unison.
  pl.Set("Unison", 1);
  pl.Set("Voices", 1);
  pl.Set("Unison LFO Phase", 180);
  // LFO 1 at 0.01 Hz on pitch, LFO 2 at 100 Hz on level, LFO 3 synced at
  // 1/32 on pan and formant pitch.
  pl.Set("LFOFrq 1", 0.01);
  pl.Set("LFOFrq 2", 100.0);
  pl.Set("LFOSyn 3", 1);
  const double rate32 = SyncedRate(pl.q(), FindParamIndex("LFOFrq 3"), "1/32");
  ASSERT_GE(rate32, 0.0) << "no LFO rate shows 1/32";
  pl.Set("LFOFrq 3", rate32);
  pl.Set("LFOWav 2", 3);  // Saw Down: the steepest edges at 100 Hz
  pl.Set("LFOWav 3", 6);  // 3-Step
  pl.Set("FM1Src 1", 13);   // LFO1
  pl.Set("FM1Amt 1", 0.5);
  pl.Set("FM1Src 2", 14);   // LFO2
  pl.Set("FM1Amt 2", 0.1);
  pl.Set("AM1Src 1", 3);    // LFO2+
  pl.Set("AM1Amt 1", -0.8);
  pl.Set("PanSrc 1", 15);   // LFO3
  pl.Set("PanAmt 1", 1.0);
  pl.Set("FM1Sc F1", 15);   // LFO3
  pl.Set("FM1Am F1", 0.7);
  pl.Set("Osc2 F2", 1);
  pl.Set("Env 1 R", 0.3);
  pl.Set("Env 2 R", 1.0);   // the slowest release of all: no voice may wait for it
  pl.Set("Env 3 R", 0.8);

  const long frames = static_cast<long>(QUARVI_LONG_RUN_SECONDS * kRate);
  const long segment = static_cast<long>(30 * kRate);  // 30 s of each envelope setting
  const long strike = static_cast<long>(5 * kRate);    // the second key is struck again every 5 s
  long done = 0;
  bool sustaining = true;
  pl.Midi(0x90, 48, 100);
  pl.Midi(0x90, 67, 90);
  while (done < frames) {
    if (done % segment == 0) {
      // Held notes that sustain, then held notes whose sustain is 0 and
      // that decay to silence while their keys stay down.
      pl.Set("Env 1 S", sustaining ? 1.0 : 0.0);
      pl.Set("Env 1 D", sustaining ? 0.2 : 0.5);
      pl.Set("Env 3 S", sustaining ? 0.5 : 0.0);
      sustaining = !sustaining;
    }
    if (done % strike == 0 && done > 0) {
      pl.Midi(0x80, 67, 0);
      pl.Midi(0x90, 67, 40 + static_cast<int>((done / strike) * 7 % 80), 100);
    }
    const long n = frames - done < strike - done % strike ? frames - done : strike - done % strike;
    pl.Render(n);
    done += n;
  }
  EXPECT_EQ(pl.notFinite, 0);
  EXPECT_GT(pl.peak, 0.0);

  // Every key up. The amplitude envelope of a voice reaches zero from full
  // level in log(0.1) / log(1 - c) samples, c its release coefficient at
  // this rate; after that (and one control block to notice) no voice may be
  // left running.
  pl.Midi(0x80, 48, 0);
  pl.Midi(0x80, 67, 0);
  const double c = pl.q()->Pool().voices[0].env[0].Coefficient(pl.q()->Pool().voices[0].env[0].release);
  ASSERT_GT(c, 0.0);
  ASSERT_LT(c, 1.0);
  const long release = static_cast<long>(std::ceil(std::log(0.1) / std::log(1.0 - c))) +
                       pl.q()->ControlBlockLength() + kBlock;
  pl.Render(release);
  int running = 0;
  for (const Voice& v : pl.q()->Pool().voices) running += v.active ? 1 : 0;
  EXPECT_EQ(running, 0) << "voices still running " << release << " samples after the last note-off";
  EXPECT_EQ(pl.notFinite, 0);
}

}  // namespace
