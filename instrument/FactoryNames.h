#pragma once

// The names of the 64 programs of the factory bank, in bank order. The bank
// generator checks its source against them.
constexpr int kFactoryProgramCount = 64;
extern const char* const kFactoryProgramNames[kFactoryProgramCount];

// Every program state in the factory bank carries this name (and program
// index 0) in its header; readers ignore both.
constexpr char kFactoryStateHeaderName[] = "Pad: Outer Sphere";
