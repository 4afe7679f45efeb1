#include "literal.h"

#include <cmath>
#include <vector>

namespace literal {
namespace {

double rowProduct(const double* Q, const double* x, uint32_t n, uint32_t i)
{
    double s = 0.0;
    for (uint32_t k = 0; k < n; k++)
        s = s + Q[i + k * n] * x[k];
    return s;
}

double columnProduct(const double* Q, const double* x, uint32_t n, uint32_t i)
{
    double s = 0.0;
    for (uint32_t k = 0; k < n; k++)
        s = s + Q[k + i * n] * x[k];
    return s;
}

double objective(const double* Q, const double* b, const double* x, uint32_t n, bool columns)
{
    double f = 0.0;
    for (uint32_t i = 0; i < n; i++) {
        double p = columns ? columnProduct(Q, x, n, i) : rowProduct(Q, x, n, i);
        f = f + ((x[i] * 0.5) * p - x[i] * b[i]);
    }
    return f;
}

void start(const double* b, uint32_t n, double* x)
{
    double s = 0.0;
    for (uint32_t i = 0; i < n; i++)
        s = s + b[i];
    for (uint32_t i = 0; i < n; i++)
        x[i] = b[i] / s;
}

bool updateWeight(uint32_t a, uint32_t p, double* x, double diff, const double* Q, uint32_t n)
{
    if (a == p)
        return false;
    if (diff == 0.0)
        return false;
    if (x[a] < 1e-6)
        return false;
    double eta = Q[a + a * n] - 2 * Q[a + p * n] + Q[p + p * n];
    double t = diff / eta + x[p];
    if (t < 0)
        t = 0;
    double s = x[a] + x[p];
    double r = s - t;
    if (r < 0) {
        x[a] = 0;
        x[p] = s;
    } else {
        x[a] = r;
        x[p] = t;
    }
    return true;
}

bool searchPoint(uint32_t& partner, uint32_t pivot, double* x, const double* Q, const double* b, uint32_t n,
                 double& partnerBefore)
{
    partner = pivot;
    double bestDiff = 0.0;
    double bestMag = 0.0;
    if (n > 0) {
        double gp = rowProduct(Q, x, n, pivot) - b[pivot];
        for (uint32_t i = 0; i < n; i++) {
            if (x[i] <= 1e-6)
                continue;
            double e = (rowProduct(Q, x, n, i) - b[i]) - gp;
            if (std::fabs(e) > bestMag) {
                partner = i;
                bestDiff = e;
                bestMag = std::fabs(e);
            }
        }
    }
    partnerBefore = x[partner];
    return updateWeight(partner, pivot, x, bestDiff, Q, n);
}

}  // namespace

void SMO(const double* Q, const double* b, uint32_t n, double* x)
{
    std::vector<unsigned char> active(n);
    std::vector<double> backup(n);
    if (n > 0) {
        start(b, n, x);
        for (uint32_t i = 0; i < n; i++)
            active[i] = 1;
    }
    double previous = 1e10;
    int updates = 0;
    bool first = true;
    bool stop = false;
    uint32_t pivot = 0;
    while (!stop) {
        bool done = false;
        while (!done) {
            double maximum = -1.0;
            for (uint32_t i = 0; i < n; i++) {
                if (first && x[i] < 1e-6)
                    active[i] = 0;
                else if (active[i] && x[i] > maximum) {
                    maximum = x[i];
                    pivot = i;
                }
            }
            for (uint32_t i = 0; i < n; i++)
                backup[i] = x[i];
            uint32_t partner;
            double partnerBefore;
            if (searchPoint(partner, pivot, x, Q, b, n, partnerBefore))
                updates++;
            active[pivot] = 0;
            if (x[partner] == partnerBefore)
                active[partner] = 0;
            done = true;
            for (uint32_t i = 0; i < n; i++) {
                if (x[i] == maximum)
                    active[i] = 0;
                if (x[i] == x[partner] && i != partner)
                    active[i] = 0;
                else if (active[i])
                    done = false;
            }
            first = false;
        }
        double f = objective(Q, b, x, n, false);
        if (f > previous) {
            for (uint32_t i = 0; i < n; i++)
                x[i] = backup[i];
            stop = true;
        } else if (std::fabs(f - previous) < 1e-5) {
            stop = true;
        }
        if (updates == 0)
            stop = true;
        updates = 0;
        for (uint32_t i = 0; i < n; i++)
            active[i] = 1;
        first = true;
        previous = f;
    }
}

namespace {

void multUpdateLiterally(const double* Q, const double* b, uint32_t n, double* x, bool zeroStaysZero)
{
    std::vector<double> r(n);
    double previous = 0.0;
    if (n > 0) {
        start(b, n, x);
        previous = objective(Q, b, x, n, true);
    }
    for (;;) {
        double S = 0.0;
        double Sb = 0.0;
        for (uint32_t i = 0; i < n; i++) {
            if (zeroStaysZero && x[i] == 0.0)
                r[i] = 0.0;
            else
                r[i] = x[i] / rowProduct(Q, x, n, i);
            S = S + r[i];
            Sb = Sb + r[i] * b[i];
        }
        double lambda = (1 - Sb) / S;
        for (uint32_t i = 0; i < n; i++)
            x[i] = (lambda + b[i]) * r[i];
        double sigma = 0.0;
        for (uint32_t i = 0; i < n; i++) {
            if (x[i] <= 1e-6)
                x[i] = 0.0;
            sigma = sigma + x[i];
        }
        for (uint32_t i = 0; i < n; i++)
            x[i] = x[i] / sigma;
        double f = objective(Q, b, x, n, false);
        if (std::fabs(f - previous) > 1e-5)
            previous = f;
        else
            break;
    }
}

}  // namespace

void multUpdate(const double* Q, const double* b, uint32_t n, double* x)
{
    multUpdateLiterally(Q, b, n, x, false);
}

void multUpdateMended(const double* Q, const double* b, uint32_t n, double* x)
{
    multUpdateLiterally(Q, b, n, x, true);
}

}  // namespace literal
