// Ends an iteration that can never end by itself.
//
// For a loop whose state, at the point where it decides to go on, is the
// weight vector x alone (as in multUpdate, where the previous objective is
// then the objective of that same x): once x there equals, bit for bit, the
// x of an earlier time the loop went on, every iteration between the two
// repeats for ever and the loop cannot end. The guard spots that exactly,
// with Brent's method, keeping a single earlier state (n doubles from the
// host's scratch memory). It never fires on a run that would have ended, so
// it changes no answer.
//
// Use: cycleGuardStart before the loop, cycleGuardSeesRepeat each time the
// loop has decided to go on (stop when it returns true), cycleGuardEnd after.
#ifndef SIMPLEXQP_CYCLE_GUARD_H
#define SIMPLEXQP_CYCLE_GUARD_H

#include <cstdint>

#include "../common/host_scratch.h"

struct CycleGuard {
    double* saved;     // the earlier state compared against (n doubles)
    uint64_t window;   // steps until saved is replaced (doubles each time)
    uint64_t steps;    // steps since saved was taken
};

// saved taken from host.
CycleGuard cycleGuardStart(uint32_t n, const HostScratch& host);
// True when x equals the saved earlier state bit for bit. A repeat of
// period p that starts after m steps is seen by step 2*max(m, p) + p, and
// never before it has happened.
bool cycleGuardSeesRepeat(CycleGuard& guard, const double* x, uint32_t n);
void cycleGuardEnd(CycleGuard& guard);

#endif
