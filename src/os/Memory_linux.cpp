#include "os/Memory.h"

#include <cstdint>
#include <cstdlib>
#include <malloc.h>
#include <sys/mman.h>

namespace Memory {
namespace {

// What lies below the first 2 MB boundary of the grown heap stays taken, untouched, so
// that the allocations that follow start on a large page rather than below it.
void* volatile keepBelow = nullptr;

} // namespace

bool keepFreed(std::size_t mapAbove, std::size_t trimAbove)
{
    return mallopt(M_MMAP_THRESHOLD, int(mapAbove)) == 1 &&
           mallopt(M_TRIM_THRESHOLD, int(trimAbove)) == 1;
}

void preferLargePages(std::size_t heap)
{
    constexpr uintptr_t LargePage = uintptr_t(2) << 20;
    constexpr size_t ChunkHeader = 2 * sizeof(size_t);
    void* block = std::malloc(heap);
    if (!block)
        return;
    const uintptr_t begin = (uintptr_t(block) + LargePage - 1) & ~(LargePage - 1);
    const uintptr_t end = (uintptr_t(block) + heap) & ~(LargePage - 1);
    if (end <= begin) {
        std::free(block);
        return;
    }
    madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    std::free(block);
    const size_t below = begin - uintptr_t(block);
    if (below > 2 * ChunkHeader)
        keepBelow = std::malloc(below - 2 * ChunkHeader);
}

} // namespace Memory
