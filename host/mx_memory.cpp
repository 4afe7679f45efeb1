// Scratch memory of the stand-in host. Every block carries a header that
// links it into the list of live blocks, so the host can count them, catch a
// release of anything it did not hand out, and release what a call that
// ended in an error left behind.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "stand_in.h"
#include "stand_in_internal.h"

namespace {

constexpr uint64_t blockTag = 0x5351506d616c6c6fULL;

struct BlockHeader {
    uint64_t tag;
    unsigned long long sequence;
    size_t bytes;
    BlockHeader* previous;
    BlockHeader* next;
    // Keeps the caller's block aligned as malloc's blocks are.
    alignas(alignof(std::max_align_t)) unsigned char payload[1];
};

// The host's bookkeeping. A host serves its plug-ins on one thread.
struct Blocks {
    BlockHeader* newest = nullptr;
    size_t live = 0;
    unsigned long long issued = 0;
    size_t liveBytes = 0;
    size_t peakBytes = 0;  // the most liveBytes has been since the last reset
    // standInRunOutOfMemoryAfter: requests still met, and what raises the
    // error at the next one (null: none will).
    size_t grantedBeforeRefusal = 0;
    void (*raiseRefusal)(const char* message) = nullptr;
};

Blocks& blocks()
{
    static Blocks state;
    return state;
}

BlockHeader* headerOf(void* block)
{
    return reinterpret_cast<BlockHeader*>(static_cast<unsigned char*>(block) - offsetof(BlockHeader, payload));
}

void unlink(BlockHeader* header)
{
    Blocks& state = blocks();
    if (header->next)
        header->next->previous = header->previous;
    else
        state.newest = header->previous;
    if (header->previous)
        header->previous->next = header->next;
    header->tag = 0;
    --state.live;
    state.liveBytes -= header->bytes;
    std::free(header);
}

}  // namespace

extern "C" void* mxMalloc(size_t bytes)
{
    if (bytes > SIZE_MAX - sizeof(BlockHeader)) {
        std::fprintf(stderr, "stand-in host: mxMalloc(%zu) cannot be satisfied\n", bytes);
        std::abort();
    }
    standInMemoryRequested();
    Blocks& state = blocks();
    BlockHeader* header = static_cast<BlockHeader*>(std::malloc(sizeof(BlockHeader) + bytes));
    if (!header) {
        std::fprintf(stderr, "stand-in host: out of memory in mxMalloc(%zu)\n", bytes);
        std::abort();
    }
    header->tag = blockTag;
    header->sequence = ++state.issued;
    header->bytes = bytes;
    state.liveBytes += bytes;
    state.peakBytes = state.liveBytes > state.peakBytes ? state.liveBytes : state.peakBytes;
    header->previous = state.newest;
    header->next = nullptr;
    if (state.newest)
        state.newest->next = header;
    state.newest = header;
    ++state.live;
    return header->payload;
}

extern "C" void mxFree(void* block)
{
    if (!block)
        return;
    BlockHeader* header = headerOf(block);
    if (header->tag != blockTag) {
        std::fprintf(stderr, "stand-in host: mxFree of a block that mxMalloc did not hand out\n");
        std::abort();
    }
    unlink(header);
}

extern "C" void standInRunOutOfMemoryAfter(size_t given, void (*raise)(const char* message))
{
    blocks().grantedBeforeRefusal = given;
    blocks().raiseRefusal = raise;
}

extern "C" void standInMemoryRequested(void)
{
    Blocks& state = blocks();
    if (state.raiseRefusal && state.grantedBeforeRefusal-- == 0) {
        void (*raise)(const char*) = state.raiseRefusal;
        state.raiseRefusal = nullptr;
        raise("stand-in host: out of memory");
    }
}

extern "C" size_t standInLiveBlocks(void)
{
    return blocks().live;
}

extern "C" size_t standInScratchPeak(void)
{
    return blocks().peakBytes;
}

extern "C" void standInResetScratchPeak(void)
{
    blocks().peakBytes = blocks().liveBytes;
}

extern "C" unsigned long long standInBlockMark(void)
{
    return blocks().issued;
}

extern "C" void standInReleaseBlocksAfter(unsigned long long mark)
{
    BlockHeader* header = blocks().newest;
    while (header && header->sequence > mark) {
        BlockHeader* older = header->previous;
        unlink(header);
        header = older;
    }
}
