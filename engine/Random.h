#pragma once

// The three process-wide random generators (multiplicative congruential,
// x <- x * 16807 mod 2^32, x read as signed, starting at 1). Every call
// advances its generator once and returns x * 4.6566129e-10, about -1..1.
double DrawSampleHold();  // the "S/H" wave of every LFO
double DrawLfoRandom();   // held random values of the LFOs at note-on
double DrawNoteRandom();  // the per-note "Rnd" source

// Puts all three generators back to their start value. Only for tests and
// offline tools that need repeatable output; never call it while rendering.
void ResetRandomGenerators();
