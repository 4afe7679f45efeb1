#include "solver_settings.h"

#include <cstdlib>

namespace {

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
    return SolverSettings{availableVectorPath(), OptionalScratch{takeFromSystem, giveToSystem}};
}
