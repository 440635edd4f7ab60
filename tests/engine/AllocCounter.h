#pragma once

// Counts heap allocations made through the global operator new (every form)
// on the calling thread. The test executable replaces operator new once, in
// AllocCounter.cpp; any test can use this to prove that a code path allocates
// nothing:
//
//   AllocationScope scope;
//   voice.Render(l, r, n);
//   EXPECT_EQ(scope.Count(), 0);
long AllocationsOnThisThread();

class AllocationScope {
 public:
  AllocationScope() : mStart(AllocationsOnThisThread()) {}
  long Count() const { return AllocationsOnThisThread() - mStart; }

 private:
  long mStart;
};
