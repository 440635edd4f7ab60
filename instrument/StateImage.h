#pragma once
#include <cstdint>
#include <string>

#include "ChunkBuffer.h"
#include "ParamTable.h"

// The byte image of one program: a version tag, the program index and name
// that were current when it was written, and the plain parameter values.
// Only the newest layout is written by the plug-in; the reader takes the
// newest one and the three before it:
//   "Quarvi_2.0.2"  tag, index, name, values 0..115
//   "Quarvi_2.0.1"  tag, index, name, values 0..114
//   untagged        values 0..110, "Quarvi_2", values 111..115
//   untagged        values 0..110
// These functions work on plain arrays so that the plug-in and the native
// bank generator share them.

constexpr int kStateTagLength = 12;
constexpr char kStateTag[] = "Quarvi_2.0.2";
constexpr char kStateTag201[] = "Quarvi_2.0.1";
constexpr int kLayout2MarkerLength = 8;
constexpr char kLayout2Marker[] = "Quarvi_2";
constexpr int kValuesLayout1 = 111;  // parameters 0..110
constexpr int kValuesLayout201 = 115;

// True when the bytes at pos are exactly the length characters of tag. A tag
// that would reach past the end, or a negative pos, does not match.
bool MatchTag(const ChunkBuffer& chunk, int pos, const char* tag, int length);

// Appends a tagged image: the 12 tag bytes, programIndex, the name with its
// 32-bit length, then values[0 .. count-1] as doubles.
void WriteStateImage(ChunkBuffer* chunk, const char* tag, int32_t programIndex,
                     const std::string& name, const double* values, int count);

// Reads an image of any known layout starting at pos. values holds the
// current value of every parameter on entry (kParamTableSize entries); each
// value the image carries replaces it, clamped to the parameter's range (NaN
// counts as the minimum). A parameter whose value the image lacks because it
// ends early takes the value nearest zero of its range, the ones after it
// keep theirs. Returns the position after the last byte read, or -1 when the
// image ended before its layout was complete.
int ReadStateImage(const ChunkBuffer& chunk, int pos, double* values);
