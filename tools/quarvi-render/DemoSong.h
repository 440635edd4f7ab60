#pragma once
#include "Smf.h"

// The phrase played when no MIDI file is given: five bars at 144 beats per
// minute, a I-vi-IV-V-I progression in C with a melody on top (about 8.5 s).
Song DemoSong();
