#pragma once

// Quarvi::ParamChanged (engine/ParamDispatch.cpp) maps each parameter index
// through a table row. The name of the row that handles index (the row is
// written once for the first oscillator, formant, bus, LFO or envelope of a
// block), or nullptr outside 0..115: lets tests check the dispatch tables
// against the parameter table.
const char* DispatchRowName(int index);
