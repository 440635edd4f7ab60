#pragma once

// Client of a system-wide microtuning service: an optional shared library
// ("LIBMTS.dll" in the Windows system directory, "libMTS.so" in /usr/local/lib
// or /usr/lib) through which a tuning master publishes a frequency for every
// MIDI note and may ask clients to ignore notes.
//
// The library is loaded once per module load, by static initialisation, from
// the system locations only, and released when the module unloads; every
// instance of the instrument in the process shares it. Without the library,
// without a master, or with functions missing, every query gives the neutral
// answer: equal temperament, nothing filtered.
//
// All functions accept a null client and then answer as without a master.

struct TuningClient;

// Creates an instance's client and registers it with the library.
TuningClient* CreateTuningClient();
// Deregisters the client from the library, then frees it. Null is ignored.
void DestroyTuningClient(TuningClient* client);

// A master is connected and its tuning table is available.
bool HasTuningMaster(const TuningClient* client);
// Frequency in Hz of note (taken mod 128): the master's table when a master is
// connected, else 440 * 2^((note - 69) / 12).
double NoteToFrequency(const TuningClient* client, int note);
// The master asks clients not to play note (taken mod 128). False without a
// master.
bool ShouldFilterNote(const TuningClient* client, int note);

// For tests only: releases the library and loads it again, from path, or
// from the system locations when path is null. Clients created before must be
// destroyed first.
void ReloadTuningLibraryForTesting(const char* path);
