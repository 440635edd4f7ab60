#include "VoiceModes.h"

namespace VoiceModes {
namespace {

int ClampMode(int k) {
  return k < 0 ? 0 : (k >= kModeCount ? kModeCount - 1 : k);
}

// Lead voices without unison: 1..16 in ones, then up to 32 in twos, then up to
// 64 in fours.
constexpr int kPolyPlain[kModeCount] = {1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,
                                        12, 13, 14, 15, 16, 18, 20, 22, 24, 26, 28,
                                        30, 32, 36, 40, 44, 48, 52, 56, 60, 64};

struct UnisonMode {
  int unison;
  int poly;
};

constexpr UnisonMode kUnisonModes[kModeCount] = {
    {2, 1}, {2, 2}, {2, 4}, {2, 8}, {2, 16}, {2, 24}, {2, 32},  // 0..6
    {3, 1}, {3, 2}, {3, 4}, {3, 8}, {3, 16}, {3, 21},           // 7..12
    {4, 1}, {4, 2}, {4, 4}, {4, 8}, {4, 16},                    // 13..17
    {5, 1}, {5, 2}, {5, 4}, {5, 8}, {5, 12},                    // 18..22
    {6, 1}, {6, 2}, {6, 4}, {6, 8}, {6, 10},                    // 23..27
    {8, 1}, {8, 2}, {8, 4}, {8, 8},                             // 28..31
};

// Row U-1 holds the detunes of the U copies of one key, spread symmetrically
// around the key (8 pitch steps = 6.25 cents).
constexpr int kDetune[kMaxUnison][kMaxUnison] = {
    {0},
    {-8, 8},
    {-8, 0, 8},
    {-8, -4, 4, 8},
    {-8, -4, 0, 4, 8},
    {-10, -6, -3, 3, 6, 10},
    {-10, -6, -3, 0, 3, 6, 10},
    {-12, -8, -4, -2, 2, 4, 8, 12},
};

}  // namespace

int PolyCount(int k, bool unison) {
  k = ClampMode(k);
  return unison ? kUnisonModes[k].poly : kPolyPlain[k];
}

int UnisonCount(int k, bool unison) {
  return unison ? kUnisonModes[ClampMode(k)].unison : 1;
}

const int* UnisonDetune(int U) {
  if (U < 1) U = 1;
  if (U > kMaxUnison) U = kMaxUnison;
  return kDetune[U - 1];
}

}  // namespace VoiceModes
