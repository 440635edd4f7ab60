#include "LockCounter.h"

// Windows locks (critical sections, SRW locks) are not replaceable from the
// executable; the lock count is measured by the Linux builds.
bool LockCountingAvailable() { return false; }
long LocksTakenOnThisThread() { return 0; }
