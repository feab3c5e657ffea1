#include "zeroed_block.h"

#include <cstdint>
#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace pellumar {

namespace {
constexpr size_t kLine = 64, kHugePage = size_t{2} << 20;
}

ZeroedBlock::ZeroedBlock(size_t count) {
    if (count > (SIZE_MAX - kHugePage) / sizeof(double)) throw std::bad_alloc();
    const size_t bytes = count * sizeof(double);
    const size_t alignment = bytes >= 2 * kHugePage ? kHugePage : kLine;
    // calloc hands out large blocks straight from the system, zero and
    // untouched (it clears only memory it reuses), so the advice below comes
    // before any page exists, and no page is written before the run needs it.
    allocation_ = std::calloc(bytes + alignment, 1);
    if (allocation_ == nullptr) throw std::bad_alloc();
    const uintptr_t at = reinterpret_cast<uintptr_t>(allocation_);
    char* start = static_cast<char*>(allocation_) + (alignment - at % alignment) % alignment;
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    // Advice only: where transparent huge pages are off, this fails and the
    // pages are the usual ones.
    if (alignment == kHugePage) (void)madvise(start, bytes / kHugePage * kHugePage, MADV_HUGEPAGE);
#endif
    data_ = reinterpret_cast<double*>(start);
}

ZeroedBlock::~ZeroedBlock() { std::free(allocation_); }

}  // namespace pellumar
