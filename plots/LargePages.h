// Large pages for the big arrays a picture reads at scattered places (its
// columns read a few records and summary pairs hundreds of kilobytes apart):
// where the system gives them on request, one entry of the address cache
// covers 2 MiB instead of 4 KiB, and those reads miss it far less often. A
// long file's records also fault in a few hundred times instead of tens of
// thousands. Asked for before the memory is first written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>

inline constexpr std::size_t kLargePage = std::size_t{1} << 21;

// Asks for large pages over the whole ones within [data, data + bytes).
inline void AdviseLargePages(const void* data, std::size_t bytes) {
    const auto at = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t begin = (at + kLargePage - 1) & ~(kLargePage - 1);
    const std::uintptr_t end = (at + bytes) & ~(kLargePage - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

// Memory of at least `bytes`, on large pages where it fills one or more;
// released with std::free, nullptr when there is none.
inline void* AllocateLarge(std::size_t bytes) {
    if (bytes < kLargePage)
        return std::malloc(bytes);
    const std::size_t whole = (bytes + kLargePage - 1) & ~(kLargePage - 1);
    void* memory = std::aligned_alloc(kLargePage, whole);
    if (memory)
        AdviseLargePages(memory, whole);
    return memory;
}
