#pragma once

// The voice modes selectable with the "Voices" parameter (0..31), with and
// without "Unison": how many keys can sound at once (lead voices, P) and how
// many voices each key stacks (U). P * U never exceeds 64. Read by the voice
// pool and by the display of the "Voices" parameter.
namespace VoiceModes {

constexpr int kModeCount = 32;
constexpr int kMaxUnison = 8;

// Lead voices P of mode k; k outside 0..31 is clamped.
int PolyCount(int k, bool unison);
// Voices per key U of mode k: 1 without unison; k outside 0..31 is clamped.
int UnisonCount(int k, bool unison);
// Detune in pitch steps (1/128 semitone) of unison copies 0..U-1 for U voices
// per key. U outside 1..8 gives the table of the nearest valid count.
const int* UnisonDetune(int U);

}  // namespace VoiceModes
