// The procedures SMO is made of, and the state one run keeps besides x.
#ifndef SIMPLEXQP_SMO_PARTS_H
#define SIMPLEXQP_SMO_PARTS_H

#include <cstdint>

#include "gradient_estimate.h"
#include "../common/solver_counts.h"
#include "../common/vector_path.h"

struct SmoWork {
    uint32_t n;
    VectorPath path;
    unsigned char* active;  // 1 = may still be the pivot in this pass
    // Ascending list of the columns exact row products sum: every k with
    // x_k != 0 when the pass started (a superset of those now), or all k
    // when Q is not finite.
    uint32_t* columns;
    uint32_t columnCount;
    bool finiteQ;
    bool symmetric;     // rows may be read as columns
    double largestB;    // max |b_i|
    GradientEstimate estimate;
    // Room for the partner search: n + 1 doubles and n + 1 indices (the
    // candidates listed with their magnitudes, then the exact sums).
    double* magnitudes;
    uint32_t* rows;
    SolverCounts counts;
};

// x[a] and x[p] as they were before the pass's last step, which is all that
// step can have changed.
struct PairBackup {
    uint32_t a, p;
    double xa, xp;
};

// Moves weight between partner a and pivot p by the clipped line minimum.
// Writes x[a] and x[p] only; true when they were rewritten.
bool updateWeight(uint32_t a, uint32_t p, double* x, double diff, const double* Q, uint32_t n);

// Chooses the pivot's partner, the first candidate (x_i > 1e-6) with the
// largest |e_i|, e_i = ((Qx)_i - b_i) - g_pivot, and steps the pair.
bool searchPoint(uint32_t& partner, uint32_t pivot, double* x, const double* Q, const double* b, uint32_t n,
                 double& partnerBefore, SmoWork& work);

// One pass, from all coordinates active to none; returns the steps for which
// updateWeight returned true.
int runPass(const double* Q, const double* b, double* x, SmoWork& work, PairBackup& lastStep);

#endif
