/* A stand-in for the system-wide microtuning library, for tests. It exports
 * the nine functions the instrument looks up, with a tuning table, a master
 * flag and a set of filtered notes that the test sets through the extra
 * MTSTest_ functions, and counts the calls it receives.
 *
 * Variants built from this file leave functions out:
 *   FAKE_MTS_PARTIAL  no client registration, no note filter and no
 *                     per-channel tables;
 *   FAKE_MTS_NO_TABLE no tuning table (so no master can be seen). */
#include <math.h>
#include <stdbool.h>

static int initialised;
static bool master;
static double table[128];
static double channelTable[128];
static bool filtered[128];
static int registerCount;
static int deregisterCount;
static int filterQueries;
static int lastFilterNote = -1;
static int lastFilterChannel = -1;
static int channelTableRequests;
static int unusedCalls;

static void Init(void) {
  if (initialised) return;
  initialised = 1;
  for (int n = 0; n < 128; ++n) {
    table[n] = 440.0 * pow(2.0, (n - 69) / 12.0);
    channelTable[n] = table[n];
    filtered[n] = false;
  }
}

/* ---- the library's interface ------------------------------------------ */

#ifndef FAKE_MTS_PARTIAL
void MTS_RegisterClient(void) {
  Init();
  ++registerCount;
}

void MTS_DeregisterClient(void) {
  Init();
  ++deregisterCount;
}

bool MTS_ShouldFilterNote(char midinote, char midichannel) {
  Init();
  ++filterQueries;
  lastFilterNote = (unsigned char)midinote;
  lastFilterChannel = (unsigned char)midichannel;
  return filtered[(unsigned char)midinote & 127];
}

const double* MTS_GetMultiChannelTuningTable(char midichannel) {
  Init();
  (void)midichannel;
  ++channelTableRequests;
  return channelTable;
}
#endif

bool MTS_HasMaster(void) {
  Init();
  return master;
}

#ifndef FAKE_MTS_NO_TABLE
const double* MTS_GetTuningTable(void) {
  Init();
  return table;
}
#endif

bool MTS_ShouldFilterNoteMultiChannel(char midinote, char midichannel) {
  (void)midinote;
  (void)midichannel;
  ++unusedCalls;
  return false;
}

bool MTS_UseMultiChannelTuning(char midichannel) {
  (void)midichannel;
  ++unusedCalls;
  return false;
}

const char* MTS_GetScaleName(void) {
  ++unusedCalls;
  return "Test scale";
}

/* ---- control for tests ------------------------------------------------- */

void MTSTest_Reset(void) {
  initialised = 0;
  Init();
  master = false;
  registerCount = 0;
  deregisterCount = 0;
  filterQueries = 0;
  lastFilterNote = -1;
  lastFilterChannel = -1;
  channelTableRequests = 0;
  unusedCalls = 0;
}

void MTSTest_SetMaster(int connected) {
  Init();
  master = connected != 0;
}

void MTSTest_SetNoteFrequency(int note, double hz) {
  Init();
  table[note & 127] = hz;
}

void MTSTest_SetFilter(int note, int filter) {
  Init();
  filtered[note & 127] = filter != 0;
}

int MTSTest_RegisterCount(void) { return registerCount; }
int MTSTest_DeregisterCount(void) { return deregisterCount; }
int MTSTest_FilterQueries(void) { return filterQueries; }
int MTSTest_LastFilterNote(void) { return lastFilterNote; }
int MTSTest_LastFilterChannel(void) { return lastFilterChannel; }
int MTSTest_ChannelTableRequests(void) { return channelTableRequests; }
int MTSTest_UnusedCalls(void) { return unusedCalls; }
