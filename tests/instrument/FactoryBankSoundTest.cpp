#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "FactoryNames.h"
#include "InstrumentFixture.h"

// The factory bank as a whole: levels that match from program to program,
// programs that fit their category, and a bank that shows every feature of
// the engine at least once. Values are read from the programs as the
// instrument loads them, so this checks what ships.

namespace {

using Values = std::vector<double>;

int P(const char* name) { return FindParamIndex(name); }
int P(const std::string& name) { return FindParamIndex(name.c_str()); }

std::string N(const char* base, int n) { return std::string(base) + std::to_string(n); }

const std::vector<Values>& Bank() {
  static const std::vector<Values> bank = [] {
    std::vector<Values> b;
    Instrument in;
    for (int p = 0; p < kFactoryProgramCount; ++p) {
      in.q->LoadProgramSlot(p);
      b.push_back(in.Values());
    }
    return b;
  }();
  return bank;
}

bool Starts(int program, const char* prefix) {
  return std::strncmp(kFactoryProgramNames[program], prefix, std::strlen(prefix)) == 0;
}
bool Contains(int program, const char* text) {
  return std::strstr(kFactoryProgramNames[program], text) != nullptr;
}

// Source indices of the modulation selectors.
enum Source { kOff = 0, kOn = 1, kLfo1Plus = 2, kEnv1 = 5, kVelo = 8, kNotePlus = 9, kRndPlus = 10,
              kPbndPlus = 11, kWheel = 12, kLfo1 = 13, kNote = 16, kRnd = 17, kPBend = 18 };

int LfoOf(int source) {
  if (source >= 2 && source <= 4) return source - 1;
  if (source >= 13 && source <= 15) return source - 12;
  return 0;
}

// Formant f (1..3) sounds on some oscillator with some volume.
bool FormantSounds(const Values& v, int f) {
  const std::string s = " F" + std::to_string(f);
  return (v[P("Osc1" + s)] >= 0.5 || v[P("Osc2" + s)] >= 0.5) && v[P("Vol" + s)] > 0;
}

bool OscillatorSounds(const Values& v, int osc) {
  for (int f = 1; f <= 3; ++f) {
    const std::string s = "Osc" + std::to_string(osc) + " F" + std::to_string(f);
    if (v[P(s)] >= 0.5 && v[P("Vol F" + std::to_string(f))] > 0) return true;
  }
  return false;
}

struct Route {
  double amount;
  int source;
  bool fm;  // a frequency modulation input
};

// Every modulation input of a program that can be heard: those of sounding
// oscillators and formants, the buses and the LFO depths. A "Fixed"
// formant's second FM input moves the centre by at most one pitch step, so
// it does not count.
std::vector<Route> Routes(const Values& v) {
  std::vector<Route> r;
  for (int osc = 1; osc <= 2; ++osc) {
    if (!OscillatorSounds(v, osc)) continue;
    for (int k = 1; k <= 2; ++k) {
      const std::string s = "FM" + std::to_string(k);
      r.push_back({v[P(s + "Amt " + std::to_string(osc))], int(v[P(s + "Src " + std::to_string(osc))]), true});
    }
  }
  for (int f = 1; f <= 3; ++f) {
    if (!FormantSounds(v, f)) continue;
    const std::string s = " F" + std::to_string(f);
    r.push_back({v[P("FM1Am" + s)], int(v[P("FM1Sc" + s)]), true});
    if (v[P("Type" + s)] != 0) r.push_back({v[P("FM2Am" + s)], int(v[P("FM2Sc" + s)]), true});
    r.push_back({v[P("AMAmt" + s)], int(v[P("AMSrc" + s)]), false});
  }
  for (int bus = 1; bus <= 2; ++bus) {
    const std::string b = std::to_string(bus);
    r.push_back({v[P("AM1Amt " + b)], int(v[P("AM1Src " + b)]), false});
    r.push_back({v[P("AM2Amt " + b)], int(v[P("AM2Src " + b)]), false});
    r.push_back({v[P("PanAmt " + b)], int(v[P("PanSrc " + b)]), false});
  }
  for (int l = 1; l <= 3; ++l) {
    r.push_back({v[P(N("LFOMod ", l))], int(v[P(N("LFOSrc ", l))]), false});
  }
  r.erase(std::remove_if(r.begin(), r.end(), [](const Route& x) { return x.amount == 0 || x.source == kOff; }),
          r.end());
  return r;
}

bool LfoUsed(const Values& v, int lfo) {
  for (const Route& r : Routes(v)) {
    if (LfoOf(r.source) == lfo) return true;
  }
  return false;
}

bool EnvelopeUsed(const Values& v, int env) {
  for (const Route& r : Routes(v)) {
    if (r.source == kEnv1 + env - 1) return true;
  }
  return false;
}

bool UsesSource(const Values& v, std::initializer_list<int> sources, bool fmOnly) {
  for (const Route& r : Routes(v)) {
    if (fmOnly && !r.fm) continue;
    for (int s : sources) {
      if (r.source == s) return true;
    }
  }
  return false;
}

// An instance running at rate in 512-sample blocks with a factory program.
void PlayReady(Instrument& in, int program, double rate) {
  in.q->SetSampleRate(rate);
  in.q->SetBlockSize(512);
  in.q->ResetProcessing();
  in.q->SetActive(true);
  EXPECT_TRUE(in.q->LoadProgramSlot(program));
}

struct Level {
  double peak = 0, rms = 0;
};

// Key 60 at velocity 100 held for 2 s, then released: peak over hold and
// release, RMS over the hold.
Level Measure(int program, double rate) {
  Instrument in;
  PlayReady(in, program, rate);
  const int hold = int(2 * rate), tail = int(1.5 * rate);
  std::vector<double> l(512), r(512);
  Level level;
  double energy = 0;
  in.q->HandleMidiMessage(Midi(0x90, 60, 100));
  for (int done = 0; done < hold + tail;) {
    if (done == hold) in.q->HandleMidiMessage(Midi(0x80, 60, 0));
    const int n = std::min(512, (done < hold ? hold : hold + tail) - done);
    std::fill(l.begin(), l.end(), 0.0);
    std::fill(r.begin(), r.end(), 0.0);
    double* out[2] = {l.data(), r.data()};
    in.q->ProcessBlock(nullptr, out, n);
    for (int i = 0; i < n; ++i) {
      level.peak = std::max({level.peak, std::fabs(l[i]), std::fabs(r[i])});
      if (done < hold) energy += l[i] * l[i] + r[i] * r[i];
    }
    done += n;
  }
  level.rms = std::sqrt(energy / (2.0 * hold));
  return level;
}

double Db(double x) { return 20 * std::log10(std::max(x, 1e-12)); }

// Share of the energy below 200 Hz while key 36 is held for 1 s at velocity
// 100: the mono sum through a fourth-order low-pass (two 2nd-order
// Butterworth sections) against the sum itself.
double ShareBelow200Hz(int program) {
  const double rate = 22050;
  Instrument in;
  PlayReady(in, program, rate);
  in.q->HandleMidiMessage(Midi(0x90, 36, 100));
  const double w = 2 * 3.14159265358979323846 * 200 / rate, alpha = std::sin(w) / (2 * std::sqrt(0.5));
  const double a0 = 1 + alpha, b0 = (1 - std::cos(w)) / 2 / a0, b1 = (1 - std::cos(w)) / a0, b2 = b0;
  const double a1 = -2 * std::cos(w) / a0, a2 = (1 - alpha) / a0;
  double z[2][2] = {};
  double all = 0, low = 0;
  std::vector<double> l(512), r(512);
  for (int done = 0; done < int(rate);) {
    const int n = std::min(512, int(rate) - done);
    std::fill(l.begin(), l.end(), 0.0);
    std::fill(r.begin(), r.end(), 0.0);
    double* out[2] = {l.data(), r.data()};
    in.q->ProcessBlock(nullptr, out, n);
    for (int i = 0; i < n; ++i) {
      double x = l[i] + r[i];
      all += x * x;
      for (auto& s : z) {  // transposed direct form II
        const double y = b0 * x + s[0];
        s[0] = b1 * x - a1 * y + s[1];
        s[1] = b2 * x - a2 * y;
        x = y;
      }
      low += x * x;
    }
    done += n;
  }
  return all > 0 ? low / all : 0;
}

}  // namespace

