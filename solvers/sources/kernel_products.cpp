// The products of a kernel of vectors with x >= 0 and their rounding
// bound (q_source.h).
//
// Gaussian: (Qx)_i = sum over the listed k, ascending, of Q(i,k) x_k from
// +0.0, Q's columns computed one at a time: the sums, and so the bits and
// the bound, of a stored Q of the same values (dense_source.cpp). Q >= 0
// and x >= 0 make every term its own magnitude, so A~ = p~.
//
// Linear, Q = V Vᵀ (V's rows the vectors, n by d): p~ = fl(V fl(Vᵀx)),
// y_t = sum_k V(k,t) x_k over ascending k, p_i = sum_t V(i,t) y_t over
// ascending t; A~ the same with |V|. With u = 2^-53 and gamma_j = j u /
// (1 - j u), the computed entries Q(i,k) = fl(v_i'v_k) are within gamma_d
// sum_t |V(i,t)||V(k,t)| + d 2^-1074 of the exact inner products, y within
// gamma_c |V|'x + c 2^-1074, and the last sums add gamma_d of their
// magnitude and d 2^-1074. Together, with M = |V||V|'x,
//     |p~_i - (Qx)_i| <= (2 gamma_d + gamma_c + gamma_d gamma_c) M_i
//                        + (d S + 2c L + d) 2^-1074,
// S = sum x_k, L = max_i sum_t |V(i,t)|. A~ understates M by at most the
// factor (1 - gamma_c)(1 - gamma_d) and (c L + d) 2^-1074; so for (c + d)
// u <= 2^-20, units = c + d (of 2^-52, twice the (2d + c)/2 needed) and
// absolute = (d S + 3c L + 2d) 2^-1074, rounded up, hold. (Scratch: y
// in the first d doubles, |V|'x in the next d.)
#include "vector_kernel.h"

#include <cmath>

namespace {

// out_i = sum over ascending t of V(i,t) y_t (|V(i,t)| with magnitude),
// for every vector i: along memory for whole vectors, else coordinate by
// coordinate with the rows' sums side by side.
template <bool magnitude>
void combine(const VectorKernel& k, const double* y, double* __restrict out)
{
    if (k.coordinateStride == 1) {
        for (uint32_t i = 0; i < k.n; ++i) {
            const double* const v = k.data + i * k.vectorStride;
            double sum = 0.0;
            for (uint32_t t = 0; t < k.length; ++t)
                sum = sum + (magnitude ? std::fabs(v[t]) : v[t]) * y[t];
            out[i] = sum;
        }
        return;
    }
    for (uint32_t i = 0; i < k.n; ++i)
        out[i] = 0.0;
    for (uint32_t t = 0; t < k.length; ++t) {
        const double* __restrict coordinate = k.data + t * k.coordinateStride;
        const double w = y[t];
        for (uint32_t i = 0; i < k.n; ++i)
            out[i] = out[i] + (magnitude ? std::fabs(coordinate[i * k.vectorStride]) : coordinate[i * k.vectorStride]) * w;
    }
}

// y_t = sum over the listed k, ascending, of V(k,t) x_k (|V(k,t)| with
// magnitude).
template <bool magnitude>
void gatherWeights(const VectorKernel& k, const double* x, const uint32_t* columns, uint32_t count, double* y)
{
    for (uint32_t t = 0; t < k.length; ++t)
        y[t] = 0.0;
    for (uint32_t j = 0; j < count; ++j) {
        const double* const v = k.data + columns[j] * k.vectorStride;
        const double weight = x[columns[j]];
        for (uint32_t t = 0; t < k.length; ++t) {
            const double entry = v[t * k.coordinateStride];
            y[t] = y[t] + (magnitude ? std::fabs(entry) : entry) * weight;
        }
    }
}

// max over the vectors of sum_t |V(i,t)|.
double largestLength(const VectorKernel& k)
{
    double largest = 0.0;
    for (uint32_t i = 0; i < k.n; ++i) {
        double sum = 0.0;
        for (uint32_t t = 0; t < k.length; ++t)
            sum = sum + std::fabs(k.data[i * k.vectorStride + t * k.coordinateStride]);
        largest = sum > largest ? sum : largest;
    }
    return largest;
}

ProductBound linearProducts(const VectorKernel& k, const double* x, const uint32_t* columns, uint32_t count,
                            double* p, double* magnitudes, double* scratch)
{
    gatherWeights<false>(k, x, columns, count, scratch);
    combine<false>(k, scratch, p);
    if (magnitudes) {
        gatherWeights<true>(k, x, columns, count, scratch + k.length);
        combine<true>(k, scratch + k.length, magnitudes);
    }
    double weightSum = 0.0;
    for (uint32_t j = 0; j < count; ++j)
        weightSum = weightSum + x[columns[j]];
    const double c = count, d = k.length;
    // In units of 2^-1074, kept normal while summed, then raised past what
    // the computed S and L may understate (gamma_c, gamma_d <= 2^-20) and
    // the roundings of this sum and product.
    const double units1074 = (d * weightSum + 3.0 * c * largestLength(k)) + 2.0 * d;
    const double absolute = (units1074 * (1.0 + 0x1p-19)) * 0x1p-1074 + 0x1p-1074;
    return ProductBound{c + d, absolute};
}

ProductBound gaussianProducts(const VectorKernel& k, const double* x, const uint32_t* columns, uint32_t count,
                              double* p, double* magnitudes, double* column)
{
    for (uint32_t i = 0; i < k.n; ++i)
        p[i] = 0.0;
    for (uint32_t j = 0; j < count; ++j) {
        kernelColumn(k, columns[j], nullptr, k.n, column);
        const double weight = x[columns[j]];
        for (uint32_t i = 0; i < k.n; ++i)
            p[i] = p[i] + column[i] * weight;
    }
    if (magnitudes)
        for (uint32_t i = 0; i < k.n; ++i)
            magnitudes[i] = p[i];
    return ProductBound{static_cast<double>(count), 2.0 * count * 0x1p-1074};
}

}  // namespace

ProductBound kernelProducts(const VectorKernel& kernel, const double* x, const uint32_t* columns, uint32_t count,
                            double* p, double* magnitudes, double* scratch)
{
    if (kernel.kind == KernelKind::linear)
        return linearProducts(kernel, x, columns, count, p, magnitudes, scratch);
    return gaussianProducts(kernel, x, columns, count, p, magnitudes, scratch);
}

uint32_t kernelProductScratch(const VectorKernel& kernel)
{
    return kernel.kind == KernelKind::linear ? 2 * kernel.length : kernel.n;
}
