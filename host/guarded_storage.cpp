#include "guarded_storage.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <sys/mman.h>
#include <unistd.h>

namespace {

[[noreturn]] void fail(const char* what, size_t bytes)
{
    std::fprintf(stderr, "stand-in host: %s (%zu bytes)\n", what, bytes);
    std::abort();
}

size_t pageBytes()
{
    return static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

}  // namespace

GuardedBlock guardedAllocate(size_t bytes)
{
    const size_t page = pageBytes();
    if (bytes > SIZE_MAX - 2 * page)
        fail("array storage too large", bytes);
    const size_t dataPageBytes = (bytes + page - 1) / page * page;
    const size_t mappingBytes = dataPageBytes + page;
    // Anonymous pages come zero-filled.
    void* mapping = mmap(nullptr, mappingBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED)
        fail("out of memory for array data", bytes);
    unsigned char* base = static_cast<unsigned char*>(mapping);
    if (mprotect(base + dataPageBytes, page, PROT_NONE) != 0)
        fail("cannot make a guard page", bytes);
    return GuardedBlock{base + dataPageBytes - bytes, mapping, mappingBytes, dataPageBytes};
}

void guardedRelease(GuardedBlock& block)
{
    if (block.mapping)
        munmap(block.mapping, block.mappingBytes);
    block = GuardedBlock{nullptr, nullptr, 0, 0};
}

void guardedSetReadOnly(const GuardedBlock& block, bool readOnly)
{
    if (!block.mapping || block.dataPageBytes == 0)
        return;
    const int access = readOnly ? PROT_READ : PROT_READ | PROT_WRITE;
    if (mprotect(block.mapping, block.dataPageBytes, access) != 0)
        fail("cannot change the protection of array data", block.dataPageBytes);
}