// No program clips, and every program's loudness lies within 12 dB of the
// bank's median, so switching programs never jumps by more than that.
TEST(FactoryBankSound, LevelsMatchAndNothingClips) {
#if defined(__SANITIZE_ADDRESS__)
  const double rate = 22050;  // the same shapes at half the cost
#else
  const double rate = 44100;
#endif
  std::vector<Level> levels;
  for (int p = 0; p < kFactoryProgramCount; ++p) levels.push_back(Measure(p, rate));
  std::vector<double> rms;
  for (const Level& x : levels) rms.push_back(Db(x.rms));
  std::vector<double> sorted = rms;
  std::sort(sorted.begin(), sorted.end());
  const double median = (sorted[31] + sorted[32]) / 2;
  EXPECT_GT(median, -30.0);
  EXPECT_LT(median, -12.0);
  for (int p = 0; p < kFactoryProgramCount; ++p) {
    SCOPED_TRACE(kFactoryProgramNames[p]);
    EXPECT_LT(levels[p].peak, 1.0);
    EXPECT_NEAR(rms[p], median, 12.0) << "median " << median;
  }
}

TEST(FactoryBankSound, NoTwoProgramsAlike) {
  const std::vector<Values>& bank = Bank();
  for (int a = 0; a < kFactoryProgramCount; ++a) {
    for (int b = a + 1; b < kFactoryProgramCount; ++b) {
      EXPECT_NE(bank[a], bank[b]) << kFactoryProgramNames[a] << " / " << kFactoryProgramNames[b];
    }
  }
}

