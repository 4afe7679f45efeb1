// Loads simplexQP.mexa64 through the stand-in host, exactly as a host would,
// and solves a real problem with both methods: the mixture weights of
// Gaussian kernels on a grid of candidate centres that best fit the density
// of a 2-D data set (least squares between the two densities).
//
//   minimise 1/2 w'Kw - k'w over the simplex, K the kernel matrix of the
//   centres and k_i the mean kernel value of centre i against the data.
//
// Usage: solve_example [plugin-file]
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "plugin_loader.h"

namespace {

// Three clusters of points, from a fixed linear congruential sequence.
std::vector<double> clusteredPoints(int count)
{
    std::vector<double> points(2 * count);
    const double centres[3][2] = {{0.2, 0.3}, {0.7, 0.8}, {0.8, 0.2}};
    unsigned long long state = 12345;
    auto unit = [&state]() {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<double>(state >> 11) * 0x1.0p-53;
    };
    for (int i = 0; i < count; ++i) {
        const double* centre = centres[i % 3];
        points[2 * i] = centre[0] + 0.15 * (unit() - 0.5);
        points[2 * i + 1] = centre[1] + 0.15 * (unit() - 0.5);
    }
    return points;
}

double objective(const std::vector<double>& K, const std::vector<double>& k, const double* w, int n)
{
    double f = 0.0;
    for (int i = 0; i < n; ++i) {
        double p = 0.0;
        for (int j = 0; j < n; ++j)
            p += K[i + static_cast<size_t>(j) * n] * w[j];
        f += 0.5 * w[i] * p - w[i] * k[i];
    }
    return f;
}

}  // namespace

int main(int argc, char** argv)
{
    const char* path = argc > 1 ? argv[1] : SIMPLEXQP_PLUGIN_PATH;
    LoadedPlugin plugin;
    char error[512];
    if (!loadPlugin(path, plugin, error, sizeof error)) {
        std::fprintf(stderr, "cannot load %s: %s\n", path, error);
        return 1;
    }

    const int samples = 600, side = 15, n = side * side;
    const double width = 0.08;
    const std::vector<double> data = clusteredPoints(samples);
    std::vector<double> points(2 * n);
    for (int i = 0; i < n; ++i) {
        points[2 * i] = (i % side + 0.5) / side;
        points[2 * i + 1] = (i / side + 0.5) / side;
    }
    auto kernel = [width](const double* p, const double* q) {
        const double dx = p[0] - q[0], dy = p[1] - q[1];
        return std::exp(-(dx * dx + dy * dy) / (2 * width * width));
    };
    std::vector<double> K(static_cast<size_t>(n) * n), k(n, 0.0);
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i)
            K[i + static_cast<size_t>(j) * n] = kernel(&points[2 * i], &points[2 * j]);
    for (int i = 0; i < n; ++i) {
        for (int s = 0; s < samples; ++s)
            k[i] += kernel(&points[2 * i], &data[2 * s]);
        k[i] /= samples;
    }

    std::printf("simplexQP (%s) via %s\n", plugin.version ? plugin.version() : "no mexVersion", path);
    std::printf("Gaussian-kernel mixture: %d data points in 3 clusters, %d candidate centres, width %.2f\n\n",
                samples, n, width);
    mxArray* Q = standInCreateDouble(n, n, K.data());
    mxArray* b = standInCreateDouble(n, 1, k.data());
    int status = 0;
    for (double method : {2.0, 3.0}) {
        mxArray* m = standInCreateDouble(1, 1, &method);
        const mxArray* args[] = {Q, b, m};
        mxArray* result[1];
        const auto started = std::chrono::steady_clock::now();
        if (standInCall(plugin.entry, 1, result, 3, args, error, sizeof error) != 0) {
            std::fprintf(stderr, "simplexQP failed: %s\n", error);
            status = 1;
        } else {
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            const double* w = mxGetPr(result[0]);
            int support = 0;
            double total = 0.0;
            std::printf("method %d (%s): %.3f s\n", static_cast<int>(method), method == 2 ? "SMO" : "multUpdate",
                        seconds);
            for (int i = 0; i < n; ++i) {
                total += w[i];
                if (w[i] > 0.02) {
                    ++support;
                    std::printf("  centre %3d at (%.3f, %.3f)  weight %.4f\n", i, points[2 * i], points[2 * i + 1],
                                w[i]);
                }
            }
            std::printf("  %d centres above 0.02, sum of weights %.15f, objective %.10f\n\n", support, total,
                        objective(K, k, w, n));
            mxDestroyArray(result[0]);
        }
        mxDestroyArray(m);
    }
    mxDestroyArray(Q);
    mxDestroyArray(b);
    unloadPlugin(plugin);
    return status;
}
