#include "guarded_storage.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace {

[[noreturn]] void fail(const char* what, size_t bytes)
{
    std::fprintf(stderr, "stand-in host: %s (%zu bytes)\n", what, bytes);
    std::abort();
}

// The three page operations the storage needs, from each system.
#ifdef _WIN32

size_t pageBytes()
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
}

void* mapZeroedPages(size_t bytes)
{
    return VirtualAlloc(nullptr, bytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

bool protectPages(void* start, size_t bytes, bool readable, bool writable)
{
    DWORD previous;
    const DWORD access = writable ? PAGE_READWRITE : readable ? PAGE_READONLY : PAGE_NOACCESS;
    return VirtualProtect(start, bytes, access, &previous) != 0;
}

void unmapPages(void* start, size_t)
{
    VirtualFree(start, 0, MEM_RELEASE);
}

#else

size_t pageBytes()
{
    return static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

void* mapZeroedPages(size_t bytes)
{
    void* start = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return start == MAP_FAILED ? nullptr : start;
}

bool protectPages(void* start, size_t bytes, bool readable, bool writable)
{
    const int access = writable ? PROT_READ | PROT_WRITE : readable ? PROT_READ : PROT_NONE;
    return mprotect(start, bytes, access) == 0;
}

void unmapPages(void* start, size_t bytes)
{
    munmap(start, bytes);
}

#endif

}  // namespace

GuardedBlock guardedAllocate(size_t bytes)
{
    const size_t page = pageBytes();
    if (bytes > SIZE_MAX - 2 * page)
        fail("array storage too large", bytes);
    const size_t dataPageBytes = (bytes + page - 1) / page * page;
    const size_t mappingBytes = dataPageBytes + page;
    void* mapping = mapZeroedPages(mappingBytes);
    if (!mapping)
        fail("out of memory for array data", bytes);
    unsigned char* base = static_cast<unsigned char*>(mapping);
    if (!protectPages(base + dataPageBytes, page, false, false))
        fail("cannot make a guard page", bytes);
    return GuardedBlock{base + dataPageBytes - bytes, mapping, mappingBytes, dataPageBytes};
}

void guardedRelease(GuardedBlock& block)
{
    if (block.mapping)
        unmapPages(block.mapping, block.mappingBytes);
    block = GuardedBlock{nullptr, nullptr, 0, 0};
}

void guardedSetReadOnly(const GuardedBlock& block, bool readOnly)
{
    if (!block.mapping || block.dataPageBytes == 0)
        return;
    if (!protectPages(block.mapping, block.dataPageBytes, true, !readOnly))
        fail("cannot change the protection of array data", block.dataPageBytes);
}
