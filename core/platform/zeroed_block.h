// Zeroed memory for weights that are read at random, in pages the
// processor can translate cheaply.
#ifndef PELLUMAR_ZEROED_BLOCK_H
#define PELLUMAR_ZEROED_BLOCK_H

#include <cstddef>

namespace pellumar {

// count zeroed doubles starting on a 64-byte line. A block of several
// megabytes starts on a 2 MiB boundary and, on Linux, asks for transparent
// huge pages: a sparse run reads its weights at random, and with 4 KiB pages
// most of those reads also miss the address-translation cache
// (doc/PERFORMANCE.md, "Measurements behind the code"). Throws
// std::bad_alloc when the memory cannot be had.
class ZeroedBlock {
public:
    explicit ZeroedBlock(size_t count);
    ~ZeroedBlock();
    ZeroedBlock(const ZeroedBlock&) = delete;
    ZeroedBlock& operator=(const ZeroedBlock&) = delete;
    double* data() const { return data_; }

private:
    void* allocation_ = nullptr;
    size_t bytes_ = 0;
    bool mapped_ = false;
    double* data_ = nullptr;
};

}  // namespace pellumar

#endif
