// The pair step: the exact minimum of f along the line that keeps
// x_a + x_p fixed, clipped so that neither weight becomes negative.
#include "../common/problem.h"
#include "smo_parts.h"

// diff = g_a - g_p: positive moves weight from the partner a to the pivot p.
// Returns true when the two weights were rewritten, even to their old values.
bool updateWeight(uint32_t a, uint32_t p, double* x, double diff, const double* Q, uint32_t n)
{
    if (a == p)
        return false;
    if (diff == 0.0)
        return false;
    if (x[a] < zeroThreshold)
        return false;
    const double eta = Q[at(a, a, n)] - 2.0 * Q[at(a, p, n)] + Q[at(p, p, n)];
    double t = diff / eta + x[p];
    if (t < 0)
        t = 0;
    const double s = x[a] + x[p];
    const double r = s - t;
    if (r < 0) {
        x[a] = 0;
        x[p] = s;
    } else {
        x[a] = r;
        x[p] = t;
    }
    return true;
}
