#include "solver_settings.h"

#include <cstdlib>

namespace {

void* takeFromMxMalloc(void*, size_t bytes)
{
    return mxMalloc(bytes);
}

void* takeFromSystem(size_t bytes)
{
    return std::malloc(bytes);
}

void giveToSystem(void* block)
{
    std::free(block);
}

}  // namespace

SolverSettings defaultSettings()
{
    return SolverSettings{availableVectorPath(), HostScratch{takeFromMxMalloc, nullptr},
                          OptionalScratch{takeFromSystem, giveToSystem}};
}
