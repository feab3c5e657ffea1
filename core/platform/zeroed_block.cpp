#include "platform/exact_arithmetic.h"  // before everything else (see there)

#include "platform/zeroed_block.h"

#include <cstdint>
#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace pellumar {

namespace {
constexpr size_t kLine = 64, kHugePage = size_t{2} << 20;

// From p on, the first address that is a multiple of alignment.
char* alignUp(void* p, size_t alignment) {
    const uintptr_t at = reinterpret_cast<uintptr_t>(p);
    return static_cast<char*>(p) + (alignment - at % alignment) % alignment;
}
}  // namespace

ZeroedBlock::ZeroedBlock(size_t count) {
    if (count > (SIZE_MAX - 2 * kHugePage) / sizeof(double)) throw std::bad_alloc();
    const size_t bytes = count * sizeof(double);
    const size_t alignment = bytes >= 2 * kHugePage ? kHugePage : kLine;
    bytes_ = bytes + alignment;
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (alignment == kHugePage) {
        // Straight from the system, not from malloc: its pages are zero and
        // untouched, so the advice below comes before any of them exists,
        // however often such blocks were freed before (malloc would hand out
        // memory it reuses, already in small pages, and clear it).
        void* p = mmap(nullptr, bytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) throw std::bad_alloc();
        mapped_ = true;
        allocation_ = p;
        char* start = alignUp(p, kHugePage);
        // Advice only: where transparent huge pages are off, this fails and
        // the pages are the usual ones.
        (void)madvise(start, bytes / kHugePage * kHugePage, MADV_HUGEPAGE);
        data_ = reinterpret_cast<double*>(start);
        return;
    }
#endif
    allocation_ = std::calloc(bytes_, 1);
    if (allocation_ == nullptr) throw std::bad_alloc();
    data_ = reinterpret_cast<double*>(alignUp(allocation_, alignment));
}

ZeroedBlock::~ZeroedBlock() {
    if (mapped_) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
        munmap(allocation_, bytes_);
#endif
        return;
    }
    std::free(allocation_);
}

}  // namespace pellumar
