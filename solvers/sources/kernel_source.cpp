// The kernel of vectors (vector_kernel.h) behind the source's table.
#include "vector_kernel.h"

namespace {

const VectorKernel& kernelOf(const void* context)
{
    return *static_cast<const VectorKernel*>(context);
}

// Nothing is held: every value is computed when asked for.
const double* held(const void*, uint32_t)
{
    return nullptr;
}

void column(const void* context, uint32_t c, const uint32_t* rows, uint32_t rowCount, double* out)
{
    kernelColumn(kernelOf(context), c, rows, rowCount, out);
}

void wholeColumns(const void* context, const uint32_t* columns, uint32_t count, double* const* out)
{
    kernelColumns(kernelOf(context), columns, count, out);
}

void diagonal(const void* context, double* out)
{
    kernelDiagonal(kernelOf(context), out);
}

double largestEntry(const void* context, VectorPath)
{
    return kernelLargestEntry(kernelOf(context));
}

void block(const void* context, const uint32_t* indices, uint32_t count, double* out)
{
    kernelBlock(kernelOf(context), indices, count, out);
}

// The kernels' loops are plain ones, the same on every path.
ProductBound products(const void* context, VectorPath, const double* x, const uint32_t* columns, uint32_t count,
                      double* p, double* magnitudes, double* scratch)
{
    return kernelProducts(kernelOf(context), x, columns, count, p, magnitudes, scratch);
}

}  // namespace

QSource kernelSource(const VectorKernel& kernel)
{
    return QSource{&kernel, kernel.n, true, kernelProductScratch(kernel), held, column, wholeColumns, diagonal, largestEntry,
                   block, products, nullptr, 0, false, kernel.kind == KernelKind::gaussian};
}