// Each program does what its category and name promise.
TEST(FactoryBankSound, ProgramsFitTheirNames) {
  const std::vector<Values>& bank = Bank();
  for (int p = 0; p < kFactoryProgramCount - 1; ++p) {
    SCOPED_TRACE(kFactoryProgramNames[p]);
    const Values& v = bank[p];
    const bool unison = v[P("Unison")] >= 0.5;
    if (Starts(p, "Lead:") || Starts(p, "Mono:")) {
      EXPECT_EQ(v[P("Voices")], 0);  // one key at a time
    }
    if (Starts(p, "Poly:") || Starts(p, "Key:")) {
      EXPECT_TRUE(v[P("Voices")] > 0 || unison);
      EXPECT_TRUE(UsesSource(v, {kVelo}, false)) << "no velocity response";
    }
    if (Starts(p, "Pad:")) {
      EXPECT_GE(v[P("Env 1 A")], 0.4);  // soft attack
      EXPECT_GE(v[P("Env 1 R")], 0.5);  // long release
      bool moves = false;
      for (const Route& r : Routes(v)) moves |= LfoOf(r.source) > 0 || (r.source >= 5 && r.source <= 7);
      EXPECT_TRUE(moves) << "nothing moves";
    }
    if (Contains(p, "Basso")) {
      for (int f = 1; f <= 3; ++f) {
        EXPECT_TRUE(FormantSounds(v, f));
        EXPECT_EQ(v[P(N("Type F", f))], 0) << "F" << f << " is not \"Fixed\"";
      }
    }
    if (Contains(p, "Bell") || Contains(p, "Ring")) {
      bool inharmonic = false;
      for (int f = 1; f <= 3; ++f) {
        const double part = v[P(N("Part F", f))];
        inharmonic |= FormantSounds(v, f) && v[P(N("Type F", f))] == 2 && part != std::floor(part);
      }
      EXPECT_TRUE(inharmonic) << "no inharmonic \"Ring\" formant";
    }
    if (Contains(p, "Sweep")) {
      bool sweeps = false;
      for (int f = 1; f <= 3; ++f) {
        sweeps |= FormantSounds(v, f) && v[P(N("FM1Am F", f))] != 0 && v[P(N("FM1Sc F", f))] != kOff;
      }
      EXPECT_TRUE(sweeps) << "no formant moves";
    }
    if (Starts(p, "Bass:")) {
      EXPECT_GT(ShareBelow200Hz(p), 0.5) << "the weight is not in the bass";
    }
    if (Contains(p, "MW")) {
      EXPECT_TRUE(UsesSource(v, {kWheel}, false)) << "the wheel does nothing";
    }
  }
}

// Between them the programs use every feature of the engine.
TEST(FactoryBankSound, BankShowsEveryFeature) {
  const std::vector<Values>& bank = Bank();
  std::set<int> types, waves;
  bool fmLfo = false, fmEnv = false, fmVelo = false, fmNote = false, fmRandom = false, fmBend = false,
       fmWheel = false, am = false, synced = false, single = false, delay = false, buses = false,
       softClip = false, glide = false, unison = false, unisonLfo = false;
  for (int p = 0; p < kFactoryProgramCount; ++p) {
    const Values& v = bank[p];
    for (int f = 1; f <= 3; ++f) {
      if (FormantSounds(v, f)) types.insert(int(v[P(N("Type F", f))]));
    }
    for (int l = 1; l <= 3; ++l) {
      if (!LfoUsed(v, l)) continue;
      waves.insert(int(v[P(N("LFOWav ", l))]));
      synced |= v[P(N("LFOSyn ", l))] >= 0.5;
      unisonLfo |= v[P("Unison")] >= 0.5;
    }
    for (const Route& r : Routes(v)) {
      if (r.fm) {
        fmLfo |= LfoOf(r.source) > 0;
        fmEnv |= r.source >= 5 && r.source <= 7;
        fmVelo |= r.source == kVelo;
        fmNote |= r.source == kNotePlus || r.source == kNote;
        fmRandom |= r.source == kRndPlus || r.source == kRnd;
        fmBend |= r.source == kPbndPlus || r.source == kPBend;
        fmWheel |= r.source == kWheel;
      } else {
        am = true;
      }
    }
    single |= v[P("Env1 Trg")] == 1 || (v[P("Env2 Trg")] == 1 && EnvelopeUsed(v, 2)) ||
              (v[P("Env3 Trg")] == 1 && EnvelopeUsed(v, 3));
    delay |= (v[P("Env 2 Dly")] > 0 && EnvelopeUsed(v, 2)) || (v[P("Env 3 Dly")] > 0 && EnvelopeUsed(v, 3));
    // Both buses carry sound when some formant sends to each of them.
    bool toBus1 = false, toBus2 = false;
    for (int osc = 1; osc <= 2; ++osc) {
      for (int f = 1; f <= 3; ++f) {
        if (v[P("Osc" + std::to_string(osc) + " F" + std::to_string(f))] < 0.5) continue;
        const double send = v[P("Send" + std::to_string(osc) + " F" + std::to_string(f))];
        toBus1 |= send > 0;
        toBus2 |= send < 1;
      }
    }
    buses |= toBus1 && toBus2 && v[P("Level 1")] > 0 && v[P("Level 2")] > 0 && v[P("Pan 1")] != v[P("Pan 2")];
    softClip |= v[P("SoftClip")] == 1;
    glide |= v[P("Portamnt")] > 0;
    unison |= v[P("Unison")] == 1;
  }
  EXPECT_EQ(types, (std::set<int>{0, 1, 2})) << "formant types";
  EXPECT_EQ(waves, (std::set<int>{0, 1, 2, 3, 4, 5, 6})) << "LFO waves";
  EXPECT_TRUE(fmLfo);
  EXPECT_TRUE(fmEnv);
  EXPECT_TRUE(fmVelo);
  EXPECT_TRUE(fmNote);
  EXPECT_TRUE(fmRandom);
  EXPECT_TRUE(fmBend);
  EXPECT_TRUE(fmWheel);
  EXPECT_TRUE(am);
  EXPECT_TRUE(synced);
  EXPECT_TRUE(single);
  EXPECT_TRUE(delay);
  EXPECT_TRUE(buses);
  EXPECT_TRUE(softClip);
  EXPECT_TRUE(glide);
  EXPECT_TRUE(unison);
  EXPECT_TRUE(unisonLfo);
}
